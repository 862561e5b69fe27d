#include "scheduler/play_list_filling.h"

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

void fillPlayList(const TodayEntry &entry, BroadcastPlayer &player, ScheduleStore &store, FolderScanner &scanner)
{
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
    }
    player.selectFirstItem();
}
