#pragma once
// Weekday names and time texts shared by the main window, the scheduler and the editors.

#include <QDate>
#include <QString>
#include <QTime>

#include <cstdint>

// Chinese name of the weekday of the current time of appClock(), "星期一" ... "星期日".
QString WeekdayName();
// The same for a given date.
QString WeekdayName(const QDate &date);

// A count of 1/25-second units as "hh:mm:ss.ff" (ff is the frame number 0..24, hours are
// not reduced modulo 24). Callers cut the last three characters for "hh:mm:ss".
QString FramesToTimeText(std::uint32_t units);

// Column of x_sjbsz ("xq1".."xq7") that holds the timetable of a weekday name; empty for an
// unknown name.
QString weekdayColumn(const QString &weekdayName);

// "2013年10月31日  星期四": the date label of the main window.
QString dateLabelText(const QDate &date);
// "HH:MM:SS" of a time of day (whole seconds).
QString clockText(const QTime &time);
// The time of day cut to whole seconds.
QTime wholeSeconds(const QTime &time);

// The date text kept in the settings (strrqr), "yyyy-MM-dd".
QString settingsDateText(const QDate &date);
// Reads a strrqr text; invalid QDate when it cannot be read.
QDate parseSettingsDate(const QString &text);
