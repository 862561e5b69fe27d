#include "player/sonvox_engine.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A mono 16-bit PCM WAVE file of `secs` seconds of a 440 Hz tone at 8000 Hz.
QByteArray toneWav(int secs)
{
    const int rate = 8000;
    QByteArray pcm;
    for (int i = 0; i < rate * secs; ++i) {
        const qint16 sample = qint16(8000 * std::sin(2 * M_PI * 440 * i / rate));
        pcm.append(reinterpret_cast<const char *>(&sample), 2);
    }
    auto le32 = [](quint32 v) {
        v = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char *>(&v), 4);
    };
    auto le16 = [](quint16 v) {
        v = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char *>(&v), 2);
    };
    return "RIFF" + le32(quint32(36 + pcm.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(rate)
           + le32(rate * 2) + le16(2) + le16(16) + "data" + le32(quint32(pcm.size())) + pcm;
}

TEST(SonvoxEngineTest, StartsATrackAndReadsItsLength)
{
    qputenv("SONVOX_ALSA_DEVICE", "null"); // never the sound card
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString wav = dir.filePath(QStringLiteral("bell 铃.wav"));
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(toneWav(2));
    file.close();

    SonvoxEngine engine;
    engine.stop();
    engine.init();
    engine.play(wav);
    EXPECT_EQ(engine.lengthSecs(wav), 2);
    engine.pause();
    engine.resume();
    engine.stop();
    EXPECT_EQ(engine.lengthSecs(dir.filePath(QStringLiteral("missing.mp3"))), 0);
}

// What the main player shows for a file the library could not play: the library's
// own reason, for a file without audio and for a sound device that does not exist.
TEST(SonvoxEngineTest, FailureGivesTheLibrarysReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString empty = dir.filePath(QStringLiteral("empty.mp3"));
    QFile(empty).open(QIODevice::WriteOnly);
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(toneWav(1));
    file.close();

    qputenv("SONVOX_ALSA_DEVICE", "null");
    SonvoxEngine engine;
    engine.init();
    engine.play(wav);
    EXPECT_EQ(engine.lengthSecs(wav), 1);
    EXPECT_EQ(engine.failure(), QString());
    engine.init();
    engine.play(empty);
    EXPECT_EQ(engine.lengthSecs(empty), 0);
    // lengthSecs waits until the player has tried the file, so the reason is there.
    EXPECT_TRUE(engine.failure().contains(QStringLiteral("no audio decoded"))) << engine.failure().toStdString();

    qputenv("SONVOX_ALSA_DEVICE", "sonvox_test_no_such_pcm");
    engine.init();
    engine.play(wav);
    EXPECT_TRUE(engine.failure().startsWith(QStringLiteral("no such device"))) << engine.failure().toStdString();
    qputenv("SONVOX_ALSA_DEVICE", "null");
}

TEST(SonvoxEngineTest, VolumeWordReachesTheLibrary)
{
    SonvoxVolume output;
    ProcessVolume &volume = ProcessVolume::instance();
    volume.addOutput(&output);
    ASSERT_TRUE(volume.applySlider(85, 26));
    EXPECT_EQ(svGetVolume(), volumeWord(0, 30000));
    volume.removeOutput(&output);
    volume.setWord(0xFFFFFFFFu);
    EXPECT_EQ(svGetVolume(), volumeWord(0, 30000)) << "a removed output hears nothing more";
    svSetVolume(0xFFFFFFFFu);
}

} // namespace
