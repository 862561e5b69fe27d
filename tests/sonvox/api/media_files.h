// Small media files written by the tests themselves into a temporary folder.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testmedia {

// A temporary folder removed with everything in it.
class TempDir
{
public:
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "sonvox-api-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        path_ = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string &name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void put16(std::string &b, uint32_t v)
{
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string &b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A PCM WAVE file with 16-bit samples (interleaved when there are two channels).
inline void writeWav(const std::string &path, int rate, int channels, const std::vector<int16_t> &samples)
{
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string b = "RIFF";
    put32(b, 36 + dataBytes);
    b += "WAVEfmt ";
    put32(b, 16);
    put16(b, 1);
    put16(b, static_cast<uint32_t>(channels));
    put32(b, static_cast<uint32_t>(rate));
    put32(b, static_cast<uint32_t>(rate * channels * 2));
    put16(b, static_cast<uint32_t>(channels * 2));
    put16(b, 16);
    b += "data";
    put32(b, dataBytes);
    for (int16_t s : samples)
        put16(b, static_cast<uint16_t>(s));
    std::ofstream(path, std::ios::binary) << b;
}

// A mono 8-bit WAVE file of silence lasting `tenths` tenths of a second at 8 kHz.
inline void writeSilentWav8(const std::string &path, int tenths)
{
    const uint32_t dataBytes = static_cast<uint32_t>(tenths) * 800u;
    std::string b = "RIFF";
    put32(b, 36 + dataBytes);
    b += "WAVEfmt ";
    put32(b, 16);
    put16(b, 1);
    put16(b, 1);
    put32(b, 8000);
    put32(b, 8000);
    put16(b, 1);
    put16(b, 8);
    b += "data";
    put32(b, dataBytes);
    b.append(dataBytes, static_cast<char>(0x80));
    std::ofstream(path, std::ios::binary) << b;
}

// Distinct 16-bit samples: a ramp that wraps, so any reordering or loss shows.
inline std::vector<int16_t> ramp(size_t count)
{
    std::vector<int16_t> s(count);
    for (size_t i = 0; i < count; ++i)
        s[i] = static_cast<int16_t>((i * 37) % 60000 - 30000);
    return s;
}

// A sine tone, amplitude 20000.
inline std::vector<int16_t> tone(int rate, double hz, double seconds)
{
    const size_t n = static_cast<size_t>(rate * seconds);
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<int16_t>(20000.0 * std::sin(2.0 * 3.14159265358979 * hz * static_cast<double>(i) / rate));
    return s;
}

// Constant-bitrate MPEG-1 layer III, 32 kHz mono, 32 kbit/s: `frames` frames of 144
// bytes (1152 samples, 36 ms each) whose side information is all zero, so every
// granule decodes to silence.
inline void writeSilentMp3(const std::string &path, int frames)
{
    std::string frame(144, '\0');
    frame[0] = static_cast<char>(0xFF);
    frame[1] = static_cast<char>(0xFB); // MPEG-1, layer III, no CRC
    frame[2] = static_cast<char>(0x18); // 32 kbit/s, 32 kHz, no padding
    frame[3] = static_cast<char>(0xC0); // mono
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < frames; ++i)
        out << frame;
}

inline std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline long fileSize(const std::string &path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? -1 : static_cast<long>(size);
}

} // namespace testmedia
