// The exported player functions, used exactly as a program uses them: through the
// public header and the shared library only. Sound goes to ALSA's null PCM or to a
// file PCM defined in a temporary ALSA configuration.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>
#include <mutex>
#include <thread>

#include "media_files.h"
#include "sonvox.h"

using namespace std::chrono_literals;
using testmedia::TempDir;

extern "C" int sonvox_c_client_round_trip(void);

namespace {

// Collects the pictures a panel receives (on the feedback thread).
class PanelRecorder
{
public:
    sv_panel panel() { return sv_panel{&PanelRecorder::present, this}; }

    int frames()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_;
    }
    bool waitForFrames(int count, std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, limit, [&] { return frames_ >= count; });
    }
    std::vector<uint32_t> last(int *width, int *height)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        *width = width_;
        *height = height_;
        return last_;
    }

private:
    static void present(void *user, const uint32_t *pixels, int w, int h)
    {
        auto *self = static_cast<PanelRecorder *>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->last_.assign(pixels, pixels + static_cast<size_t>(w) * h);
        self->width_ = w;
        self->height_ = h;
        ++self->frames_;
        self->cv_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    int frames_ = 0;
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> last_;
};

int threadCount()
{
    int n = 0;
    if (DIR *d = opendir("/proc/self/task")) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.')
                ++n;
        closedir(d);
    }
    return n;
}

// Polls until cond holds or the limit passes; the null and file PCMs are not paced, so
// tests keep their own clock.
template <typename F> bool eventually(F cond, std::chrono::milliseconds limit = 10s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Threads of this process, counted after one instance has come and gone, so that
// helpers started once per process (a sanitizer's, the sound system's) are not
// mistaken for threads an instance left behind.
int settledThreadCount()
{
    if (svInitMp3(nullptr, nullptr, 224, 68, 32) != 1)
        return -1;
    svFreeMp3();
    std::this_thread::sleep_for(50ms);
    return threadCount();
}

class PlayerApiTest : public ::testing::Test
{
protected:
    void SetUp() override { setenv("SONVOX_ALSA_DEVICE", "null", 1); }
    void TearDown() override { svFreeMp3(); }
    TempDir dir;
    // Panels outlive the instances drawing into them: TearDown frees the instance
    // before the fixture's members go.
    PanelRecorder panel, otherPanel;
};

} // namespace

TEST_F(PlayerApiTest, EveryExportWithoutAnInstanceDoesNothing)
{
    for (int round = 0; round < 2; ++round) { // before any instance, then after svFreeMp3
        int hz = -1, secs = -1;
        svGetMp3Info("/no/such/file.mp3", &hz, &secs);
        EXPECT_EQ(hz, 0);
        EXPECT_EQ(secs, 0);
        svGetMp3Info("/no/such/file.mp3", nullptr, nullptr);
        EXPECT_EQ(svPlayMp3("/no/such/file.mp3"), 0);
        EXPECT_EQ(svStopMp3(), 0);
        EXPECT_EQ(svPauseMp3(), 0);
        EXPECT_EQ(svResumeMp3(), 0);
        svFreeMp3();
        ASSERT_EQ(svInitMp3(nullptr, nullptr, 224, 68, 32), 1);
        svFreeMp3();
    }
}

TEST_F(PlayerApiTest, UsableFromC)
{
    EXPECT_EQ(sonvox_c_client_round_trip(), 1);
}

TEST_F(PlayerApiTest, InfoReportsFrequencyAndWholeSeconds)
{
    struct Case
    {
        const char *name;
        int frequency, seconds;
    };
    const std::string mp3 = dir.file("long.mp3");
    testmedia::writeSilentMp3(mp3, 5720); // 5720 x 36 ms = 205.92 s
    const std::string wav = dir.file("long.wav");
    testmedia::writeSilentWav8(wav, 2059); // 3 min 25.9 s
    const std::string shortWav = dir.file("short.wav");
    testmedia::writeWav(shortWav, 22050, 2, testmedia::ramp(22050 * 2 * 3 / 2)); // 1.5 s
    const Case cases[] = {{"long.mp3", 32000, 205}, {"long.wav", 8000, 205}, {"short.wav", 22050, 1}};
    for (const Case &c : cases) {
        ASSERT_EQ(svInitMp3(nullptr, nullptr, 224, 68, 32), 1);
        int hz = -1, secs = -1;
        svGetMp3Info(dir.file(c.name).c_str(), &hz, &secs);
        EXPECT_EQ(hz, c.frequency) << c.name;
        EXPECT_EQ(secs, c.seconds) << c.name;
    }
}

TEST_F(PlayerApiTest, InfoOnAFileThatCannotBeReadGivesZeroNotTheLastFile)
{
    const std::string good = dir.file("good.wav");
    testmedia::writeWav(good, 44100, 2, testmedia::ramp(44100 * 2 * 3)); // 3 s
    const std::string junk = dir.file("junk.mp3");
    std::ofstream(junk) << "this is not audio at all";
    ASSERT_EQ(svInitMp3(nullptr, nullptr, 224, 68, 32), 1);
    int hz = 0, secs = 0;
    svGetMp3Info(good.c_str(), &hz, &secs);
    ASSERT_EQ(hz, 44100);
    ASSERT_EQ(secs, 3);
    for (const std::string &bad : {dir.file("missing.mp3"), junk}) {
        hz = secs = -1;
        svGetMp3Info(bad.c_str(), &hz, &secs);
        EXPECT_EQ(hz, 0) << bad;
        EXPECT_EQ(secs, 0) << bad;
    }
    hz = secs = -1;
    svGetMp3Info(nullptr, &hz, &secs);
    EXPECT_EQ(hz, 0);
    EXPECT_EQ(secs, 0);
    EXPECT_EQ(svPlayMp3(nullptr), 0);
}

TEST_F(PlayerApiTest, InfoGivesUpWhenThePlayerDoesNotAnswerAndLateAnswersDoNotLeak)
{
    // Opening a FIFO blocks the player thread until a writer comes.
    const std::string fifo = dir.file("stuck.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string good = dir.file("good.wav");
    testmedia::writeWav(good, 11025, 1, testmedia::ramp(11025 * 2)); // 2 s
    ASSERT_EQ(svInitMp3(nullptr, nullptr, 224, 68, 32), 1);
    int hz = -1, secs = -1;
    const auto start = std::chrono::steady_clock::now();
    svGetMp3Info(fifo.c_str(), &hz, &secs);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(hz, 0);
    EXPECT_EQ(secs, 0);
    EXPECT_GE(waited, 1900ms);
    EXPECT_LT(waited, 10s);
    // Release the player; the stuck open is answered late, and the next file gets its
    // own values.
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    close(fd);
    svGetMp3Info(good.c_str(), &hz, &secs);
    EXPECT_EQ(hz, 11025);
    EXPECT_EQ(secs, 2);
}

TEST_F(PlayerApiTest, InfoAfterPlayOnTheSameFileKeepsPlayingAndReportsIt)
{
    const sv_panel p = panel.panel();
    const std::string wav = dir.file("tone.wav");
    testmedia::writeWav(wav, 16000, 1, testmedia::tone(16000, 1000.0, 4.0));
    ASSERT_EQ(svInitMp3(nullptr, &p, 224, 68, 32), 1);
    EXPECT_EQ(svPlayMp3(wav.c_str()), 1);
    const auto start = std::chrono::steady_clock::now();
    int hz = 0, secs = 0;
    svGetMp3Info(wav.c_str(), &hz, &secs);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(hz, 16000);
    EXPECT_EQ(secs, 4);
    EXPECT_LT(took, 2100ms);
    // The spectrum keeps arriving: the file was not re-opened from scratch.
    EXPECT_TRUE(panel.waitForFrames(1, 10s));
}

TEST_F(PlayerApiTest, SpectrumOfAToneReachesThePanel)
{
    const sv_panel p = panel.panel();
    const std::string wav = dir.file("tone.wav");
    testmedia::writeWav(wav, 16000, 1, testmedia::tone(16000, 2000.0, 3.0));
    ASSERT_EQ(svInitMp3(nullptr, &p, 224, 68, 32), 1);
    ASSERT_EQ(svPlayMp3(wav.c_str()), 1);
    ASSERT_TRUE(panel.waitForFrames(1, 10s));
    int w = 0, h = 0;
    const std::vector<uint32_t> pixels = panel.last(&w, &h);
    EXPECT_EQ(w, 224);
    EXPECT_EQ(h, 68);
    // Bars are 224 / 33 = 6 pixels wide with a gap of 1. A 2 kHz tone at 16 kHz sits in
    // bin 8 of the 64-point transform, which bar 7 shows: its bottom row is green, and
    // bars far from the tone stay dark at the bottom.
    EXPECT_EQ(pixels[7 * 7], 0x00FF00u);
    EXPECT_NE(pixels[25 * 7], 0x00FF00u);
    for (uint32_t px : pixels)
        ASSERT_TRUE(px == 0 || px == 0x00FF00u || px == 0xFF8080u) << std::hex << px;
}

TEST_F(PlayerApiTest, SecondInitReplacesAndReleasesTheFirstInstance)
{
    const int before = settledThreadCount();
    PanelRecorder &first = panel, &second = otherPanel;
    const sv_panel p1 = first.panel(), p2 = second.panel();
    const std::string wav = dir.file("tone.wav");
    testmedia::writeWav(wav, 16000, 1, testmedia::tone(16000, 1000.0, 2.0));
    ASSERT_EQ(svInitMp3(nullptr, &p1, 224, 68, 32), 1);
    ASSERT_EQ(svPlayMp3(wav.c_str()), 1);
    ASSERT_TRUE(first.waitForFrames(1, 10s));
    svStopMp3();
    ASSERT_EQ(svInitMp3(nullptr, &p2, 100, 40, 8), 1);
    const int firstFrames = first.frames();
    ASSERT_EQ(svPlayMp3(wav.c_str()), 1);
    ASSERT_TRUE(second.waitForFrames(1, 10s));
    int w = 0, h = 0;
    second.last(&w, &h);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 40);
    EXPECT_EQ(first.frames(), firstFrames) << "the replaced instance still draws";
    svFreeMp3();
    EXPECT_TRUE(eventually([&] { return threadCount() == before; }, 2s)) << threadCount() << " vs " << before;
}

TEST_F(PlayerApiTest, NoPanelOrUnusableSizesDrawNothingButStillPlay)
{
    const sv_panel p = panel.panel();
    const sv_panel silent{nullptr, nullptr};
    const std::string wav = dir.file("tone.wav");
    testmedia::writeWav(wav, 16000, 1, testmedia::tone(16000, 1000.0, 1.0));
    struct Case
    {
        const sv_panel *panel;
        int width, height, bands;
    };
    const Case cases[] = {
        {nullptr, 224, 68, 32}, {&silent, 224, 68, 32}, {&p, 0, 68, 32}, {&p, 224, 68, 0}, {&p, 224, 68, -5}};
    for (const Case &c : cases) {
        ASSERT_EQ(svInitMp3(nullptr, c.panel, c.width, c.height, c.bands), 1);
        int hz = 0, secs = 0;
        EXPECT_EQ(svPlayMp3(wav.c_str()), 1);
        svGetMp3Info(wav.c_str(), &hz, &secs);
        EXPECT_EQ(hz, 16000);
    }
    // The same track with a usable panel draws within the time the last case has
    // had; releasing the instance then ends its threads, so the count below is final.
    ASSERT_EQ(svInitMp3(nullptr, &silent, 224, 68, 32), 1); // releases the last case
    const sv_panel q = otherPanel.panel();
    ASSERT_EQ(svInitMp3(nullptr, &q, 224, 68, 32), 1);
    EXPECT_EQ(svPlayMp3(wav.c_str()), 1);
    EXPECT_TRUE(otherPanel.waitForFrames(1, 10s));
    svFreeMp3();
    EXPECT_EQ(panel.frames(), 0);
}

// Play, pause, resume and stop, heard through a file PCM: what reaches the file is the
// decoded PCM exactly.
class FilePcmTest : public PlayerApiTest
{
protected:
    void SetUp() override
    {
        out = dir.file("out.raw");
        const std::string conf = dir.file("asound.conf");
        std::ofstream(conf) << "</usr/share/alsa/alsa.conf>\n"
                               "pcm.sonvox_capture {\n  type file\n  slave.pcm \"null\"\n"
                               "  file \""
                            << out << "\"\n  format \"raw\"\n}\n";
        setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
        setenv("SONVOX_ALSA_DEVICE", "sonvox_capture", 1);
    }
    void TearDown() override
    {
        svFreeMp3();
        unsetenv("ALSA_CONFIG_PATH");
    }
    std::string out;
};

TEST_F(FilePcmTest, PlayPauseResumeStop)
{
    // 60 s of stereo: long enough that the pause lands while the file is still being
    // decoded, although the null PCM takes sound as fast as it comes.
    const std::vector<int16_t> pcm = testmedia::ramp(44100 * 2 * 60);
    const std::string wav = dir.file("ramp.wav");
    testmedia::writeWav(wav, 44100, 2, pcm);
    const std::string expected(reinterpret_cast<const char *>(pcm.data()), pcm.size() * 2);
    const long full = static_cast<long>(expected.size());
    const long second = 44100 * 4;
    // The file PCM holds back up to one buffer until the device is closed, which stop
    // does (the sound device is closed whenever playback stops).
    // Played to the end: the capture stopped growing less than a second short of the end.
    auto playedToTheEnd = [&] {
        long last = -1;
        return eventually(
            [&] {
                const long size = testmedia::fileSize(out);
                const bool settled = size == last && size >= full - second;
                last = size;
                if (!settled)
                    std::this_thread::sleep_for(200ms);
                return settled;
            },
            20s);
    };
    auto stopAndCompare = [&] {
        EXPECT_EQ(svStopMp3(), 0);
        EXPECT_TRUE(eventually([&] { return testmedia::fileSize(out) == full; }))
            << "size " << testmedia::fileSize(out) << " of " << full;
        EXPECT_TRUE(testmedia::readFile(out) == expected);
    };

    ASSERT_EQ(svInitMp3(nullptr, nullptr, 224, 68, 32), 1);
    ASSERT_EQ(svPlayMp3(wav.c_str()), 1);
    EXPECT_EQ(svPauseMp3(), 0);
    // Paused: whatever was written before the pause stays, nothing more comes. Asking
    // for the file's length is a round trip through the player's queue: once it is
    // answered, the pause has been applied (the output stops feeding the device under
    // its lock), so the second look sees the same size as the first.
    int hz = 0, secs = 0;
    svGetMp3Info(wav.c_str(), &hz, &secs);
    ASSERT_EQ(hz, 44100);
    const long paused = testmedia::fileSize(out);
    svGetMp3Info(wav.c_str(), &hz, &secs);
    EXPECT_EQ(testmedia::fileSize(out), paused);
    EXPECT_LT(paused, full - second);

    // Resumed: playback goes on where it paused; nothing lost or doubled.
    EXPECT_EQ(svResumeMp3(), 0);
    ASSERT_TRUE(playedToTheEnd()) << "size " << testmedia::fileSize(out);
    stopAndCompare();

    // Resume after stop plays the file again from its beginning. The device was closed
    // by the stop and is opened afresh, which writes a new capture file.
    std::filesystem::remove(out);
    EXPECT_EQ(svResumeMp3(), 0);
    ASSERT_TRUE(playedToTheEnd()) << "size " << testmedia::fileSize(out);
    stopAndCompare();
}

TEST_F(PlayerApiTest, ThousandTracksLeaveNoThreadBehind)
{
    const int before = settledThreadCount();
    const sv_panel p = panel.panel();
    const std::string wav = dir.file("short.wav");
    testmedia::writeWav(wav, 8000, 1, testmedia::tone(8000, 500.0, 0.2));
    for (int track = 0; track < 1000; ++track) {
        ASSERT_EQ(svInitMp3(nullptr, &p, 224, 68, 32), 1) << track;
        int hz = 0, secs = -1;
        svGetMp3Info(wav.c_str(), &hz, &secs);
        ASSERT_EQ(hz, 8000) << track;
        ASSERT_EQ(secs, 0) << track;
        ASSERT_EQ(svPlayMp3(wav.c_str()), 1);
        ASSERT_EQ(svStopMp3(), 0);
    }
    // Only the current instance's player and feedback threads remain (the sound output
    // may run a short-lived helper of its own while a track plays).
    EXPECT_TRUE(eventually([&] { return threadCount() <= before + 2; }, 2s)) << threadCount() << " vs " << before;
    svFreeMp3();
    EXPECT_TRUE(eventually([&] { return threadCount() == before; }, 2s)) << threadCount() << " vs " << before;
}

TEST_F(PlayerApiTest, ErrorTextNamesEveryCodeWithoutAnInstance)
{
    const struct
    {
        int code;
        const char *text;
    } cases[] = {
        {SONVOX_ERR_QUEUE_FULL, "circular queue full"},
        {SONVOX_ERR_INTERNAL, "internal error"},
        {SONVOX_ERR_OUT_OF_MEMORY, "out of memory"},
        {-513, "no such file"},
        {0, ""},
        {5, ""},
        {-515, ""}, // inside a known hundred, without a text of its own
        {-1100, "unknown error"},
    };
    for (const auto &c : cases)
        EXPECT_STREQ(svErrorText(c.code), c.text) << c.code;
}

TEST_F(PlayerApiTest, VolumeWordRoundTrips)
{
    EXPECT_EQ(svGetVolume(), 0xFFFFFFFFu);
    svSetVolume(0x12345678u);
    EXPECT_EQ(svGetVolume(), 0x12345678u);
    svSetVolume(0xFFFFFFFFu);
}

// Measuring a file opens no sound output (nothing reaches the file PCM), leaves the
// current instance playing its own track, and answers from several threads at once.
TEST_F(FilePcmTest, FileInfoMeasuresSilentlyBesideAPlayingInstance)
{
    const std::string mp3 = dir.file("long.mp3");
    testmedia::writeSilentMp3(mp3, 5720); // 205.92 s
    const std::string wav = dir.file("tone.wav");
    testmedia::writeWav(wav, 22050, 2, testmedia::tone(22050, 440.0, 2 * 3.5)); // 3.5 s stereo
    const std::string junk = dir.file("junk.wav");
    std::ofstream(junk) << "RIFF but nothing else";

    struct Case
    {
        std::string path;
        int result, frequency, seconds;
    };
    const Case cases[] = {
        {mp3, 1, 32000, 205}, {wav, 1, 22050, 3}, {junk, 0, 0, 0}, {dir.file("missing.mp3"), 0, 0, 0}};
    for (const Case &c : cases) {
        int hz = -1, secs = -1;
        EXPECT_EQ(svGetFileInfo(c.path.c_str(), &hz, &secs), c.result) << c.path;
        EXPECT_EQ(hz, c.frequency) << c.path;
        EXPECT_EQ(secs, c.seconds) << c.path;
    }
    EXPECT_EQ(svGetFileInfo(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(testmedia::fileSize(out), -1) << "measuring opened the sound output";

    // A track plays on the current instance while four threads measure.
    const std::string track = dir.file("track.wav");
    testmedia::writeWav(track, 8000, 1, testmedia::ramp(8000 * 30));
    ASSERT_EQ(svInitMp3(nullptr, nullptr, 224, 68, 32), 1);
    ASSERT_EQ(svPlayMp3(track.c_str()), 1);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                int hz = 0, secs = 0;
                if (svGetFileInfo(mp3.c_str(), &hz, &secs) != 1 || hz != 32000 || secs != 205)
                    ++wrong;
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    int hz = 0, secs = 0;
    svGetMp3Info(track.c_str(), &hz, &secs);
    EXPECT_EQ(hz, 8000);
    EXPECT_EQ(secs, 30);
    EXPECT_TRUE(eventually([&] { return testmedia::fileSize(out) > 0; })) << "the playing track was not heard";
}

TEST_F(PlayerApiTest, ARefusedSoundDeviceFailsThePlayAndNamesTheDevice)
{
    const std::string wav = dir.file("tone.wav");
    testmedia::writeWav(wav, 16000, 1, testmedia::tone(16000, 1000.0, 1.0));
    setenv("SONVOX_ALSA_DEVICE", "sonvox_test_no_such_pcm", 1);
    ASSERT_EQ(svInitMp3(nullptr, nullptr, 224, 68, 32), 1);
    EXPECT_EQ(svPlayMp3(wav.c_str()), 0);
    char text[256];
    EXPECT_EQ(svGetMp3Error(text, sizeof text), SONVOX_ERR_NO_SUCH_DEVICE);
    EXPECT_NE(std::string(text).find("no such device: cannot open sound device"), std::string::npos) << text;

    // With a device that opens, the same file plays and nothing is reported.
    setenv("SONVOX_ALSA_DEVICE", "null", 1);
    ASSERT_EQ(svInitMp3(nullptr, nullptr, 224, 68, 32), 1);
    EXPECT_EQ(svPlayMp3(wav.c_str()), 1);
    EXPECT_EQ(svGetMp3Error(text, sizeof text), 0);
    EXPECT_STREQ(text, "");
}

TEST_F(PlayerApiTest, AFileWithoutAudioReportsZeroAndSaysWhy)
{
    const std::string empty = dir.file("empty.mp3");
    {
        std::ofstream touch(empty);
    }
    ASSERT_EQ(svInitMp3(nullptr, nullptr, 224, 68, 32), 1);
    EXPECT_EQ(svPlayMp3(empty.c_str()), 1); // opened; nothing decoded yet
    int hz = -1, secs = -1;
    svGetMp3Info(empty.c_str(), &hz, &secs);
    EXPECT_EQ(hz, 0);
    EXPECT_EQ(secs, 0);
    char text[256] = {};
    EXPECT_TRUE(eventually([&] { return svGetMp3Error(text, sizeof text) == SONVOX_ERR_UNSUPPORTED_FORMAT; }));
    EXPECT_NE(std::string(text).find("no audio decoded (" + empty + ": the input is empty)"), std::string::npos)
        << text;
}
