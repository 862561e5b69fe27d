// The sound-card output through its descriptor, against ALSA's null PCM and a file PCM
// that a temporary configuration defines. No sound card is involved.
#include <gtest/gtest.h>

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "fake_decoder.h"
#include "sonvox/engine/sv_errors.h"
#include "sonvox/modules/output_alsa/sv_alsa_output.h"
#include "sonvox/modules/output_alsa/sv_alsa_output_internal.h"
#include "sonvox/modules/output_alsa/sv_volume.h"
#include "temp_dir.h"

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const char *value)
        : name_(name)
    {
        const char *old = getenv(name);
        had_ = old != nullptr;
        if (had_)
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char *name_;
    bool had_ = false;
    std::string old_;
};

struct AlsaOutput
{
    sv_output_module m{};
    sv_module_entry entry{};
    FakeDecoder fd;
    void *inst = nullptr;
    AlsaOutput()
    {
        EXPECT_EQ(sv_alsa_output_register(&m), 0);
        entry.id = 1;
    }
    ~AlsaOutput()
    {
        if (inst)
            m.destroy(inst);
        sv_alsa_output_set_opener(nullptr);
        sv_alsa_output_set_writer(nullptr);
    }
    int create(const char *name) { return m.create(&inst, name, &entry, fd.get()); }
    int control(int flags, int balance = 0, int pcm = 0, int master = 0, int frequency = 44100, int channels = 2)
    {
        sv_output_control c{};
        c.bytes_per_sample = 2;
        c.frequency = frequency;
        c.channels = channels;
        c.balance = balance;
        c.pcm_level = pcm;
        c.master_level = master;
        return m.set_control(inst, &c, flags);
    }
    // Queues one frame-sized buffer taken from the ring.
    void *queue(int frames, int channels = 2, int frequency = 44100, int16_t value = 1000)
    {
        int bytes = frames * channels * 2;
        void *buf = m.get_buffer(inst, bytes);
        EXPECT_NE(buf, nullptr);
        if (!buf)
            return nullptr;
        auto *s = static_cast<int16_t *>(buf);
        for (int i = 0; i < frames * channels; i++)
            s[i] = value;
        EXPECT_EQ(m.write(inst, buf, bytes, 2, channels, frequency), 0);
        return buf;
    }
    int latency()
    {
        int ms = -1;
        EXPECT_EQ(m.get_latency(inst, &ms), 0);
        return ms;
    }
};

TEST(AlsaOutput, NamesAndProbe)
{
    struct Case
    {
        const char *name;
        int probe;
        int create;
        const char *pcm; // without SONVOX_ALSA_DEVICE
    } cases[] = {
        {"", 0, 0, "default"},
        {"/dev/wave/0", 0, 0, "default"},
        {"/dev/wave/1", 0, 0, "plughw:0"},
        {"/dev/wave/9", 0, 0, "plughw:8"},
        {"/dev/wave/10", 0, SV_ERR_NO_SUCH_DEVICE, nullptr},
        {"/dev/wave/x", 0, SV_ERR_NO_SUCH_DEVICE, nullptr},
        {"/dev/wave/", 0, SV_ERR_NO_SUCH_DEVICE, nullptr},
        {"wav:out.wav", SV_ERR_UNSUPPORTED_OUTPUT, 0, nullptr},
        {"-", SV_ERR_UNSUPPORTED_OUTPUT, 0, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        AlsaOutput out;
        EXPECT_EQ(out.m.probe(c.name), c.probe);
        if (c.probe != 0)
            continue;
        {
            ScopedEnv env("SONVOX_ALSA_DEVICE", nullptr);
            ASSERT_EQ(out.create(c.name), c.create);
            if (c.create != 0)
                continue;
            EXPECT_STREQ(sv_alsa_output_pcm_name(out.inst), c.pcm);
            out.m.destroy(out.inst);
            out.inst = nullptr;
        }
        ScopedEnv env("SONVOX_ALSA_DEVICE", "null");
        ASSERT_EQ(out.create(c.name), 0);
        EXPECT_STREQ(sv_alsa_output_pcm_name(out.inst), "null");
    }
}

TEST(AlsaOutput, InfoNamesTheDefaultDevice)
{
    sv_output_module m{};
    ASSERT_EQ(sv_alsa_output_register(&m), 0);
    sv_module_info info{};
    ASSERT_EQ(m.info(&info, SV_INFO_NAME | SV_INFO_DEVICE_COUNT), 0);
    EXPECT_STREQ(info.name, "Win32 Sound Driver Interface");
    EXPECT_STREQ(info.description, "Version 1.3");
    EXPECT_GE(info.count, 1);
    int count = info.count;
    sv_module_info dev{};
    dev.count = 0;
    ASSERT_EQ(m.info(&dev, SV_INFO_DEVICE), 0);
    EXPECT_STREQ(dev.name, "/dev/wave/0");
    EXPECT_EQ(dev.flags, 2);
    dev.count = count + 1;
    EXPECT_EQ(m.info(&dev, SV_INFO_DEVICE), SV_ERR_INVALID_PARAMETERS);
    EXPECT_EQ(m.get_capabilities(nullptr), 0x7FFFFF);
}

TEST(AlsaOutput, PcmLevelAndBalanceArithmetic)
{
    struct Step
    {
        int flags;
        int balance, pcm;
        unsigned left, right; // saved volume afterwards
        int get_pcm, get_balance;
    } steps[] = {
        {SV_CTL_BALANCE | SV_CTL_PCM_LEVEL, 75, 100, 32767, 65535, 100, 75},
        {SV_CTL_BALANCE | SV_CTL_PCM_LEVEL, 25, 100, 65535, 32767, 100, 25},
        {SV_CTL_BALANCE | SV_CTL_PCM_LEVEL, 50, 100, 65535, 65535, 100, 50},
        {SV_CTL_PCM_LEVEL, 0, 50, 32767, 32767, 49, 50}, // 50 * 655.35 = 32767.5
        // Balance alone: the louder saved channel keeps its level.
        {SV_CTL_BALANCE, 100, 0, 0, 32767, 49, 100},
        {SV_CTL_BALANCE, 0, 0, 32767, 0, 49, 0},
        // Out-of-range values are left alone.
        {SV_CTL_BALANCE | SV_CTL_PCM_LEVEL, 50, 101, 32767, 32767, 49, 50},
    };
    AlsaOutput out;
    ASSERT_EQ(out.create(""), 0);
    ASSERT_EQ(out.m.open(out.inst), 0);
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << "balance " << s.balance << " pcm " << s.pcm << " flags " << s.flags);
        ASSERT_EQ(out.control(s.flags, s.balance, s.pcm), 0);
        uint32_t v = sv_alsa_output_saved_volume(out.inst);
        EXPECT_EQ(v & 0xFFFF, s.left);
        EXPECT_EQ(v >> 16, s.right);
        sv_output_control got{};
        ASSERT_EQ(out.m.get_control(out.inst, &got, SV_CTL_PCM_LEVEL | SV_CTL_BALANCE | SV_CTL_MASTER_LEVEL), 0);
        EXPECT_EQ(got.pcm_level, s.get_pcm);
        EXPECT_EQ(got.balance, s.get_balance);
        EXPECT_EQ(got.master_level, 100);
    }
    ASSERT_EQ(out.control(SV_CTL_MASTER_LEVEL, 0, 0, 40), 0);
    sv_output_control got{};
    ASSERT_EQ(out.m.get_control(out.inst, &got, SV_CTL_MASTER_LEVEL), 0);
    EXPECT_EQ(got.master_level, 40);
    EXPECT_EQ(out.m.close(out.inst), 0);
}

TEST(AlsaOutput, RingOf48BuffersIsReusedInOrder)
{
    AlsaOutput out;
    ASSERT_EQ(out.create("/dev/wave/0"), 0);
    ASSERT_EQ(out.m.open(out.inst), 0);
    std::vector<void *> handed;
    for (int i = 0; i < 3 * SV_ALSA_RING_SIZE; i++)
        handed.push_back(out.queue(1152));
    for (int i = 0; i < SV_ALSA_RING_SIZE; i++)
        for (int j = i + 1; j < SV_ALSA_RING_SIZE; j++)
            ASSERT_NE(handed[i], handed[j]) << i << " and " << j;
    for (int i = SV_ALSA_RING_SIZE; i < 3 * SV_ALSA_RING_SIZE; i++)
        EXPECT_EQ(handed[i], handed[i - SV_ALSA_RING_SIZE]) << i;
    // A buffer that is too small for the request is replaced.
    ASSERT_EQ(out.control(SV_CTL_RESET), 0);
    void *small = out.m.get_buffer(out.inst, 4608);
    void *large = out.m.get_buffer(out.inst, 4608 * 4);
    ASSERT_NE(large, nullptr);
    EXPECT_NE(small, large);
    memset(large, 0, 4608 * 4);
    EXPECT_EQ(out.m.write(out.inst, large, 4608 * 4, 2, 2, 44100), 0);
    EXPECT_EQ(out.m.close(out.inst), 0);
}

// A device that takes nothing while `stalled` is set; `refused` counts its refusals.
std::atomic<bool> stalled{false};
std::atomic<int> refused{0};
snd_pcm_sframes_t stalling_writer(snd_pcm_t *pcm, const void *buffer, snd_pcm_uframes_t frames)
{
    if (stalled) {
        ++refused;
        return -EAGAIN;
    }
    return snd_pcm_writei(pcm, buffer, frames);
}

bool eventually(const std::function<bool()> &condition)
{
    for (int i = 0; i < 500; i++) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

TEST(AlsaOutput, LatencyCountsQueuedFramesThroughPauseResumeAndReset)
{
    AlsaOutput out;
    sv_alsa_output_set_writer(stalling_writer);
    ASSERT_EQ(out.create(""), 0);
    ASSERT_EQ(out.m.open(out.inst), 0);
    EXPECT_EQ(out.latency(), 0);

    // Forty-eight frames of 1152 samples queued and none played: 48 * 1152 / 44.1 ms.
    stalled = true;
    std::vector<void *> ring;
    for (int i = 0; i < SV_ALSA_RING_SIZE; i++)
        ring.push_back(out.queue(1152));
    EXPECT_EQ(out.latency(), 48 * 1152 * 1000 / 44100);

    // The ring is full: the next buffer is the oldest one, handed out once it played.
    // The device is let go only after it refused the feeder twice more; a get_buffer
    // that returned before then handed out a buffer still queued.
    std::atomic<bool> released{false};
    std::thread release([&] {
        const int seen = refused;
        eventually([&] { return refused >= seen + 2; });
        released = true;
        stalled = false;
    });
    void *next = out.m.get_buffer(out.inst, 4608);
    EXPECT_TRUE(released.load()) << "handed out while still queued";
    release.join();
    EXPECT_EQ(next, ring[0]);
    EXPECT_TRUE(eventually([&] { return out.latency() == 0; }));
    ASSERT_EQ(out.control(SV_CTL_RESET), 0);
    stalled = true;
    for (int i = 0; i < SV_ALSA_RING_SIZE; i++)
        out.queue(1152);

    // Paused, nothing moves even once the device would take it: once the feeder has
    // seen the pause (and gone idle), the queue is as it was.
    ASSERT_EQ(out.control(SV_CTL_PAUSE), 0);
    const int idle = sv_alsa_output_feeder_idle_count(out.inst);
    stalled = false;
    ASSERT_TRUE(eventually([&] { return sv_alsa_output_feeder_idle_count(out.inst) > idle; }));
    EXPECT_EQ(out.latency(), 48 * 1152 * 1000 / 44100);

    // Resumed, the null device swallows everything at once.
    ASSERT_EQ(out.control(SV_CTL_RESUME), 0);
    EXPECT_TRUE(eventually([&] { return out.latency() == 0; }));

    // Reset discards what is queued.
    stalled = true;
    for (int i = 0; i < 10; i++)
        out.queue(1152);
    EXPECT_GT(out.latency(), 0);
    ASSERT_EQ(out.control(SV_CTL_RESET), 0);
    EXPECT_EQ(out.latency(), 0);

    // Drain waits until what is queued has played, and the output stays open.
    for (int i = 0; i < 10; i++)
        out.queue(1152);
    std::atomic<bool> drained_late{false};
    std::thread late([&] {
        const int seen = refused;
        eventually([&] { return refused >= seen + 2; });
        drained_late = true;
        stalled = false;
    });
    ASSERT_EQ(out.control(SV_CTL_DRAIN), 0);
    EXPECT_TRUE(drained_late.load()) << "drain returned while the device took nothing";
    EXPECT_EQ(out.latency(), 0);
    late.join();
    out.queue(1152);
    EXPECT_EQ(out.m.close(out.inst), 0);
}

// Fails the first `busy_left` opens with -EBUSY, then opens the real PCM.
std::atomic<int> busy_left{0};
std::atomic<int> open_attempts{0};
int busy_opener(snd_pcm_t **pcm, const char *name, snd_pcm_stream_t stream, int mode)
{
    open_attempts++;
    if (busy_left > 0) {
        busy_left--;
        return -EBUSY;
    }
    return snd_pcm_open(pcm, name, stream, mode);
}

TEST(AlsaOutput, BusyDeviceIsRetriedTenTimes)
{
    struct Case
    {
        int busy;
        int result;
        int attempts;
    } cases[] = {{3, 0, 4}, {9, 0, 10}, {10, SV_ERR_DEVICE_BUSY, 10}, {1000, SV_ERR_DEVICE_BUSY, 10}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.busy);
        AlsaOutput out;
        sv_alsa_output_set_opener(busy_opener);
        busy_left = c.busy;
        open_attempts = 0;
        ASSERT_EQ(out.create(""), 0);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(out.m.open(out.inst), c.result);
        auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(open_attempts, c.attempts);
        // 50 ms between attempts.
        EXPECT_GE(waited, std::chrono::milliseconds(50 * (c.attempts - 1)));
        out.m.close(out.inst);
    }
}

TEST(AlsaOutput, UnknownPcmIsNoSuchDevice)
{
    ScopedEnv env("SONVOX_ALSA_DEVICE", "sonvox_no_such_pcm");
    AlsaOutput out;
    ASSERT_EQ(out.create(""), 0);
    EXPECT_EQ(out.m.open(out.inst), SV_ERR_NO_SUCH_DEVICE);
    EXPECT_EQ(out.m.write(out.inst, "abcd", 4, 2, 2, 44100), SV_ERR_WRITE_FAILED);
    EXPECT_EQ(out.m.close(out.inst), 0);
}

// A device that vanishes after taking `frames_left` frames (an unplugged USB card).
std::atomic<long> frames_left{0};
snd_pcm_sframes_t vanishing_writer(snd_pcm_t *pcm, const void *buffer, snd_pcm_uframes_t frames)
{
    if (frames_left <= 0)
        return -ENODEV;
    frames_left -= static_cast<long>(frames);
    return snd_pcm_writei(pcm, buffer, frames);
}

TEST(AlsaOutput, VanishedDeviceEndsWritesWithAnErrorAndCanBeOpenedAgain)
{
    AlsaOutput out;
    sv_alsa_output_set_writer(vanishing_writer);
    frames_left = 5000;
    ASSERT_EQ(out.create(""), 0);
    ASSERT_EQ(out.m.open(out.inst), 0);
    int result = 0;
    for (int i = 0; i < 200 && result == 0; i++) {
        void *buf = out.m.get_buffer(out.inst, 4608);
        ASSERT_NE(buf, nullptr);
        memset(buf, 0, 4608);
        // A full ring makes the write wait for the feeder, which meets the failure.
        result = out.m.write(out.inst, buf, 4608, 2, 2, 44100);
    }
    EXPECT_EQ(result, SV_ERR_NO_SUCH_DEVICE);
    ASSERT_FALSE(out.fd.reports.empty());
    EXPECT_EQ(out.fd.reports.back().kind, 'e');
    EXPECT_EQ(out.latency(), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(out.m.close(out.inst), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "close must not wait for it";

    // The card is back: the same instance opens and plays again.
    frames_left = 1L << 30;
    ASSERT_EQ(out.m.open(out.inst), 0);
    out.queue(1152);

    // Without a close in between, the write after the failed one opens the card again.
    frames_left = 0;
    result = 0;
    for (int i = 0; i < 200 && result == 0; i++) {
        void *buf = out.m.get_buffer(out.inst, 4608);
        ASSERT_NE(buf, nullptr);
        memset(buf, 0, 4608);
        // A full ring makes the write wait for the feeder, which meets the failure.
        result = out.m.write(out.inst, buf, 4608, 2, 2, 44100);
    }
    EXPECT_EQ(result, SV_ERR_NO_SUCH_DEVICE);
    frames_left = 1L << 30;
    void *buf = out.m.get_buffer(out.inst, 4608);
    ASSERT_NE(buf, nullptr);
    memset(buf, 0, 4608);
    EXPECT_EQ(out.m.write(out.inst, buf, 4608, 2, 2, 44100), 0);
    EXPECT_EQ(out.m.close(out.inst), 0);
    EXPECT_EQ(out.m.write(out.inst, buf, 4608, 2, 2, 44100), SV_ERR_WRITE_FAILED) << "closed";
}

TEST(AlsaOutput, PlaybackRateVariableChangesTheDeviceRate)
{
    AlsaOutput out;
    ASSERT_EQ(out.create(""), 0);
    ASSERT_EQ(out.m.open(out.inst), 0);
    ASSERT_EQ(out.control(SV_CTL_FREQUENCY | SV_CTL_CHANNELS, 0, 0, 0, 22050, 1), 0);
    EXPECT_EQ(sv_alsa_output_device_rate(out.inst), 22050);
    ASSERT_EQ(sv_props_set_int(out.fd.environment(), "OUTPUT.WAVE.PLAYBACK-RATE", 0x18000), 0);
    EXPECT_EQ(sv_alsa_output_device_rate(out.inst), 33075);
    ASSERT_EQ(sv_props_set_string(out.fd.environment(), "OUTPUT.WAVE.PLAYBACK-RATE", "0x8000"), SV_ERR_PROPERTY_TYPE);
    ASSERT_EQ(sv_props_unset(out.fd.environment(), "OUTPUT.WAVE.PLAYBACK-RATE"), 0);
    EXPECT_EQ(sv_alsa_output_device_rate(out.inst), 22050);
    ASSERT_EQ(sv_props_set_string(out.fd.environment(), "OUTPUT.WAVE.PLAYBACK-RATE", "0x8000"), 0);
    EXPECT_EQ(sv_alsa_output_device_rate(out.inst), 11025);
    out.queue(576, 1, 22050);
    EXPECT_EQ(out.m.close(out.inst), 0);
}

// A file PCM (slave null) defined by a temporary configuration: what the module hands
// the device lands in a raw file.
class FilePcm : public testing::Test
{
protected:
    void SetUp() override
    {
        raw_ = dir_.file("device.raw");
        std::string conf = dir_.file("asound.conf");
        write_file(conf, "</usr/share/alsa/alsa.conf>\n"
                         "pcm.sonvox_test_file {\n"
                         "  type file\n"
                         "  slave.pcm \"null\"\n"
                         "  file \""
                             + raw_
                             + "\"\n"
                               "  format \"raw\"\n"
                               "}\n");
        config_env_ = std::make_unique<ScopedEnv>("ALSA_CONFIG_PATH", conf.c_str());
        device_env_ = std::make_unique<ScopedEnv>("SONVOX_ALSA_DEVICE", "sonvox_test_file");
        snd_config_update_free_global();
    }
    void TearDown() override
    {
        device_env_.reset();
        config_env_.reset();
        snd_config_update_free_global();
        sv_volume_word_set(0xFFFFFFFFu);
    }
    std::vector<int16_t> device_samples()
    {
        std::string bytes = read_file(raw_);
        std::vector<int16_t> s(bytes.size() / 2);
        memcpy(s.data(), bytes.data(), s.size() * 2);
        return s;
    }

    TempDir dir_;
    std::string raw_;
    std::unique_ptr<ScopedEnv> config_env_, device_env_;
};

TEST_F(FilePcm, GainsReachTheDevice)
{
    struct Case
    {
        const char *what;
        int channels;
        int flags;
        int balance, pcm, master;
        uint32_t process_word;
        double left, right; // expected gain per device channel
        int then_flags = 0; // a second control call with the same record
    } cases[] = {
        {"untouched", 2, 0, 0, 0, 0, 0xFFFFFFFFu, 1.0, 1.0},
        {"balance 75, pcm 100", 2, SV_CTL_BALANCE | SV_CTL_PCM_LEVEL, 75, 100, 0, 0xFFFFFFFFu, 0.5, 1.0},
        {"pcm 50", 2, SV_CTL_PCM_LEVEL, 50, 50, 0, 0xFFFFFFFFu, 0.5, 0.5},
        {"muted", 2, SV_CTL_MUTE, 0, 0, 0, 0xFFFFFFFFu, 0.0, 0.0},
        {"muted, then unmuted at pcm 50", 2, SV_CTL_MUTE, 0, 50, 0, 0xFFFFFFFFu, 0.5, 0.5,
         SV_CTL_UNMUTE | SV_CTL_PCM_LEVEL},
        {"master 25", 2, SV_CTL_MASTER_LEVEL, 0, 0, 25, 0xFFFFFFFFu, 0.25, 0.25},
        {"process word right half", 2, 0, 0, 0, 0, 0x7FFFFFFFu, 1.0, 0.5},
        {"mono spread with balance 25", 1, SV_CTL_BALANCE | SV_CTL_PCM_LEVEL, 25, 100, 0, 0xFFFFFFFFu, 1.0, 0.5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sv_volume_word_set(c.process_word);
        {
            AlsaOutput out;
            ASSERT_EQ(out.create(""), 0);
            ASSERT_EQ(out.m.open(out.inst), 0);
            ASSERT_EQ(out.control(SV_CTL_FREQUENCY | SV_CTL_CHANNELS, 0, 0, 0, 44100, c.channels), 0);
            if (c.flags) {
                ASSERT_EQ(out.control(c.flags, c.balance, c.pcm, c.master), 0);
            }
            if (c.then_flags) {
                ASSERT_EQ(out.control(c.then_flags, c.balance, c.pcm, c.master), 0);
            }
            for (int i = 0; i < 20; i++)
                out.queue(1152, c.channels, 44100, 20000);
            ASSERT_EQ(out.m.close(out.inst), 0);
        }
        std::vector<int16_t> s = device_samples();
        ASSERT_GE(s.size(), 20u * 1152u * 2u);
        for (size_t i = 0; i < 20 * 1152 * 2; i += 2) {
            ASSERT_NEAR(s[i], 20000 * c.left, 1.0) << "left at frame " << i / 2;
            ASSERT_NEAR(s[i + 1], 20000 * c.right, 1.0) << "right at frame " << i / 2;
        }
    }
}

TEST_F(FilePcm, SamplesArriveInRingOrderAcrossPauseAndResume)
{
    AlsaOutput out;
    ASSERT_EQ(out.create(""), 0);
    ASSERT_EQ(out.m.open(out.inst), 0);
    for (int i = 0; i < 30; i++)
        out.queue(1152, 2, 44100, static_cast<int16_t>(i));
    // Let the (unpaced) device take everything, so the ring has room while paused.
    ASSERT_TRUE(eventually([&] { return out.latency() == 0; }));
    ASSERT_EQ(out.control(SV_CTL_PAUSE), 0);
    for (int i = 30; i < 60; i++)
        out.queue(1152, 2, 44100, static_cast<int16_t>(i));
    ASSERT_EQ(out.control(SV_CTL_RESUME), 0);
    for (int i = 60; i < 100; i++)
        out.queue(1152, 2, 44100, static_cast<int16_t>(i));
    ASSERT_EQ(out.m.close(out.inst), 0);

    std::vector<int16_t> s = device_samples();
    ASSERT_GE(s.size(), 100u * 1152u * 2u);
    for (size_t i = 0; i < 100 * 1152 * 2; i++)
        ASSERT_EQ(s[i], static_cast<int16_t>(i / (1152 * 2))) << "sample " << i;
}

} // namespace
