// Start-of-stream analysis: ID3v2 size, first header, Xing/Lame/VBRI headers, durations
// and the seek table.
#include <gtest/gtest.h>

#include <cstring>

#include "sonvox/modules/codec_mpeg/stream_start.h"
#include "tests/sonvox/codec_module/mpeg_fixtures.h"

namespace {

mpeg_stream_start analyse(const Bytes &b, int64_t data_bytes)
{
    mpeg_stream_start st;
    mpeg_analyse_stream_start(b.data(), static_cast<int>(b.size() < 152 ? b.size() : 152), data_bytes, &st);
    return st;
}

uint32_t be32_at(const Bytes &b, size_t at)
{
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

TEST(StreamStart, Id3v2TagSize)
{
    Bytes v4_footer = id3v2_tag(100, 4, 0x10);
    Bytes v3_footer_flag = id3v2_tag(100, 3, 0x10); // the footer exists in version 4 only
    Bytes not_tag = id3v2_tag(100);
    not_tag[0] = 'X';
    struct Case
    {
        const char *what;
        Bytes bytes;
        int64_t size;
    } cases[] = {
        {"4096-byte body", id3v2_tag(4096), 4106},
        {"largest syncsafe size", Bytes{'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, 0x0FFFFFFF + 10},
        {"size bytes that are not syncsafe mark a damaged tag", Bytes{'I', 'D', '3', 3, 0, 0, 0x80, 0x80, 0xA0, 0x80},
         -1},
        {"version 4 with footer", v4_footer, 120},
        {"footer flag of version 3", v3_footer_flag, 110},
        {"no tag", not_tag, 0},
        {"too short", Bytes{'I', 'D', '3', 3, 0}, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(mpeg_id3v2_size(c.bytes.data(), static_cast<int>(c.bytes.size())), c.size) << c.what;
}

TEST(StreamStart, ConstantBitrateDurationComesFromTheDataSize)
{
    Bytes b = frames(kStereo128, 1);
    mpeg_stream_start st = analyse(b, 1000000);
    ASSERT_TRUE(st.valid);
    EXPECT_EQ(st.duration_ms, 62500);
    EXPECT_EQ(st.bitrate, 128);
    EXPECT_EQ(st.vbr, MPEG_VBR_NONE);
    EXPECT_FALSE(st.length_from_header);
    EXPECT_EQ(analyse(frames(kMono128, 1), 0).duration_ms, 0); // unknown size
}

// A header word followed by zeros, whether or not the header is valid.
Bytes raw(uint32_t word)
{
    Bytes b;
    put_be32(b, word);
    b.resize(152, 0);
    return b;
}

TEST(StreamStart, RejectsStreamsThatDoNotStartWithAValidHeader)
{
    ASSERT_TRUE(analyse(raw(kStereo128At48), 100000).valid);
    Bytes junk_first = frames(kStereo128, 1);
    junk_first.insert(junk_first.begin(), 0);
    struct Case
    {
        const char *what;
        Bytes bytes;
    } cases[] = {
        {"padding with 48 kHz", raw(kStereo128At48 | 0x200)},
        {"free format", raw(0xFFFB0000)},
        {"MPEG-2.5 Layer II", raw(0xFFE59000)},
        {"a byte before the header", junk_first},
        {"only three bytes", Bytes{0xFF, 0xFB, 0x90}},
    };
    for (const Case &c : cases)
        EXPECT_FALSE(analyse(c.bytes, 100000).valid) << c.what;
}

TEST(StreamStart, XingHeaderOfEachLayoutGivesFramesDurationAndSeekTable)
{
    struct Case
    {
        const char *file;
        int xing_at, frequency, samples;
    } cases[] = {
        {"vbr_mpeg1_stereo.mp3", 36, 44100, 1152},
        {"vbr_mpeg1_mono.mp3", 21, 44100, 1152},
        {"vbr_mpeg2_stereo.mp3", 21, 22050, 576},
        {"vbr_mpeg2_mono.mp3", 13, 22050, 576},
    };
    for (const Case &c : cases) {
        Bytes b = read_fixture(c.file);
        ASSERT_GT(b.size(), 152u) << c.file;
        ASSERT_EQ(std::memcmp(b.data() + c.xing_at, "Xing", 4), 0) << c.file;
        uint32_t frame_count = be32_at(b, c.xing_at + 8);
        int64_t data = static_cast<int64_t>(b.size());
        mpeg_stream_start st = analyse(b, data);
        ASSERT_TRUE(st.valid) << c.file;
        EXPECT_EQ(st.vbr, MPEG_VBR_XING) << c.file;
        EXPECT_TRUE(st.length_from_header) << c.file;
        EXPECT_EQ(st.frames, frame_count) << c.file;
        int64_t duration = int64_t{c.samples} * 1000 * frame_count / c.frequency;
        EXPECT_EQ(st.duration_ms, duration) << c.file;
        EXPECT_EQ(st.bitrate, data * 8 / duration) << c.file;
        EXPECT_TRUE(st.has_seek_table) << c.file;
        EXPECT_EQ(std::memcmp(st.seek_table, b.data() + c.xing_at + 16, 100), 0) << c.file;
    }
}

// A first frame carrying a VBRI header at `at` with this frame count.
Bytes vbri_frame(uint32_t word, int at, uint32_t frame_count)
{
    Bytes f = silent_frame(word);
    std::memcpy(f.data() + at, "VBRI", 4);
    f[at + 4] = 0;
    f[at + 5] = 1; // version 1
    for (int i = 0; i < 4; ++i)
        f[static_cast<size_t>(at + 14 + i)] = static_cast<uint8_t>(frame_count >> (24 - 8 * i));
    return f;
}

// lame's "Info" frame of a constant-bitrate file: no audio, the LAME tag's delay and
// padding for gapless playback, and the duration still from the data size.
TEST(StreamStart, InfoFrameGivesTheLameTagButNotTheDuration)
{
    const Bytes b = read_fixture("cbr128_stereo.mp3");
    ASSERT_GE(b.size(), size_t{MPEG_STREAM_START_BYTES});
    mpeg_stream_start st;
    mpeg_analyse_stream_start(b.data(), MPEG_STREAM_START_BYTES, 1000000, &st);
    ASSERT_TRUE(st.valid);
    EXPECT_EQ(st.vbr, MPEG_VBR_NONE);
    EXPECT_EQ(st.length_from_header, 0);
    EXPECT_EQ(st.duration_ms, 62500);
    EXPECT_EQ(st.info_frame, 1);
    EXPECT_EQ(st.info_frames, 24u);
    EXPECT_EQ(st.has_lame_tag, 1);
    EXPECT_EQ(st.encoder_delay, 576);
    EXPECT_EQ(st.encoder_padding, 612);

    // Cut before the LAME tag's delay bytes: no tag, nothing invented.
    mpeg_analyse_stream_start(b.data(), 179, 1000000, &st);
    EXPECT_EQ(st.info_frame, 1);
    EXPECT_EQ(st.has_lame_tag, 0);
}

TEST(StreamStart, FramePairSearchSkipsLoneSyncs)
{
    Bytes b = {'I', 'D', '3', 0xFF, 0xFB, 0x90, 0x00}; // a sync inside the tag, no frame after it
    const size_t first = b.size();
    append(b, frames(kStereo128, 2));
    EXPECT_EQ(mpeg_find_frame_pair(b.data(), static_cast<int>(b.size()), 0), static_cast<int>(first));
    // One frame alone is not a pair.
    const Bytes one = frames(kStereo128, 1);
    EXPECT_EQ(mpeg_find_frame_pair(one.data(), static_cast<int>(one.size()), 0), -1);
}

TEST(StreamStart, VbriHeaderGivesTheFrameCount)
{
    struct Case
    {
        const char *what;
        uint32_t word;
        int at;
        int64_t duration_ms;
    } cases[] = {
        {"MPEG-1 stereo", kStereo128, 36, 1152LL * 1000 * 500 / 44100},
        // Fraunhofer's encoder puts it 32 bytes after the header whatever the layout.
        {"MPEG-1 single channel", kMono128, 36, 1152LL * 1000 * 500 / 44100},
        {"MPEG-2 stereo", 0xFFF39000, 36, 576LL * 1000 * 500 / 22050},
    };
    for (const Case &c : cases) {
        Bytes b = vbri_frame(c.word, c.at, 500);
        b.resize(152, 0);
        mpeg_stream_start st = analyse(b, 200000);
        ASSERT_TRUE(st.valid) << c.what;
        EXPECT_EQ(st.vbr, MPEG_VBR_VBRI) << c.what;
        EXPECT_EQ(st.frames, 500u) << c.what;
        EXPECT_EQ(st.duration_ms, c.duration_ms) << c.what;
        EXPECT_EQ(st.bitrate, 200000 * 8 / c.duration_ms) << c.what;
        EXPECT_FALSE(st.has_seek_table) << c.what;
    }
}

TEST(StreamStart, XingHeaderWithoutFrameCountKeepsTheConstantBitrateEstimate)
{
    Bytes b = silent_frame(kStereo128);
    std::memcpy(b.data() + 36, "Xing", 4);
    b[43] = 1; // frames flag with a count of 0
    mpeg_stream_start st = analyse(b, 16000);
    EXPECT_EQ(st.vbr, MPEG_VBR_XING);
    EXPECT_FALSE(st.length_from_header);
    EXPECT_EQ(st.duration_ms, 1000);
    b[43] = 2; // only a byte count
    st = analyse(b, 16000);
    EXPECT_FALSE(st.length_from_header);
    EXPECT_EQ(st.duration_ms, 1000);
}

TEST(StreamStart, SeekTableInterpolatesBetweenPercentEntries)
{
    uint8_t table[100];
    for (int i = 0; i < 100; ++i)
        table[i] = static_cast<uint8_t>(i * 2);
    struct Case
    {
        double x, expected;
    } cases[] = {
        {0.0, 0.0},         {0.10, 20.0 / 256}, {0.105, 21.0 / 256}, {0.995, (198 + 0.5 * (256 - 198)) / 256},
        {1.0, 256.0 / 256}, // p = 100 uses the last entry and 256
        {-0.5, 0.0},        {2.0, 1.0},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(mpeg_seek_table_fraction(table, c.x), c.expected, 1e-9) << c.x;
}

} // namespace
