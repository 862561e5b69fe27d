// Small MPEG audio streams for the codec module tests: generated fixture files and
// synthetic frames (a header followed by zero bytes, which is a valid silent Layer III
// frame: no main data, no spectral values).
#ifndef TESTS_SONVOX_CODEC_MODULE_MPEG_FIXTURES_H
#define TESTS_SONVOX_CODEC_MODULE_MPEG_FIXTURES_H

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sonvox/modules/codec_mpeg/mpa_decoder.h"

using Bytes = std::vector<uint8_t>;

inline Bytes read_fixture(const std::string &name)
{
    std::ifstream f(std::string(CODEC_FIXTURES_DIR) + "/" + name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Header words of a few MPEG-1 Layer III frames without CRC.
constexpr uint32_t kStereo128 = 0xFFFB9000;     // 44.1 kHz, 128 kbit/s, stereo
constexpr uint32_t kStereo256 = 0xFFFBD000;     // 44.1 kHz, 256 kbit/s, stereo
constexpr uint32_t kMono128 = 0xFFFB90C0;       // 44.1 kHz, 128 kbit/s, single channel
constexpr uint32_t kStereo128At48 = 0xFFFB9400; // 48 kHz, 128 kbit/s, stereo

inline void put_be32(Bytes &b, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<uint8_t>(v >> s));
}

// One silent frame with this header word; its length comes from the header.
inline Bytes silent_frame(uint32_t word)
{
    mpa_header h{};
    if (mpa_parse_header(word, &h) != 0)
        return {};
    Bytes f;
    put_be32(f, word);
    f.resize(static_cast<size_t>(h.frame_bytes), 0);
    return f;
}

inline Bytes frames(uint32_t word, int count)
{
    Bytes out, one = silent_frame(word);
    for (int i = 0; i < count; ++i)
        out.insert(out.end(), one.begin(), one.end());
    return out;
}

inline void append(Bytes &to, const Bytes &more)
{
    to.insert(to.end(), more.begin(), more.end());
}

// An ID3v2.3 tag whose body is `body_size` bytes (the whole tag is body_size + 10).
inline Bytes id3v2_tag(uint32_t body_size, uint8_t version = 3, uint8_t flags = 0)
{
    Bytes t = {'I',
               'D',
               '3',
               version,
               0,
               flags,
               static_cast<uint8_t>((body_size >> 21) & 0x7F),
               static_cast<uint8_t>((body_size >> 14) & 0x7F),
               static_cast<uint8_t>((body_size >> 7) & 0x7F),
               static_cast<uint8_t>(body_size & 0x7F)};
    t.resize(10 + body_size, 0);
    return t;
}

#endif
