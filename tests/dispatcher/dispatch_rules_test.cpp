#include "scheduler/dispatch_rules.h"

#include <gtest/gtest.h>

using namespace dispatch;

namespace {
int at(int h, int m, int s)
{
    return h * 3600 + m * 60 + s;
}
} // namespace

TEST(DispatchRules, DueOnlyInsideTheStartWindow)
{
    const QString N = QStringLiteral("N");
    const QString Y = QStringLiteral("Y");
    struct Case
    {
        const char *what;
        int now, start, end;
        QString over;
        int running;
        bool due;
    };
    const Case cases[] = {
        {"at the start second", at(8, 0, 0), at(8, 0, 0), at(8, 30, 0), N, 0, true},
        {"one second early", at(7, 59, 59), at(8, 0, 0), at(8, 30, 0), N, 0, false},
        {"late start at 08:10", at(8, 10, 0), at(8, 0, 0), at(8, 30, 0), N, 0, true},
        {"last second before the stop lead", at(8, 29, 55), at(8, 0, 0), at(8, 30, 0), N, 0, true},
        {"at the stop time", at(8, 29, 56), at(8, 0, 0), at(8, 30, 0), N, 0, false},
        {"four-second entry never starts", at(8, 0, 0), at(8, 0, 0), at(8, 0, 4), N, 0, false},
        {"shorter entry never starts", at(8, 0, 0), at(8, 0, 0), at(8, 0, 2), N, 0, false},
        {"midnight crossing, evening", at(23, 30, 0), at(23, 0, 0), at(1, 0, 0), N, 0, false},
        {"midnight crossing, morning", at(0, 30, 0), at(23, 0, 0), at(1, 0, 0), N, 0, false},
        {"already done", at(8, 10, 0), at(8, 0, 0), at(8, 30, 0), Y, 0, false},
        {"another programme runs", at(8, 10, 0), at(8, 0, 0), at(8, 30, 0), N, 1, false},
        {"end before the stop lead of midnight", at(0, 0, 0), at(0, 0, 0), at(0, 0, 3), N, 0, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(isDue(c.now, c.start, c.end, c.over, c.running), c.due) << c.what;
}

TEST(DispatchRules, PlayModesAndVolume)
{
    EXPECT_EQ(playModesFor(QStringLiteral("随机播放")), (PlayModes{true, true}));
    EXPECT_EQ(playModesFor(QStringLiteral("顺序播放")), (PlayModes{false, false}));
    EXPECT_EQ(playModesFor(QStringLiteral("顺序循环")), (PlayModes{false, true}));
    EXPECT_EQ(playModesFor(QString()), (PlayModes{false, true}));

    const std::pair<double, int> volumes[] = {
        {0, 0}, {100, 169}, {50, 84}, {50.9, 84}, {1, 1}, {99, 167}, {33, 55}, {-5, 0}, {250, 169}, {std::nan(""), 0},
    };
    for (const auto &[percent, position] : volumes)
        EXPECT_EQ(volumePositionFor(percent), position) << percent;
}

TEST(DispatchRules, StoredTimesAreReadAsWholeSecondsOfTheDay)
{
    const std::pair<const char *, std::optional<int>> texts[] = {
        {"08:00:00", at(8, 0, 0)},
        {"8:05:09", at(8, 5, 9)},
        {"1899-12-30 17:30:00", at(17, 30, 0)},
        {"2026-12-10T23:59:59", at(23, 59, 59)},
        {"08:00:00.750", at(8, 0, 0)},
        {"", std::nullopt},
        {"25:00:00", std::nullopt},
        {"later", std::nullopt},
    };
    for (const auto &[text, seconds] : texts)
        EXPECT_EQ(parseTimeOfDay(QString::fromUtf8(text)), seconds) << text;
    EXPECT_EQ(timeText(at(8, 29, 56)), QStringLiteral("08:29:56"));
    EXPECT_EQ(shortTimeText(at(8, 29, 56)), QStringLiteral("8:29:56"));
    EXPECT_EQ(timeText(-4), QStringLiteral("23:59:56"));
}

TEST(DispatchRules, EndIsDueAtOrAfterTheStopTimeOrOnAnotherDay)
{
    const QDate day(2026, 12, 10);
    const int stop = at(8, 29, 56);
    EXPECT_FALSE(endIsDue(QDateTime(day, QTime(8, 29, 55, 999)), day, stop));
    EXPECT_TRUE(endIsDue(QDateTime(day, QTime(8, 29, 56)), day, stop));
    // The watcher missed the stop second: the programme still ends at the next look.
    EXPECT_TRUE(endIsDue(QDateTime(day, QTime(8, 31, 0)), day, stop));
    // Asleep over midnight, or the clock moved back a day.
    EXPECT_TRUE(endIsDue(QDateTime(day.addDays(1), QTime(7, 0, 0)), day, stop));
    EXPECT_TRUE(endIsDue(QDateTime(day.addDays(-1), QTime(8, 0, 0)), day, stop));
}

TEST(DispatchRules, TimedShutdownWindow)
{
    const int off = at(20, 0, 0);
    EXPECT_FALSE(shutdownIsDue(at(19, 59, 59), off));
    EXPECT_FALSE(shutdownIsDue(at(20, 0, 0), off));
    EXPECT_TRUE(shutdownIsDue(at(20, 0, 1), off));
    EXPECT_TRUE(shutdownIsDue(at(20, 0, 15), off));
    EXPECT_FALSE(shutdownIsDue(at(20, 0, 16), off));
    EXPECT_FALSE(shutdownIsDue(at(20, 0, 30), off));
    // Just before midnight the window is cut at the end of the day.
    EXPECT_TRUE(shutdownIsDue(at(23, 59, 59), at(23, 59, 50)));
    EXPECT_FALSE(shutdownIsDue(at(0, 0, 2), at(23, 59, 50)));
}
