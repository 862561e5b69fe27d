#include "scheduler/stream_player.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// One second of silence as a WAV file.
QString writeSilence(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("silence.wav"));
    const quint32 rate = 8000;
    const QByteArray data(int(rate * 2), '\0');
    auto u32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char *>(&v), 2); };
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("RIFF" + u32(36 + quint32(data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(rate) + u32(rate * 2)
            + u16(2) + u16(16) + "data" + u32(quint32(data.size())) + data);
    return path;
}

} // namespace

TEST(StreamPlayer, PlaysAnAddressAndStopsByItselfAtItsEnd)
{
    qputenv("CHIMECAST_AUDIO_SINK", "fakesink sync=true");
    QTemporaryDir dir;
    StreamPlayer player;
    QSignalSpy stopped(&player, &StreamPlayer::stopped);
    ASSERT_TRUE(player.play(QUrl::fromLocalFile(writeSilence(dir)).toString())) << player.lastError().toStdString();
    EXPECT_TRUE(player.isPlaying());
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.positionMs() > 0; }, 5000));
    ASSERT_TRUE(stopped.wait(5000));
    EXPECT_FALSE(player.isPlaying());
    player.stop(); // harmless once stopped
}

TEST(StreamPlayer, BadOrDeadAddressesNeverThrowOrHang)
{
    qputenv("CHIMECAST_AUDIO_SINK", "fakesink");
    StreamPlayer player;
    EXPECT_FALSE(player.play(QStringLiteral("not an address")));
    EXPECT_FALSE(player.lastError().isEmpty());
    EXPECT_FALSE(player.isPlaying());

    // Nothing listens on port 1 of the loopback: the stream fails and releases itself.
    QSignalSpy stopped(&player, &StreamPlayer::stopped);
    ASSERT_TRUE(player.play(QStringLiteral("http://127.0.0.1:1/live")));
    ASSERT_TRUE(stopped.wait(10000));
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(player.lastError().isEmpty());
}
