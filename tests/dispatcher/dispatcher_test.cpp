#include "dispatcher_fixture.h"

#include <QSignalSpy>

TEST_F(DispatcherFixture, LateStartPlaysFromTheFirstItemAndStopsFourSecondsEarly)
{
    const QString a = t.file(QStringLiteral("music/a.mp3"));
    const int iid = t.add({QStringLiteral("早操"), QStringLiteral("08:00:00"), QStringLiteral("08:30:00"),
                           QStringLiteral("1"), a, QStringLiteral("顺序播放"), 50});
    t.openGrid();

    setTime(8, 10, 0);
    dispatcher->tbfTimer();
    EXPECT_EQ(player.current, a);
    EXPECT_TRUE(player.playing);
    EXPECT_EQ(player.volume, 84);
    EXPECT_EQ(player.caption, QStringLiteral("播放列表 正在播放:早操"));
    EXPECT_EQ(dispatcher->runningCount(), 1);
    EXPECT_EQ(dispatcher->stopTime(), QStringLiteral("8:29:56"));
    EXPECT_EQ(dispatcher->currentEntryId(), iid);
    EXPECT_TRUE(tjs.isActive());
    EXPECT_TRUE(tbf.isActive());

    runUntil(QTime(8, 29, 55, 500));
    EXPECT_TRUE(player.playing);
    EXPECT_EQ(t.state(iid), waitingState());

    runUntil(QTime(8, 29, 56));
    EXPECT_FALSE(player.playing);
    EXPECT_FALSE(tjs.isActive());
    EXPECT_EQ(dispatcher->runningCount(), 0);
    EXPECT_EQ(player.caption, QStringLiteral("播放列表"));
    EXPECT_EQ(t.state(iid), playedState());
    // The play list stays as the programme left it.
    EXPECT_EQ(player.list, QStringList{a});
}

TEST_F(DispatcherFixture, EntriesOutsideAStartableWindowNeverStart)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    const int shortOne =
        t.add({QStringLiteral("铃"), QStringLiteral("08:00:00"), QStringLiteral("08:00:04"), QStringLiteral("1"), a});
    const int done = t.add({QStringLiteral("已完成"), QStringLiteral("09:00:00"), QStringLiteral("09:30:00"),
                            QStringLiteral("1"), a, QStringLiteral("顺序播放"), 100, QStringLiteral("Y")});
    const int night =
        t.add({QStringLiteral("夜间"), QStringLiteral("23:00:00"), QStringLiteral("01:00:00"), QStringLiteral("1"), a});
    t.openGrid();

    for (const auto &[from, to] :
         {std::pair{QTime(7, 59, 50), QTime(8, 0, 10)}, std::pair{QTime(8, 59, 50), QTime(9, 30, 10)},
          std::pair{QTime(22, 59, 50), QTime(23, 59, 59)}}) {
        clock = QDateTime(day, from, Qt::UTC);
        runUntil(to);
    }
    EXPECT_EQ(player.playPresses, 0);
    EXPECT_EQ(dispatcher->runningCount(), 0);
    // Passed entries are marked past, as the daily resolution would have marked them.
    EXPECT_EQ(t.state(shortOne), pastState());
    EXPECT_EQ(t.state(night), pastState());
    EXPECT_EQ(t.state(done), pastState());
}

TEST_F(DispatcherFixture, OverlappingEntryStartsAfterTheFirstEnds)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    const QString b = t.file(QStringLiteral("b.mp3"));
    const int first =
        t.add({QStringLiteral("甲"), QStringLiteral("08:00:00"), QStringLiteral("08:30:00"), QStringLiteral("1"), a});
    const int second =
        t.add({QStringLiteral("乙"), QStringLiteral("08:20:00"), QStringLiteral("08:40:00"), QStringLiteral("1"), b});
    t.openGrid();
    QSignalSpy started(dispatcher.get(), &Dispatcher::programmeStarted);
    std::pair<QString, QString> secondWhenFirstEnded;
    QObject::connect(dispatcher.get(), &Dispatcher::programmeEnded, [&](int iid) {
        if (iid == first)
            secondWhenFirstEnded = t.state(second);
    });

    setTime(7, 59, 59);
    runUntil(QTime(8, 29, 55, 500));
    EXPECT_EQ(started.count(), 1);
    runUntil(QTime(8, 29, 56));
    EXPECT_EQ(t.state(first), playedState());
    // It starts after the first, so the first one's end does not mark it.
    EXPECT_EQ(secondWhenFirstEnded, waitingState());

    runUntil(QTime(8, 29, 57, 500));
    ASSERT_EQ(started.count(), 2);
    EXPECT_EQ(started.at(1).at(0).toInt(), second);
    EXPECT_EQ(player.current, b);
    EXPECT_EQ(dispatcher->stopTime(), QStringLiteral("8:39:56"));

    runUntil(QTime(8, 39, 56));
    EXPECT_EQ(t.state(second), playedState());
    EXPECT_FALSE(player.playing);
}

TEST_F(DispatcherFixture, EndOfAProgrammeLeavesEarlierEntriesThatNeverRanUnplayed)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    const int skipped =
        t.add({QStringLiteral("早"), QStringLiteral("07:00:00"), QStringLiteral("07:30:00"), QStringLiteral("1"), a});
    const int played =
        t.add({QStringLiteral("中"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), QStringLiteral("1"), a});
    const int after =
        t.add({QStringLiteral("后"), QStringLiteral("10:00:00"), QStringLiteral("10:10:00"), QStringLiteral("1"), a});
    t.openGrid();
    // Automatic playing was off until 08:00, so the 07:00 entry never ran.
    setTime(8, 0, 0);
    dispatcher->tbfTimer();
    EXPECT_EQ(dispatcher->currentEntryId(), played);
    EXPECT_EQ(t.state(skipped), pastState());
    runUntil(QTime(8, 9, 56));
    EXPECT_EQ(t.state(skipped), pastState());
    EXPECT_EQ(t.state(played), playedState());
    EXPECT_EQ(t.state(after), waitingState());
}

TEST_F(DispatcherFixture, VolumeAndPlayModesComeFromTheProgramme)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    const int silent = t.add({QStringLiteral("静"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"),
                              QStringLiteral("1"), a, QStringLiteral("随机播放"), 0});
    t.add({QStringLiteral("响"), QStringLiteral("08:20:00"), QStringLiteral("08:30:00"), QStringLiteral("1"), a,
           QStringLiteral("顺序播放"), 100});
    t.openGrid();
    t.view.setCurrentIndex(t.model->index(1, 0)); // the operator highlights the second row

    setTime(7, 0, 0);
    dispatcher->tbfTimer();
    // Modes follow the highlighted row at every tick.
    EXPECT_FALSE(player.randomMode);
    EXPECT_FALSE(player.loopMode);

    setTime(8, 0, 0);
    dispatcher->tbfTimer();
    EXPECT_EQ(player.volume, 0);
    EXPECT_EQ(dispatcher->currentEntryId(), silent);
    // Starting moved the highlight to the entry, so the next tick takes its modes.
    dispatcher->tbfTimer();
    EXPECT_TRUE(player.randomMode);
    EXPECT_TRUE(player.loopMode);

    runUntil(QTime(8, 20, 2));
    EXPECT_EQ(player.volume, 169);
}

TEST_F(DispatcherFixture, PausedPlayerIsResumedNotRestarted)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    t.add({QStringLiteral("节目"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), QStringLiteral("1"), a});
    t.openGrid();
    player.current = QStringLiteral("/music/earlier.mp3");
    player.playing = true;
    player.paused = true;

    setTime(8, 0, 0);
    dispatcher->tbfTimer();
    EXPECT_EQ(player.stopPresses, 0);
    EXPECT_EQ(player.playPresses, 1);
    EXPECT_EQ(player.current, QStringLiteral("/music/earlier.mp3"));
    EXPECT_FALSE(player.paused);
    EXPECT_EQ(player.list, QStringList{a});
}

TEST_F(DispatcherFixture, NetworkProgrammePlaysTheStreamWithoutPressingPlay)
{
    const QString url = QStringLiteral("http://127.0.0.1:8000/live");
    const int iid = t.add(
        {QStringLiteral("广播"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), QStringLiteral("4"), url});
    t.openGrid();

    setTime(8, 0, 0);
    dispatcher->tbfTimer();
    EXPECT_EQ(player.playPresses, 0);
    EXPECT_TRUE(player.streaming);
    EXPECT_EQ(player.streamUrl, url);
    EXPECT_TRUE(player.streamPanelShown);
    EXPECT_TRUE(player.list.isEmpty());
    EXPECT_EQ(dispatcher->currentKind(), QStringLiteral("4"));

    runUntil(QTime(8, 9, 56));
    EXPECT_FALSE(player.streaming);
    EXPECT_FALSE(player.streamPanelShown);
    EXPECT_EQ(t.state(iid), playedState());
    // Kept until the next tick while idle.
    EXPECT_EQ(dispatcher->currentKind(), QStringLiteral("4"));
    runUntil(QTime(8, 10, 0));
    EXPECT_EQ(dispatcher->currentKind(), QString());
}

TEST_F(DispatcherFixture, DayEndShutdownAfterTheLastWaitingEntryOnly)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    for (const QString &setting : {QStringLiteral("0"), QStringLiteral("1")}) {
        SCOPED_TRACE(setting.toStdString());
        t.clear();
        t.add({QStringLiteral("一"), QStringLiteral("17:00:00"), QStringLiteral("17:10:00"), QStringLiteral("1"), a});
        t.add({QStringLiteral("二"), QStringLiteral("17:20:00"), QStringLiteral("17:30:00"), QStringLiteral("1"), a});
        t.openGrid();
        strover = setting;
        setTime(16, 59, 0);
        runUntil(QTime(17, 9, 57));
        EXPECT_FALSE(shutdown.isStarted()); // one entry still waits
        runUntil(QTime(17, 29, 56));
        EXPECT_EQ(shutdown.isStarted(), setting == QStringLiteral("1"));
        if (shutdown.isStarted()) {
            EXPECT_FALSE(tbf.isActive());
            EXPECT_FALSE(tjs.isActive());
            QSignalSpy done(&shutdown, &ShutdownSequence::finished);
            ASSERT_TRUE(done.wait(2000));
            EXPECT_EQ(power.requests(), 1);
            EXPECT_EQ(windowsClosed, 1);
        }
    }
}

TEST_F(DispatcherFixture, MissedStopSecondStillEndsTheProgramme)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    const int first =
        t.add({QStringLiteral("一"), QStringLiteral("08:00:00"), QStringLiteral("08:30:00"), QStringLiteral("1"), a});
    const int slept =
        t.add({QStringLiteral("二"), QStringLiteral("08:40:00"), QStringLiteral("08:50:00"), QStringLiteral("1"), a});
    const int next =
        t.add({QStringLiteral("三"), QStringLiteral("09:00:00"), QStringLiteral("09:30:00"), QStringLiteral("1"), a});
    t.openGrid();
    setTime(8, 0, 0);
    dispatcher->tbfTimer();
    ASSERT_EQ(dispatcher->currentEntryId(), first);

    // The machine sleeps from 08:20 to 09:05: neither timer ran in the stop second.
    setTime(9, 5, 0, 200);
    dispatcher->tbfTimer(); // the dispatcher's tick may come first after waking
    EXPECT_EQ(t.state(first), playedState());
    EXPECT_EQ(t.state(slept), pastState()); // not started late
    EXPECT_EQ(dispatcher->currentEntryId(), next);
    EXPECT_EQ(dispatcher->runningCount(), 1);

    // Asleep over midnight: the end watcher ends it the next morning at its first tick.
    clock = QDateTime(day.addDays(1), QTime(6, 0, 0), Qt::UTC);
    dispatcher->tjsTimer();
    EXPECT_EQ(dispatcher->runningCount(), 0);
    EXPECT_EQ(t.state(next), playedState());
}

TEST_F(DispatcherFixture, RebuiltTableAndDatabaseErrorsDoNotStopTheSchedule)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    t.add({QStringLiteral("一"), QStringLiteral("08:00:00"), QStringLiteral("08:30:00"), QStringLiteral("1"), a});
    t.openGrid();
    setTime(8, 0, 0);
    dispatcher->tbfTimer();
    ASSERT_EQ(dispatcher->runningCount(), 1);

    // The day's table is rebuilt while the programme runs: its iid no longer exists.
    t.clear();
    const int rebuilt =
        t.add({QStringLiteral("一"), QStringLiteral("08:00:00"), QStringLiteral("08:30:00"), QStringLiteral("1"), a});
    runUntil(QTime(8, 29, 56));
    EXPECT_EQ(dispatcher->runningCount(), 0);
    EXPECT_EQ(t.state(rebuilt), waitingState());

    // The database goes away: ticks fail quietly and keep coming.
    dbhouse().close();
    dispatcher->tbfTimer();
    EXPECT_TRUE(tbf.isActive());
}

namespace {

QStringList schedulerLog;

void captureSchedulerLog(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (QLatin1String(context.category) == QLatin1String("chimecast.scheduler"))
        schedulerLog.append(message);
}

} // namespace

TEST_F(DispatcherFixture, StartedStoppedAndSkippedProgrammesAreLogged)
{
    const QString a = t.file(QStringLiteral("a.mp3"));
    t.add({QStringLiteral("早读"), QStringLiteral("07:00:00"), QStringLiteral("07:20:00"), QStringLiteral("1"), a});
    const int bell =
        t.add({QStringLiteral("上课"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), QStringLiteral("1"), a});
    t.openGrid();
    schedulerLog.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureSchedulerLog);
    setTime(8, 0, 0);
    dispatcher->tbfTimer();
    runUntil(QTime(8, 9, 56));
    qInstallMessageHandler(previous);

    EXPECT_EQ(schedulerLog, (QStringList{QStringLiteral("programme skipped, its time passed: 早读 07:00:00-07:20:00"),
                                         QStringLiteral("programme started: 上课 08:00:00-08:10:00 (kind 1) ") + a,
                                         QStringLiteral("programme stopped and marked played: entry %1").arg(bell)}));
}
