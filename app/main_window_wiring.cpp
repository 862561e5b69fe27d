#include "app/main_window_wiring.h"

#include "core/logging.h"

#include "app/main_window.h"
#include "app/scheduler_context.h"
#include "app/main_window_manual_player.h"
#include "player/player_control.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "db/dbhouse.h"
#include "platform/gst_media_player.h"
#include "platform/power_off.h"
#include "player/main_player.h"
#include "player/main_player_control.h"
#include "player/main_player_panel.h"
#include "player/play_list.h"
#include "player/sonvox_engine.h"
#include "player/spectrum_panel.h"
#include "player/system_volume.h"
#include "scheduler/broadcast_scheduler.h"
#include "scheduler/manual_overrides.h"
#include "scheduler/dbhouse_schedule.h"
#include "scheduler/main_player_adapter.h"
#include "scheduler/play_list_filling.h"
#include "scheduler/stream_player.h"
#include "windows/control_window.h"
#include "windows/effect_window.h"

#include <QGuiApplication>
#include <QSlider>
#include <QVBoxLayout>

namespace {

// The library's volume setter as an output of the process volume, for the whole run.
SonvoxVolume sonvoxVolume;

// The main window's requests to the player: stopping also ends a network programme.
class WiredPlayerControl final : public PlayerControl
{
public:
    WiredPlayerControl(MainPlayerPanel &panel, MainPlayerBroadcastAdapter &adapter)
        : player_(panel),
          adapter_(adapter)
    {}
    void stopPlayback() override
    {
        adapter_.stopUrl();
        player_.stopPlayback();
    }
    void clearPlayList() override { player_.clearPlayList(); }
    void applyStartVolume(int position) override { player_.applyStartVolume(position); }

private:
    MainPlayerControl player_;
    MainPlayerBroadcastAdapter &adapter_;
};

} // namespace

MainWindowWiring::MainWindowWiring(TForm1 &main, TForm2 &control, TForm3 &effect, QWidget *addFolder)
    : main_(main)
{
    static const bool volumeAdded = [] {
        ProcessVolume::instance().addOutput(&sonvoxVolume);
        return true;
    }();
    (void)volumeAdded;

    list_ = std::make_unique<PlayList>(programPath(QStringLiteral("mplay.dll")));
    list_->load();
    media_ = std::make_unique<GstMediaPlayer>();
    engine_ = std::make_unique<SonvoxEngine>(effect.Panel2->panel(), SpectrumPanel::kWidth, SpectrumPanel::kHeight);
    player_ = std::make_unique<MainPlayer>(*list_, *engine_, *media_);
    player_->setTitleAccess([] { return QGuiApplication::applicationDisplayName(); },
                            [](const QString &title) { QGuiApplication::setApplicationDisplayName(title); });

    panel_ = new MainPlayerPanel(*player_, main.Timer1, main.playerPanel);
    auto *layout = new QVBoxLayout(main.playerPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel_);

    QSlider *balance = control.TrackBar1;
    panel_->setBalanceSource([balance] { return balance->value(); });
    panel_->setPositionStore([](int position) { appSettings().strposr = QString::number(position); });
    control.setAnchor(&main);
    effect.setAnchor(&main);
    panel_->setEffectWindow(&effect);
    panel_->setControlWindow(&control);
    MainPlayerPanel *panel = panel_;
    QObject::connect(&effect, &TForm3::closing, panel, [panel] { panel->effectWindowClosed(); });
    QObject::connect(&control, &TForm2::closing, panel, [panel] { panel->controlWindowClosed(); });
    QObject::connect(panel, &MainPlayerPanel::BitBtn6Clicked, panel, [this] { refillFromToday(); });
    if (addFolder) {
        QObject::connect(panel, &MainPlayerPanel::N16Clicked, addFolder, [addFolder] {
            addFolder->show();
            addFolder->raise();
        });
    }

    stream_ = std::make_unique<StreamPlayer>();
    adapter_ = std::make_unique<MainPlayerBroadcastAdapter>(*panel_, *stream_);
    scanner_ = std::make_unique<MediaFolderScanner>();
    control_ = std::make_unique<WiredPlayerControl>(*panel_, *adapter_);
    setPlayerControl(control_.get());
    openManualPlayer_ = installManualPlayer(main, control);
}

MainWindowWiring::~MainWindowWiring()
{
    scheduler_.reset();
    setPlayerControl(nullptr);
    control_.reset();
    if (stream_)
        stream_->stop();
    adapter_.reset();
    stream_.reset();
    scanner_.reset();
    // The panel drives the player and the window's Timer1: it goes before the player.
    delete panel_;
    panel_ = nullptr;
    if (player_ && player_->playing())
        player_->BitBtn4Click();
    player_.reset();
    // The library's instance is released here, before the windows and the process go.
    engine_.reset();
    media_.reset();
    list_.reset();
}

void MainWindowWiring::startScheduler()
{
    if (scheduler_ || !main_.firstShowDone() || main_.databaseFailed() || !dbhouse().isOpen())
        return;
    scheduler_ = std::make_unique<BroadcastScheduler>(schedulerContextFor(main_, *adapter_, *scanner_));
    scheduler_->overrides().setManualPlayerOpener(openManualPlayer_);
}

void MainWindowWiring::refillFromToday()
{
    TQuery *q = dbhouse().qjrjm;
    if (!q || !q->isActive() || q->recordCount() == 0)
        return;
    try {
        // Every programme's files in memory first; the list and its file change once.
        DbhouseScheduleStore store(dbhouse());
        QStringList files;
        for (int row = 0; row < q->recordCount(); ++row) {
            TodayEntry entry = todayEntryFromQuery(*q, row);
            entry.wjbz = entry.wjbz.trimmed();
            files += programmeFiles(entry, store, *scanner_);
        }
        list_->clear();
        list_->append(files);
    } catch (const std::exception &e) {
        qCWarning(lcApp).noquote() << QStringLiteral("refilling the play list: %1").arg(QString::fromUtf8(e.what()));
    }
    q->first();
    list_->setItemIndex(-1);
}
