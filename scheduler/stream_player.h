#pragma once

// Plays a network programme: a GStreamer playbin on the address, into the sink named by
// CHIMECAST_AUDIO_SINK (default autoaudiosink). Starting never waits for the network;
// a dead or refused stream is logged and stops itself, the schedule goes on. The
// process-wide volume word is applied as the playbin's volume while it plays.

#include <QObject>
#include <QString>
#include <QTimer>

typedef struct _GstElement GstElement;

class StreamPlayer : public QObject
{
    Q_OBJECT
public:
    explicit StreamPlayer(QObject *parent = nullptr);
    ~StreamPlayer() override;

    // Starts playing `url` (closing what played before). False, with a reason in
    // lastError(), when the address is not a URI or the pipeline cannot be built.
    bool play(const QString &url);
    // Stops and releases the stream. Safe when nothing plays.
    void stop();

    // True from play() until stop(), an error or the end of the stream.
    bool isPlaying() const { return pipeline_ != nullptr; }
    QString url() const { return url_; }
    QString lastError() const { return lastError_; }
    // Whether the stream started last has delivered sound.
    bool sounded() const { return sounded_; }
    // Position in milliseconds; -1 when unknown.
    qint64 positionMs() const;

Q_SIGNALS:
    // The stream failed or ended by itself and has been released.
    void stopped(const QString &reason);
    // The stream delivered its first sound (its position moved past zero).
    void sounding();

private:
    void poll();

    GstElement *pipeline_ = nullptr;
    QTimer poll_;
    QString url_;
    QString lastError_;
    bool sounded_ = false;
};
