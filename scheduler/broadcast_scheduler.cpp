#include "scheduler/broadcast_scheduler.h"

#include "core/clock.h"
#include "app/main_window.h"
#include "core/settings.h"
#include "app/tray_notify_icon.h"
#include "db/dbhouse.h"
#include "platform/power_off.h"
#include "scheduler/dbhouse_schedule.h"
#include "scheduler/dispatcher.h"
#include "scheduler/manual_overrides.h"
#include "scheduler/play_list_filling.h"
#include "scheduler/scheduled_shutdown.h"

#include <QDebug>
#include <QPushButton>

BroadcastScheduler::BroadcastScheduler(TForm1 &form, BroadcastPlayer &player, FolderScanner &scanner,
                                       std::unique_ptr<PowerOff> power)
    : QObject(&form),
      power_(power ? std::move(power) : createPowerOff())
{
    store_ = std::make_unique<DbhouseScheduleStore>(dbhouse());
    grid_ = std::make_unique<QueryTodayGrid>(form.DBGrid4, dbhouse().qjrjm);

    TForm1 *window = &form;
    ShutdownSequence::Hooks hooks;
    hooks.hideTrayIcon = [window] {
        window->TrayNotifyIcon1->setIconVisible(false);
        window->TrayNotifyIcon1->setHideTask(false);
        window->show(); // the window comes back while the machine shuts down
    };
    hooks.closeMainWindow = [window] { window->close(); };
    sequence_ = std::make_unique<ShutdownSequence>(*power_, hooks);

    auto now = [] { return appClock().now(); };

    DispatcherContext c;
    c.tbf = form.tbf;
    c.tjs = form.tjs;
    c.lsjb = form.lsjb;
    c.grid = grid_.get();
    c.store = store_.get();
    c.player = &player;
    c.scanner = &scanner;
    c.now = now;
    c.strover = [] { return appSettings().strover; };
    c.shutdown = sequence_.get();
    dispatcher_ = std::make_unique<Dispatcher>(c);

    timedShutdown_ = std::make_unique<ScheduledShutdown>(
        form.tgj, now,
        ScheduledShutdown::Settings{[] { return appSettings().stroff; }, [] { return appSettings().strofftime; }},
        *sequence_);

    ManualOverridesContext m;
    m.N3 = form.N3;
    m.N21 = form.N21;
    m.N23 = form.N23;
    m.N25 = form.N25;
    m.tbf = form.tbf;
    m.DBGrid4 = form.DBGrid4;
    m.grid = grid_.get();
    m.store = store_.get();
    m.player = &player;
    m.scanner = &scanner;
    m.dialogParent = &form;
    overrides_ = std::make_unique<ManualOverrides>(m);

    // The hidden "导入当前播放内容" button fills the play list from the highlighted programme.
    connect(form.BitBtn26, &QPushButton::clicked, this, [this, &player, &scanner] {
        try {
            if (const std::optional<TodayEntry> entry = grid_->currentRow())
                fillPlayList(*entry, player, *store_, scanner);
        } catch (const std::exception &e) {
            qWarning().noquote()
                << QStringLiteral("chimecast: filling the play list: %1").arg(QString::fromUtf8(e.what()));
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
