#pragma once

#include "fakes.h"

#include "platform/power_off.h"
#include "scheduler/dispatcher.h"
#include "scheduler/scheduled_shutdown.h"

#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

// A dispatcher over a temporary working table, a fake player and a clock the test moves.
// Timers are never left to the event loop: step() plays them in simulated time.
class DispatcherFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shutdown.setWaitMs(0);
        DispatcherContext c;
        c.tbf = &tbf;
        c.tjs = &tjs;
        c.timetableName = [this] { return timetableName; };
        c.grid = t.grid.get();
        c.store = t.store.get();
        c.player = &player;
        c.scanner = &scanner;
        c.now = [this] { return clock; };
        c.strover = [this] { return strover; };
        c.shutdown = &shutdown;
        c.monotonicMs = [this] { return mono; };
        dispatcher = std::make_unique<Dispatcher>(c);
        tbf.start(); // switched on by the first show
    }

    void setTime(int h, int m, int s, int ms = 0) { clock = QDateTime(day, QTime(h, m, s, ms), Qt::UTC); }

    // Advances the clock in 500 ms steps up to `until`, serving the end watcher at every
    // step and the dispatcher at every third, as their intervals would.
    void runUntil(const QTime &until)
    {
        while (clock.time() < until && clock.date() == day) {
            clock = clock.addMSecs(500);
            mono += 500;
            ++steps_;
            if (tjs.isActive())
                dispatcher->tjsTimer();
            if (steps_ % 3 == 0 && tbf.isActive())
                dispatcher->tbfTimer();
        }
    }

    // Skips whole dispatcher intervals while no programme runs, up to `until` at most,
    // keeping the ticks' phase. Use only where no entry can become due before `until`.
    void skipIdleUntil(const QTime &until)
    {
        while (!tjs.isActive() && clock.time().addMSecs(1500) < until && clock.time() < clock.time().addMSecs(1500)) {
            clock = clock.addMSecs(1500);
            mono += 1500;
            steps_ += 3;
        }
    }

    const QDate day{2026, 12, 10};
    TodayTable t;
    FakePlayer player;
    DirScanner scanner;
    QTimer tbf;
    QTimer tjs;
    QString timetableName = QStringLiteral("时间表1");
    QDateTime clock{day, QTime(7, 0), Qt::UTC};
    qint64 mono = 0; // the monotonic clock: moves with `clock` unless a test makes the wall clock jump
    QString strover = QStringLiteral("0");
    DryRunPowerOff power;
    int windowsClosed = 0;
    ShutdownSequence shutdown{power, {{}, [this] { ++windowsClosed; }}};
    std::unique_ptr<Dispatcher> dispatcher;

private:
    long steps_ = 0;
};

inline std::pair<QString, QString> playedState()
{
    return {QStringLiteral("Y"), QStringLiteral("已播放")};
}
inline std::pair<QString, QString> waitingState()
{
    return {QStringLiteral("N"), QStringLiteral("未播放")};
}
inline std::pair<QString, QString> pastState()
{
    return {QStringLiteral("Y"), QStringLiteral("未播放")};
}
