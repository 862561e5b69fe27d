#pragma once
// The audio library behind the main player's LibraryEngine, and the library's volume
// setter as an output of the process-wide volume word.

#include "player/library_engine.h"
#include "player/system_volume.h"

#include "sonvox/api/sonvox.h"

class SonvoxEngine final : public LibraryEngine
{
public:
    // Spectrum bars the main player asks for.
    static constexpr int kBands = 32;

    // `panel` is where each new instance draws its spectrum, `width` x `height` pixels
    // (the effect window's drawing panel). Its callback and user pointer must stay
    // valid while the engine lives. A null panel draws nothing.
    explicit SonvoxEngine(const sv_panel *panel = nullptr, int width = 257, int height = 47);
    // Releases the library's current instance.
    ~SonvoxEngine() override;
    SonvoxEngine(const SonvoxEngine &) = delete;
    SonvoxEngine &operator=(const SonvoxEngine &) = delete;

    void stop() override;
    void init() override;
    void play(const QString &path) override;
    int lengthSecs(const QString &path) override;
    QString failure() override;
    bool failureIsSoundDevice() override;
    void pause() override;
    void resume() override;

private:
    sv_panel panel_{};
    bool hasPanel_ = false;
    int width_;
    int height_;
};

// Hands the volume word to libsonvox, which applies it as a gain to everything it plays.
class SonvoxVolume final : public VolumeOutput
{
public:
    void setVolumeWord(quint32 word) override { svSetVolume(word); }
};
