// The scheduler put into the real main window, over the data module, the settings object
// and the real main player (with recording engines): a programme starts from the
// window's timetable, plays through the player, ends marked in the database, and the
// day-end shutdown closes the window with a dry-run power-off.

#include "app/main_window.h"
#include "app/scheduler_context.h"
#include "core/settings.h"
#include "db/dbhouse.h"
#include "platform/media_player.h"
#include "platform/power_off.h"
#include "player/library_engine.h"
#include "player/main_player.h"
#include "player/main_player_panel.h"
#include "player/play_list.h"
#include "scheduler/broadcast_scheduler.h"
#include "scheduler/dispatcher.h"
#include "scheduler/main_player_adapter.h"
#include "scheduler/manual_overrides.h"
#include "db/as_run_log.h"
#include "scheduler/scheduled_shutdown.h"
#include "scheduler/stream_player.h"
#include "support/program_test.h"
#include "support/today_rows.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QSlider>
#include <QTableView>
#include <QTimer>

namespace {

class RecordingLibrary final : public LibraryEngine
{
public:
    void stop() override { log.append(QStringLiteral("stop")); }
    void init() override {}
    void play(const QString &path) override { log.append(QStringLiteral("play:") + path); }
    int lengthSecs(const QString &) override { return 60; }
    void pause() override {}
    void resume() override {}
    QStringList log;
};

// The audio library with no sound card: every file is refused for the device.
class NoDeviceLibrary final : public LibraryEngine
{
public:
    void stop() override {}
    void init() override {}
    void play(const QString &) override {}
    QString failure() override { return QStringLiteral("no such device: cannot open sound device (default)"); }
    bool failureIsSoundDevice() override { return true; }
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

class BroadcastSchedulerTest : public ProgramTest
{
protected:
    int addEntry(const QString &name, const QString &start, const QString &end, const QString &path, int volume)
    {
        openProgramDatabase();
        TodayRow row;
        row.sjmc = QStringLiteral("测试");
        row.jmmc = name;
        row.kssj = start;
        row.jssj = end;
        row.wjpath = path;
        row.yldx = volume;
        row.ixh = ++rows_;
        return insertTodayRow(row);
    }
    QString state(int iid)
    {
        const auto [over, bfzt] = todayRowState(iid);
        return over + QLatin1Char('/') + bfzt;
    }

private:
    int rows_ = 0;
};

} // namespace

TEST_F(BroadcastSchedulerTest, ProgrammePlaysThroughTheMainWindowAndTheDayEndsWithShutdown)
{
    writeFile(QStringLiteral("music/bell.mp3"), "x");
    writeFile(QStringLiteral("music/song.mp3"), "x");
    const QString bell = path(QStringLiteral("music/bell.mp3"));
    const QString song = path(QStringLiteral("music/song.mp3"));
    openProgramDatabase();
    setWeeklyTimetables(QStringList(7, QStringLiteral("测试")));
    const int first =
        addEntry(QStringLiteral("上课铃"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), bell, 50);
    const int last =
        addEntry(QStringLiteral("放学"), QStringLiteral("17:00:00"), QStringLiteral("17:30:00"), song, 100);
    appSettings().strover = QStringLiteral("1");

    clock.set(QDateTime(QDate(2024, 3, 14), QTime(7, 59, 0)));
    TForm1 form;
    form.show();
    ASSERT_TRUE(form.firstShowDone());
    ASSERT_TRUE(form.tbf->isActive());

    PlayList list(path(QStringLiteral("mplay.dll")));
    RecordingLibrary library;
    SilentMedia media;
    MainPlayer player(list, library, media);
    MainPlayerPanel panel(player);
    StreamPlayer stream;
    MainPlayerBroadcastAdapter adapter(panel, stream);
    MediaFolderScanner scanner;
    auto power = std::make_unique<DryRunPowerOff>();
    DryRunPowerOff *powerOff = power.get();
    BroadcastSchedulerContext context = schedulerContextFor(form, adapter, scanner);
    context.power = std::move(power);
    BroadcastScheduler scheduler(std::move(context));
    scheduler.shutdownSequence().setWaitMs(0);

    clock.set(QDateTime(QDate(2024, 3, 14), QTime(8, 0, 0)));
    scheduler.dispatcher().tbfTimer();
    EXPECT_TRUE(library.log.contains(QStringLiteral("play:") + bell));
    EXPECT_TRUE(player.playing());
    EXPECT_EQ(panel.TrackBar1->value(), 84);
    EXPECT_EQ(panel.GroupBox1->title(), QStringLiteral("播放列表 正在播放:上课铃"));
    EXPECT_EQ(readFile(QStringLiteral("mplay.dll")).trimmed(), bell.toUtf8());
    EXPECT_TRUE(form.tjs->isActive());
    EXPECT_EQ(dbhouse().runningCount, 1);

    clock.set(QDateTime(QDate(2024, 3, 14), QTime(8, 9, 56)));
    scheduler.dispatcher().tjsTimer();
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(state(first), QStringLiteral("Y/已播放"));
    EXPECT_EQ(dbhouse().runningCount, 0);
    EXPECT_EQ(dbhouse().qjrjm->recordCount(), 2);
    EXPECT_FALSE(scheduler.shutdownSequence().isStarted()); // one entry still waits

    // The operator plays the last entry by hand from the grid's menu: nothing is marked.
    form.DBGrid4->setCurrentIndex(dbhouse().qjrjm->index(1, 0));
    form.N3->trigger();
    EXPECT_EQ(player.currentPath(), song);
    EXPECT_FALSE(form.N25->isEnabled());
    form.N21->trigger();
    EXPECT_EQ(state(last), QStringLiteral("N/未播放"));
    form.BitBtn26->click(); // fills the list from the highlighted entry without playing it
    EXPECT_EQ(list.items(), QStringList{song});
    EXPECT_FALSE(player.playing());

    QSignalSpy closed(&form, &TForm1::closed);
    clock.set(QDateTime(QDate(2024, 3, 14), QTime(17, 0, 1)));
    scheduler.dispatcher().tbfTimer();
    clock.set(QDateTime(QDate(2024, 3, 14), QTime(17, 29, 56)));
    scheduler.dispatcher().tjsTimer();
    EXPECT_EQ(state(last), QStringLiteral("Y/已播放"));
    ASSERT_TRUE(scheduler.shutdownSequence().isStarted());
    EXPECT_FALSE(form.tbf->isActive());
    EXPECT_FALSE(form.tgj->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return powerOff->requests() == 1; }, 5000));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(BroadcastSchedulerTest, ProgrammeWithoutASoundDeviceIsNotPlayedAndTheLogSaysWhy)
{
    writeFile(QStringLiteral("music/bell.mp3"), "x");
    const QString bell = path(QStringLiteral("music/bell.mp3"));
    openProgramDatabase();
    setWeeklyTimetables(QStringList(7, QStringLiteral("测试")));
    const int entry =
        addEntry(QStringLiteral("上课铃"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), bell, 50);

    clock.set(QDateTime(QDate(2024, 3, 14), QTime(7, 59, 0)));
    TForm1 form;
    form.show();
    ASSERT_TRUE(form.firstShowDone());

    PlayList list(path(QStringLiteral("mplay.dll")));
    NoDeviceLibrary library;
    SilentMedia media;
    MainPlayer player(list, library, media);
    MainPlayerPanel panel(player);
    StreamPlayer stream;
    MainPlayerBroadcastAdapter adapter(panel, stream);
    MediaFolderScanner scanner;
    BroadcastSchedulerContext context = schedulerContextFor(form, adapter, scanner);
    context.power = std::make_unique<DryRunPowerOff>();
    BroadcastScheduler scheduler(std::move(context));

    clock.set(QDateTime(QDate(2024, 3, 14), QTime(8, 0, 0)));
    scheduler.dispatcher().tbfTimer();
    EXPECT_FALSE(player.playing());
    EXPECT_TRUE(player.soundDeviceFailed());
    clock.set(QDateTime(QDate(2024, 3, 14), QTime(8, 9, 56)));
    scheduler.dispatcher().tjsTimer();

    EXPECT_EQ(state(entry), QStringLiteral("Y/未能播放"));
    const QList<AsRunRecord> problems = asRunLog().day(QDate(2024, 3, 14), true);
    ASSERT_FALSE(problems.isEmpty());
    EXPECT_EQ(problems.back().jmmc, QStringLiteral("上课铃"));
    EXPECT_EQ(problems.back().reason, QStringLiteral("没有声卡或声卡被占用"));
}
