#include "core/clock.h"
#include "core/time_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(FramesToTimeText, FieldsAndLimits)
{
    struct Case
    {
        std::uint32_t units;
        const char *text;
    };
    const Case cases[] = {
        {0, "00:00:00.00"},
        {24, "00:00:00.24"},
        {25, "00:00:01.00"},
        {3725u * 25u, "01:02:05.00"},
        {359999u * 25u, "99:59:59.00"},
        {360000u * 25u, "100:00:00.00"},
        {0xFFFFFFFFu, "47721:51:31.20"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FramesToTimeText(c.units), QString::fromLatin1(c.text)) << c.units;
}

TEST(WeekdayName, FollowsTheClockAcrossMidnight)
{
    FixedClock clock(QDateTime(QDate(2024, 3, 10), QTime(12, 0))); // a Sunday
    setAppClock(&clock);
    const char *const names[] = {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};
    for (const char *name : names) {
        EXPECT_EQ(WeekdayName(), QString::fromUtf8(name)) << qPrintable(clock.now().toString());
        clock.advanceSecs(24 * 3600);
    }
    clock.set(QDateTime(QDate(2024, 3, 14), QTime(23, 59, 59)));
    EXPECT_EQ(WeekdayName(), QStringLiteral("星期四"));
    clock.advanceMSecs(1001);
    EXPECT_EQ(WeekdayName(), QStringLiteral("星期五"));
    setAppClock(nullptr);
}

TEST(TimeTexts, DateLabelColumnsAndSettingsDates)
{
    EXPECT_EQ(dateLabelText(QDate(2013, 10, 31)), QStringLiteral("2013年10月31日  星期四"));
    EXPECT_EQ(dateLabelText(QDate(2024, 3, 4)), QStringLiteral("2024年03月04日  星期一"));
    EXPECT_EQ(weekdayColumn(QStringLiteral("星期一")), QStringLiteral("xq1"));
    EXPECT_EQ(weekdayColumn(QStringLiteral("星期日")), QStringLiteral("xq7"));
    EXPECT_TRUE(weekdayColumn(QStringLiteral("无")).isEmpty());
    EXPECT_EQ(clockText(QTime(7, 5, 9, 999)), QStringLiteral("07:05:09"));
    EXPECT_EQ(parseSettingsDate(QStringLiteral("2024-03-14")), QDate(2024, 3, 14));
    EXPECT_FALSE(parseSettingsDate(QStringLiteral("14/03/2024")).isValid());
    EXPECT_FALSE(parseSettingsDate(QStringLiteral("2024-02-30")).isValid());
}

} // namespace
