#include "platform/media_player.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

QString fixture(const char *name)
{
    return QStringLiteral(CHIMECAST_MEDIA_FIXTURES "/") + QString::fromLatin1(name);
}

// Sends every media player's output, as raw interleaved stereo float, to `path`.
void sinkToFile(const QString &path)
{
    qputenv("CHIMECAST_AUDIO_SINK", "filesink location=\"" + QFile::encodeName(path) + '"');
}

struct ChannelEnergy
{
    double left = 0;
    double right = 0;
    size_t frames = 0;
};

ChannelEnergy readEnergy(const QString &path)
{
    QFile file(path);
    ChannelEnergy energy;
    if (!file.open(QIODevice::ReadOnly))
        return energy;
    const QByteArray bytes = file.readAll();
    std::vector<float> samples(size_t(bytes.size()) / sizeof(float));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    energy.frames = samples.size() / 2;
    for (size_t i = 0; i < energy.frames; ++i) {
        energy.left += double(samples[2 * i]) * samples[2 * i];
        energy.right += double(samples[2 * i + 1]) * samples[2 * i + 1];
    }
    return energy;
}

// The fake and file sinks are not paced, so a two-second file plays through in a
// moment; this only bounds a failure.
bool playToEnd(MediaPlayer &player)
{
    QElapsedTimer clock;
    clock.start();
    while (!player.finished()) {
        if (clock.elapsed() > 20000)
            return false;
        QThread::msleep(5);
    }
    return true;
}

class MediaLayer : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        setMediaVolumeWord(0xFFFFFFFFu);
    }
    void TearDown() override
    {
        setMediaVolumeWord(0xFFFFFFFFu);
        qputenv("CHIMECAST_AUDIO_SINK", "fakesink");
    }
    QString out() const { return dir_.filePath(QStringLiteral("out.raw")); }
    QTemporaryDir dir_;
};

TEST_P(MediaLayer, ReadsLengthWithoutMakingASound)
{
    sinkToFile(out());
    QString error;
    const qint64 length = mediaFileLengthMs(fixture(GetParam()), &error);
    EXPECT_NEAR(double(length), 2000.0, 100.0) << error.toStdString();
    EXPECT_FALSE(QFile::exists(out())) << "the length query reached the audio sink";
}

TEST_P(MediaLayer, OpenIsSilentAndPlayOutputsTheWholeFile)
{
    sinkToFile(out());
    auto player = createMediaPlayer();
    QString error;
    ASSERT_TRUE(player->open(fixture(GetParam()), &error)) << error.toStdString();
    EXPECT_NEAR(double(player->lengthMs()), 2000.0, 100.0);
    EXPECT_EQ(QFileInfo(out()).size(), 0) << "open made a sound";

    ASSERT_TRUE(player->play(&error)) << error.toStdString();
    ASSERT_TRUE(playToEnd(*player));
    EXPECT_NEAR(double(player->positionMs()), 2000.0, 150.0);
    player->close();
    EXPECT_FALSE(player->isOpen());

    const ChannelEnergy energy = readEnergy(out());
    // Every sink's rate is the file's own: about two seconds of frames came out.
    EXPECT_GT(energy.frames, 20000u);
    EXPECT_GT(energy.left, 1.0);
    EXPECT_GT(energy.right, 1.0);
}

TEST_P(MediaLayer, VolumeWordIsAGainPerChannel)
{
    sinkToFile(out());
    setMediaVolumeWord(0x0000FFFFu); // left unchanged, right silent
    auto player = createMediaPlayer();
    ASSERT_TRUE(player->open(fixture(GetParam())));
    ASSERT_TRUE(player->play());
    ASSERT_TRUE(playToEnd(*player));
    player->close();

    const ChannelEnergy energy = readEnergy(out());
    EXPECT_GT(energy.left, 1.0);
    EXPECT_EQ(energy.right, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MediaLayer, ::testing::Values("tone_2s.wma", "tone_2s.mid"), [](const auto &info) {
    return std::string(std::strstr(info.param, ".wma") ? "Wma" : "Midi");
});

TEST(MediaLayerErrors, RefusesWhatItCannotPlay)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = dir.filePath(QStringLiteral("notes.wma"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a media file\n");
    file.close();

    for (const QString &path : {text, dir.filePath(QStringLiteral("missing.mid"))}) {
        SCOPED_TRACE(path.toStdString());
        auto player = createMediaPlayer();
        QString error;
        EXPECT_FALSE(player->open(path, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(player->isOpen());
        EXPECT_FALSE(player->play());
        EXPECT_EQ(player->lengthMs(), -1);
        error.clear();
        EXPECT_EQ(mediaFileLengthMs(path, &error), -1);
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(MediaLayerErrors, PlayAfterTheEndStartsAgainAndStopRewinds)
{
    qputenv("CHIMECAST_AUDIO_SINK", "fakesink");
    auto player = createMediaPlayer();
    ASSERT_TRUE(player->open(fixture("tone_2s.wma")));
    ASSERT_TRUE(player->play());
    ASSERT_TRUE(playToEnd(*player));
    ASSERT_TRUE(player->play());
    EXPECT_FALSE(player->finished());
    ASSERT_TRUE(playToEnd(*player));
    player->stop();
    EXPECT_FALSE(player->finished());
    EXPECT_LT(player->positionMs(), 100);
    EXPECT_TRUE(player->isOpen());
}

TEST(MediaLayerErrors, SeekMovesTheOpenFileAndNeedsOne)
{
    qputenv("CHIMECAST_AUDIO_SINK", "fakesink");
    auto player = createMediaPlayer();
    EXPECT_FALSE(player->seekMs(500)) << "nothing is open";
    ASSERT_TRUE(player->open(fixture("tone_2s.wma")));
    ASSERT_TRUE(player->seekMs(1500));
    QElapsedTimer t;
    t.start();
    while (std::abs(player->positionMs() - 1500) > 100 && t.elapsed() < 5000)
        QThread::msleep(5);
    EXPECT_NEAR(double(player->positionMs()), 1500.0, 100.0);
    ASSERT_TRUE(player->play());
    ASSERT_TRUE(playToEnd(*player));
    EXPECT_TRUE(player->finished());
}

} // namespace
