#pragma once

// Reads and marks today's working table for the scheduler (DbhouseScheduleStore does it
// through the data module). Errors are thrown as exceptions derived from
// std::runtime_error, so a timer handler can drop the rest of its tick.

#include <QString>
#include <QStringList>
#include <QList>

#include <optional>

// One row of today's working table b_sjbjr.
struct TodayEntry
{
    int iid = 0;
    QString sjmc;      // timetable name
    QString jmmc;      // programme name
    QString kssj;      // start time of day, as stored
    QString jssj;      // end time of day, as stored
    QString wjpath;    // file, song list name, folder or network address, by wjbz
    QString bffs;      // play mode
    QString bfzt;      // play state text
    QString wjbz;      // kind: "1" file, "2" song list, "3" folder, "4" network address
    QString over;      // "N" waiting, "Y" done or past
    double yldx = 100; // volume in percent
    int ixh = 0;       // position in today's timetable
};

class ScheduleStore
{
public:
    virtual ~ScheduleStore() = default;
    // Today's entries of one timetable, by start time.
    virtual QList<TodayEntry> entriesOf(const QString &sjmc) = 0;
    // One entry by key; nullopt when the table no longer holds it.
    virtual std::optional<TodayEntry> entryById(int iid) = 0;
    // Marks done ("Y") every entry still waiting that starts before `t0` ("HH:MM:SS");
    // their play state stays "未播放", and entries already done keep theirs.
    virtual void markWaitingBefore(const QString &t0) = 0;
    // Marks one entry finished ("Y", "已播放").
    virtual void markFinished(int iid) = 0;
    // Marks one entry done without a sound ("Y", "未能播放"): nothing of it could be played.
    virtual void markFailed(int iid) = 0;
    // Marks one entry past ("Y"), its play state unchanged.
    virtual void markPast(int iid) = 0;
    // Entries still waiting ("N").
    virtual int countWaiting() = 0;
    // The songs of a saved song list, in play order.
    virtual QStringList songListPaths(const QString &lbmc) = 0;
};
