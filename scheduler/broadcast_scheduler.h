#pragma once

// Puts the scheduler into the main window: the dispatcher on tbf and tjs, the timed
// shutdown on tgj, the operator's overrides on the grid's pop-up menu and the grid, all
// over the data module and the clock. The main window's wiring fills a
// BroadcastSchedulerContext with the window's timers, menu items and accessors and creates
// one after its first show has opened the database, with an adapter over its main player.

#include "scheduler/broadcast_player.h"
#include "scheduler/scheduled_shutdown.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QPushButton;
class QTableView;
class QTimer;
class QWidget;
class TQuery;
class PowerOff;
class Dispatcher;
class ManualOverrides;
class ShutdownSequence;
class DbhouseScheduleStore;
class QueryTodayGrid;

// What the scheduler takes from the main window. Every pointer must outlive the scheduler.
struct BroadcastSchedulerContext
{
    QObject *owner = nullptr; // parent of the scheduler (the main window)

    QTimer *tbf = nullptr; // dispatcher tick
    QTimer *tjs = nullptr; // end watcher
    QTimer *tgj = nullptr; // timed shutdown watcher

    QTableView *DBGrid4 = nullptr;   // today's timetable
    TQuery *todayQuery = nullptr;    // the query the grid shows (qjrjm)
    QAction *N3 = nullptr;           // "手动播放此节目"
    QAction *N21 = nullptr;          // "停止手动播放节目"
    QAction *N23 = nullptr;          // "人工插播音乐"
    QAction *N25 = nullptr;          // "停止自动播放"
    QPushButton *BitBtn26 = nullptr; // hidden: fill the play list from the highlighted row
    QWidget *dialogParent = nullptr; // parent of the overrides' dialogs

    BroadcastPlayer *player = nullptr;
    FolderScanner *scanner = nullptr;

    std::function<QDateTime()> now;
    std::function<QString()> timetableName; // today's timetable, as the last resolution set it
    std::function<QString()> strover;       // "1": shut down after the day's last programme
    std::function<QString()> stroff;        // "1": shut down at strofftime
    std::function<QString()> strofftime;

    ShutdownSequence::Hooks shutdownHooks; // tray icon away, main window closed
    // Defaults to the implementation the environment asks for (createPowerOff()).
    std::unique_ptr<PowerOff> power;
};

class BroadcastScheduler : public QObject
{
    Q_OBJECT
public:
    explicit BroadcastScheduler(BroadcastSchedulerContext context);
    ~BroadcastScheduler() override;

    Dispatcher &dispatcher() { return *dispatcher_; }
    ManualOverrides &overrides() { return *overrides_; }
    ShutdownSequence &shutdownSequence() { return *sequence_; }

private:
    std::unique_ptr<PowerOff> power_;
    std::unique_ptr<DbhouseScheduleStore> store_;
    std::unique_ptr<QueryTodayGrid> grid_;
    std::unique_ptr<ShutdownSequence> sequence_;
    std::unique_ptr<Dispatcher> dispatcher_;
    std::unique_ptr<ScheduledShutdown> timedShutdown_;
    std::unique_ptr<ManualOverrides> overrides_;
};
