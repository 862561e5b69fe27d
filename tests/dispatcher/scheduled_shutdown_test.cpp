#include "platform/power_off.h"
#include "scheduler/scheduled_shutdown.h"

#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class ScheduledShutdownTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sequence.setWaitMs(0);
        watcher = std::make_unique<ScheduledShutdown>(
            &tgj, [this] { return clock; },
            ScheduledShutdown::Settings{[this] { return stroff; }, [this] { return strofftime; }}, sequence);
        tgj.start();
    }
    // One tgj tick at a time of day.
    void tickAt(int h, int m, int s)
    {
        clock = QDateTime(clock.date(), QTime(h, m, s), Qt::UTC);
        watcher->tgjTimer();
    }

    QTimer tgj;
    QDateTime clock{QDate(2026, 12, 10), QTime(19, 0), Qt::UTC};
    QString stroff = QStringLiteral("1");
    QString strofftime = QStringLiteral("20:00:00");
    DryRunPowerOff power;
    int trayHidden = 0;
    int windowsClosed = 0;
    ShutdownSequence sequence{power, {[this] { ++trayHidden; }, [this] { ++windowsClosed; }}};
    std::unique_ptr<ScheduledShutdown> watcher;
};

} // namespace

TEST_F(ScheduledShutdownTest, ShutsDownOnlyInTheFifteenSecondsAfterTheSetTime)
{
    const std::pair<QTime, bool> ticks[] = {
        {QTime(19, 59, 59), false}, {QTime(20, 0, 0), false},  {QTime(20, 0, 1), true},
        {QTime(20, 0, 15), true},   {QTime(20, 0, 16), false}, {QTime(20, 0, 30), false},
    };
    for (const auto &[time, shuts] : ticks) {
        SCOPED_TRACE(time.toString().toStdString());
        DryRunPowerOff p;
        ShutdownSequence s{p, {}};
        QTimer timer;
        ScheduledShutdown w(
            &timer, [&] { return QDateTime(clock.date(), time, Qt::UTC); },
            {[] { return QStringLiteral("1"); }, [] { return QStringLiteral("20:00:00"); }}, s);
        timer.start();
        w.tgjTimer();
        EXPECT_EQ(s.isStarted(), shuts);
        EXPECT_EQ(timer.isActive(), !shuts); // keeps watching until it fires
    }
}

TEST_F(ScheduledShutdownTest, StartedAfterTheWindowWaitsForTheNextDay)
{
    tickAt(20, 0, 30);
    tickAt(23, 59, 59);
    EXPECT_FALSE(sequence.isStarted());
    clock = clock.addDays(1);
    tickAt(20, 0, 0);
    EXPECT_FALSE(sequence.isStarted());
    tickAt(20, 0, 5);
    EXPECT_TRUE(sequence.isStarted());
}

TEST_F(ScheduledShutdownTest, SettingsAreReadAtEveryTick)
{
    stroff = QStringLiteral("0");
    tickAt(20, 0, 3);
    EXPECT_FALSE(sequence.isStarted());
    EXPECT_TRUE(tgj.isActive());

    // A shutdown time that is not a time never shuts down and keeps the watcher alive,
    // so a corrected value works without a restart.
    stroff = QStringLiteral("1");
    strofftime = QStringLiteral("eight pm");
    tickAt(20, 0, 4);
    EXPECT_FALSE(sequence.isStarted());
    EXPECT_TRUE(tgj.isActive());

    strofftime = QStringLiteral("20:00:00");
    tickAt(20, 0, 9);
    EXPECT_TRUE(sequence.isStarted());
}

TEST_F(ScheduledShutdownTest, SequenceKeepsTheEventLoopRunningThenPowersOffAndCloses)
{
    QTimer other;
    other.start(60000);
    sequence.addTimerToHalt(&other);
    sequence.setWaitMs(300);
    QSignalSpy done(&sequence, &ShutdownSequence::finished);

    bool paintedDuringWait = false;
    tickAt(20, 0, 2);
    EXPECT_TRUE(sequence.isStarted());
    EXPECT_EQ(trayHidden, 1);
    EXPECT_FALSE(other.isActive());
    EXPECT_FALSE(tgj.isActive());
    EXPECT_EQ(power.requests(), 0);
    QTimer::singleShot(0, [&] { paintedDuringWait = power.requests() == 0; });

    sequence.start(); // a second request while it runs changes nothing
    ASSERT_TRUE(done.wait(5000));
    EXPECT_TRUE(paintedDuringWait);
    EXPECT_EQ(power.requests(), 1);
    EXPECT_EQ(power.lastMessage(), QStringLiteral("系统正在关机！"));
    EXPECT_EQ(windowsClosed, 1);
    EXPECT_EQ(trayHidden, 1);
}

TEST(PowerOffChoice, RealPowerOffOnlyOutsideTestsAndWhenNotDryRun)
{
    struct Case
    {
        const char *what;
        QList<std::pair<QString, QString>> vars;
        PowerOffMode mode;
    };
    const QString p = QStringLiteral("CHIMECAST_POWEROFF");
    const Case cases[] = {
        {"unset", {}, PowerOffMode::Logind},
        {"logind", {{p, QStringLiteral("logind")}}, PowerOffMode::Logind},
        {"dry run", {{p, QStringLiteral("dry-run")}}, PowerOffMode::DryRun},
        {"unknown value", {{p, QStringLiteral("maybe")}}, PowerOffMode::DryRun},
        {"test harness", {{QStringLiteral("CHIMECAST_TEST_HARNESS"), QStringLiteral("1")}}, PowerOffMode::DryRun},
        {"under ctest asking for logind",
         {{p, QStringLiteral("logind")}, {QStringLiteral("DASHBOARD_TEST_FROM_CTEST"), QStringLiteral("3.25")}},
         PowerOffMode::DryRun},
    };
    for (const Case &c : cases) {
        QProcessEnvironment env;
        for (const auto &[k, v] : c.vars)
            env.insert(k, v);
        EXPECT_EQ(choosePowerOffMode(env), c.mode) << c.what;
    }
    // This process is a test: the factory must refuse the real call whatever else is set.
    const QByteArray saved = qgetenv("CHIMECAST_POWEROFF");
    qputenv("CHIMECAST_POWEROFF", "logind");
    const std::unique_ptr<PowerOff> made = createPowerOff();
    qputenv("CHIMECAST_POWEROFF", saved);
    EXPECT_TRUE(made->isDryRun());
}
