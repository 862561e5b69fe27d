#include "platform/gst_media_player.h"

#include <QByteArray>
#include <QFileInfo>

#include <gst/gst.h>

#include <atomic>
#include <cstring>

namespace {

std::atomic<quint32> volumeWord{0xFFFFFFFFu};

// playbin's "flags": decode audio only, so a file with pictures never opens a window.
constexpr guint kPlayFlagAudio = 1u << 1;

constexpr const char kGainElementName[] = "chimecast_gain";

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool ensureGstreamer(QString *error)
{
    static const bool initialised = [] {
        GError *err = nullptr;
        const bool ok = gst_init_check(nullptr, nullptr, &err);
        if (err)
            g_error_free(err);
        return ok;
    }();
    if (!initialised)
        setError(error, QStringLiteral("GStreamer could not be initialised"));
    return initialised;
}

const QByteArray &soundFontPath()
{
    static const QByteArray path = [] {
        QByteArray fromEnv = qgetenv("CHIMECAST_SOUNDFONT");
        return fromEnv.isEmpty() ? QByteArray("/usr/share/sounds/sf2/TimGM6mb.sf2") : fromEnv;
    }();
    return path;
}

QByteArray sinkDescription()
{
    const QByteArray fromEnv = qgetenv("CHIMECAST_AUDIO_SINK").trimmed();
    return fromEnv.isEmpty() ? QByteArray("autoaudiosink") : fromEnv;
}

// playbin builds its decoders on the fly; the MIDI synthesiser gets its soundfont here,
// before it starts, so it never goes looking for one on its own.
void onElementSetup(GstElement *, GstElement *element, gpointer)
{
    GstElementFactory *factory = gst_element_get_factory(element);
    if (factory && std::strcmp(GST_OBJECT_NAME(factory), "fluiddec") == 0)
        g_object_set(element, "soundfont", soundFontPath().constData(), nullptr);
}

// Multiplies each interleaved stereo float frame by the left and right levels of the
// volume word. Runs on the streaming thread; the word is read once per buffer.
GstPadProbeReturn applyVolumeWord(GstPad *, GstPadProbeInfo *info, gpointer)
{
    const quint32 word = volumeWord.load(std::memory_order_relaxed);
    if (word == 0xFFFFFFFFu)
        return GST_PAD_PROBE_OK;
    GstBuffer *buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READWRITE))
        return GST_PAD_PROBE_OK;
    const float left = float(word & 0xFFFFu) / 65535.0f;
    const float right = float(word >> 16) / 65535.0f;
    float *samples = reinterpret_cast<float *>(map.data);
    const gsize frames = map.size / (2 * sizeof(float));
    for (gsize i = 0; i < frames; ++i) {
        samples[2 * i] *= left;
        samples[2 * i + 1] *= right;
    }
    gst_buffer_unmap(buffer, &map);
    return GST_PAD_PROBE_OK;
}

// The audio sink of a playing pipeline: stereo float, the volume word, then the sink
// chosen by the environment.
GstElement *makeAudioSink(QString *error)
{
    const QByteArray description = QByteArray("audioconvert ! capsfilter name=") + kGainElementName
                                   + " caps=\"audio/x-raw,format=F32LE,layout=interleaved,channels=2\""
                                     " ! audioconvert ! audioresample ! "
                                   + sinkDescription();
    GError *err = nullptr;
    GstElement *bin = gst_parse_bin_from_description(description.constData(), TRUE, &err);
    if (!bin) {
        setError(error, QStringLiteral("audio sink \"%1\" cannot be built: %2")
                            .arg(QString::fromUtf8(sinkDescription()),
                                 QString::fromUtf8(err ? err->message : "unknown error")));
        if (err)
            g_error_free(err);
        return nullptr;
    }
    if (err)
        g_error_free(err);
    GstElement *gain = gst_bin_get_by_name(GST_BIN(bin), kGainElementName);
    GstPad *pad = gst_element_get_static_pad(gain, "src");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, applyVolumeWord, nullptr, nullptr);
    gst_object_unref(pad);
    gst_object_unref(gain);
    return bin;
}

// A playbin on `path` with the given audio sink (ownership passes to the playbin).
GstElement *makePlaybin(const QString &path, GstElement *audioSink, QString *error)
{
    GError *err = nullptr;
    gchar *uri = gst_filename_to_uri(QFile::encodeName(path).constData(), &err);
    if (!uri) {
        setError(error, QStringLiteral("%1: not a usable file name").arg(path));
        if (err)
            g_error_free(err);
        gst_object_unref(gst_object_ref_sink(audioSink));
        return nullptr;
    }
    GstElement *playbin = gst_element_factory_make("playbin", nullptr);
    if (!playbin) {
        g_free(uri);
        setError(error, QStringLiteral("the GStreamer element playbin is missing"));
        gst_object_unref(gst_object_ref_sink(audioSink));
        return nullptr;
    }
    g_object_set(playbin, "uri", uri, "audio-sink", audioSink, "flags", kPlayFlagAudio, nullptr);
    g_free(uri);
    g_signal_connect(playbin, "element-setup", G_CALLBACK(onElementSetup), nullptr);
    return playbin;
}

QString errorText(GstMessage *message)
{
    GError *err = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &err, &debug);
    const QString text = QString::fromUtf8(err ? err->message : "stream error");
    if (err)
        g_error_free(err);
    g_free(debug);
    return text;
}

// Brings `pipeline` to PAUSED and waits until its sinks hold their first sample (or it
// fails, or the time-out passes). Nothing is heard: sinks only render in PLAYING.
bool prepare(GstElement *pipeline, const QString &path, QString *error)
{
    const GstStateChangeReturn change = gst_element_set_state(pipeline, GST_STATE_PAUSED);
    if (change == GST_STATE_CHANGE_SUCCESS || change == GST_STATE_CHANGE_NO_PREROLL)
        return true;
    GstBus *bus = gst_element_get_bus(pipeline);
    bool prepared = false;
    QString failure = QStringLiteral("%1: cannot be opened").arg(path);
    const gint64 deadline = g_get_monotonic_time() + gint64(GstMediaPlayer::kPrepareTimeoutMs) * 1000;
    for (;;) {
        const gint64 left = deadline - g_get_monotonic_time();
        if (left <= 0) {
            failure = QStringLiteral("%1: not ready within %2 ms").arg(path).arg(GstMediaPlayer::kPrepareTimeoutMs);
            break;
        }
        GstMessage *message = gst_bus_timed_pop_filtered(bus, GstClockTime(left) * 1000,
                                                         GstMessageType(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR));
        if (!message)
            continue;
        const bool done = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE;
        if (!done)
            failure = QStringLiteral("%1: %2").arg(path, errorText(message));
        gst_message_unref(message);
        prepared = done;
        break;
    }
    gst_object_unref(bus);
    if (!prepared)
        setError(error, failure);
    return prepared;
}

void destroyPipeline(GstElement *pipeline)
{
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

qint64 queryMs(GstElement *pipeline, bool duration)
{
    gint64 ns = -1;
    const bool ok = duration ? gst_element_query_duration(pipeline, GST_FORMAT_TIME, &ns)
                             : gst_element_query_position(pipeline, GST_FORMAT_TIME, &ns);
    return ok && ns >= 0 ? qint64(ns / GST_MSECOND) : -1;
}

bool checkFile(const QString &path, QString *error)
{
    if (!QFileInfo(path).isFile()) {
        setError(error, QStringLiteral("%1: no such file").arg(path));
        return false;
    }
    return true;
}

} // namespace

GstMediaPlayer::~GstMediaPlayer()
{
    close();
}

bool GstMediaPlayer::open(const QString &path, QString *error)
{
    close();
    if (!ensureGstreamer(error) || !checkFile(path, error))
        return false;
    GstElement *sink = makeAudioSink(error);
    if (!sink)
        return false;
    GstElement *playbin = makePlaybin(path, sink, error);
    if (!playbin)
        return false;
    if (!prepare(playbin, path, error)) {
        destroyPipeline(playbin);
        return false;
    }
    pipeline_ = playbin;
    atEnd_ = false;
    streamError_.clear();
    return true;
}

void GstMediaPlayer::drainBus() const
{
    if (!pipeline_)
        return;
    GstBus *bus = gst_element_get_bus(pipeline_);
    while (GstMessage *message = gst_bus_pop(bus)) {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS)
            atEnd_ = true;
        else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
            streamError_ = errorText(message);
        gst_message_unref(message);
    }
    gst_object_unref(bus);
}

bool GstMediaPlayer::play(QString *error)
{
    if (!pipeline_) {
        setError(error, QStringLiteral("nothing is open"));
        return false;
    }
    drainBus();
    const qint64 length = lengthMs();
    const qint64 position = positionMs();
    if (atEnd_ || (length > 0 && position >= length)) {
        gst_element_seek_simple(pipeline_, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT),
                                0);
        atEnd_ = false;
    }
    if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        drainBus();
        setError(error, streamError_.isEmpty() ? QStringLiteral("the audio sink cannot start") : streamError_);
        return false;
    }
    return true;
}

void GstMediaPlayer::pause()
{
    if (pipeline_)
        gst_element_set_state(pipeline_, GST_STATE_PAUSED);
}

bool GstMediaPlayer::resume(QString *error)
{
    return play(error);
}

void GstMediaPlayer::stop()
{
    if (!pipeline_)
        return;
    gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    gst_element_seek_simple(pipeline_, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
    atEnd_ = false;
}

bool GstMediaPlayer::seekMs(qint64 ms)
{
    if (!pipeline_ || ms < 0)
        return false;
    atEnd_ = false;
    return gst_element_seek_simple(pipeline_, GST_FORMAT_TIME,
                                   GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), ms * GST_MSECOND);
}

void GstMediaPlayer::close()
{
    if (!pipeline_)
        return;
    destroyPipeline(pipeline_);
    pipeline_ = nullptr;
    atEnd_ = false;
    streamError_.clear();
}

qint64 GstMediaPlayer::positionMs() const
{
    if (!pipeline_)
        return -1;
    drainBus();
    return queryMs(pipeline_, false);
}

qint64 GstMediaPlayer::lengthMs() const
{
    return pipeline_ ? queryMs(pipeline_, true) : -1;
}

bool GstMediaPlayer::finished() const
{
    drainBus();
    return pipeline_ && atEnd_;
}

std::unique_ptr<MediaPlayer> createMediaPlayer()
{
    return std::make_unique<GstMediaPlayer>();
}

qint64 mediaFileLengthMs(const QString &path, QString *error)
{
    if (!ensureGstreamer(error) || !checkFile(path, error))
        return -1;
    GstElement *sink = gst_element_factory_make("fakesink", nullptr);
    if (!sink) {
        setError(error, QStringLiteral("the GStreamer element fakesink is missing"));
        return -1;
    }
    GstElement *playbin = makePlaybin(path, sink, error);
    if (!playbin)
        return -1;
    qint64 length = -1;
    if (prepare(playbin, path, error)) {
        length = queryMs(playbin, true);
        if (length < 0)
            setError(error, QStringLiteral("%1: length unknown").arg(path));
    }
    destroyPipeline(playbin);
    return length;
}

void setMediaVolumeWord(quint32 word)
{
    volumeWord.store(word, std::memory_order_relaxed);
}

quint32 mediaVolumeWord()
{
    return volumeWord.load(std::memory_order_relaxed);
}
