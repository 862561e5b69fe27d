#include "scheduler/play_list_filling.h"

#include <QFileInfo>

namespace {

bool isExistingFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

void appendExisting(BroadcastPlayer &player, const QStringList &paths)
{
    for (const QString &path : paths)
        if (isExistingFile(path))
            player.appendToPlayList(path);
}

} // namespace

void fillPlayList(const TodayEntry &entry, BroadcastPlayer &player, ScheduleStore &store, FolderScanner &scanner)
{
    player.clearPlayList();
    const QString &kind = entry.wjbz;
    if (kind == QStringLiteral("1")) {
        player.showStreamPanel(false);
        appendExisting(player, {entry.wjpath});
    } else if (kind == QStringLiteral("2")) {
        player.showStreamPanel(false);
        appendExisting(player, store.songListPaths(entry.wjpath));
    } else if (kind == QStringLiteral("3")) {
        player.showStreamPanel(false);
        // All MP3 files first, then WAV, then MIDI.
        for (const QString &mask : {QStringLiteral("*.mp3"), QStringLiteral("*.wav"), QStringLiteral("*.mid")})
            appendExisting(player, scanner.scan(entry.wjpath, mask));
    } else if (kind == QStringLiteral("4")) {
        player.showStreamPanel(true);
        player.playUrl(entry.wjpath);
    }
    player.selectFirstItem();
}
