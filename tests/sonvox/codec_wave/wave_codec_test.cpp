// The WAVE codec driven through its descriptor over an in-memory input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"
#include "sonvox/modules/codec_wave/wave_codec.h"
#include "tests/sonvox/codec_module/memory_input.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes &b, unsigned v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(Bytes &b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void put_chunk(Bytes &b, const char *id, const Bytes &body, uint32_t declared)
{
    b.insert(b.end(), id, id + 4);
    put32(b, declared);
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1)
        b.push_back(0);
}

struct Format
{
    unsigned tag = 1, channels = 2, rate = 44100, bits = 16;
    unsigned fmt_extra = 0; // bytes after the 16 standard ones (cbSize and beyond)
    int64_t byte_rate = -1; // -1: rate x block align
};

// A RIFF/WAVE file: "fmt ", optional chunks, "data" (size as declared, 0xFFFFFFFF = the
// real size), optional trailing chunks.
Bytes make_wav(const Format &f, const Bytes &data, const std::vector<std::pair<std::string, Bytes>> &before = {},
               const std::vector<std::pair<std::string, Bytes>> &after = {}, int64_t declared_data = -1)
{
    Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    Bytes fmt;
    unsigned align = f.channels * f.bits / 8;
    put16(fmt, f.tag);
    put16(fmt, f.channels);
    put32(fmt, f.rate);
    put32(fmt, f.byte_rate < 0 ? f.rate * align : static_cast<uint32_t>(f.byte_rate));
    put16(fmt, align);
    put16(fmt, f.bits);
    fmt.resize(16 + f.fmt_extra, 0);
    put_chunk(b, "fmt ", fmt, static_cast<uint32_t>(fmt.size()));
    for (auto &[id, body] : before)
        put_chunk(b, id.c_str(), body, static_cast<uint32_t>(body.size()));
    put_chunk(b, "data", data,
              declared_data < 0 ? static_cast<uint32_t>(data.size()) : static_cast<uint32_t>(declared_data));
    for (auto &[id, body] : after)
        put_chunk(b, id.c_str(), body, static_cast<uint32_t>(body.size()));
    uint32_t riff = static_cast<uint32_t>(b.size() - 8);
    std::memcpy(b.data() + 4, &riff, 4);
    return b;
}

Bytes ramp(size_t n)
{
    Bytes d(n);
    for (size_t i = 0; i < n; ++i)
        d[i] = static_cast<uint8_t>(i * 7 + 3);
    return d;
}

// One codec instance over one input, opened the way the engine opens a stream.
struct Wave
{
    sv_codec_module m{};
    MemoryInput in;
    void *codec = nullptr;
    sv_stream_info info{};
    std::vector<uint8_t> buffer = std::vector<uint8_t>(WAVE_MAX_BLOCK_BYTES);
    sv_output_block block{};

    explicit Wave(Bytes bytes)
        : in(std::move(bytes))
    {
        EXPECT_EQ(sv_wave_codec_register(&m), 0);
        EXPECT_EQ(m.create(&codec, "audio/unknown", "x.wav", nullptr, &in.decoder), 0);
    }
    ~Wave() { m.destroy(codec); }
    int open()
    {
        int r = m.input_changed(codec, "audio/unknown", "x.wav");
        if (r == 0)
            r = m.start_stream(codec, &info);
        return r;
    }
    int decode()
    {
        block = sv_output_block{};
        block.samples = buffer.data();
        block.capacity = static_cast<int>(buffer.size());
        return m.decode(codec, &block, &info);
    }
    const int16_t *pcm() const { return reinterpret_cast<const int16_t *>(buffer.data()); }
    // Decodes to the end; returns every sample and the block sizes (samples per channel).
    std::vector<int16_t> drain(std::vector<int> *sizes = nullptr)
    {
        std::vector<int16_t> all;
        int r;
        while ((r = decode()) == 0) {
            if (sizes)
                sizes->push_back(block.samples_per_channel);
            all.insert(all.end(), pcm(), pcm() + block.samples_per_channel * block.channels);
        }
        EXPECT_EQ(r, SV_ERR_END_OF_STREAM);
        return all;
    }
};

std::vector<int16_t> le_samples(const Bytes &d)
{
    std::vector<int16_t> s;
    for (size_t i = 0; i + 1 < d.size(); i += 2)
        s.push_back(static_cast<int16_t>(d[i] | (d[i + 1] << 8)));
    return s;
}

TEST(WaveCodec, ProbeAcceptsWaveTypesAndWavNamesOfUnknownStreams)
{
    sv_codec_module m{};
    ASSERT_EQ(sv_wave_codec_register(&m), 0);
    EXPECT_EQ(m.version, SV_MODULE_INTERFACE_VERSION);
    struct Case
    {
        const char *type, *name;
        int result;
    } cases[] = {
        {"audio/wave", "a.mp3", 0},
        {"audio/x-wav", "", 0},
        {"audio/x-wave", "noext", 0},
        {"audio/unknown", "a.wav", 0},
        {"audio", "dir.x/a.wav", 0},
        {"unknown", "a.b.wav", 0},
        {"audio/unknown", "a.WAV", SV_ERR_UNSUPPORTED_FORMAT},
        {"audio/unknown", "a.wave", SV_ERR_UNSUPPORTED_FORMAT},
        {"audio/unknown", "wav", SV_ERR_UNSUPPORTED_FORMAT},
        {"audio/unknown", "a.wav.mp3", SV_ERR_UNSUPPORTED_FORMAT},
        {"audio/mpeg", "a.wav", SV_ERR_UNSUPPORTED_FORMAT},
        {"audio/wav", "a.wav", SV_ERR_UNSUPPORTED_FORMAT},
    };
    for (const Case &c : cases)
        EXPECT_EQ(m.probe(c.type, c.name), c.result) << c.type << " " << c.name;
}

TEST(WaveCodec, InfoNamesTheCodecAndItsOneDevice)
{
    sv_codec_module m{};
    ASSERT_EQ(sv_wave_codec_register(&m), 0);
    sv_module_info info{};
    ASSERT_EQ(m.info(&info, SV_INFO_NAME), 0);
    EXPECT_STREQ(info.name, "WAVE Audio Codec");
    EXPECT_STREQ(info.description, "Version 1.0");
    ASSERT_EQ(m.info(&info, SV_INFO_DEVICE_COUNT), 0);
    EXPECT_EQ(info.count, 1);
    info.count = 0;
    ASSERT_EQ(m.info(&info, SV_INFO_DEVICE), 0);
    EXPECT_STREQ(info.name, "any wav stream");
    info.count = 1;
    EXPECT_EQ(m.info(&info, SV_INFO_DEVICE), SV_ERR_INVALID_PARAMETERS);
    ASSERT_EQ(m.info(&info, SV_INFO_BLOCK_SIZE), 0);
    EXPECT_EQ(info.count, 4096);
    info.flags = 99;
    ASSERT_EQ(m.info(&info, SV_INFO_CODEC_FLAGS), 0);
    EXPECT_EQ(info.flags, 0);
}

TEST(WaveCodec, HeaderParsingAcceptsOrRejectsWithUnsupportedFormat)
{
    const Bytes pcm = ramp(64);
    Format stereo16;
    Format ext = stereo16;
    ext.fmt_extra = 24; // WAVE_FORMAT_EXTENSIBLE layout: the rest of "fmt " is skipped
    ext.tag = 0xFFFE;
    Format cb = stereo16;
    cb.fmt_extra = 2;
    Format alaw = stereo16;
    alaw.tag = 6;
    alaw.bits = 8;
    Format b12 = stereo16; // 8, 16, 24 and 32 bits are played; other widths are not
    b12.bits = 12;
    Format none = stereo16;
    none.channels = 0;
    Format absurd = stereo16; // 2^30 Hz once made the derived byte rate wrap to 0
    absurd.rate = 0x40000000;
    absurd.byte_rate = 0;

    // Offsets: "data" body starts at 12 + 24 (fmt) + 8 + filler + 8 = 52 + filler.
    Bytes filler_ok(8190 - 52), filler_over(8192 - 52);
    Bytes bad_magic = make_wav(stereo16, pcm);
    bad_magic[8] = 'X';
    Bytes not_riff = make_wav(stereo16, pcm);
    not_riff[0] = 'r';
    Bytes data_only = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};
    Bytes truncated = make_wav(stereo16, pcm);
    truncated.resize(30);
    Bytes no_data = make_wav(stereo16, pcm);
    no_data.resize(36); // RIFF header and "fmt " only

    struct Case
    {
        const char *what;
        Bytes file;
        int result;
    } cases[] = {
        {"plain 16-bit stereo", make_wav(stereo16, pcm), 0},
        {"format chunk with cbSize", make_wav(cb, pcm), 0},
        {"extensible format chunk", make_wav(ext, pcm), 0},
        {"odd-sized chunk before data is padded", make_wav(stereo16, pcm, {{"LIST", Bytes(7, 'x')}}), 0},
        {"data starting at byte 8190", make_wav(stereo16, pcm, {{"junk", filler_ok}}), 0},
        {"data starting at byte 8192", make_wav(stereo16, pcm, {{"junk", filler_over}}), SV_ERR_UNSUPPORTED_FORMAT},
        {"chunk reaching beyond byte 8191", make_wav(stereo16, pcm, {{"junk", Bytes(9000)}}),
         SV_ERR_UNSUPPORTED_FORMAT},
        {"not RIFF", not_riff, SV_ERR_UNSUPPORTED_FORMAT},
        {"not WAVE", bad_magic, SV_ERR_UNSUPPORTED_FORMAT},
        {"no format chunk", data_only, SV_ERR_UNSUPPORTED_FORMAT},
        {"no data chunk", no_data, SV_ERR_UNSUPPORTED_FORMAT},
        {"cut inside the format chunk", truncated, SV_ERR_UNSUPPORTED_FORMAT},
        {"A-law", make_wav(alaw, pcm), SV_ERR_UNSUPPORTED_FORMAT},
        {"12-bit", make_wav(b12, pcm), SV_ERR_UNSUPPORTED_FORMAT},
        {"no channels", make_wav(none, pcm), SV_ERR_UNSUPPORTED_FORMAT},
        {"absurd sample rate", make_wav(absurd, pcm), SV_ERR_UNSUPPORTED_FORMAT},
        {"empty input", Bytes{}, SV_ERR_UNSUPPORTED_FORMAT},
    };
    for (Case &c : cases) {
        Wave w(c.file);
        EXPECT_EQ(w.open(), c.result) << c.what;
        // Starting the stream repeats the refusal, so the input open fails either way.
        if (c.result != 0) {
            EXPECT_EQ(w.m.start_stream(w.codec, &w.info), c.result) << c.what;
        } else {
            EXPECT_EQ(le_samples(pcm), w.drain()) << c.what;
        }
    }
}

TEST(WaveCodec, HeaderReadRetriesTimeoutsAHundredTimes)
{
    Bytes file = make_wav(Format{}, ramp(16));
    Wave patient(file);
    patient.in.timeouts = 100;
    EXPECT_EQ(patient.open(), 0);
    Wave gives_up(file);
    gives_up.in.timeouts = 101;
    EXPECT_EQ(gives_up.open(), SV_ERR_UNSUPPORTED_FORMAT);
}

TEST(WaveCodec, StartStreamReportsTheFormat)
{
    struct Case
    {
        Format f;
        size_t data_bytes;
        int duration_ms, bitrate;
    } cases[] = {
        {{1, 2, 44100, 16, 0}, 176400 * 3 + 1000, 3000, 1411}, // whole seconds only
        {{1, 1, 11025, 8, 0}, 11025 / 2, 0, 88},
        {{1, 1, 8000, 16, 0}, 16000 * 2, 2000, 128},
        {{1, 1, 8000, 16, 0, 0}, 16000 * 2, 2000, 128}, // missing byte rate is derived
    };
    for (const Case &c : cases) {
        Wave w(make_wav(c.f, Bytes(c.data_bytes)));
        ASSERT_EQ(w.open(), 0);
        EXPECT_STREQ(w.info.content_type, "audio/pcm");
        EXPECT_EQ(w.info.duration_ms, c.duration_ms);
        EXPECT_EQ(w.info.frequency, static_cast<int>(c.f.rate));
        EXPECT_EQ(w.info.bitrate, c.bitrate);
        EXPECT_EQ(w.info.channels, static_cast<int>(c.f.channels));
        EXPECT_EQ(w.info.changed, SV_STREAM_PARAMETERS_CHANGED | SV_STREAM_CONTENT_TYPE_CHANGED);
    }
}

TEST(WaveCodec, BlockSizeFollowsRateAndSampleSize)
{
    struct Case
    {
        unsigned rate, bits, channels;
        int samples_per_channel;
    } cases[] = {
        {44100, 16, 2, 1024}, {48000, 8, 2, 1024}, {24000, 16, 2, 512}, {22050, 16, 1, 1024},
        {12000, 16, 2, 256},  {11025, 8, 1, 512},  {8000, 8, 2, 256},
    };
    for (const Case &c : cases) {
        Format f{1, c.channels, c.rate, c.bits, 0};
        Wave w(make_wav(f, Bytes(20000, 0x80)));
        ASSERT_EQ(w.open(), 0);
        ASSERT_EQ(w.decode(), 0);
        EXPECT_EQ(w.block.samples_per_channel, c.samples_per_channel) << c.rate << "/" << c.bits;
        EXPECT_EQ(w.block.channels, static_cast<int>(c.channels));
        EXPECT_EQ(w.block.frequency, static_cast<int>(c.rate));
        EXPECT_EQ(w.block.bytes_per_sample, 2);
    }
}

TEST(WaveCodec, EightBitFileDecodesInFullBlocksThenItsTrueRemainder)
{
    std::ifstream f(std::string(CODEC_FIXTURES_DIR) + "/tone_8bit_11025.wav", std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), 1148u);
    const size_t data_at = 44, data_size = 1103;
    for (bool short_reads : {false, true}) {
        Wave w(file);
        w.in.short_reads = short_reads;
        ASSERT_EQ(w.open(), 0);
        std::vector<int> sizes;
        std::vector<int16_t> all = w.drain(&sizes);
        EXPECT_EQ(sizes, (std::vector<int>{512, 512, 79}));
        ASSERT_EQ(all.size(), data_size);
        for (size_t i = 0; i < data_size; ++i)
            ASSERT_EQ(all[i], (file[data_at + i] - 128) * 256) << "sample " << i;
    }
}

TEST(WaveCodec, DecodingStopsAtTheEndOfTheDataChunk)
{
    // Trailing chunks are not sound; an odd byte of 16-bit data is not a sample.
    Bytes data = ramp(5001);
    for (bool short_reads : {false, true}) {
        Wave w(make_wav(Format{1, 1, 22050, 16, 0}, data, {}, {{"LIST", Bytes(3000, 0x55)}, {"id3 ", Bytes(10, 1)}}));
        w.in.short_reads = short_reads;
        ASSERT_EQ(w.open(), 0);
        EXPECT_EQ(w.drain(), le_samples(Bytes(data.begin(), data.end() - 1)));
        EXPECT_EQ(w.decode(), SV_ERR_END_OF_STREAM);
    }
}

TEST(WaveCodec, UnfinishedHeaderPlaysToTheEndOfInput)
{
    // Writers that never finish the header leave the data size at 0 or 0xFFFFFFFF.
    Bytes data = ramp(3000);
    for (int64_t declared : {int64_t{0}, int64_t{0xFFFFFFFF}}) {
        Wave w(make_wav(Format{1, 2, 44100, 16, 0}, data, {}, {}, declared));
        ASSERT_EQ(w.open(), 0);
        EXPECT_EQ(w.drain(), le_samples(data));
    }
    // A header that promises more than the file holds plays what is there.
    Wave cut(make_wav(Format{1, 2, 44100, 16, 0}, data, {}, {}, 100000));
    ASSERT_EQ(cut.open(), 0);
    EXPECT_EQ(cut.drain(), le_samples(data));
}

TEST(WaveCodec, SeeksLandOnSampleFrames)
{
    Bytes data = ramp(8000);
    Bytes file = make_wav(Format{1, 2, 44100, 16, 0}, data);
    const int64_t data_at = 44;
    Wave w(file);
    ASSERT_EQ(w.open(), 0);
    // Into the middle of a frame: the next block starts at the following frame.
    ASSERT_EQ(w.in.seek(&w.in, data_at + 4 * 100 + 3), 0);
    ASSERT_EQ(w.decode(), 0);
    EXPECT_EQ(w.pcm()[0], le_samples(data)[2 * 101]);
    // Back to the start of the file: the header is skipped again.
    ASSERT_EQ(w.in.seek(&w.in, 0), 0);
    ASSERT_EQ(w.decode(), 0);
    EXPECT_EQ(w.pcm()[0], le_samples(data)[0]);
    EXPECT_EQ(w.in.pos, data_at + 4096);
}

TEST(WaveCodec, KeepsItsOneSetting)
{
    Wave w(make_wav(Format{}, ramp(8)));
    sv_codec_settings s{};
    s.setting1 = 3;
    s.setting2 = 9;
    ASSERT_EQ(w.m.set_settings(w.codec, &s, SV_CODEC_SETTING_1 | SV_CODEC_SETTING_2 | SV_CODEC_EQUALIZER), 0);
    sv_codec_settings back{};
    ASSERT_EQ(w.m.get_settings(w.codec, &back, SV_CODEC_SETTING_1), 0);
    EXPECT_EQ(back.setting1, 3);
    EXPECT_EQ(back.setting2, 0);
}

} // namespace
