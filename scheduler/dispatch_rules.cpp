#include "scheduler/dispatch_rules.h"

#include <algorithm>
#include <cmath>

namespace dispatch {

namespace {
constexpr int kDay = 24 * 60 * 60;

int wrapDay(int s)
{
    s %= kDay;
    return s < 0 ? s + kDay : s;
}
} // namespace

int secondsOfDay(const QTime &t)
{
    return t.hour() * 3600 + t.minute() * 60 + t.second();
}

namespace {

// "HH:MM:SS" exactly, the form the database keeps; the common case of every tick.
std::optional<int> parseStoredTime(const QString &t)
{
    if (t.size() != 8 || t.at(2) != QLatin1Char(':') || t.at(5) != QLatin1Char(':'))
        return std::nullopt;
    int parts[3];
    for (int i = 0; i < 3; ++i) {
        const QChar hi = t.at(i * 3);
        const QChar lo = t.at(i * 3 + 1);
        if (!hi.isDigit() || !lo.isDigit() || hi.unicode() > '9' || lo.unicode() > '9')
            return std::nullopt;
        parts[i] = (hi.unicode() - '0') * 10 + (lo.unicode() - '0');
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
        return std::nullopt;
    return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

} // namespace

std::optional<int> parseTimeOfDay(const QString &text)
{
    if (const std::optional<int> fast = parseStoredTime(text))
        return fast;
    QString t = text.trimmed();
    const qsizetype sep = std::max(t.lastIndexOf(QLatin1Char(' ')), t.lastIndexOf(QLatin1Char('T')));
    if (sep >= 0)
        t = t.mid(sep + 1);
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        t = t.left(dot);
    for (const QString &format : {QStringLiteral("HH:mm:ss"), QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")}) {
        const QTime parsed = QTime::fromString(t, format);
        if (parsed.isValid())
            return secondsOfDay(parsed);
    }
    return std::nullopt;
}

QString timeText(int s)
{
    return QTime(0, 0).addSecs(wrapDay(s)).toString(QStringLiteral("HH:mm:ss"));
}

QString shortTimeText(int s)
{
    return QTime(0, 0).addSecs(wrapDay(s)).toString(QStringLiteral("H:mm:ss"));
}

bool isDue(int now, int start, int end, const QString &over, int runningCount)
{
    return now >= start && now < end - kStopLeadSeconds && over == QStringLiteral("N") && runningCount == 0;
}

bool isPast(int now, int end)
{
    return now >= end;
}

PlayModes playModesFor(const QString &bffs)
{
    if (bffs == QStringLiteral("随机播放"))
        return {true, true};
    if (bffs == QStringLiteral("顺序播放"))
        return {false, false};
    return {false, true};
}

int volumePositionFor(double yldx)
{
    if (!std::isfinite(yldx))
        return 0;
    const double percent = std::clamp(std::trunc(yldx), 0.0, 100.0);
    return static_cast<int>(std::trunc(percent / 100.0 * 169.0));
}

bool endIsDue(const QDateTime &now, const QDate &startDate, int stopTime)
{
    if (now.date() != startDate)
        return true;
    return secondsOfDay(now.time()) >= stopTime;
}

bool shutdownIsDue(int now, int offTime)
{
    return now > offTime && now <= offTime + kShutdownWindowSeconds;
}

} // namespace dispatch
