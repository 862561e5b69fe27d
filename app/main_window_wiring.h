#pragma once
// Puts the main player and the scheduler into the main window.
//
// Made by the entry routine once the windows exist: the play list (read from its file),
// the media layer, the audio library drawing into the effect window, the main player and
// its panel inside the first tab's `playerPanel`, the control and effect windows and the
// add-folder dialog hooked to the panel, the process volume reaching the library, and the
// player control the main window stops and empties the player through.
//
// startScheduler() runs after the main window's first show has opened the database: it
// puts the dispatcher, the timed shutdown and the operator's overrides on the window's
// timers and menus, playing through the main player and the network-stream player.
//
// Destroying it takes everything down in dependency order (scheduler, stream, panel,
// player, library); it must go before the windows it was given.

#include <functional>
#include <memory>

class BroadcastScheduler;
class GstMediaPlayer;
class MainPlayer;
class MainPlayerBroadcastAdapter;
class MainPlayerPanel;
class MediaFolderScanner;
class PlayList;
class PlayerControl;
class SonvoxEngine;
class StreamPlayer;
class TForm1;
class TForm2;
class TForm3;
class QWidget;

class MainWindowWiring
{
public:
    // `addFolder` is the dialog "添加目录" shows (may be null).
    MainWindowWiring(TForm1 &main, TForm2 &control, TForm3 &effect, QWidget *addFolder);
    ~MainWindowWiring();
    MainWindowWiring(const MainWindowWiring &) = delete;
    MainWindowWiring &operator=(const MainWindowWiring &) = delete;

    // Starts the scheduler on the main window; does nothing when the database failed to
    // open, the first show has not run, or it already runs.
    void startScheduler();
    bool schedulerStarted() const { return scheduler_ != nullptr; }

    PlayList &playList() { return *list_; }
    MainPlayer &player() { return *player_; }
    MainPlayerPanel &panel() { return *panel_; }
    StreamPlayer &streamPlayer() { return *stream_; }

    // Refills the play list from every programme of today's grid (the panel's Ctrl+A).
    void refillFromToday();

private:
    TForm1 &main_;
    std::unique_ptr<PlayList> list_;
    std::unique_ptr<GstMediaPlayer> media_;
    std::unique_ptr<SonvoxEngine> engine_;
    std::unique_ptr<MainPlayer> player_;
    MainPlayerPanel *panel_ = nullptr; // owned by the main window's playerPanel
    std::unique_ptr<StreamPlayer> stream_;
    std::unique_ptr<MainPlayerBroadcastAdapter> adapter_;
    std::unique_ptr<MediaFolderScanner> scanner_;
    std::unique_ptr<PlayerControl> control_;
    std::unique_ptr<BroadcastScheduler> scheduler_;
    std::function<void(QWidget *parent)> openManualPlayer_; // the manual player window
};
