#pragma once

// The scheduler's decisions as plain functions over whole seconds of the time of day,
// so the timer handlers stay thin and the rules can be checked in isolation.

#include <QDateTime>
#include <QString>

#include <optional>

namespace dispatch {

// A programme is stopped this many seconds before its end time.
constexpr int kStopLeadSeconds = 4;
// The timed shutdown fires on the first tick in the seconds after the set time.
constexpr int kShutdownWindowSeconds = 15;

// Whole seconds since midnight of a time of day (milliseconds dropped).
int secondsOfDay(const QTime &t);

// Reads a stored time of day: "HH:MM:SS", "H:mm:ss", or a date-time text whose time part
// is taken ("1899-12-30 08:00:00", "2026-01-05T08:00:00"). nullopt when unreadable.
std::optional<int> parseTimeOfDay(const QString &text);

// "HH:MM:SS" of a second count, used for the database comparisons; negative counts
// and counts past midnight wrap around the day.
QString timeText(int secondsOfDay);

// "H:mm:ss" of a second count, the form in which the stop time is kept.
QString shortTimeText(int secondsOfDay);

// Whether a waiting entry should be started at time `now`: started on or after its
// start, strictly before its end minus the stop lead, still waiting ("N"), and nothing
// else dispatched runs. An entry that ends before it starts (crossing midnight) or
// lasts no more than the stop lead is never due.
bool isDue(int now, int start, int end, const QString &over, int runningCount);

// Whether an entry still waiting has been missed entirely: its end time has come.
bool isPast(int now, int end);

struct PlayModes
{
    bool randomMode = false;
    bool loopMode = false;
    friend bool operator==(const PlayModes &, const PlayModes &) = default;
};

// "随机播放" random and looping, "顺序播放" neither, anything else looping only.
PlayModes playModesFor(const QString &bffs);

// Volume slider position 0..169 for a programme volume in percent: the whole percent
// scaled and cut toward zero (50 -> 84, 100 -> 169). Values outside 0..100 are held
// at the nearest end so a bad row cannot push the slider out of its range.
int volumePositionFor(double yldx);

// Whether the running programme must end now. It ends at the first look at or after
// its stop time on the day it started, and at once when the date has changed since
// (the computer slept through the stop time, or the clock was moved across a day).
bool endIsDue(const QDateTime &now, const QDate &startDate, int stopTime);

// Whether the timed shutdown is due: later than the set time and no later than the
// set time plus the window.
bool shutdownIsDue(int now, int offTime);

} // namespace dispatch
