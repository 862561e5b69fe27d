// Times what happens just before a folder programme starts: the scheduler fills the main
// player's play list (and its file mplay.dll) from a folder of 500 files, through the
// same player, panel and adapter the main window uses. The folder and the list file live
// in a temporary folder on the disk the program folder would be on (TMPDIR to choose).
//
//   playlist_bench [items=500] [runs=5]

#include "platform/media_player.h"
#include "player/library_engine.h"
#include "player/main_player.h"
#include "player/main_player_panel.h"
#include "player/play_list.h"
#include "scheduler/main_player_adapter.h"
#include "scheduler/play_list_filling.h"
#include "scheduler/stream_player.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

class SilentLibrary final : public LibraryEngine
{
public:
    void stop() override {}
    void init() override {}
    void play(const QString &) override {}
    int lengthSecs(const QString &) override { return 0; }
    void pause() override {}
    void resume() override {}
};

class SilentMedia final : public MediaPlayer
{
public:
    bool open(const QString &, QString * = nullptr) override { return false; }
    bool play(QString * = nullptr) override { return false; }
    void pause() override {}
    bool resume(QString * = nullptr) override { return false; }
    void stop() override {}
    void close() override {}
    bool isOpen() const override { return false; }
    qint64 positionMs() const override { return -1; }
    qint64 lengthMs() const override { return -1; }
    bool finished() const override { return false; }
};

// The store is not asked for a folder programme.
class NoSongLists final : public ScheduleStore
{
public:
    QList<TodayEntry> entriesOf(const QString &) override { return {}; }
    std::optional<TodayEntry> entryById(int) override { return std::nullopt; }
    void markWaitingBefore(const QString &) override {}
    void markFailed(int) override {}
    void markFinished(int) override {}
    void markPast(int) override {}
    int countWaiting() override { return 0; }
    QStringList songListPaths(const QString &) override { return {}; }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int items = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "playlist_bench: no temporary folder\n");
        return 1;
    }
    const QString folder = dir.filePath(QStringLiteral("music"));
    QDir().mkpath(folder);
    for (int i = 0; i < items; ++i) {
        QFile f(QDir(folder).filePath(QStringLiteral("track%1.mp3").arg(i, 4, 10, QLatin1Char('0'))));
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write("x");
    }

    PlayList list(dir.filePath(QStringLiteral("mplay.dll")));
    SilentLibrary library;
    SilentMedia media;
    MainPlayer player(list, library, media);
    MainPlayerPanel panel(player);
    StreamPlayer stream;
    MainPlayerBroadcastAdapter adapter(panel, stream);
    MediaFolderScanner scanner;
    NoSongLists store;

    TodayEntry entry;
    entry.wjbz = QStringLiteral("3");
    entry.wjpath = folder;

    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        fillPlayList(entry, adapter, store, scanner);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (list.count() != items) {
            std::fprintf(stderr, "playlist_bench: %d items in the list, %d expected\n", list.count(), items);
            return 1;
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("fill play list from a folder of %d files: median %.1f ms, best %.1f ms, worst %.1f ms (%d runs)\n",
                items, ms[ms.size() / 2], ms.front(), ms.back(), runs);
    return 0;
}
