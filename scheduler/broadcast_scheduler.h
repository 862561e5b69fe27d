#pragma once

// Puts the scheduler into the main window: the dispatcher on tbf and tjs, the timed
// shutdown on tgj, the operator's overrides on PopupMenu1 and DBGrid4, all over the data
// module, the settings object and the application clock. The main window creates one,
// after its first show has opened the database, with an adapter over its main player.

#include "scheduler/broadcast_player.h"

#include <QObject>

#include <memory>

class TForm1;
class PowerOff;
class Dispatcher;
class ManualOverrides;
class ScheduledShutdown;
class ShutdownSequence;
class DbhouseScheduleStore;
class QueryTodayGrid;

class BroadcastScheduler : public QObject
{
    Q_OBJECT
public:
    // `power` defaults to the implementation the environment asks for (createPowerOff()).
    BroadcastScheduler(TForm1 &form, BroadcastPlayer &player, FolderScanner &scanner,
                       std::unique_ptr<PowerOff> power = {});
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
