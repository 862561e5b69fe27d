#include "scheduler/broadcast_scheduler.h"

#include "core/logging.h"

#include "db/dbhouse.h"
#include "platform/power_off.h"
#include "scheduler/dbhouse_schedule.h"
#include "scheduler/dispatcher.h"
#include "scheduler/manual_overrides.h"
#include "scheduler/play_list_filling.h"
#include "scheduler/scheduled_shutdown.h"

#include <QPushButton>

BroadcastScheduler::BroadcastScheduler(BroadcastSchedulerContext context)
    : QObject(context.owner),
      power_(context.power ? std::move(context.power) : createPowerOff())
{
    store_ = std::make_unique<DbhouseScheduleStore>(dbhouse());
    grid_ = std::make_unique<QueryTodayGrid>(context.DBGrid4, context.todayQuery);
    sequence_ = std::make_unique<ShutdownSequence>(*power_, context.shutdownHooks);

    DispatcherContext c;
    c.tbf = context.tbf;
    c.tjs = context.tjs;
    c.timetableName = context.timetableName;
    c.grid = grid_.get();
    c.store = store_.get();
    c.player = context.player;
    c.scanner = context.scanner;
    c.now = context.now;
    c.strover = context.strover;
    c.shutdown = sequence_.get();
    dispatcher_ = std::make_unique<Dispatcher>(c);

    timedShutdown_ = std::make_unique<ScheduledShutdown>(
        context.tgj, context.now, ScheduledShutdown::Settings{context.stroff, context.strofftime}, *sequence_);

    ManualOverridesContext m;
    m.N3 = context.N3;
    m.N21 = context.N21;
    m.N23 = context.N23;
    m.N25 = context.N25;
    m.tbf = context.tbf;
    m.DBGrid4 = context.DBGrid4;
    m.grid = grid_.get();
    m.store = store_.get();
    m.player = context.player;
    m.scanner = context.scanner;
    m.dialogParent = context.dialogParent;
    overrides_ = std::make_unique<ManualOverrides>(m);

    // The hidden "导入当前播放内容" button fills the play list from the highlighted programme.
    BroadcastPlayer *player = context.player;
    FolderScanner *scanner = context.scanner;
    connect(context.BitBtn26, &QPushButton::clicked, this, [this, player, scanner] {
        try {
            if (const std::optional<TodayEntry> entry = grid_->currentRow())
                fillPlayList(*entry, *player, *store_, *scanner);
        } catch (const std::exception &e) {
            qCWarning(lcScheduler).noquote()
                << QStringLiteral("filling the play list: %1").arg(QString::fromUtf8(e.what()));
        }
    });

    // The dispatcher's state is also kept with the data module, where other windows read it.
    auto mirror = [this] {
        Tdbhouse &db = dbhouse();
        db.runningCount = dispatcher_->runningCount();
        db.currentEntryId = dispatcher_->currentEntryId();
        db.stopTime = QTime::fromString(dispatcher_->stopTime(), QStringLiteral("H:mm:ss"));
        db.currentKind = dispatcher_->currentKind();
    };
    connect(dispatcher_.get(), &Dispatcher::programmeStarted, this, mirror);
    connect(dispatcher_.get(), &Dispatcher::programmeEnded, this, mirror);
}

BroadcastScheduler::~BroadcastScheduler() = default;
