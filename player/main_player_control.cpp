#include "player/main_player_control.h"

#include "player/main_player.h"
#include "player/main_player_panel.h"

void MainPlayerControl::stopPlayback()
{
    panel_.player().BitBtn4Click();
}

void MainPlayerControl::clearPlayList()
{
    panel_.player().BitBtn7Click();
}

void MainPlayerControl::applyStartVolume(int position)
{
    panel_.setVolumePosition(position);
}
