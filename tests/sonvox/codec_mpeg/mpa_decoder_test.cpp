// Behaviour of the MPEG audio decoder core on small generated fixtures (sine tones
// encoded with lame and ffmpeg): formats, header rules, resynchronisation, settings and
// robustness against arbitrary bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <random>

#include "mpa_test_util.h"

namespace {

std::vector<uint8_t> fixture(const char *name)
{
    auto bytes = read_file(std::string(CHIMECAST_FIXTURES_DIR) + "/" + name);
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

// Share of the power of one channel that lies at `freq` (1.0 for a pure tone).
double tone_share(const std::vector<int16_t> &pcm, int channels, int channel, int rate, double freq, size_t skip)
{
    double re = 0, im = 0, power = 0;
    size_t n = 0;
    for (size_t i = skip * channels + channel; i < pcm.size(); i += channels, n++) {
        double x = pcm[i];
        double ph = 2 * M_PI * freq * double(n) / rate;
        re += x * std::cos(ph);
        im -= x * std::sin(ph);
        power += x * x;
    }
    if (n == 0 || power == 0)
        return 0;
    return 2 * (re * re + im * im) / (double(n) * power);
}

// Byte offsets of the frames of a clean stream, found by walking the headers.
std::vector<size_t> frame_offsets(const std::vector<uint8_t> &b)
{
    std::vector<size_t> offs;
    size_t i = 0;
    mpa_header h;
    while (i + 4 <= b.size()
           && mpa_parse_header(uint32_t(b[i]) << 24 | b[i + 1] << 16 | b[i + 2] << 8 | b[i + 3], &h) == 0) {
        offs.push_back(i);
        i += size_t(h.frame_bytes);
    }
    return offs;
}

struct FixtureCase
{
    const char *file;
    int level, layer, channels, frequency, samples;
};

TEST(MpaDecoder, DecodesEachFormatToTheEncodedTone)
{
    const FixtureCase cases[] = {
        {"l3_stereo_44k.mp3", 1, 3, 2, 44100, 1152},    {"l3_joint_44k.mp3", 1, 3, 2, 44100, 1152},
        {"l3_mpeg2_mono_22k.mp3", 2, 3, 1, 22050, 576}, {"l3_mpeg25_mono_8k.mp3", 0, 3, 1, 8000, 576},
        {"l2_stereo_48k.mp2", 1, 2, 2, 48000, 1152},    {"l2_mpeg2_mono_24k.mp2", 2, 2, 1, 24000, 1152},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        auto bytes = fixture(c.file);
        auto offs = frame_offsets(bytes);
        ASSERT_FALSE(offs.empty());
        mpa_header h;
        ASSERT_EQ(mpa_parse_header(uint32_t(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3], &h), 0);
        EXPECT_EQ(h.level, c.level);
        EXPECT_EQ(h.layer, c.layer);
        EXPECT_EQ(h.samples, c.samples);

        DecodeResult r = decode_all(bytes);
        EXPECT_EQ(r.end_code, SV_ERR_END_OF_STREAM);
        EXPECT_EQ(r.dropped, 0);
        EXPECT_EQ(r.frames, int(offs.size()));
        EXPECT_EQ(r.channels, c.channels);
        EXPECT_EQ(r.frequency, c.frequency);
        EXPECT_EQ(r.pcm.size(), size_t(r.frames) * c.samples * c.channels);
        // channel 0 carries 1 kHz (the stereo fixtures carry 2.5 kHz on channel 1)
        EXPECT_GT(tone_share(r.pcm, c.channels, 0, c.frequency, 1000, 2 * c.samples), 0.8);
        if (c.channels == 2) {
            EXPECT_GT(tone_share(r.pcm, 2, 1, c.frequency, 2500, 2 * c.samples), 0.8);
        }
    }
}

struct HeaderCase
{
    uint32_t word;
    int valid;
    int frame_bytes = 0, samples = 0, side_info = 0, frequency = 0, bitrate = 0;
};

TEST(MpaDecoder, HeaderRules)
{
    const HeaderCase cases[] = {
        {0xFFFB9000, 1, 417, 1152, 32, 44100, 128}, // MPEG-1 Layer III 128k stereo
        {0xFFFB9200, 1, 418, 1152, 32, 44100, 128}, // with padding at 44.1 kHz
        {0xFFFB94C0, 1, 384, 1152, 17, 48000, 128}, // 48 kHz mono
        {0xFFFB9600, 0},                            // padding at 48 kHz: rejected
        {0xFFFB9A00, 0},                            // padding at 32 kHz: rejected
        {0xFFFB0000, 0},                            // free format
        {0xFFFBF000, 0},                            // bitrate index 15
        {0xFFF99000, 0},                            // layer bits 0
        {0xFFFB9C00, 0},                            // sampling index 3
        {0xFFEB9000, 0},                            // reserved version
        {0xFFC09000, 0},                            // no sync
        {0xFFE35000, 1, 261, 576, 17, 11025, 40},   // MPEG-2.5 Layer III
        {0xFFE55000, 0},                            // MPEG-2.5 Layer II
        {0xFFF330C0, 1, 78, 576, 9, 22050, 24},     // MPEG-2 Layer III mono
        {0xFFF530C0, 1, 156, 1152, 0, 22050, 24},   // MPEG-2 Layer II mono
        {0xFFFD1000, 0},                            // MPEG-1 Layer II 32k stereo
        {0xFFFD10C0, 1, 104, 1152, 0, 44100, 32},   // ... valid in single channel
        {0xFFFDB000, 1, 731, 1152, 0, 44100, 224},  // 224k stereo
        {0xFFFDB0C0, 0},                            // 224k single channel
        {0xFFFF1000, 1, 32, 384, 0, 44100, 32},     // Layer I
        {0xFFFF1200, 1, 36, 384, 0, 44100, 32},     // Layer I padding: one 4-byte slot
        {0xFFFA9000, 1, 417, 1152, 34, 44100, 128}, // with CRC: side info + 2
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.word);
        mpa_header h;
        int rc = mpa_parse_header(c.word, &h);
        ASSERT_EQ(rc, c.valid ? 0 : SV_ERR_INVALID_FRAME);
        EXPECT_EQ(mpa_parse_header(c.word, nullptr), rc);
        if (!c.valid)
            continue;
        EXPECT_EQ(h.frame_bytes, c.frame_bytes);
        EXPECT_EQ(h.samples, c.samples);
        EXPECT_EQ(h.side_info_bytes, c.side_info);
        EXPECT_EQ(h.frequency, c.frequency);
        EXPECT_EQ(h.bitrate, c.bitrate);
    }
}

TEST(MpaDecoder, LoneHeaderAndUnconfirmedFrames)
{
    auto bytes = fixture("l2_stereo_48k.mp2");
    auto offs = frame_offsets(bytes);
    ASSERT_GE(offs.size(), 3u);
    size_t f0 = offs[1] - offs[0];

    // a lone header: the input ends inside the frame
    std::vector<uint8_t> lone(bytes.begin(), bytes.begin() + 4);
    DecodeResult r = decode_all(lone);
    EXPECT_EQ(r.frames, 0);
    EXPECT_EQ(r.end_code, SV_ERR_END_OF_STREAM);

    // one whole frame and nothing after it: the end of input confirms it
    std::vector<uint8_t> one(bytes.begin(), bytes.begin() + long(f0));
    r = decode_all(one);
    EXPECT_EQ(r.frames, 1);
    EXPECT_EQ(r.dropped, 0);

    // a first frame not followed by a header is dropped; the search goes on after it
    std::vector<uint8_t> bad(bytes.begin(), bytes.begin() + long(f0));
    bad.insert(bad.end(), {0x12, 0x34, 0x56, 0x78});
    bad.insert(bad.end(), bytes.begin() + long(f0), bytes.end());
    r = decode_all(bad);
    ASSERT_FALSE(r.frame_results.empty());
    EXPECT_EQ(r.frame_results[0], SV_ERR_INVALID_FRAME);
    EXPECT_EQ(r.frames, int(offs.size()) - 1);
    DecodeResult clean = decode_all(std::vector<uint8_t>(bytes.begin() + long(f0), bytes.end()));
    EXPECT_EQ(r.pcm, clean.pcm);
}

// Two identical frames built from a header word and the first bytes of the body (the rest
// zero), so that the first is confirmed by the second.
std::vector<uint8_t> two_frames(uint32_t header, std::vector<uint8_t> body_start)
{
    mpa_header h;
    EXPECT_EQ(mpa_parse_header(header, &h), 0);
    std::vector<uint8_t> frame(size_t(h.frame_bytes), 0);
    for (int k = 0; k < 4; k++)
        frame[size_t(k)] = uint8_t(header >> (24 - 8 * k));
    std::copy(body_start.begin(), body_start.end(), frame.begin() + 4);
    std::vector<uint8_t> out(frame);
    out.insert(out.end(), frame.begin(), frame.end());
    return out;
}

TEST(MpaDecoder, ImpossibleValuesDropTheFrame)
{
    struct
    {
        const char *what;
        uint32_t header;
        std::vector<uint8_t> body;
    } cases[] = {
        {"Layer I allocation 15", 0xFFFF1000, {0xF0}},
        // side info: main_data_begin 0, private bits, scfsi, part2_3_length 0, big_values 511
        {"Layer III big_values above 288", 0xFFFB90C0, {0x00, 0x00, 0x00, 0x03, 0xFE}},
        // ... big_values 0, global gain, scalefac_compress, window switching with block type 0
        {"Layer III window switching with block type 0", 0xFFFB90C0, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        DecodeResult r = decode_all(two_frames(c.header, c.body));
        ASSERT_EQ(r.frame_results.size(), 3u);
        EXPECT_EQ(r.frame_results[0], SV_ERR_INVALID_FRAME);
        EXPECT_EQ(r.frame_results[1], SV_ERR_INVALID_FRAME);
        EXPECT_EQ(r.end_code, SV_ERR_END_OF_STREAM);
    }
    // the same frames with valid values decode (to silence)
    DecodeResult ok = decode_all(two_frames(0xFFFF1000, {0x00}));
    EXPECT_EQ(ok.frames, 2);
    EXPECT_EQ(ok.pcm, std::vector<int16_t>(2 * 384 * 2, 0));
}

// Rewrites one header field in every frame of a clean stream.
std::vector<uint8_t> patch_headers(std::vector<uint8_t> bytes, uint32_t clear, uint32_t set)
{
    for (size_t off : frame_offsets(bytes)) {
        uint32_t w = uint32_t(bytes[off]) << 24 | bytes[off + 1] << 16 | bytes[off + 2] << 8 | bytes[off + 3];
        w = (w & ~clear) | set;
        for (int k = 0; k < 4; k++)
            bytes[off + k] = uint8_t(w >> (24 - 8 * k));
    }
    return bytes;
}

TEST(MpaDecoder, RejectedHeadersNeverPlay)
{
    auto bytes = fixture("l2_stereo_48k.mp2");
    struct
    {
        const char *what;
        uint32_t clear, set;
    } cases[] = {
        {"padding at 48 kHz", 0, 0x200},
        {"free format", 0xF000, 0},
        {"MPEG-2.5 Layer II", 0x180000, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        DecodeResult r = decode_all(patch_headers(bytes, c.clear, c.set));
        for (size_t i = 0; i + 1 < r.frame_results.size(); i++)
            EXPECT_LT(r.frame_results[i], 0);
        EXPECT_EQ(r.frames, 0);
        EXPECT_EQ(r.end_code, SV_ERR_END_OF_STREAM);
    }
}

TEST(MpaDecoder, ResynchronisesAfterGarbageBetweenFrames)
{
    for (const char *name : {"l3_stereo_44k.mp3", "l2_stereo_48k.mp2"}) {
        SCOPED_TRACE(name);
        auto bytes = fixture(name);
        auto offs = frame_offsets(bytes);
        ASSERT_GE(offs.size(), 8u);
        std::vector<uint8_t> dirty(bytes.begin(), bytes.begin() + long(offs[5]));
        for (int i = 0; i < 300; i++)
            dirty.push_back(uint8_t(i * 37 % 251)); // no sync pattern
        dirty.push_back(0xFF);                      // a lone sync byte
        dirty.insert(dirty.end(), bytes.begin() + long(offs[5]), bytes.end());
        DecodeResult clean = decode_all(bytes), r = decode_all(dirty);
        EXPECT_EQ(r.dropped, 0);
        EXPECT_EQ(r.frames, clean.frames);
        EXPECT_EQ(r.pcm, clean.pcm); // the reservoir survives: frames after the garbage are intact
    }
}

TEST(MpaDecoder, StreamCutAnywhereEndsCleanlyWithAPrefixOfTheOutput)
{
    for (const char *name : {"l3_joint_44k.mp3", "l2_mpeg2_mono_24k.mp2", "l3_mpeg25_mono_8k.mp3"}) {
        SCOPED_TRACE(name);
        auto bytes = fixture(name);
        DecodeResult full = decode_all(bytes);
        for (size_t cut = 0; cut < bytes.size(); cut += 61) {
            DecodeResult r = decode_all(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(cut)));
            ASSERT_EQ(r.end_code, SV_ERR_END_OF_STREAM) << cut;
            ASSERT_LE(r.pcm.size(), full.pcm.size());
            ASSERT_TRUE(std::equal(r.pcm.begin(), r.pcm.end(), full.pcm.begin())) << cut;
        }
    }
}

TEST(MpaDecoder, SilenceUntilTheReservoirHoldsTheMainData)
{
    auto bytes = fixture("l3_stereo_44k.mp3");
    auto offs = frame_offsets(bytes);
    ASSERT_GE(offs.size(), 10u);
    DecodeResult full = decode_all(bytes);
    // start in the middle, as after a seek: the first frame's main data begins in an
    // earlier frame that was never read
    std::vector<uint8_t> tail(bytes.begin() + long(offs[6]), bytes.end());
    DecodeResult r = decode_all(tail);
    ASSERT_GE(r.frames, 2);
    EXPECT_GE(r.silent, 1);
    size_t fv = 1152 * 2;
    for (size_t i = 0; i < fv * size_t(r.silent); i++)
        ASSERT_EQ(r.pcm[i], 0);
    EXPECT_EQ(r.frames, int(offs.size()) - 6);
    // once filled, the output is sound again (not silence)
    bool any = false;
    for (size_t i = fv * size_t(r.silent); i < r.pcm.size(); i++)
        any |= r.pcm[i] != 0;
    EXPECT_TRUE(any);
}

TEST(MpaDecoder, ResetClearsAllState)
{
    auto bytes = fixture("l3_joint_44k.mp3");
    mpa_decoder *d = mpa_new();
    std::vector<int16_t> first, second;
    int16_t pcm[MPA_MAX_FRAME_SAMPLES];
    mpa_frame_info info;
    for (auto *out : {&first, &second}) {
        mpa_memory_input in{bytes.data(), bytes.size(), 0};
        int n;
        while ((n = mpa_decode_frame(d, mpa_memory_read, &in, pcm, &info)) != SV_ERR_END_OF_STREAM)
            if (n > 0)
                out->insert(out->end(), pcm, pcm + n * info.out_channels);
        mpa_reset(d);
    }
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, second);
    mpa_free(d);
}

TEST(MpaDecoder, ReadErrorsArePassedBack)
{
    mpa_decoder *d = mpa_new();
    int16_t pcm[MPA_MAX_FRAME_SAMPLES];
    auto failing = [](void *, void *, int) { return SV_ERR_READ_FAILED; };
    EXPECT_EQ(mpa_decode_frame(d, failing, nullptr, pcm, nullptr), SV_ERR_READ_FAILED);
    mpa_free(d);
}

TEST(MpaDecoder, ChannelSelection)
{
    auto bytes = fixture("l3_stereo_44k.mp3");
    DecodeResult first = decode_all(bytes, 1), second = decode_all(bytes, 2), mixed = decode_all(bytes, 3);
    for (auto *r : {&first, &second, &mixed}) {
        EXPECT_EQ(r->channels, 1);
        EXPECT_EQ(r->frequency, 44100);
        EXPECT_EQ(r->pcm.size(), size_t(r->frames) * 1152);
    }
    EXPECT_GT(tone_share(first.pcm, 1, 0, 44100, 1000, 2304), 0.8);
    EXPECT_GT(tone_share(second.pcm, 1, 0, 44100, 2500, 2304), 0.8);
    // mixing the subband samples is the average of the two outputs (up to rounding)
    for (size_t i = 0; i < mixed.pcm.size(); i++)
        ASSERT_NEAR(mixed.pcm[i], (first.pcm[i] + second.pcm[i]) / 2.0, 1.5) << i;
    // a mono stream stays mono whatever the selection
    EXPECT_EQ(decode_all(fixture("l3_mpeg2_mono_22k.mp3"), 2).channels, 1);

    mpa_decoder *d = mpa_new();
    EXPECT_EQ(mpa_set_channel_selection(d, 4), SV_ERR_INVALID_PARAMETERS);
    EXPECT_EQ(mpa_set_downsampling(d, 3), SV_ERR_INVALID_PARAMETERS);
    EXPECT_EQ(mpa_get_channel_selection(d), 0);
    EXPECT_EQ(mpa_get_downsampling(d), 0);
    mpa_free(d);
}

TEST(MpaDecoder, Downsampling)
{
    struct
    {
        const char *file;
        int setting, frequency, samples;
    } cases[] = {
        {"l2_stereo_48k.mp2", 1, 24000, 576},     {"l2_stereo_48k.mp2", 2, 12000, 288},
        {"l3_mpeg2_mono_22k.mp3", 1, 22050, 576}, {"l3_mpeg2_mono_22k.mp3", 2, 11025, 288},
        {"l3_mpeg25_mono_8k.mp3", 2, 8000, 576},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " setting " << c.setting);
        DecodeResult r = decode_all(fixture(c.file), 0, c.setting);
        EXPECT_EQ(r.frequency, c.frequency);
        EXPECT_EQ(r.pcm.size(), size_t(r.frames) * c.samples * r.channels);
        EXPECT_GT(tone_share(r.pcm, r.channels, 0, c.frequency, 1000, 2 * c.samples), 0.8);
    }
}

TEST(MpaDecoder, EqualiserSetGetRemoveAndGain)
{
    mpa_decoder *d = mpa_new();
    signed char values[64], back[64];
    memset(back, 55, sizeof back);
    EXPECT_EQ(mpa_get_equalizer(d, back), SV_ERR_NO_SUCH_PROPERTY);
    for (signed char v : back)
        EXPECT_EQ(v, 0);
    const signed char probe[] = {-128, -64, -32, -1, 0, 1, 31, 64, 127};
    for (int i = 0; i < 64; i++)
        values[i] = probe[i % 9];
    ASSERT_EQ(mpa_set_equalizer(d, values), 0);
    ASSERT_EQ(mpa_get_equalizer(d, back), 0);
    EXPECT_EQ(0, memcmp(values, back, 64));
    mpa_remove_equalizer(d);
    EXPECT_EQ(mpa_get_equalizer(d, back), SV_ERR_NO_SUCH_PROPERTY);

    // -32 everywhere halves every subband, so the whole output
    auto bytes = fixture("l2_stereo_48k.mp2");
    DecodeResult plain = decode_all(bytes);
    memset(values, -32, sizeof values);
    ASSERT_EQ(mpa_set_equalizer(d, values), 0);
    mpa_memory_input in{bytes.data(), bytes.size(), 0};
    int16_t pcm[MPA_MAX_FRAME_SAMPLES];
    mpa_frame_info info;
    std::vector<int16_t> eq;
    int n;
    while ((n = mpa_decode_frame(d, mpa_memory_read, &in, pcm, &info)) != SV_ERR_END_OF_STREAM)
        if (n > 0)
            eq.insert(eq.end(), pcm, pcm + n * info.out_channels);
    ASSERT_EQ(eq.size(), plain.pcm.size());
    for (size_t i = 0; i < eq.size(); i++)
        ASSERT_NEAR(eq[i], plain.pcm[i] / 2.0, 1.5) << i;
    mpa_free(d);
}

TEST(MpaDecoder, ArbitraryBytesNeverCrashOrHang)
{
    std::mt19937 rng(12345);
    std::vector<std::vector<uint8_t>> inputs;
    inputs.push_back(std::vector<uint8_t>(5000, 0xFF)); // sync bits everywhere
    for (int i = 0; i < 20; i++) {
        std::vector<uint8_t> b(3000);
        for (auto &x : b)
            x = uint8_t(rng());
        inputs.push_back(b);
    }
    // valid streams with bit flips: every header parses, the frame contents are damaged
    for (const char *name : {"l3_joint_44k.mp3", "l3_mpeg2_mono_22k.mp3", "l2_stereo_48k.mp2"}) {
        auto base = fixture(name);
        for (int i = 0; i < 30; i++) {
            auto b = base;
            for (int k = 0; k < 40; k++)
                b[rng() % b.size()] ^= uint8_t(1u << (rng() % 8));
            inputs.push_back(b);
        }
    }
    for (const auto &b : inputs) {
        DecodeResult r = decode_all(b);
        ASSERT_EQ(r.end_code, SV_ERR_END_OF_STREAM);
    }
}

} // namespace

#include "sonvox/modules/codec_mpeg/mpa_internal.h"

namespace {

// The unrolled fast DCT of the synthesis against the defining sum.
TEST(MpaDecoder, FastDctMatchesTheDefinition)
{
    const mpa_tables *t = mpa_get_tables();
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int trial = 0; trial < 50; trial++) {
        float in[32], out[32];
        for (float &x : in)
            x = u(rng);
        mpa_dct32(t, in, out);
        for (int j = 0; j < 32; j++) {
            double ref = 0;
            for (int k = 0; k < 32; k++)
                ref += in[k] * std::cos(j * (2 * k + 1) * M_PI / 64);
            ASSERT_NEAR(out[j], ref, 1e-4) << j;
        }
    }
}

} // namespace
