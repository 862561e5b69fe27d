#pragma once
// What the main window asks of the main player (stop, empty the list, start volume),
// answered by the player panel and its MainPlayer. Install it with setPlayerControl().

#include "player/player_control.h"

class MainPlayerPanel;

class MainPlayerControl final : public PlayerControl
{
public:
    explicit MainPlayerControl(MainPlayerPanel &panel)
        : panel_(panel)
    {}
    // Stops the main player (the network player is stopped by its own owner).
    void stopPlayback() override;
    void clearPlayList() override;
    void applyStartVolume(int position) override;

private:
    MainPlayerPanel &panel_;
};
