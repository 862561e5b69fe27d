#include "platform/autostart.h"

#include "core/program_folder.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Characters that make the desktop entry format require an Exec argument to be quoted.
bool needsQuoting(const QString &arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (arg.isEmpty())
        return true;
    for (const QChar c : arg) {
        if (reserved.contains(c))
            return true;
    }
    return false;
}

// One Exec argument: quoted when needed (inside quotes ", `, $ and \ take a backslash),
// then escaped as a string value of the file (\ doubled, a line break as \n) and with %
// doubled, since Exec= gives % its own meaning.
QString execArgument(const QString &arg)
{
    QString quoted;
    if (needsQuoting(arg)) {
        quoted = QStringLiteral("\"");
        for (const QChar c : arg) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        quoted += QLatin1Char('"');
    } else {
        quoted = arg;
    }
    QString out;
    for (const QChar c : quoted) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('%'))
            out += QStringLiteral("%%");
        else
            out += c;
    }
    return out;
}

} // namespace

QString defaultAutostartEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/autostart/chimecast.desktop");
}

QString autostartEntryText(const QString &executable, const QString &programHome)
{
    QString exec;
    if (!programHome.isEmpty())
        exec =
            QStringLiteral("env ") + execArgument(QStringLiteral("CHIMECAST_HOME=") + programHome) + QLatin1Char(' ');
    exec += execArgument(executable);
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Chimecast\n"
                          "Comment=定时广播播放\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(exec);
}

bool writeAutostartEntry(const QString &entryPath, const QString &executable, const QString &programHome,
                         QString *error)
{
    return writeFileAtomically(entryPath, autostartEntryText(executable, programHome).toUtf8(), error);
}

bool removeAutostartEntry(const QString &entryPath, QString *error)
{
    QFile file(entryPath);
    if (!QFileInfo::exists(entryPath) && !QFileInfo(entryPath).isSymLink())
        return true;
    if (file.remove())
        return true;
    if (error)
        *error = QStringLiteral("%1: %2").arg(entryPath, file.errorString());
    return false;
}
