#include "core/settings.h"

#include "core/logging.h"

#include "core/program_folder.h"

#include <QFile>
#include <QStringList>

#include <array>
#include <memory>

namespace {

const QString sectionName = QStringLiteral("Judge");

struct KeyDef
{
    const char *name;
    QString TGlobal::*field;
    const char *defaultValue;
};

// The nine keys of the Windows program in their order, then the keys added since (so a
// file written by the Windows program reads the same, and the new keys follow its nine).
const std::array<KeyDef, 16> keys = {{
    {"strrqr", &TGlobal::strrqr, ""},
    {"strposr", &TGlobal::strposr, "85"},
    {"strposr2", &TGlobal::strposr2, "85"},
    {"strstart", &TGlobal::strstart, "0"},
    {"strmin", &TGlobal::strmin, "0"},
    {"stroff", &TGlobal::stroff, "0"},
    {"strover", &TGlobal::strover, "0"},
    {"strvolue", &TGlobal::strvolue, "0"},
    {"strofftime", &TGlobal::strofftime, "20:00:00"},
    {"strchecktime", &TGlobal::strchecktime, "18:00:00"},
    {"strdbtype", &TGlobal::strdbtype, "sqlite"},
    {"strdbhost", &TGlobal::strdbhost, ""},
    {"strdbport", &TGlobal::strdbport, "5432"},
    {"strdbname", &TGlobal::strdbname, "chimecast"},
    {"strdbuser", &TGlobal::strdbuser, ""},
    {"strdbpassfile", &TGlobal::strdbpassfile, ""},
}};

// "[name]" -> name, anything else -> null string.
QString sectionOf(const QString &line)
{
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        return t.mid(1, t.size() - 2).trimmed();
    return {};
}

bool isComment(const QString &line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'));
}

// Key of a "key=value" line (trimmed); null when the line has no '='.
QString keyOf(const QString &line)
{
    if (isComment(line))
        return {};
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {};
    return line.left(eq).trimmed();
}

QString valueOf(const QString &line)
{
    QString v = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (v.size() >= 2
        && ((v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"')))
            || (v.startsWith(QLatin1Char('\'')) && v.endsWith(QLatin1Char('\'')))))
        v = v.mid(1, v.size() - 2);
    return v;
}

QStringList splitLines(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = t.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

std::unique_ptr<TGlobal> &instance()
{
    static std::unique_ptr<TGlobal> global;
    return global;
}

} // namespace

TGlobal::TGlobal(const QString &filePath)
    : filePath_(filePath)
{
    LoadSettings();
}

TGlobal::~TGlobal()
{
    QString error;
    if (!SaveSettings(&error))
        qCWarning(lcCore).noquote() << QStringLiteral("settings not saved: %1").arg(error);
}

void TGlobal::LoadSettings()
{
    for (const KeyDef &k : keys)
        this->*k.field = QString::fromUtf8(k.defaultValue);
    loadFailed_ = false;

    if (!QFile::exists(filePath_))
        return;
    bool ok = false;
    const QString text = readTextFile(filePath_, &ok);
    if (!ok) {
        loadFailed_ = true;
        return;
    }
    std::array<bool, keys.size()> seen{};
    bool inSection = false;
    for (const QString &line : splitLines(text)) {
        const QString section = sectionOf(line);
        if (!section.isNull()) {
            inSection = section.compare(sectionName, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const QString key = keyOf(line);
        if (key.isEmpty())
            continue;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (!seen[i] && key.compare(QLatin1String(keys[i].name), Qt::CaseInsensitive) == 0) {
                this->*keys[i].field = valueOf(line);
                seen[i] = true;
            }
        }
    }
}

bool TGlobal::SaveSettings(QString *error)
{
    // Start from the file as it is now, so lines we do not own survive.
    QStringList lines;
    bool crlf = false;
    if (QFile::exists(filePath_)) {
        bool ok = false;
        const QString text = readTextFile(filePath_, &ok);
        if (!ok) {
            // Never replace a file we could not read: its content would be lost.
            if (error)
                *error = QStringLiteral("%1: cannot be read, not overwritten").arg(filePath_);
            return false;
        }
        crlf = text.contains(QStringLiteral("\r\n"));
        lines = splitLines(text);
    }

    auto lineFor = [this](const KeyDef &k) { return QLatin1String(k.name) + QLatin1Char('=') + this->*k.field; };

    qsizetype header = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString s = sectionOf(lines[i]);
        if (!s.isNull() && s.compare(sectionName, Qt::CaseInsensitive) == 0) {
            header = i;
            break;
        }
    }
    if (header < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(QLatin1Char('[') + sectionName + QLatin1Char(']'));
        for (const KeyDef &k : keys)
            lines.append(lineFor(k));
    } else {
        qsizetype end = header + 1;
        while (end < lines.size() && sectionOf(lines[end]).isNull())
            ++end;
        qsizetype lastKeyLine = header;
        std::array<bool, keys.size()> written{};
        for (qsizetype i = header + 1; i < end; ++i) {
            const QString key = keyOf(lines[i]);
            if (key.isEmpty())
                continue;
            lastKeyLine = i;
            for (size_t k = 0; k < keys.size(); ++k) {
                if (!written[k] && key.compare(QLatin1String(keys[k].name), Qt::CaseInsensitive) == 0) {
                    lines[i] = lineFor(keys[k]);
                    written[k] = true;
                }
            }
        }
        qsizetype insertAt = lastKeyLine + 1;
        for (size_t k = 0; k < keys.size(); ++k) {
            if (!written[k])
                lines.insert(insertAt++, lineFor(keys[k]));
        }
    }

    const QString eol = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    const QString text = lines.join(eol) + eol;
    return writeFileAtomically(filePath_, text.toUtf8(), error);
}

TGlobal &appSettings()
{
    auto &g = instance();
    if (!g)
        g = std::make_unique<TGlobal>(settingsFilePath());
    return *g;
}

void setAppSettings(TGlobal *settings)
{
    instance().reset(settings);
}

void destroyAppSettings()
{
    instance().reset();
}
