// Silent length measuring: single files through the audio library and the media layer,
// the duration texts, and folder measurement off the user-interface thread.
#include "player/media_length.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace {

QByteArray silentMp3(int frames)
{
    // MPEG-1 layer III, 32 kbit/s, 32 kHz mono: 144-byte frames of 36 ms whose side
    // information is all zero.
    QByteArray frame(144, '\0');
    frame[0] = static_cast<char>(0xFF);
    frame[1] = static_cast<char>(0xFB);
    frame[2] = static_cast<char>(0x18);
    frame[3] = static_cast<char>(0xC0);
    return frame.repeated(frames);
}

QByteArray silentWav(int ms)
{
    const quint32 data = static_cast<quint32>(ms) * 16; // 8 kHz, 16-bit mono
    QByteArray b("RIFF");
    auto put = [&b](quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    put(36 + data, 4);
    b.append("WAVEfmt ");
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(8000, 4);
    put(16000, 4);
    put(2, 2);
    put(16, 2);
    b.append("data");
    put(data, 4);
    b.append(QByteArray(static_cast<int>(data), '\0'));
    return b;
}

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
}

// Runs the event loop until the spy has `count` signals (at most 10 s).
bool waitFor(QSignalSpy &spy, int count)
{
    while (spy.size() < count) {
        if (!spy.wait(10000))
            return false;
    }
    return true;
}

} // namespace

TEST(MediaLength, MeasuresEachKindAndRefusesWhatItCannotRead)
{
    QTemporaryDir dir;
    const QString fixtures = QStringLiteral(CHIMECAST_MEDIA_FIXTURES);
    struct Case
    {
        QString path;
        int secs;
    };
    const Case cases[] = {
        {write(dir, QStringLiteral("long.MP3"), silentMp3(5720)), 205}, // 205.92 s, upper-case extension
        {write(dir, QStringLiteral("short.wav"), silentWav(3500)), 3},
        {fixtures + QStringLiteral("/tone_2s.wma"), 2},
        {fixtures + QStringLiteral("/tone_2s.mid"), 2},
        {write(dir, QStringLiteral("junk.mp3"), "not audio at all"), -1},
        {write(dir, QStringLiteral("notes.txt"), "text"), -1},
        {dir.filePath(QStringLiteral("missing.wav")), -1},
    };
    for (const Case &c : cases) {
        QString why;
        EXPECT_EQ(mediaLengthSecs(c.path, &why), c.secs) << c.path.toStdString();
        EXPECT_EQ(why.isEmpty(), c.secs >= 0) << why.toStdString();
    }
}

TEST(MediaLength, DurationTexts)
{
    EXPECT_EQ(fileDurationText(0), QStringLiteral("00:00:00"));
    EXPECT_EQ(fileDurationText(3723), QStringLiteral("01:02:03"));
    EXPECT_EQ(fileDurationText(100 * 3600 + 5), QStringLiteral("100:00:05"));
    EXPECT_EQ(folderDurationText(0), QStringLiteral("0:00:00"));
    EXPECT_EQ(folderDurationText(3723), QStringLiteral("1:02:03"));
    // Past a day the total is shown in full, not modulo 24 hours.
    EXPECT_EQ(folderDurationText(25 * 3600 + 3 * 60 + 10), QStringLiteral("25:03:10"));
}

TEST(MediaLength, FolderMeasurementAddsWhatItCanAndReportsEachFile)
{
    FolderMeasurement m(nullptr, [](const QString &p) { return p == QLatin1String("bad") ? -1 : p.toInt(); });
    QSignalSpy progress(&m, &FolderMeasurement::progress);
    QSignalSpy finished(&m, &FolderMeasurement::finished);
    m.start({QStringLiteral("60"), QStringLiteral("bad"), QStringLiteral("90000")});
    ASSERT_TRUE(waitFor(finished, 1));
    EXPECT_FALSE(m.running());
    EXPECT_EQ(finished[0][0].toLongLong(), 90060);
    EXPECT_EQ(finished[0][1].toInt(), 1);
    EXPECT_FALSE(finished[0][2].toBool());
    ASSERT_EQ(progress.size(), 3);
    EXPECT_EQ(progress[2][0].toInt(), 3);
    EXPECT_EQ(progress[2][1].toInt(), 3);

    // An empty folder finishes at once with nothing.
    m.start({});
    ASSERT_TRUE(waitFor(finished, 2));
    EXPECT_EQ(finished[1][0].toLongLong(), 0);
}

TEST(MediaLength, CancelStopsAfterTheFileBeingRead)
{
    std::mutex mutex;
    std::condition_variable cv;
    bool release = false;
    int started = 0;
    FolderMeasurement m(nullptr, [&](const QString &) {
        std::unique_lock<std::mutex> lock(mutex);
        ++started;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
        return 10;
    });
    QSignalSpy finished(&m, &FolderMeasurement::finished);
    m.start(QStringList(100, QStringLiteral("f")));
    {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [&] { return started == 1; });
    }
    m.cancel();
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    cv.notify_all();
    ASSERT_TRUE(waitFor(finished, 1));
    EXPECT_TRUE(finished[0][2].toBool());
    EXPECT_EQ(finished[0][0].toLongLong(), 10);
    EXPECT_EQ(started, 1);
}
