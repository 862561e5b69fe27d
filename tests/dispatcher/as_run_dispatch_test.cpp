// What the dispatcher and the end watcher tell the as-run log: each reason a programme did
// not sound reaches it once, played programmes give a started/stopped pair, a suspend
// across a window is one "missed", and a log that cannot be written stops nothing.

#include "dispatcher_fixture.h"

#include "core/clock.h"
#include "db/as_run_log.h"
#include "scheduler/sleep_watch.h"

#include <QDir>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

class AsRunDispatchTest : public DispatcherFixture
{
protected:
    // "event|reason" of every row of the day naming the programme, in order.
    QStringList logOf(const QString &jmmc)
    {
        QStringList out;
        for (const AsRunRecord &r : asRunLog().day(day))
            if (r.jmmc == jmmc)
                out.append(r.event + QLatin1Char('|') + r.reason);
        return out;
    }
    QStringList eventsOf(const QString &event)
    {
        QStringList out;
        for (const AsRunRecord &r : asRunLog().day(day))
            if (r.event == event)
                out.append(r.jmmc + QLatin1Char('|') + r.content);
        return out;
    }
    static QString failed(const QString &reason) { return AsRunEvent::failed + QLatin1Char('|') + reason; }
    std::pair<QString, QString> failedState() { return {QStringLiteral("Y"), QStringLiteral("未能播放")}; }
};

TEST_F(AsRunDispatchTest, EachReasonReachesTheLogOncePerProgramme)
{
    const QString good = t.file(QStringLiteral("good.mp3"));
    const QString broken = t.file(QStringLiteral("broken.mp3"));
    player.refuse = {broken};
    const QString gone = t.dir.filePath(QStringLiteral("gone.mp3"));
    const QString emptyFolder = t.dir.filePath(QStringLiteral("empty"));
    QDir().mkpath(emptyFolder);
    t.addSong(QStringLiteral("晨曲"), t.dir.filePath(QStringLiteral("lost.mp3")));

    using R = TodayTable::Row;
    const int played = t.add(
        R{QStringLiteral("好"), QStringLiteral("08:00:00"), QStringLiteral("08:05:00"), QStringLiteral("1"), good});
    const int missing = t.add(
        R{QStringLiteral("缺文件"), QStringLiteral("08:10:00"), QStringLiteral("08:15:00"), QStringLiteral("1"), gone});
    const int folder = t.add(R{QStringLiteral("空文件夹"), QStringLiteral("08:20:00"), QStringLiteral("08:25:00"),
                               QStringLiteral("3"), emptyFolder});
    const int list = t.add(R{QStringLiteral("空列表"), QStringLiteral("08:30:00"), QStringLiteral("08:35:00"),
                             QStringLiteral("2"), QStringLiteral("晨曲")});
    const int stream = t.add(R{QStringLiteral("广播"), QStringLiteral("08:40:00"), QStringLiteral("08:45:00"),
                               QStringLiteral("4"), QStringLiteral("http://127.0.0.1:9/live")});
    const int undecodable = t.add(R{QStringLiteral("坏文件"), QStringLiteral("08:50:00"), QStringLiteral("08:55:00"),
                                    QStringLiteral("1"), broken});
    t.openGrid();
    setTime(7, 59, 0);

    runUntil(QTime(8, 40, 2));
    ASSERT_EQ(dispatcher->currentKind(), QStringLiteral("4"));
    // What the stream player tells the adapter when the address refuses the connection.
    dispatcher->outcome().streamFailed(QStringLiteral("Connection refused"));
    runUntil(QTime(8, 59, 0));

    EXPECT_EQ(logOf(QStringLiteral("好")),
              (QStringList{AsRunEvent::started + QLatin1Char('|'), AsRunEvent::stopped + QLatin1Char('|')}));
    EXPECT_EQ(logOf(QStringLiteral("缺文件")), QStringList{failed(AsRunReason::fileMissing(gone))});
    EXPECT_EQ(logOf(QStringLiteral("空文件夹")), QStringList{failed(AsRunReason::folderEmpty)});
    const QStringList listLog = logOf(QStringLiteral("空列表"));
    ASSERT_EQ(listLog.size(), 1);
    EXPECT_TRUE(listLog[0].startsWith(failed(AsRunReason::listEmpty))) << qPrintable(listLog[0]);
    EXPECT_EQ(logOf(QStringLiteral("广播")),
              QStringList{failed(AsRunReason::streamDead + QStringLiteral("：Connection refused"))});
    EXPECT_EQ(logOf(QStringLiteral("坏文件")), QStringList{failed(QStringLiteral("文件无法播放：") + broken)});

    EXPECT_EQ(t.state(played), playedState());
    for (int iid : {missing, folder, list, stream, undecodable})
        EXPECT_EQ(t.state(iid), failedState()) << iid;
}

TEST_F(AsRunDispatchTest, NoSoundDeviceIsTheReason)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    player.noSoundDevice = true;
    const int iid =
        t.add({QStringLiteral("早铃"), QStringLiteral("08:00:00"), QStringLiteral("08:01:00"), QStringLiteral("1"), a});
    t.openGrid();
    setTime(7, 59, 59);
    runUntil(QTime(8, 2, 0));
    EXPECT_EQ(logOf(QStringLiteral("早铃")), QStringList{failed(AsRunReason::noSoundDevice)});
    EXPECT_EQ(t.state(iid), failedState());
}

TEST_F(AsRunDispatchTest, SuspendAcrossAWindowIsOneMissedProgrammeAndAClockChange)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    const int iid =
        t.add({QStringLiteral("早铃"), QStringLiteral("08:00:00"), QStringLiteral("08:05:00"), QStringLiteral("1"), a});
    t.openGrid();
    QSignalSpy missed(dispatcher.get(), &Dispatcher::programmesMissed);
    setTime(7, 59, 0);
    dispatcher->tbfTimer();
    // The machine sleeps: on the next tick the wall clock is 10 minutes on, the monotonic
    // clock one tick.
    clock = clock.addSecs(600);
    mono += 1500;
    dispatcher->tbfTimer();
    runUntil(QTime(8, 15, 0));

    EXPECT_EQ(logOf(QStringLiteral("早铃")),
              (QStringList{AsRunEvent::missed + QLatin1Char('|') + AsRunReason::asleep}));
    EXPECT_EQ(eventsOf(AsRunEvent::clockChanged),
              QStringList{QStringLiteral("|时钟从2026-12-10 07:59:01变为2026-12-10 08:09:00")});
    EXPECT_EQ(t.state(iid), pastState());
    EXPECT_EQ(player.playPresses, 0);
    ASSERT_EQ(missed.size(), 1);
    EXPECT_EQ(missed[0][0].toInt(), 1);
}

TEST_F(AsRunDispatchTest, ProgrammesMissedBeforeTheStartAreToldOnceAcrossRestarts)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    // Resolved at 09:00: the morning bell was marked past, the noon one waits.
    t.add({QStringLiteral("早铃"), QStringLiteral("08:00:00"), QStringLiteral("08:05:00"), QStringLiteral("1"), a,
           QStringLiteral("顺序播放"), 100, QStringLiteral("Y")});
    t.add({QStringLiteral("午铃"), QStringLiteral("12:00:00"), QStringLiteral("12:05:00"), QStringLiteral("1"), a});
    t.openGrid();
    setTime(9, 0, 0);
    dispatcher->tbfTimer();
    dispatcher->tbfTimer();
    // The program is started again the same day.
    DispatcherContext c;
    c.tbf = &tbf;
    c.tjs = &tjs;
    c.timetableName = [this] { return timetableName; };
    c.grid = t.grid.get();
    c.store = t.store.get();
    c.player = &player;
    c.scanner = &scanner;
    c.now = [this] { return clock; };
    c.monotonicMs = [this] { return mono; };
    Dispatcher again(c);
    again.tbfTimer();

    EXPECT_EQ(logOf(QStringLiteral("早铃")),
              (QStringList{AsRunEvent::missed + QLatin1Char('|') + AsRunReason::asleep}));
    EXPECT_TRUE(logOf(QStringLiteral("午铃")).isEmpty());
}

TEST_F(AsRunDispatchTest, AWindowPassingWhileAnotherProgrammeRunsIsSkipped)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    t.add({QStringLiteral("长"), QStringLiteral("08:00:00"), QStringLiteral("08:30:00"), QStringLiteral("1"), a});
    const int inside =
        t.add({QStringLiteral("短"), QStringLiteral("08:10:00"), QStringLiteral("08:20:00"), QStringLiteral("1"), a});
    t.openGrid();
    setTime(7, 59, 59);
    runUntil(QTime(8, 31, 0));
    EXPECT_EQ(logOf(QStringLiteral("短")),
              (QStringList{AsRunEvent::skipped + QLatin1Char('|') + AsRunReason::earlierRunning}));
    EXPECT_EQ(t.state(inside), pastState());
}

TEST_F(AsRunDispatchTest, ALogThatCannotBeWrittenStopsNothing)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    const int iid =
        t.add({QStringLiteral("早铃"), QStringLiteral("08:00:00"), QStringLiteral("08:01:00"), QStringLiteral("1"), a});
    t.openGrid();
    {
        QSqlQuery q(QSqlDatabase::database(dbhouse().connectionName()));
        ASSERT_TRUE(q.exec(QStringLiteral("drop table b_bfrz")));
    }
    setTime(7, 59, 59);
    runUntil(QTime(8, 0, 10));
    EXPECT_EQ(player.current, a);
    runUntil(QTime(8, 2, 0));
    EXPECT_EQ(t.state(iid), playedState());
    EXPECT_FALSE(player.playing);
    EXPECT_TRUE(tbf.isActive());
}

TEST_F(AsRunDispatchTest, SleepAndWakeFromLogindAreLogged)
{
    FixedClock fixed(QDateTime(day, QTime(12, 0)));
    setAppClock(&fixed);
    SleepWatch watch;
    watch.prepareForSleep(true);
    fixed.advanceSecs(600);
    watch.prepareForSleep(false);
    setAppClock(nullptr);
    EXPECT_EQ(eventsOf(AsRunEvent::asleep).size(), 1);
    EXPECT_EQ(eventsOf(AsRunEvent::awake).size(), 1);
}

} // namespace
