#pragma once
// Building today's working table b_sjbjr from the weekly assignment: copy the rows of the
// timetable assigned to today's weekday (none on a holiday or for "无"), number them in
// start-time order and mark those whose end time has passed. The rebuild runs in one
// transaction, so a failure part-way leaves the previous working table as it was.

#include <QDate>
#include <QDateTime>
#include <QString>

#include <functional>

class Tdbhouse;

// True when some holiday date of x_jrb equals the date (a holiday stored with a time part
// other than midnight never does). Issues the holiday scan on qdc.
bool isHoliday(Tdbhouse &db, const QDate &date);

// Today's timetable name: the x_sjbsz column of the weekday name; empty when the table has
// no row. Issues the weekly read on qcx.
QString timetableNameFor(Tdbhouse &db, const QString &weekdayName);

struct ResolutionResult
{
    bool holiday = false;
    QString weekday;       // weekday name of the resolution
    QString timetableName; // today's timetable (set also on a holiday; the caller decides)
    int copied = 0;        // rows copied into b_sjbjr
    int markedPast = 0;    // rows marked over = 'Y' because their end time had passed
};

// Resolves the timetable of now's date into b_sjbjr. stopPlayback is called before the
// table is changed on a working day (never on a holiday); its errors are ignored.
// Leaves qjrjm open on all rows of b_sjbjr in start-time order. Throws DbError; on an
// error b_sjbjr is left as it was before the call.
ResolutionResult resolveTimetable(Tdbhouse &db, const QDateTime &now, const std::function<void()> &stopPlayback = {});
