#pragma once
// The main player's view of the audio library that plays MP3 and WAV files. One call per
// library export, in the library's own terms, so the player's sequence of calls stays
// visible and tests can record it with a fake. sonvox_engine.* connects it to
// libsonvox.

#include <QString>

class LibraryEngine
{
public:
    virtual ~LibraryEngine() = default;
    // Stops whatever the current instance plays.
    virtual void stop() = 0;
    // A fresh instance that draws its spectrum into the effect window's panel.
    virtual void init() = 0;
    // Starts `path` on the current instance; a refusal shows in failure().
    virtual void play(const QString &path) = 0;
    // Why the file last started could not be played (its file or the sound device
    // refused, or no audio was decoded), in the library's words; empty when nothing
    // failed. Asked after lengthSecs(), which waits for the library's answer.
    virtual QString failure() { return {}; }
    // Whether that failure was the sound device (missing, busy or failing), not the file.
    virtual bool failureIsSoundDevice() { return false; }
    // Length of `path` in whole seconds; 0 when it cannot be read.
    virtual int lengthSecs(const QString &path) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
};
