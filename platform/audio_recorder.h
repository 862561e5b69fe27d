#pragma once
// Recording from the sound input into a PCM WAV file. One small interface;
// gst_recorder.* holds the GStreamer implementation.
//
// The samples go to a hidden temporary file beside the target ("." + name + ".part");
// finishing a recording writes the header's sizes, flushes the file to the disk and
// renames it over the target, so the target is either the previous file or a complete
// WAV file whose header matches its data, never a file players refuse.
//
// All calls come from the user-interface thread.
//
// Environment:
//   CHIMECAST_RECORD_SOURCE  GStreamer description of the source recordings capture
//                            from, e.g. "audiotestsrc is-live=true freq=440" (what the
//                            tests use) or "alsasrc device=hw:1". Default: the desktop's
//                            sound server (pulsesrc, which PipeWire serves too, or
//                            pipewiresrc) when one runs for this user, else
//                            "alsasrc device=default".

#include <QString>
#include <QtGlobal>

#include <memory>

struct RecordFormat
{
    int channels = 1; // 1 or 2
    int bits = 16;    // 8 (unsigned samples, as WAV has them) or 16 (signed)
    int rate = 11025; // samples per second
};

// The 44-byte header of a PCM WAV file holding `dataBytes` bytes of samples.
QByteArray wavHeader(const RecordFormat &format, quint32 dataBytes);

class AudioRecorder
{
public:
    virtual ~AudioRecorder() = default;

    // Starts capturing into `path` (an existing file there is replaced when the
    // recording finishes). Returns once the first samples have arrived; false, with a
    // reason in *error and nothing left behind, when there is no input, the input is
    // busy or sends nothing, or the file cannot be made.
    virtual bool start(const QString &path, const RecordFormat &format, QString *error = nullptr) = 0;
    // Ends the recording and finishes the file. False, with a reason in *error, when
    // the file could not be finished; what was recorded up to a failure is kept.
    // Nothing happens (true) when no recording runs.
    virtual bool stop(QString *error = nullptr) = 0;
    // Looks at what the capture reported since the last call. When the input vanished
    // or the disk filled up, the recording is ended and finished here with what it
    // holds, and true is returned with the reason in *reason. False otherwise.
    virtual bool checkFailure(QString *reason) = 0;

    virtual bool isRecording() const = 0;
    // Bytes of samples written so far (or in the last recording, once it ended).
    virtual qint64 dataBytes() const = 0;
};

std::unique_ptr<AudioRecorder> createAudioRecorder();
