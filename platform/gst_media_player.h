#pragma once
// GStreamer implementation of the media layer: a playbin per open file, audio only,
// its audio sink a bin that converts to interleaved stereo float, applies the
// process-wide volume word per channel, and feeds the sink named by
// CHIMECAST_AUDIO_SINK. MIDI files are synthesised by fluiddec with the soundfont
// named explicitly (CHIMECAST_SOUNDFONT or Debian's TimGM6mb).

#include "platform/media_player.h"

typedef struct _GstElement GstElement;

class GstMediaPlayer final : public MediaPlayer
{
public:
    GstMediaPlayer() = default;
    ~GstMediaPlayer() override;
    GstMediaPlayer(const GstMediaPlayer &) = delete;
    GstMediaPlayer &operator=(const GstMediaPlayer &) = delete;

    bool open(const QString &path, QString *error = nullptr) override;
    bool play(QString *error = nullptr) override;
    void pause() override;
    bool resume(QString *error = nullptr) override;
    void stop() override;
    void close() override;

    bool isOpen() const override { return pipeline_ != nullptr; }
    qint64 positionMs() const override;
    qint64 lengthMs() const override;
    bool finished() const override;
    bool seekMs(qint64 ms) override;

    // How long open() waits for a file to prepare before giving up.
    static constexpr int kPrepareTimeoutMs = 10000;

private:
    // Reads what the pipeline has posted since the last call; remembers a
    // streaming error or the end of the stream.
    void drainBus() const;

    GstElement *pipeline_ = nullptr;
    mutable bool atEnd_ = false;
    mutable QString streamError_;
};
