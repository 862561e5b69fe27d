#pragma once
// A media layer and a recorder that only record what is asked of them. The test keeps
// the shared state; the component owns the fake.

#include "platform/audio_recorder.h"
#include "platform/media_player.h"

#include <QSet>
#include <QStringList>

#include <memory>

struct FakeMediaState
{
    QStringList opened;   // every file opened, in order
    QSet<QString> broken; // files that do not open
    bool isOpen = false;
    bool finished = false; // the open file played to its end
    qint64 position = 0;
    qint64 length = 3000;
    int pauses = 0;
    int resumes = 0;
    int stops = 0;
    qint64 seekedTo = -1;
};

class FakeMedia final : public MediaPlayer
{
public:
    explicit FakeMedia(FakeMediaState &s)
        : s_(s)
    {}
    bool open(const QString &path, QString *error) override
    {
        if (s_.broken.contains(path)) {
            if (error)
                *error = QStringLiteral("not a media file");
            return false;
        }
        s_.opened.append(path);
        s_.isOpen = true;
        s_.finished = false;
        s_.position = 0;
        return true;
    }
    bool play(QString *) override { return s_.isOpen; }
    void pause() override { ++s_.pauses; }
    bool resume(QString *) override
    {
        ++s_.resumes;
        return true;
    }
    void stop() override { ++s_.stops; }
    void close() override { s_.isOpen = false; }
    bool isOpen() const override { return s_.isOpen; }
    qint64 positionMs() const override { return s_.isOpen ? s_.position : -1; }
    qint64 lengthMs() const override { return s_.isOpen ? s_.length : -1; }
    bool finished() const override { return s_.finished; }
    bool seekMs(qint64 ms) override
    {
        s_.seekedTo = ms;
        s_.position = ms;
        return s_.isOpen;
    }

private:
    FakeMediaState &s_;
};

struct FakeRecorderState
{
    bool startSucceeds = true;
    QString startError = QStringLiteral("录音设备无法打开");
    bool stopSucceeds = true;
    QString failure; // reported by the next checkFailure() when not empty
    bool recording = false;
    QString path;
    RecordFormat format;
    int starts = 0;
    int stops = 0;
};

class FakeRecorder final : public AudioRecorder
{
public:
    explicit FakeRecorder(FakeRecorderState &s)
        : s_(s)
    {}
    bool start(const QString &path, const RecordFormat &format, QString *error) override
    {
        ++s_.starts;
        if (!s_.startSucceeds) {
            if (error)
                *error = s_.startError;
            return false;
        }
        s_.path = path;
        s_.format = format;
        s_.recording = true;
        return true;
    }
    bool stop(QString *error) override
    {
        if (!s_.recording)
            return true;
        ++s_.stops;
        s_.recording = false;
        if (!s_.stopSucceeds && error)
            *error = QStringLiteral("磁盘空间不足");
        return s_.stopSucceeds;
    }
    bool checkFailure(QString *reason) override
    {
        if (!s_.recording || s_.failure.isEmpty())
            return false;
        s_.recording = false;
        *reason = s_.failure;
        return true;
    }
    bool isRecording() const override { return s_.recording; }
    qint64 dataBytes() const override { return 0; }

private:
    FakeRecorderState &s_;
};
