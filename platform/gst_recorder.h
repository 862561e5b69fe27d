#pragma once
// GStreamer implementation of the recorder: the source (CHIMECAST_RECORD_SOURCE or the
// desktop's input), conversion to the requested format, and a fake sink whose pad
// probe writes each buffer to the file on the streaming thread. The program writes
// the WAV file itself, so a short write (a full disk) is noticed at once and the file
// always ends on a whole frame.

#include "platform/audio_recorder.h"

#include <QByteArray>

#include <atomic>
#include <mutex>

typedef struct _GstElement GstElement;

class GstRecorder final : public AudioRecorder
{
public:
    GstRecorder() = default;
    ~GstRecorder() override;
    GstRecorder(const GstRecorder &) = delete;
    GstRecorder &operator=(const GstRecorder &) = delete;

    bool start(const QString &path, const RecordFormat &format, QString *error = nullptr) override;
    bool stop(QString *error = nullptr) override;
    bool checkFailure(QString *reason) override;
    bool isRecording() const override { return pipeline_ != nullptr; }
    qint64 dataBytes() const override { return written_.load(); }

    // The source description start() uses when CHIMECAST_RECORD_SOURCE is not set.
    static QByteArray defaultSource();

    // How long start() waits for the first samples, and stop() for the end of stream.
    static constexpr int kFirstSampleTimeoutMs = 3000;
    static constexpr int kEndOfStreamTimeoutMs = 2000;

    // Called on the streaming thread with each buffer.
    void writeSamples(const quint8 *data, qsizetype size);

private:
    // Stops the pipeline, writes the header, syncs and renames. Safe to call once the
    // pipeline is gone.
    bool finish(QString *error);
    void releasePipeline();
    // A bus error or end of stream, when one waits.
    bool popBusError(int timeoutMs, QString *reason, bool *endOfStream);

    GstElement *pipeline_ = nullptr;
    RecordFormat format_;
    QString target_;
    QString partPath_;

    std::mutex fileLock_; // guards fd_ between the streaming thread and finish()
    int fd_ = -1;
    std::atomic<qint64> written_{0};
    std::atomic<bool> firstSample_{false};
    std::atomic<bool> writeFailed_{false};
    std::atomic<int> writeErrno_{0};
};
