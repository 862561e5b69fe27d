// Real recordings through GStreamer from a generated tone (audiotestsrc), never a sound
// card: the file's header against its data, the samples against the tone, and what is
// kept when the input ends or the disk fills up.

#include "platform/gst_recorder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {

// The tone every recording here captures: 1000 Hz sine at half scale.
constexpr int kToneHz = 1000;
const QByteArray kTone = "audiotestsrc is-live=true wave=sine freq=1000 volume=0.5";

quint32 u32(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
quint16 u16(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

// Waits for a condition, up to `ms`.
bool waitFor(const std::function<bool()> &condition, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(5);
    }
    return true;
}

// Checks that a WAV file's header describes `format` and exactly the bytes that follow it.
void expectConsistentWav(const QByteArray &f, const RecordFormat &format)
{
    ASSERT_GE(f.size(), 44);
    EXPECT_EQ(f.left(4), QByteArray("RIFF"));
    EXPECT_EQ(u32(f, 4), quint32(f.size() - 8));
    EXPECT_EQ(f.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_EQ(u16(f, 20), 1);
    EXPECT_EQ(u16(f, 22), format.channels);
    EXPECT_EQ(u32(f, 24), quint32(format.rate));
    EXPECT_EQ(u16(f, 34), format.bits);
    EXPECT_EQ(f.mid(36, 4), QByteArray("data"));
    EXPECT_EQ(u32(f, 40), quint32(f.size() - 44));
    EXPECT_EQ((f.size() - 44) % (format.channels * format.bits / 8), 0) << "the data ends on a whole frame";
}

class RecorderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("CHIMECAST_RECORD_SOURCE", kTone);
    }
    QString file(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }
    QByteArray read(const QString &path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
    GstRecorder recorder;
};

TEST(WavHeader, DescribesTheFormat)
{
    const QByteArray mono = wavHeader(RecordFormat{1, 16, 11025}, 1000);
    ASSERT_EQ(mono.size(), 44);
    EXPECT_EQ(u32(mono, 4), 1036u);
    EXPECT_EQ(u32(mono, 16), 16u);
    EXPECT_EQ(u32(mono, 28), 22050u) << "byte rate";
    EXPECT_EQ(u16(mono, 32), 2) << "block align";
    EXPECT_EQ(u32(mono, 40), 1000u);
    const QByteArray stereo8 = wavHeader(RecordFormat{2, 8, 8000}, 0);
    EXPECT_EQ(u32(stereo8, 28), 16000u);
    EXPECT_EQ(u16(stereo8, 32), 2);
    EXPECT_EQ(u16(stereo8, 34), 8);
}

TEST_F(RecorderTest, RecordsTheToneIntoAWavFileWhoseHeaderMatchesItsData)
{
    struct Case
    {
        RecordFormat format;
        const char *name;
    };
    const Case cases[] = {{{1, 16, 11025}, "mono16.wav"}, {{2, 8, 22050}, "stereo8.wav"}};
    for (const Case &k : cases) {
        const QString path = file(k.name);
        QElapsedTimer t;
        t.start();
        QString error;
        ASSERT_TRUE(recorder.start(path, k.format, &error)) << qPrintable(error);
        const qint64 firstSampleMs = t.elapsed();
        const qint64 second = qint64(k.format.rate) * k.format.channels * k.format.bits / 8;
        ASSERT_TRUE(waitFor([&] { return recorder.dataBytes() >= second; }, 5000));
        EXPECT_FALSE(QFile::exists(path)) << "the target appears only once finished";
        t.restart();
        ASSERT_TRUE(recorder.stop(&error)) << qPrintable(error);
        const qint64 stopMs = t.elapsed();
        std::printf("%s: first sample after %lld ms, finished file %lld ms after stop\n", k.name,
                    static_cast<long long>(firstSampleMs), static_cast<long long>(stopMs));

        const QByteArray f = read(path);
        expectConsistentWav(f, k.format);
        const int frames = (f.size() - 44) / (k.format.channels * k.format.bits / 8);
        EXPECT_GE(frames, k.format.rate);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".part")).size(), 0);

        // The left channel's samples: a 1000 Hz sine at half scale.
        int crossings = 0;
        double peak = 0;
        double previous = 0;
        for (int i = 0; i < frames; ++i) {
            const int at = 44 + i * k.format.channels * k.format.bits / 8;
            const double v = k.format.bits == 16 ? qint16(u16(f, at)) / 32768.0
                                                 : (quint8(f[at]) - 128) / 128.0; // 8-bit WAV is unsigned
            peak = std::max(peak, std::abs(v));
            if (i > 0 && previous < 0 && v >= 0)
                ++crossings;
            previous = v;
        }
        const double hz = crossings * double(k.format.rate) / frames;
        EXPECT_NEAR(hz, kToneHz, kToneHz * 0.03) << k.name;
        EXPECT_NEAR(peak, 0.5, 0.05) << k.name;
    }
}

TEST_F(RecorderTest, AnOlderFileIsReplacedOnlyByAFinishedRecording)
{
    const QString path = file("take.wav");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("older recording");
    }
    QString error;
    ASSERT_TRUE(recorder.start(path, RecordFormat{1, 16, 11025}, &error)) << qPrintable(error);
    EXPECT_EQ(read(path), QByteArray("older recording"));
    ASSERT_TRUE(waitFor([&] { return recorder.dataBytes() > 0; }, 5000));
    ASSERT_TRUE(recorder.stop(&error));
    expectConsistentWav(read(path), RecordFormat{1, 16, 11025});
    EXPECT_TRUE(recorder.stop(&error)) << "stopping twice does nothing";
}

TEST_F(RecorderTest, AnInputThatDoesNotWorkIsRefusedQuicklyAndLeavesNothing)
{
    const QByteArray sources[] = {"nosuchsourceelement", "alsasrc device=chimecast_no_such_pcm",
                                  "audiotestsrc is-live=true num-buffers=0"};
    for (const QByteArray &source : sources) {
        qputenv("CHIMECAST_RECORD_SOURCE", source);
        QElapsedTimer t;
        t.start();
        QString error;
        EXPECT_FALSE(recorder.start(file("none.wav"), RecordFormat{1, 16, 11025}, &error)) << source.constData();
        EXPECT_LT(t.elapsed(), GstRecorder::kFirstSampleTimeoutMs + 1000) << source.constData();
        EXPECT_FALSE(error.isEmpty()) << source.constData();
        EXPECT_FALSE(recorder.isRecording());
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files | QDir::NoDotAndDotDot).isEmpty())
            << source.constData();
    }
    EXPECT_FALSE(recorder.start(dir.filePath(QStringLiteral("gone/x.wav")), RecordFormat{1, 16, 11025}));
}

TEST_F(RecorderTest, AnInputThatEndsKeepsWhatWasRecorded)
{
    // 20 buffers of 1024 samples, then the source is gone.
    qputenv("CHIMECAST_RECORD_SOURCE", "audiotestsrc is-live=true num-buffers=20 samplesperbuffer=1024");
    const QString path = file("short.wav");
    QString error;
    ASSERT_TRUE(recorder.start(path, RecordFormat{1, 16, 44100}, &error)) << qPrintable(error);
    QString reason;
    ASSERT_TRUE(waitFor([&] { return recorder.checkFailure(&reason); }, 5000));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(recorder.isRecording());
    const QByteArray f = read(path);
    expectConsistentWav(f, RecordFormat{1, 16, 44100});
    EXPECT_EQ(f.size() - 44, 20 * 1024 * 2);
}

TEST_F(RecorderTest, AFullDiskEndsTheRecordingWithAValidFile)
{
    // A file-size limit makes writes fail the way a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 20001;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    const QString path = file("full.wav");
    QString error;
    ASSERT_TRUE(recorder.start(path, RecordFormat{1, 16, 11025}, &error)) << qPrintable(error);
    QString reason;
    const bool ended = waitFor([&] { return recorder.checkFailure(&reason); }, 5000);
    setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_TRUE(ended);
    EXPECT_EQ(reason, QStringLiteral("磁盘空间不足"));
    const QByteArray f = read(path);
    expectConsistentWav(f, RecordFormat{1, 16, 11025});
    EXPECT_EQ(f.size(), 20000) << "every whole frame that fitted is kept";
}

} // namespace
