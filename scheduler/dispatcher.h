#pragma once

// The programme dispatcher: timer tbf starts each due programme of today's timetable,
// timer tjs (the end watcher) stops it four seconds before its end time and marks the
// working table. Both handlers switch their timer off on entry and on again at the end
// unless their job is done, so neither runs twice at once.

#include "scheduler/broadcast_player.h"
#include "scheduler/schedule_store.h"
#include "scheduler/today_grid.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;
class ShutdownSequence;

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

Q_SIGNALS:
    // A dispatched programme started or was ended and marked.
    void programmeStarted(int iid);
    void programmeEnded(int iid);

private:
    void scan(int now);
    void start(const TodayEntry &entry, int stopSeconds);
    void endHandling();
    bool halted() const;

    DispatcherContext c_;
    int runningCount_ = 0;
    int currentEntryId_ = 0;
    QString stopTime_;
    QString currentKind_;
    int stopSeconds_ = 0;
    QDate startDate_;
};
