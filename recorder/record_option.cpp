#include "recorder/record_option.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

TRecordOption::TRecordOption()
    : FilePath_(defaultFolder())
{}

QString TRecordOption::defaultFolder()
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return music.isEmpty() ? QDir::homePath() : music;
}

void TRecordOption::setFilePath(const QString &path)
{
    if (!QFileInfo(path.trimmed()).isDir())
        throw FolderMissingError();
    FilePath_ = path;
}

QString TRecordOption::targetPath() const
{
    QString folder = FilePath_.trimmed();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    QString name = FileName_.trimmed();
    if (!name.right(4).toLower().endsWith(QStringLiteral(".wav")))
        name += QStringLiteral(".wav");
    return folder + name;
}
