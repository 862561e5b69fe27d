#include "player/media_length.h"

#include "platform/media_player.h"
#include "player/media_kinds.h"

#include "sonvox/api/sonvox.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString two(qint64 v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

} // namespace

int mediaLengthSecs(const QString &path, QString *error)
{
    if (!QFileInfo(path).isFile()) {
        setError(error, QStringLiteral("%1: no such file").arg(path));
        return -1;
    }
    switch (engineForPath(path)) {
    case PlayEngine::Library: {
        int frequency = 0;
        int seconds = 0;
        if (svGetFileInfo(QFile::encodeName(path).constData(), &frequency, &seconds) != 1) {
            setError(error, QStringLiteral("%1: not a playable MP3 or WAV file").arg(path));
            return -1;
        }
        return seconds;
    }
    case PlayEngine::Media: {
        const qint64 ms = mediaFileLengthMs(path, error);
        return ms < 0 ? -1 : static_cast<int>(ms / 1000);
    }
    case PlayEngine::None: break;
    }
    setError(error, QStringLiteral("%1: not a media file the program plays").arg(path));
    return -1;
}

QString fileDurationText(qint64 secs)
{
    if (secs < 0)
        secs = 0;
    return two(secs / 3600) + QLatin1Char(':') + two(secs / 60 % 60) + QLatin1Char(':') + two(secs % 60);
}

QString folderDurationText(qint64 secs)
{
    if (secs < 0)
        secs = 0;
    return QString::number(secs / 3600) + QLatin1Char(':') + two(secs / 60 % 60) + QLatin1Char(':') + two(secs % 60);
}

FolderMeasurement::FolderMeasurement(QObject *parent, MeasureFn measure)
    : QObject(parent),
      measure_(measure ? std::move(measure) : MeasureFn([](const QString &p) { return mediaLengthSecs(p); }))
{}

FolderMeasurement::~FolderMeasurement()
{
    cancel();
    join();
}

void FolderMeasurement::join()
{
    if (worker_.joinable())
        worker_.join();
}

void FolderMeasurement::cancel()
{
    cancel_.store(true);
}

void FolderMeasurement::start(const QStringList &files)
{
    if (running_)
        return;
    join(); // the previous run has reported its end; its thread is finishing
    running_ = true;
    cancel_.store(false);
    // The destructor joins the thread before the object goes, so `this` outlives every
    // call posted here; posted calls still queued when it goes are dropped with it.
    worker_ = std::thread([this, files] {
        const int total = static_cast<int>(files.size());
        qint64 sum = 0;
        int failed = 0;
        int done = 0;
        for (const QString &file : files) {
            if (cancel_.load())
                break;
            const int secs = measure_(file);
            if (secs < 0)
                ++failed;
            else
                sum += secs;
            ++done;
            QMetaObject::invokeMethod(
                this, [this, done, total] { Q_EMIT progress(done, total); }, Qt::QueuedConnection);
        }
        const bool cancelled = done < total;
        QMetaObject::invokeMethod(
            this,
            [this, sum, failed, cancelled] {
                running_ = false;
                Q_EMIT finished(sum, failed, cancelled);
            },
            Qt::QueuedConnection);
    });
}
