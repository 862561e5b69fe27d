#include "scheduler/play_list_filling.h"

#include "db/as_run_log.h"

#include <QDir>
#include <QFileInfo>

namespace {

void appendExisting(QStringList &out, const QStringList &paths)
{
    for (const QString &path : paths)
        if (!path.isEmpty() && QFileInfo(path).isFile())
            out.append(path);
}

} // namespace

QStringList programmeFiles(const TodayEntry &entry, ScheduleStore &store, FolderScanner &scanner)
{
    QStringList files;
    const QString &kind = entry.wjbz;
    if (kind == QStringLiteral("1")) {
        appendExisting(files, {entry.wjpath});
    } else if (kind == QStringLiteral("2")) {
        appendExisting(files, store.songListPaths(entry.wjpath));
    } else if (kind == QStringLiteral("3")) {
        // All MP3 files first, then WAV, then MIDI.
        for (const QString &mask : {QStringLiteral("*.mp3"), QStringLiteral("*.wav"), QStringLiteral("*.mid")})
            appendExisting(files, scanner.scan(entry.wjpath, mask));
    }
    return files;
}

QString emptyProgrammeReason(const TodayEntry &entry, ScheduleStore &store)
{
    const QString &kind = entry.wjbz;
    if (kind == QStringLiteral("1"))
        return AsRunReason::fileMissing(entry.wjpath);
    if (kind == QStringLiteral("2")) {
        const QStringList songs = store.songListPaths(entry.wjpath);
        if (songs.isEmpty())
            return QStringLiteral("歌曲列表不存在或是空的：%1").arg(entry.wjpath);
        return AsRunReason::listEmpty + QStringLiteral("（") + AsRunReason::fileMissing(songs.first())
               + QStringLiteral("）");
    }
    if (kind == QStringLiteral("3")) {
        if (entry.wjpath.isEmpty() || !QDir(entry.wjpath).exists())
            return QStringLiteral("文件夹不存在：%1").arg(entry.wjpath);
        return AsRunReason::folderEmpty;
    }
    return QStringLiteral("节目类型“%1”无法播放").arg(kind);
}

int fillPlayList(const TodayEntry &entry, BroadcastPlayer &player, ScheduleStore &store, FolderScanner &scanner)
{
    int items = -1;
    player.clearPlayList();
    const QString &kind = entry.wjbz;
    if (kind == QStringLiteral("4")) {
        player.showStreamPanel(true);
        player.playUrl(entry.wjpath);
    } else {
        if (kind == QStringLiteral("1") || kind == QStringLiteral("2") || kind == QStringLiteral("3"))
            player.showStreamPanel(false);
        const QStringList files = programmeFiles(entry, store, scanner);
        if (!files.isEmpty())
            player.appendToPlayList(files);
        items = static_cast<int>(files.size());
    }
    player.selectFirstItem();
    return items;
}
