#pragma once

// The programme dispatcher: timer tbf starts each due programme of today's timetable,
// timer tjs (the end watcher) stops it four seconds before its end time and marks the
// working table. Both handlers switch their timer off on entry and on again at the end
// unless their job is done, so neither runs twice at once.

#include "scheduler/broadcast_player.h"
#include "scheduler/programme_outcome.h"
#include "scheduler/schedule_store.h"
#include "scheduler/today_grid.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class AsRunLog;
class QTimer;
class ShutdownSequence;
struct AsRunRecord;

struct DispatcherContext
{
    QTimer *tbf = nullptr;                  // dispatcher tick, 1500 ms
    QTimer *tjs = nullptr;                  // end watcher, 500 ms, armed while a programme runs
    std::function<QString()> timetableName; // today's timetable, as the resolution set it
    TodayGrid *grid = nullptr;
    ScheduleStore *store = nullptr;
    BroadcastPlayer *player = nullptr;
    FolderScanner *scanner = nullptr;
    std::function<QDateTime()> now;
    std::function<QString()> strover; // "1": shut down after the day's last programme
    ShutdownSequence *shutdown = nullptr;
    AsRunLog *log = nullptr; // the as-run log; the program-wide one when null
    // A monotonic clock in milliseconds (one that a suspend or a clock change does not
    // move), to tell a jump of the wall clock; QElapsedTimer's when empty.
    std::function<qint64()> monotonicMs;
};

class Dispatcher : public QObject
{
    Q_OBJECT
public:
    explicit Dispatcher(DispatcherContext context, QObject *parent = nullptr);

    void tbfTimer();
    void tjsTimer();

    // Scheduler state, readable by the main window and the manual player.
    int runningCount() const { return runningCount_; }
    int currentEntryId() const { return currentEntryId_; }
    QString stopTime() const { return stopTime_; }
    QString currentKind() const { return currentKind_; }
    // What became of the running (or last) programme's items; the player reports into it.
    ProgrammeOutcome &outcome() { return outcome_; }

    // A wall clock that moved this much more or less than the monotonic clock between two
    // ticks is logged as a clock change.
    static constexpr qint64 kClockJumpMs = 5000;

Q_SIGNALS:
    // A dispatched programme started or was ended and marked.
    void programmeStarted(int iid);
    void programmeEnded(int iid);
    // A tick found programmes whose windows passed unplayed and logged them as missed.
    void programmesMissed(int count);

private:
    void scan(int now);
    void start(const TodayEntry &entry, int stopSeconds);
    void endHandling();
    bool halted() const;
    void watchClock(const QDateTime &now);
    void sweepMissedAtStart(const QDateTime &now);
    void writeLog(const AsRunRecord &record);
    void logEntry(const TodayEntry &entry, const QString &event, const QString &reason, int items = -1);

    DispatcherContext c_;
    int runningCount_ = 0;
    int currentEntryId_ = 0;
    QString stopTime_;
    QString currentKind_;
    int stopSeconds_ = 0;
    QDate startDate_;
    TodayEntry current_;    // the running programme, for the log
    int currentItems_ = -1; // files in its play list; -1 for a stream
    bool failureLogged_ = false;
    ProgrammeOutcome outcome_;
    QDateTime lastWall_; // wall and monotonic time of the previous tick
    qint64 lastMono_ = 0;
    bool sweptAtStart_ = false;
    int missedThisTick_ = 0;
};
