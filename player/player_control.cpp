#include "player/player_control.h"

namespace {
PlayerControl nothing;
PlayerControl *installed = nullptr;
} // namespace

PlayerControl &playerControl()
{
    return installed ? *installed : nothing;
}

void setPlayerControl(PlayerControl *control)
{
    installed = control;
}
