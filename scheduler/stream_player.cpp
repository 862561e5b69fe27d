#include "scheduler/stream_player.h"

#include "core/logging.h"

#include "platform/media_player.h"

#include <gst/gst.h>

namespace {

double volumeFromWord(quint32 word)
{
    const double left = double(word & 0xffffu) / 65535.0;
    const double right = double(word >> 16) / 65535.0;
    return (left + right) / 2.0;
}

QString takeError(GError *err)
{
    const QString text = err ? QString::fromUtf8(err->message) : QString();
    if (err)
        g_error_free(err);
    return text;
}

} // namespace

StreamPlayer::StreamPlayer(QObject *parent)
    : QObject(parent)
{
    poll_.setInterval(250);
    connect(&poll_, &QTimer::timeout, this, &StreamPlayer::poll);
}

StreamPlayer::~StreamPlayer()
{
    stop();
}

bool StreamPlayer::play(const QString &url)
{
    stop();
    url_ = url;
    lastError_.clear();
    sounded_ = false;
    GError *err = nullptr;
    if (!gst_init_check(nullptr, nullptr, &err)) {
        lastError_ = QStringLiteral("GStreamer: %1").arg(takeError(err));
        return false;
    }
    const QByteArray uri = url.trimmed().toUtf8();
    if (!gst_uri_is_valid(uri.constData())) {
        lastError_ = QStringLiteral("not a network address: %1").arg(url);
        return false;
    }
    GstElement *playbin = gst_element_factory_make("playbin", nullptr);
    if (!playbin) {
        lastError_ = QStringLiteral("GStreamer playbin is not available");
        return false;
    }
    QByteArray sinkText = qgetenv("CHIMECAST_AUDIO_SINK").trimmed();
    if (sinkText.isEmpty())
        sinkText = "autoaudiosink";
    GstElement *sink = gst_parse_bin_from_description(sinkText.constData(), TRUE, &err);
    if (!sink) {
        lastError_ = QStringLiteral("audio sink \"%1\": %2").arg(QString::fromUtf8(sinkText), takeError(err));
        gst_object_unref(playbin);
        return false;
    }
    if (err)
        g_error_free(err);
    // Audio only: a stream's video, if any, is not shown.
    GstElement *fakeVideo = gst_element_factory_make("fakesink", nullptr);
    g_object_set(playbin, "uri", uri.constData(), "audio-sink", sink, "volume", volumeFromWord(mediaVolumeWord()),
                 nullptr);
    if (fakeVideo)
        g_object_set(playbin, "video-sink", fakeVideo, nullptr);
    if (gst_element_set_state(playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        lastError_ = QStringLiteral("cannot start the stream %1").arg(url);
        gst_element_set_state(playbin, GST_STATE_NULL);
        gst_object_unref(playbin);
        return false;
    }
    pipeline_ = playbin;
    poll_.start();
    return true;
}

void StreamPlayer::stop()
{
    poll_.stop();
    if (!pipeline_)
        return;
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(pipeline_);
    pipeline_ = nullptr;
}

qint64 StreamPlayer::positionMs() const
{
    gint64 pos = -1;
    if (pipeline_ && gst_element_query_position(pipeline_, GST_FORMAT_TIME, &pos) && pos >= 0)
        return pos / GST_MSECOND;
    return -1;
}

void StreamPlayer::poll()
{
    if (!pipeline_)
        return;
    g_object_set(pipeline_, "volume", volumeFromWord(mediaVolumeWord()), nullptr);
    if (!sounded_ && positionMs() > 0) {
        sounded_ = true;
        Q_EMIT sounding();
    }
    GstBus *bus = gst_element_get_bus(pipeline_);
    QString reason;
    while (GstMessage *msg = gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))) {
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR && reason.isEmpty()) {
            GError *err = nullptr;
            gst_message_parse_error(msg, &err, nullptr);
            reason = takeError(err);
        } else if (reason.isEmpty()) {
            reason = QStringLiteral("end of stream");
        }
        gst_message_unref(msg);
    }
    gst_object_unref(bus);
    if (reason.isEmpty())
        return;
    lastError_ = reason;
    qCWarning(lcScheduler).noquote() << QStringLiteral("network programme %1 stopped: %2").arg(url_, reason);
    stop();
    Q_EMIT stopped(reason);
}
