#include "dispatcher_fixture.h"

#include "core/clock.h"
#include "db/as_run_log.h"
#include "scheduler/manual_overrides.h"

#include <QAction>

namespace {

class ManualOverridesTest : public DispatcherFixture
{
protected:
    void SetUp() override
    {
        DispatcherFixture::SetUp();
        ManualOverridesContext c;
        c.N3 = &N3;
        c.N21 = &N21;
        c.N23 = &N23;
        c.N25 = &N25;
        c.tbf = &tbf;
        c.DBGrid4 = &t.view;
        c.grid = t.grid.get();
        c.store = t.store.get();
        c.player = &player;
        c.scanner = &scanner;
        c.openManualPlayer = [this](QWidget *) {
            ++manualPlayerOpened;
            tbfRunningWhileManualPlayerOpen = tbf.isActive();
        };
        c.openUrl = [this](const QUrl &url) { opened.append(url); };
        overrides = std::make_unique<ManualOverrides>(c);
        a = t.file(QStringLiteral("a.mp3"));
        b = t.file(QStringLiteral("b.mp3"));
    }

    QAction N3{QStringLiteral("手动播放此节目")};
    QAction N21{QStringLiteral("停止手动播放节目")};
    QAction N23{QStringLiteral("人工插播音乐")};
    QAction N25{QStringLiteral("停止自动播放")};
    std::unique_ptr<ManualOverrides> overrides;
    int manualPlayerOpened = 0;
    bool tbfRunningWhileManualPlayerOpen = false;
    QList<QUrl> opened;
    QString a;
    QString b;
};

} // namespace

TEST_F(ManualOverridesTest, PlayNowAndStopWithoutTouchingTheSchedule)
{
    const QString url = QStringLiteral("http://127.0.0.1:8000/live");
    const int fileEntry =
        t.add({QStringLiteral("升旗"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), QStringLiteral("1"), a});
    t.add({QStringLiteral("广播"), QStringLiteral("09:00:00"), QStringLiteral("09:10:00"), QStringLiteral("4"), url});
    t.openGrid();
    setTime(7, 0, 0);

    N3.trigger();
    EXPECT_EQ(player.current, a);
    EXPECT_FALSE(N23.isEnabled());
    EXPECT_FALSE(N25.isEnabled());
    EXPECT_EQ(player.caption, QStringLiteral("播放列表 正在播放：升旗"));
    EXPECT_EQ(dispatcher->runningCount(), 0);
    EXPECT_EQ(t.state(fileEntry), waitingState());

    // A network entry next: the stream panel covers the list; a file entry brings it back.
    t.view.setCurrentIndex(t.model->index(1, 0));
    N3.trigger();
    EXPECT_FALSE(player.playing);
    EXPECT_TRUE(player.streaming);
    EXPECT_TRUE(player.streamPanelShown);
    t.view.setCurrentIndex(t.model->index(0, 0));
    N3.trigger();
    EXPECT_FALSE(player.streaming);
    EXPECT_FALSE(player.streamPanelShown);
    EXPECT_TRUE(player.playing);

    N21.trigger();
    EXPECT_FALSE(player.playing);
    EXPECT_TRUE(player.list.isEmpty());
    EXPECT_TRUE(N23.isEnabled());
    EXPECT_TRUE(N25.isEnabled());
    EXPECT_EQ(player.caption, QStringLiteral("播放列表"));
}

TEST_F(ManualOverridesTest, PlayNowOnAnEmptyGridDoesNothing)
{
    t.openGrid();
    player.playing = true;
    player.current = a;
    N3.trigger();
    EXPECT_EQ(player.stopPresses, 0);
    EXPECT_TRUE(N23.isEnabled());
    overrides->DBGrid4DblClick();
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(ManualOverridesTest, DueProgrammeStartsOverAManualOneAndItsEndStopsBoth)
{
    const int due =
        t.add({QStringLiteral("定时"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), QStringLiteral("1"), a});
    const int manual =
        t.add({QStringLiteral("手动"), QStringLiteral("09:00:00"), QStringLiteral("09:10:00"), QStringLiteral("1"), b});
    t.openGrid();
    setTime(8, 0, 0);
    dispatcher->tbfTimer();
    ASSERT_EQ(dispatcher->runningCount(), 1);

    // The operator plays the 09:00 entry now over the running programme.
    t.view.setCurrentIndex(t.model->index(1, 0));
    N3.trigger();
    EXPECT_EQ(player.current, b);
    EXPECT_EQ(dispatcher->runningCount(), 1);

    runUntil(QTime(8, 9, 56));
    EXPECT_FALSE(player.playing); // the dispatcher's end presses Stop for both
    EXPECT_EQ(t.state(due), playedState());
    EXPECT_EQ(t.state(manual), waitingState());
}

TEST_F(ManualOverridesTest, StoppingAutomaticPlayKeepsTheRunningProgrammesEnd)
{
    const int iid =
        t.add({QStringLiteral("节目"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), QStringLiteral("1"), a});
    t.add({QStringLiteral("下一个"), QStringLiteral("08:20:00"), QStringLiteral("08:30:00"), QStringLiteral("1"), b});
    t.openGrid();
    setTime(8, 0, 0);
    dispatcher->tbfTimer();

    N25.trigger();
    EXPECT_TRUE(N25.isChecked());
    EXPECT_TRUE(overrides->automaticPlayStopped());
    EXPECT_FALSE(tbf.isActive());
    EXPECT_FALSE(player.playing);
    EXPECT_TRUE(player.list.isEmpty());

    runUntil(QTime(8, 25, 0));
    EXPECT_EQ(t.state(iid), playedState()); // the end watcher still ran
    EXPECT_EQ(player.playPresses, 1);       // and nothing new started

    N25.trigger();
    EXPECT_FALSE(N25.isChecked());
    EXPECT_TRUE(tbf.isActive());
    EXPECT_TRUE(player.list.isEmpty()); // the emptied list is not restored
    runUntil(QTime(8, 25, 2));
    EXPECT_EQ(player.current, b);
}

TEST_F(ManualOverridesTest, InsertMusicStopsAndOpensTheManualPlayerWithTimersRunning)
{
    t.add({QStringLiteral("节目"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), QStringLiteral("1"), a});
    t.openGrid();
    N3.trigger();
    N23.trigger(); // disabled while a programme started by hand plays
    EXPECT_TRUE(player.playing);
    EXPECT_EQ(manualPlayerOpened, 0);

    N21.trigger();
    N3.trigger();
    N21.trigger();
    setTime(8, 0, 0);
    dispatcher->tbfTimer(); // a scheduled programme does not disable it
    ASSERT_TRUE(player.playing);
    N23.trigger();
    EXPECT_FALSE(player.playing);
    EXPECT_TRUE(player.list.isEmpty());
    EXPECT_EQ(player.caption, QStringLiteral("播放列表"));
    EXPECT_EQ(manualPlayerOpened, 1);
    EXPECT_TRUE(tbfRunningWhileManualPlayerOpen);
}

TEST_F(ManualOverridesTest, DoubleClickOpensTheEntrysLocation)
{
    const QString folder = t.dir.filePath(QStringLiteral("songs"));
    t.file(QStringLiteral("songs/x.mp3"));
    struct Case
    {
        QString path;
        QUrl expected;
    };
    const Case cases[] = {
        {folder, QUrl::fromLocalFile(folder)},
        {a, QUrl::fromLocalFile(t.dir.path())},
        {QStringLiteral("http://127.0.0.1:8000/live"), QUrl(QStringLiteral("http://127.0.0.1:8000/live"))},
        {t.dir.filePath(QStringLiteral("gone/y.mp3")), QUrl()},
        {QString(), QUrl()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ManualOverrides::locationFor(c.path), c.expected) << c.path.toStdString();

    t.add({QStringLiteral("文件夹"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), QStringLiteral("3"),
           folder});
    t.add({QStringLiteral("丢失"), QStringLiteral("09:00:00"), QStringLiteral("09:10:00"), QStringLiteral("1"),
           t.dir.filePath(QStringLiteral("gone.mp3"))});
    t.openGrid();
    Q_EMIT t.view.doubleClicked(t.model->index(0, 0));
    t.view.setCurrentIndex(t.model->index(1, 0));
    overrides->DBGrid4DblClick(); // nothing to open for a missing file
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
}

TEST_F(ManualOverridesTest, ManualStartAndStopAreInTheAsRunLog)
{
    const QString gone = t.dir.filePath(QStringLiteral("gone.mp3"));
    t.add({QStringLiteral("升旗"), QStringLiteral("08:00:00"), QStringLiteral("08:10:00"), QStringLiteral("1"), a});
    t.add({QStringLiteral("早操"), QStringLiteral("09:00:00"), QStringLiteral("09:10:00"), QStringLiteral("1"), gone});
    t.openGrid();
    N3.trigger();
    N21.trigger();
    t.view.setCurrentIndex(t.model->index(1, 0));
    N3.trigger();
    QStringList rows;
    for (const AsRunRecord &r : asRunLog().day(appClock().now().date()))
        rows.append(QStringLiteral("%1|%2|%3|%4").arg(r.jmmc, r.event).arg(r.items).arg(r.reason));
    EXPECT_EQ(rows, (QStringList{QStringLiteral("升旗|手动播放|1|"), QStringLiteral("升旗|手动停止|-1|"),
                                 QStringLiteral("早操|手动播放|0|") + AsRunReason::fileMissing(gone)}));
}
