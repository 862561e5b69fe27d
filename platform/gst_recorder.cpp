#include "platform/gst_recorder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <gst/gst.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr const char kSinkName[] = "chimecast_record_sink";
constexpr int kHeaderBytes = 44;
// A RIFF size is 32 bits: the data chunk stops short of it.
constexpr qint64 kMaxDataBytes = qint64(0xFFFFFFFFu) - 36;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool ensureGstreamer()
{
    static const bool initialised = [] {
        GError *err = nullptr;
        const bool ok = gst_init_check(nullptr, nullptr, &err);
        if (err)
            g_error_free(err);
        return ok;
    }();
    return initialised;
}

bool hasElement(const char *name)
{
    GstElementFactory *factory = gst_element_factory_find(name);
    if (!factory)
        return false;
    gst_object_unref(factory);
    return true;
}

QString writeErrorText(int err)
{
    if (err == ENOSPC || err == EFBIG || err == EDQUOT)
        return QStringLiteral("磁盘空间不足");
    return QString::fromLocal8Bit(std::strerror(err));
}

GstPadProbeReturn onBuffer(GstPad *, GstPadProbeInfo *info, gpointer self)
{
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        static_cast<GstRecorder *>(self)->writeSamples(map.data, qsizetype(map.size));
        gst_buffer_unmap(buffer, &map);
    }
    return GST_PAD_PROBE_OK;
}

} // namespace

QByteArray wavHeader(const RecordFormat &format, quint32 dataBytes)
{
    QByteArray h(kHeaderBytes, '\0');
    char *p = h.data();
    const int bytesPerSample = format.bits / 8;
    auto put32 = [p](int at, quint32 v) { qToLittleEndian<quint32>(v, p + at); };
    auto put16 = [p](int at, quint16 v) { qToLittleEndian<quint16>(v, p + at); };
    std::memcpy(p, "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(p + 8, "WAVE", 4);
    std::memcpy(p + 12, "fmt ", 4);
    put32(16, 16);
    put16(20, 1); // PCM
    put16(22, quint16(format.channels));
    put32(24, quint32(format.rate));
    put32(28, quint32(format.channels * format.rate * bytesPerSample));
    put16(32, quint16(format.channels * bytesPerSample));
    put16(34, quint16(format.bits));
    std::memcpy(p + 36, "data", 4);
    put32(40, dataBytes);
    return h;
}

std::unique_ptr<AudioRecorder> createAudioRecorder()
{
    return std::make_unique<GstRecorder>();
}

QByteArray GstRecorder::defaultSource()
{
    if (!ensureGstreamer())
        return "alsasrc device=default";
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const bool pulse = !qgetenv("PULSE_SERVER").isEmpty()
                       || (!runtime.isEmpty() && QFileInfo::exists(QString::fromLocal8Bit(runtime + "/pulse/native")));
    if (pulse && hasElement("pulsesrc"))
        return "pulsesrc";
    if (!runtime.isEmpty() && QFileInfo::exists(QString::fromLocal8Bit(runtime + "/pipewire-0"))
        && hasElement("pipewiresrc"))
        return "pipewiresrc";
    return "alsasrc device=default";
}

GstRecorder::~GstRecorder()
{
    QString error;
    if (!stop(&error))
        qWarning().noquote() << QStringLiteral("chimecast: recording not finished: %1").arg(error);
}

void GstRecorder::writeSamples(const quint8 *data, qsizetype size)
{
    if (size <= 0)
        return;
    std::lock_guard<std::mutex> lock(fileLock_);
    firstSample_.store(true);
    if (fd_ < 0 || writeFailed_.load())
        return;
    qint64 room = kMaxDataBytes - written_.load();
    if (room < size) {
        size = qsizetype(room);
        writeErrno_.store(EFBIG);
        writeFailed_.store(true);
    }
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            writeErrno_.store(n < 0 ? errno : ENOSPC);
            writeFailed_.store(true);
            return;
        }
        written_ += n;
        data += n;
        size -= n;
    }
}

bool GstRecorder::popBusError(int timeoutMs, QString *reason, bool *endOfStream)
{
    if (endOfStream)
        *endOfStream = false;
    GstBus *bus = gst_element_get_bus(pipeline_);
    GstMessage *msg = gst_bus_timed_pop_filtered(bus, GstClockTime(timeoutMs) * GST_MSECOND,
                                                 GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
    gst_object_unref(bus);
    if (!msg)
        return false;
    bool got = false;
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
        GError *err = nullptr;
        gst_message_parse_error(msg, &err, nullptr);
        setError(reason, QString::fromUtf8(err ? err->message : "unknown error"));
        if (err)
            g_error_free(err);
        got = true;
    } else if (endOfStream) {
        *endOfStream = true;
        got = true;
    }
    gst_message_unref(msg);
    return got;
}

bool GstRecorder::start(const QString &path, const RecordFormat &format, QString *error)
{
    if (pipeline_) {
        setError(error, QStringLiteral("已有录音正在进行"));
        return false;
    }
    if (!ensureGstreamer()) {
        setError(error, QStringLiteral("GStreamer 无法初始化"));
        return false;
    }
    if ((format.channels != 1 && format.channels != 2) || (format.bits != 8 && format.bits != 16) || format.rate < 1000
        || format.rate > 192000) {
        setError(error, QStringLiteral("录音格式无效"));
        return false;
    }
    const QFileInfo target(path);
    format_ = format;
    target_ = target.absoluteFilePath();
    partPath_ = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".part");
    written_ = 0;
    firstSample_ = false;
    writeFailed_ = false;
    writeErrno_ = 0;

    const QByteArray partName = QFile::encodeName(partPath_);
    const int fd = ::open(partName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        setError(error, QStringLiteral("无法建立录音文件：%1").arg(writeErrorText(errno)));
        return false;
    }
    const QByteArray header = wavHeader(format_, 0);
    if (::write(fd, header.constData(), size_t(header.size())) != header.size()) {
        setError(error, QStringLiteral("无法写入录音文件：%1").arg(writeErrorText(errno)));
        ::close(fd);
        ::unlink(partName.constData());
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(fileLock_);
        fd_ = fd;
    }

    QByteArray source = qgetenv("CHIMECAST_RECORD_SOURCE").trimmed();
    if (source.isEmpty())
        source = defaultSource();
    const QByteArray caps = QByteArray("audio/x-raw,format=") + (format.bits == 8 ? "U8" : "S16LE")
                            + ",layout=interleaved,rate=" + QByteArray::number(format.rate)
                            + ",channels=" + QByteArray::number(format.channels);
    const QByteArray description = source + " ! queue ! audioconvert ! audioresample ! capsfilter caps=\"" + caps
                                   + "\" ! fakesink name=" + kSinkName + " sync=false async=false";
    GError *err = nullptr;
    pipeline_ = gst_parse_launch(description.constData(), &err);
    if (err) {
        // A description that parses with a missing element still returns a pipeline.
        setError(
            error,
            QStringLiteral("录音来源“%1”无法建立：%2").arg(QString::fromUtf8(source), QString::fromUtf8(err->message)));
        g_error_free(err);
        releasePipeline();
        QFile::remove(partPath_);
        return false;
    }
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline_), kSinkName);
    GstPad *pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, onBuffer, this, nullptr);
    gst_object_unref(pad);
    gst_object_unref(sink);

    QString reason;
    bool endOfStream = false;
    bool ok = gst_element_set_state(pipeline_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    if (!ok && !popBusError(0, &reason, nullptr))
        reason = QStringLiteral("录音设备无法打开");
    for (int waited = 0; ok && !firstSample_.load(); waited += 10) {
        if (popBusError(10, &reason, &endOfStream)) {
            ok = false;
            if (endOfStream)
                reason = QStringLiteral("录音来源没有送来声音");
        } else if (waited >= kFirstSampleTimeoutMs) {
            ok = false;
            reason = QStringLiteral("录音设备没有送来声音");
        }
    }
    if (!ok) {
        setError(error, reason);
        releasePipeline();
        QFile::remove(partPath_);
        return false;
    }
    return true;
}

void GstRecorder::releasePipeline()
{
    if (pipeline_) {
        // Joins the streaming threads: no buffer reaches writeSamples() after this.
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
        pipeline_ = nullptr;
    }
    std::lock_guard<std::mutex> lock(fileLock_);
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool GstRecorder::finish(QString *error)
{
    if (pipeline_) {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
        pipeline_ = nullptr;
    }
    std::lock_guard<std::mutex> lock(fileLock_);
    if (fd_ < 0)
        return true;
    const int blockAlign = format_.channels * (format_.bits / 8);
    const qint64 data = written_.load() / blockAlign * blockAlign;
    written_ = data;
    const QByteArray header = wavHeader(format_, quint32(data));
    bool ok = ::ftruncate(fd_, kHeaderBytes + data) == 0
              && ::pwrite(fd_, header.constData(), size_t(header.size()), 0) == header.size() && ::fsync(fd_) == 0;
    const int err = errno;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (!ok) {
        setError(error, QStringLiteral("录音文件无法写完：%1").arg(writeErrorText(err)));
        return false;
    }
    if (::rename(QFile::encodeName(partPath_).constData(), QFile::encodeName(target_).constData()) != 0) {
        setError(
            error,
            QStringLiteral("录音文件无法改名为“%1”：%2").arg(target_, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    return true;
}

bool GstRecorder::stop(QString *error)
{
    if (!pipeline_)
        return true;
    // End of stream from the source lets every queued buffer reach the file first.
    gst_element_send_event(pipeline_, gst_event_new_eos());
    QString reason;
    bool endOfStream = false;
    for (int waited = 0; waited < kEndOfStreamTimeoutMs && !endOfStream; waited += 20) {
        if (popBusError(20, &reason, &endOfStream) && !endOfStream)
            break; // an error ends the stream as well
    }
    return finish(error);
}

bool GstRecorder::checkFailure(QString *reason)
{
    if (!pipeline_)
        return false;
    QString why;
    bool endOfStream = false;
    if (writeFailed_.load()) {
        why = writeErrorText(writeErrno_.load());
    } else if (popBusError(0, &why, &endOfStream)) {
        if (endOfStream)
            why = QStringLiteral("录音来源已停止");
    } else {
        return false;
    }
    QString finishError;
    if (!finish(&finishError))
        why += QStringLiteral("；") + finishError;
    setError(reason, why);
    return true;
}
