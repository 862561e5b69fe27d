// The MPEG codec module driven through its descriptor over an in-memory input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"
#include "sonvox/modules/codec_mpeg/mpeg_codec_module.h"
#include "tests/sonvox/codec_module/memory_input.h"
#include "tests/sonvox/codec_module/mpeg_fixtures.h"

namespace {

// One codec instance over one input, opened the way the engine opens a stream.
struct Mpeg
{
    sv_codec_module m{};
    MemoryInput in;
    void *codec = nullptr;
    sv_stream_info info{};
    std::vector<int16_t> pcm = std::vector<int16_t>(MPEG_CODEC_MAX_BLOCK_BYTES / 2);
    sv_output_block block{};

    explicit Mpeg(Bytes bytes)
        : in(std::move(bytes))
    {
        info.properties = sv_props_new();
        EXPECT_EQ(sv_mpeg_codec_register(&m), 0);
        EXPECT_EQ(m.create(&codec, "audio/unknown", "x.mp3", nullptr, &in.decoder), 0);
    }
    ~Mpeg()
    {
        m.destroy(codec);
        sv_props_free(info.properties);
    }
    int open()
    {
        int r = m.input_changed(codec, "audio/unknown", "x.mp3");
        if (r == 0)
            r = m.start_stream(codec, &info);
        return r;
    }
    int decode()
    {
        block = sv_output_block{};
        block.samples = pcm.data();
        block.capacity = MPEG_CODEC_MAX_BLOCK_BYTES;
        return m.decode(codec, &block, &info);
    }
    int prop(const char *name)
    {
        int v = -99;
        EXPECT_EQ(sv_props_get_int(info.properties, name, &v), 0) << name;
        return v;
    }
    // Decodes to the end of input: the frames that gave sound (dropped ones don't count).
    int decode_all(int *dropped = nullptr)
    {
        int good = 0, bad = 0, r;
        for (int guard = 0; guard < 100000; ++guard) {
            r = decode();
            if (r == 0) {
                ++good;
            } else if (r == SV_ERR_INVALID_FRAME) {
                ++bad;
            } else {
                break;
            }
        }
        EXPECT_EQ(r, SV_ERR_END_OF_STREAM);
        if (dropped)
            *dropped = bad;
        return good;
    }
};

// Frame starts of a stream, found by walking the headers from the first byte.
std::vector<size_t> frame_starts(const Bytes &b)
{
    std::vector<size_t> at;
    size_t p = 0;
    mpa_header h{};
    while (p + 4 <= b.size()) {
        uint32_t w = (uint32_t{b[p]} << 24) | (uint32_t{b[p + 1]} << 16) | (uint32_t{b[p + 2]} << 8) | b[p + 3];
        if (mpa_parse_header(w, &h) != 0 || p + static_cast<size_t>(h.frame_bytes) > b.size())
            break;
        at.push_back(p);
        p += static_cast<size_t>(h.frame_bytes);
    }
    return at;
}

TEST(MpegCodecModule, ProbeTakesEverythingAndInfoDescribesTheCodec)
{
    sv_codec_module m{};
    ASSERT_EQ(sv_mpeg_codec_register(&m), 0);
    EXPECT_EQ(m.version, SV_MODULE_INTERFACE_VERSION);
    EXPECT_EQ(m.probe("audio/unknown", "a.mp3"), 0);
    EXPECT_EQ(m.probe("text/html", "index"), 0);
    sv_module_info info{};
    ASSERT_EQ(m.info(&info, SV_INFO_NAME), 0);
    EXPECT_STREQ(info.name, "MPEG Audio Codec");
    EXPECT_STREQ(info.description, "Version 1.2");
    ASSERT_EQ(m.info(&info, SV_INFO_DEVICE_COUNT), 0);
    EXPECT_EQ(info.count, 1);
    info.count = 0;
    ASSERT_EQ(m.info(&info, SV_INFO_DEVICE), 0);
    EXPECT_STREQ(info.name, "MP1, MP2, MP3");
    EXPECT_STREQ(info.description, "MPEG 1 or 2 audio");
    info.count = 1;
    EXPECT_EQ(m.info(&info, SV_INFO_DEVICE), SV_ERR_INVALID_PARAMETERS);
    ASSERT_EQ(m.info(&info, SV_INFO_BLOCK_SIZE | SV_INFO_CODEC_FLAGS), 0);
    EXPECT_EQ(info.count, 4608);
    EXPECT_EQ(info.flags, 3);
}

// A 4096-byte ID3v2 body, then 1 000 000 data bytes: 20 frames of 128 kbit/s and zeros.
constexpr int kTaggedFrames = 20;
Bytes tagged_million()
{
    Bytes b = id3v2_tag(4096);
    append(b, frames(kStereo128, kTaggedFrames));
    b.resize(4106 + 1000000, 0);
    return b;
}

TEST(MpegCodecModule, StartStreamSkipsTheId3TagAndReportsTheStream)
{
    for (bool seekable : {true, false}) {
        Mpeg s(tagged_million());
        s.in.seekable = seekable;
        ASSERT_EQ(s.open(), 0);
        EXPECT_EQ(s.info.duration_ms, 62500);
        EXPECT_EQ(s.info.bitrate, 128);
        EXPECT_EQ(s.info.frequency, 44100);
        EXPECT_EQ(s.info.channels, 2);
        EXPECT_STREQ(s.info.content_type, "audio/mpeg");
        EXPECT_EQ(s.info.changed,
                  SV_STREAM_PROPERTIES_CHANGED | SV_STREAM_PARAMETERS_CHANGED | SV_STREAM_CONTENT_TYPE_CHANGED);
        EXPECT_EQ(s.prop("mpeg/level"), 1);
        EXPECT_EQ(s.prop("mpeg/layer"), 3);
        EXPECT_EQ(s.prop("mpeg/mode"), 0);
        // Every frame after the tag plays, whether the input could seek back or not.
        s.info.changed = 0;
        EXPECT_EQ(s.decode_all(), kTaggedFrames) << (seekable ? "seekable" : "not seekable");
        EXPECT_EQ(s.info.changed, 0); // constant stream: nothing new to report
    }
}

TEST(MpegCodecModule, ByteOffsetsAndFractionsCountFromTheFirstFrame)
{
    Mpeg s(tagged_million());
    ASSERT_EQ(s.open(), 0);
    EXPECT_EQ(s.in.pos, 4106);
    EXPECT_FLOAT_EQ(s.m.offset_to_fraction(s.codec, 0), 0.0f);
    EXPECT_FLOAT_EQ(s.m.offset_to_fraction(s.codec, 4106), 0.0f);
    EXPECT_FLOAT_EQ(s.m.offset_to_fraction(s.codec, 4106 + 250000), 0.25f);
    EXPECT_FLOAT_EQ(s.m.offset_to_fraction(s.codec, 4106 + 1000000), 1.0f);
    EXPECT_EQ(s.m.fraction_to_offset(s.codec, 0.0f), 4106);
    EXPECT_EQ(s.m.fraction_to_offset(s.codec, 0.5f), 4106 + 500000);
    EXPECT_EQ(s.m.fraction_to_offset(s.codec, 1.0f), 4106 + 1000000);
    // A seek back to the very start (a stop) plays from the first frame, not the tag.
    ASSERT_EQ(s.in.seek(&s.in, 0), 0);
    ASSERT_EQ(s.m.seek_done(s.codec, 0), 0);
    EXPECT_EQ(s.decode_all(), kTaggedFrames);
}

TEST(MpegCodecModule, TagLargerThanTheInputLeavesNothingToPlay)
{
    Bytes b = id3v2_tag(4096);
    b.resize(3000);
    append(b, frames(kStereo128, 3));
    Mpeg s(b);
    ASSERT_EQ(s.open(), 0);
    EXPECT_EQ(s.info.duration_ms, 0);
    EXPECT_EQ(s.info.changed, 0);
    EXPECT_EQ(s.decode(), SV_ERR_END_OF_STREAM);
}

TEST(MpegCodecModule, XingSeekTableMapsTimeToBytes)
{
    Bytes b = read_fixture("vbr_mpeg1_stereo.mp3");
    Mpeg s(b);
    ASSERT_EQ(s.open(), 0);
    const uint8_t *toc = b.data() + 36 + 16;
    const double size = static_cast<double>(b.size());
    for (float x : {0.0f, 0.25f, 0.333f, 0.5f, 0.99f, 1.0f}) {
        double p = x * 100.0;
        int i = p >= 99 ? 99 : static_cast<int>(p);
        double a = toc[i], next = i < 99 ? toc[i + 1] : 256;
        int64_t expected = static_cast<int64_t>((a + (p - i) * (next - a)) / 256 * size);
        EXPECT_NEAR(static_cast<double>(s.m.fraction_to_offset(s.codec, x)), static_cast<double>(expected), 1.0) << x;
    }
}

TEST(MpegCodecModule, VbrHeaderLengthIsKeptWhileDecoding)
{
    for (const char *file :
         {"vbr_mpeg1_stereo.mp3", "vbr_mpeg1_mono.mp3", "vbr_mpeg2_stereo.mp3", "vbr_mpeg2_mono.mp3"}) {
        Mpeg s(read_fixture(file));
        ASSERT_EQ(s.open(), 0) << file;
        const int duration = s.info.duration_ms, bitrate = s.info.bitrate;
        ASSERT_GT(duration, 500) << file;
        s.info.changed = 0;
        int decoded = s.decode_all();
        EXPECT_EQ(s.info.duration_ms, duration) << file;
        EXPECT_EQ(s.info.bitrate, bitrate) << file;
        EXPECT_EQ(s.info.changed, 0) << file;
        // The header's frame count matches what plays (the header frame itself included).
        const int spf = s.info.frequency >= 32000 ? 1152 : 576;
        EXPECT_NEAR(duration, static_cast<double>(decoded) * spf * 1000 / s.info.frequency,
                    2.0 * spf * 1000 / s.info.frequency)
            << file;
    }
}

TEST(MpegCodecModule, FrameChangesAreReportedAndTheBitrateIsSmoothed)
{
    Bytes b = frames(kStereo128, 1);
    append(b, frames(kStereo256, 2));
    append(b, frames(kMono128, 1));
    append(b, frames(kStereo128At48, 1));
    Mpeg s(b);
    ASSERT_EQ(s.open(), 0);
    const int64_t size = static_cast<int64_t>(b.size());
    EXPECT_EQ(s.info.duration_ms, size * 8 / 128);

    struct Step
    {
        const char *what;
        int changed, bitrate, channels, frequency, mode;
    } steps[] = {
        {"same as announced", 0, 128, 2, 44100, 0},
        {"first 256: average 132.5, within 1/32", 0, 128, 2, 44100, 0},
        {"second 256: average 136, reported", SV_STREAM_PARAMETERS_CHANGED, 136, 2, 44100, 0},
        {"single channel", SV_STREAM_PROPERTIES_CHANGED | SV_STREAM_PARAMETERS_CHANGED, 136, 1, 44100, 3},
        {"48 kHz stereo", SV_STREAM_PROPERTIES_CHANGED | SV_STREAM_PARAMETERS_CHANGED, 136, 2, 48000, 0},
    };
    int64_t samples = 0;
    for (const Step &st : steps) {
        s.info.changed = 0;
        ASSERT_EQ(s.decode(), 0) << st.what;
        samples += 1152;
        EXPECT_EQ(s.info.changed, st.changed) << st.what;
        EXPECT_EQ(s.info.bitrate, st.bitrate) << st.what;
        EXPECT_EQ(s.info.channels, st.channels) << st.what;
        EXPECT_EQ(s.info.frequency, st.frequency) << st.what;
        EXPECT_EQ(s.prop("mpeg/mode"), st.mode) << st.what;
        if (st.changed & SV_STREAM_PARAMETERS_CHANGED) {
            // Decoded time plus the bytes left at the reported bitrate.
            int64_t left = size - s.in.pos;
            EXPECT_EQ(s.info.duration_ms, samples * 1000 / st.frequency + left * 8 / st.bitrate) << st.what;
        }
    }
    EXPECT_EQ(s.decode(), SV_ERR_END_OF_STREAM);
}

TEST(MpegCodecModule, DurationAfterASeekStaysTrueForConstantBitrate)
{
    Bytes b = frames(kStereo128, 600);
    const int expected = static_cast<int>(static_cast<int64_t>(b.size()) * 8 / 128);
    Mpeg s(b);
    ASSERT_EQ(s.open(), 0);
    EXPECT_EQ(s.info.duration_ms, expected);
    for (int frame : {300, 100, 550}) {
        const int64_t offset = int64_t{frame} * 417;
        ASSERT_EQ(s.in.seek(&s.in, offset), 0);
        ASSERT_EQ(s.m.seek_done(s.codec, offset), 0);
        s.info.changed = 0;
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(s.decode(), 0);
        EXPECT_TRUE(s.info.changed & SV_STREAM_PROPERTIES_CHANGED); // reported again after the seek
        EXPECT_NEAR(s.info.duration_ms, expected, 60) << "seek to frame " << frame;
    }
}

TEST(MpegCodecModule, SettingsReachTheDecoder)
{
    Mpeg s(frames(kStereo128, 8));
    ASSERT_EQ(s.open(), 0);
    sv_codec_settings set{};
    set.setting1 = 3; // both channels mixed into one
    set.setting2 = 1; // half rate
    set.has_equalizer = 1;
    for (int i = 0; i < 64; ++i)
        set.equalizer[i] = static_cast<signed char>(i - 32);
    ASSERT_EQ(s.m.set_settings(s.codec, &set, SV_CODEC_SETTING_1 | SV_CODEC_SETTING_2 | SV_CODEC_EQUALIZER), 0);

    sv_codec_settings back{};
    ASSERT_EQ(s.m.get_settings(s.codec, &back, SV_CODEC_SETTING_1 | SV_CODEC_SETTING_2 | SV_CODEC_EQUALIZER), 0);
    EXPECT_EQ(back.setting1, 3);
    EXPECT_EQ(back.setting2, 1);
    EXPECT_TRUE(back.has_equalizer);
    for (int i = 0; i < 64; ++i)
        EXPECT_NEAR(back.equalizer[i], set.equalizer[i], 1) << i;

    ASSERT_EQ(s.decode(), 0);
    EXPECT_EQ(s.block.channels, 1);
    EXPECT_EQ(s.block.frequency, 22050);
    EXPECT_EQ(s.block.samples_per_channel, 576);
    EXPECT_EQ(s.info.frequency, 44100); // the stream's own rate

    // Mono at the stream's rate once downsampling is off again.
    set.setting2 = 0;
    ASSERT_EQ(s.m.set_settings(s.codec, &set, SV_CODEC_SETTING_2), 0);
    ASSERT_EQ(s.decode(), 0);
    EXPECT_EQ(s.block.channels, 1);
    EXPECT_EQ(s.block.frequency, 44100);

    set.has_equalizer = 0;
    ASSERT_EQ(s.m.set_settings(s.codec, &set, SV_CODEC_EQUALIZER), 0);
    back.has_equalizer = 1;
    back.equalizer[5] = 9;
    EXPECT_EQ(s.m.get_settings(s.codec, &back, SV_CODEC_EQUALIZER), SV_ERR_NO_SUCH_PROPERTY);
    EXPECT_FALSE(back.has_equalizer);
    EXPECT_EQ(back.equalizer[5], 0);

    set.setting1 = 4;
    EXPECT_EQ(s.m.set_settings(s.codec, &set, SV_CODEC_SETTING_1), SV_ERR_INVALID_PARAMETERS);
    ASSERT_EQ(s.m.get_settings(s.codec, &back, SV_CODEC_SETTING_1), 0);
    EXPECT_EQ(back.setting1, 3);
}

TEST(MpegCodecModule, DamagedStreamsResynchroniseAndPlayOn)
{
    const Bytes clean = read_fixture("cbr128_stereo.mp3");
    const std::vector<size_t> starts = frame_starts(clean);
    ASSERT_GT(starts.size(), 20u);
    // The first frame is lame's Info frame, which holds no audio and is passed over.
    const int total = static_cast<int>(starts.size()) - 1;

    Bytes garbage_between = clean; // garbage (with false syncs) after frames 5, 10 and 15
    for (size_t k : {15u, 10u, 5u}) {
        Bytes junk = {0xFF, 0xFB, 0x12, 0x00, 0xFF, 0xE0, 0x01, 0x02, 0x03, 0xFF};
        garbage_between.insert(garbage_between.begin() + static_cast<long>(starts[k]), junk.begin(), junk.end());
    }
    Bytes truncated_last(clean.begin(), clean.begin() + static_cast<long>(starts.back() + 100));
    Bytes cut_inside(clean.begin(), clean.begin() + static_cast<long>(starts[7] + 50));
    append(cut_inside, Bytes(clean.begin() + static_cast<long>(starts[9] + 200), clean.end()));
    Bytes starts_mid_frame(clean.begin() + static_cast<long>(starts[3] + 123), clean.end());

    struct Case
    {
        const char *what;
        Bytes bytes;
        int at_least; // frames that must still play
    } cases[] = {
        {"clean", clean, total},
        {"garbage between frames", garbage_between, total - 3},
        {"truncated last frame", truncated_last, total - 2},
        {"cut out of the middle", cut_inside, total - 5},
        {"starting inside a frame", starts_mid_frame, total - 5},
    };
    for (Case &c : cases) {
        Mpeg s(c.bytes);
        ASSERT_EQ(s.open(), 0) << c.what;
        int dropped = 0;
        int played = s.decode_all(&dropped);
        EXPECT_GE(played, c.at_least) << c.what;
        EXPECT_LE(played, total) << c.what;
    }
}

} // namespace
