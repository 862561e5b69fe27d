#include "editors/song_list_archive.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QByteArray kLineEnd("\r\n");

// Copies one song into `out`; false with a reason when it cannot be read whole.
bool copySong(const QString &path, qint64 size, QSaveFile &out, qint64 &done, qint64 total, QString *error,
              const std::atomic<bool> *cancel, const std::function<void(qint64, qint64)> &progress)
{
    const QString name = QFileInfo(path).fileName();
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取歌曲“%1”：%2").arg(name, in.errorString());
        return false;
    }
    constexpr qint64 kChunk = 1 << 20;
    QByteArray buffer;
    qint64 copied = 0;
    while (copied < size) {
        if (cancel && cancel->load()) {
            *error = QStringLiteral("保存已取消");
            return false;
        }
        buffer = in.read(std::min(kChunk, size - copied));
        if (buffer.isEmpty()) {
            *error = in.error() != QFileDevice::NoError
                         ? QStringLiteral("无法读取歌曲“%1”：%2").arg(name, in.errorString())
                         : QStringLiteral("歌曲“%1”在保存时变短了").arg(name);
            return false;
        }
        if (out.write(buffer) != buffer.size()) {
            *error = QStringLiteral("无法写入列表文件（写到歌曲“%1”时）：%2").arg(name, out.errorString());
            return false;
        }
        copied += buffer.size();
        done += buffer.size();
        if (progress)
            progress(done, total);
    }
    return true;
}

} // namespace

QByteArray songListHeader(const QList<ArchiveSong> &songs)
{
    QByteArray header = QByteArray::number(songs.size()) + kLineEnd;
    for (const ArchiveSong &song : songs)
        header += song.name.toUtf8() + kLineEnd + QByteArray::number(song.size) + kLineEnd;
    return header;
}

QByteArray songListLengthField(qsizetype length)
{
    if (length < 0 || length > kMaxArchiveHeaderBytes)
        return {};
    QByteArray field = QByteArray::number(length);
    return field.leftJustified(4, 'a');
}

int songsThatFit(const QList<ArchiveSong> &songs)
{
    qsizetype length = QByteArray::number(songs.size()).size() + kLineEnd.size();
    int fit = 0;
    for (const ArchiveSong &song : songs) {
        length += song.name.toUtf8().size() + QByteArray::number(song.size).size() + 2 * kLineEnd.size();
        if (length > kMaxArchiveHeaderBytes)
            break;
        ++fit;
    }
    return fit;
}

bool writeSongListArchive(const QString &target, const QStringList &paths, QString *error,
                          const std::atomic<bool> *cancel, const std::function<void(qint64, qint64)> &progress)
{
    QString ignored;
    if (!error)
        error = &ignored;
    QList<ArchiveSong> songs;
    qint64 total = 0;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (!info.isFile()) {
            *error = QStringLiteral("歌曲文件“%1”不存在").arg(path);
            return false;
        }
        songs.append({info.fileName(), info.size()});
        total += info.size();
    }
    const QByteArray header = songListHeader(songs);
    const QByteArray field = songListLengthField(header.size());
    if (field.isEmpty()) {
        *error = QStringLiteral("列表文件的头部超过 %1 字节").arg(kMaxArchiveHeaderBytes);
        return false;
    }

    // QSaveFile writes beside the target and renames only on commit(); a failed or
    // abandoned write leaves no file under the target's name.
    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("无法创建列表文件“%1”：%2").arg(target, out.errorString());
        return false;
    }
    if (out.write(field) != field.size() || out.write(header) != header.size()) {
        *error = QStringLiteral("无法写入列表文件“%1”：%2").arg(target, out.errorString());
        out.cancelWriting();
        return false;
    }
    qint64 done = 0;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (!copySong(paths[i], songs[i].size, out, done, total, error, cancel, progress)) {
            out.cancelWriting();
            return false;
        }
    }
    if (!out.commit()) {
        *error = QStringLiteral("无法写入列表文件“%1”：%2").arg(target, out.errorString());
        return false;
    }
    return true;
}
