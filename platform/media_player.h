#pragma once
// The media layer: plays the files the program's own audio library does not decode
// (WMA, MIDI) and reads their lengths. One small interface; gst_media_player.* holds
// the GStreamer implementation.
//
// All calls come from the user-interface thread. Nothing here reports the end of a
// track: callers time tracks themselves from lengthMs().
//
// Environment:
//   CHIMECAST_AUDIO_SINK  GStreamer description of the audio sink every media player
//                         uses, e.g. "fakesink", "fakesink sync=true" or
//                         "wavenc ! filesink location=/tmp/out.wav". Default:
//                         "autoaudiosink". Tests always set it.
//   CHIMECAST_SOUNDFONT   General MIDI soundfont for MIDI files. Default:
//                         /usr/share/sounds/sf2/TimGM6mb.sf2 (Debian timgm6mb-soundfont).

#include <QString>
#include <QtGlobal>

#include <memory>

class MediaPlayer
{
public:
    virtual ~MediaPlayer() = default;

    // Opens `path` (closing whatever was open) and prepares it up to its first sample
    // without making a sound. False, with a reason in *error, when the file is
    // missing, is not a media file this layer can decode, or does not prepare in time.
    virtual bool open(const QString &path, QString *error = nullptr) = 0;
    // Plays from the current position; from the start when the position is at the end.
    // False when nothing is open or the sink refuses to start.
    virtual bool play(QString *error = nullptr) = 0;
    // Holds the position; play() or resume() continues from it.
    virtual void pause() = 0;
    virtual bool resume(QString *error = nullptr) = 0;
    // Silences the file and rewinds it to the start; it stays open.
    virtual void stop() = 0;
    // Releases the file. Safe when nothing is open.
    virtual void close() = 0;

    virtual bool isOpen() const = 0;
    // Position and length of the open file in milliseconds; -1 when unknown or
    // nothing is open.
    virtual qint64 positionMs() const = 0;
    virtual qint64 lengthMs() const = 0;
    // True once the open file has played to its end (until play() starts it again).
    virtual bool finished() const = 0;
    // Moves the open file to `ms` milliseconds, keeping it playing or paused. False when
    // nothing is open or the file cannot seek; players that never seek keep this default.
    virtual bool seekMs(qint64 ms)
    {
        (void)ms;
        return false;
    }
};

// A media player on GStreamer whose sink is chosen by CHIMECAST_AUDIO_SINK.
std::unique_ptr<MediaPlayer> createMediaPlayer();

// Length of a media file in milliseconds, read without making a sound (the file is
// decoded up to its first sample into a fake sink). -1, with a reason in *error,
// when the file cannot be read.
qint64 mediaFileLengthMs(const QString &path, QString *error = nullptr);

// The process-wide volume word: left level in the low 16 bits, right level in the
// high 16 bits, each 0 (silent) ... 65535 (unchanged). Every media player applies it
// as a gain to the samples it outputs, from the next buffer on, so a change is heard
// at once by all of them. Starts at 0xFFFFFFFF. Safe to call from any thread.
void setMediaVolumeWord(quint32 word);
quint32 mediaVolumeWord();
