#include "core/time_helpers.h"

#include "core/clock.h"

QString WeekdayName()
{
    return WeekdayName(appClock().now().date());
}

QString WeekdayName(const QDate &date)
{
    switch (date.dayOfWeek()) {
    case 1: return QStringLiteral("星期一");
    case 2: return QStringLiteral("星期二");
    case 3: return QStringLiteral("星期三");
    case 4: return QStringLiteral("星期四");
    case 5: return QStringLiteral("星期五");
    case 6: return QStringLiteral("星期六");
    case 7: return QStringLiteral("星期日");
    default: return {};
    }
}

QString FramesToTimeText(std::uint32_t units)
{
    const std::uint32_t ff = units % 25;
    const std::uint32_t ss = (units / 25) % 60;
    const std::uint32_t mm = (units / 1500) % 60;
    const std::uint32_t hh = units / 90000;
    auto two = [](std::uint32_t v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return two(hh) + QLatin1Char(':') + two(mm) + QLatin1Char(':') + two(ss) + QLatin1Char('.') + two(ff);
}

QString weekdayColumn(const QString &weekdayName)
{
    static const QString names[] = {
        QStringLiteral("星期一"), QStringLiteral("星期二"), QStringLiteral("星期三"), QStringLiteral("星期四"),
        QStringLiteral("星期五"), QStringLiteral("星期六"), QStringLiteral("星期日"),
    };
    for (int i = 0; i < 7; ++i) {
        if (names[i] == weekdayName)
            return QStringLiteral("xq%1").arg(i + 1);
    }
    return {};
}

QString dateLabelText(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy年MM月dd日")) + QStringLiteral("  ") + WeekdayName(date);
}

QString clockText(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QTime wholeSeconds(const QTime &time)
{
    return QTime(time.hour(), time.minute(), time.second());
}

QString settingsDateText(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QDate parseSettingsDate(const QString &text)
{
    return QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
}
