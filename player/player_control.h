#pragma once
// What the main window asks of the main player. The player installs its implementation
// with setPlayerControl(); until then every call does nothing.

class PlayerControl
{
public:
    virtual ~PlayerControl() = default;
    // Stops whatever the main player and the network player are playing.
    virtual void stopPlayback() {}
    // Empties the play list and writes the empty list to the play-list file.
    virtual void clearPlayList() {}
    // Sets the main volume slider to a position 0..169 and applies it.
    virtual void applyStartVolume(int position) { (void)position; }
};

// The installed player control (a do-nothing one when none is installed).
PlayerControl &playerControl();
// Installs a player control (not owned); nullptr restores the do-nothing one.
void setPlayerControl(PlayerControl *control);
