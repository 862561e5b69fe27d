#include "core/program_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {

QString homeOverride()
{
    return qEnvironmentVariable("CHIMECAST_HOME");
}

} // namespace

QString programFolder()
{
    const QString home = homeOverride();
    if (!home.isEmpty())
        return QDir::cleanPath(QDir(home).absolutePath());
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/chimecast");
}

QString settingsFilePath()
{
    const QString home = homeOverride();
    if (!home.isEmpty())
        return programPath(QStringLiteral("chimecast.ini"));
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/chimecast/chimecast.ini");
}

QString programPath(const QString &relative)
{
    return programFolder() + QLatin1Char('/') + relative;
}

bool ensureProgramFolder(QString *error)
{
    const QString dat = programPath(QStringLiteral("dat"));
    if (QDir().mkpath(dat))
        return true;
    if (error)
        *error = QStringLiteral("cannot create the folder %1").arg(dat);
    return false;
}

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    if (file.write(data) != data.size()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    // QSaveFile flushes the data to disk before it renames the temporary file.
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }
    QStringDecoder gb("GB18030");
    if (gb.isValid())
        return gb.decode(bytes);
    return QString::fromLocal8Bit(bytes);
}

QString readTextFile(const QString &path, bool *ok)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    const QByteArray bytes = file.readAll();
    if (ok)
        *ok = file.error() == QFileDevice::NoError;
    return decodeText(bytes);
}
