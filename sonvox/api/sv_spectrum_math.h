// Fixed-point pieces of the spectrum view: the analysis window, the radix-2 FFT, the
// power-to-level table and the stretching of bin levels to bar values.
#ifndef SONVOX_API_SV_SPECTRUM_MATH_H
#define SONVOX_API_SV_SPECTRUM_MATH_H

#include <cstdint>
#include <vector>

namespace sonvox::spectrum {

constexpr int kTableSize = 1024; // window and sine table length; largest transform
constexpr int kLevels = 256;     // entries of the level table

// Four-term Blackman-Harris window over 1024 points, scaled to 65535.
const int32_t *window();
// sin(2 pi i / 1024) scaled to 32767; the cosine is read 256 entries further on.
const int32_t *sineTable();
// Rising power thresholds: 16777215 x 10^(-0.01875 x (255 - c)), 3/16 dB apart.
const uint32_t *levelTable();

bool isPowerOfTwo(int n);

struct Complex
{
    int32_t re = 0;
    int32_t im = 0;
};

// Windows the first n samples (n a power of two, 2..1024) and returns them in
// bit-reversed order, ready for fft(): sample k x window[(1024/n)/2 + k x (1024/n)] >> 8.
std::vector<Complex> windowedInput(const signed char *samples, int n);

// In-place radix-2 decimation-in-time FFT of bit-reversed input, Q15 twiddles; every
// butterfly halves its results so that nothing overflows (the output is the
// transform divided by n).
void fft(std::vector<Complex> &data);

// Level 0..254 of a power value: a seven-step binary search in the level table.
int powerLevel(uint32_t power);

// Levels of bins 0 .. n/2 - 1 of a transform (bin 0 is always 0).
std::vector<int> binLevels(const std::vector<Complex> &data);

// Linear interpolation of `levels` onto `count` values; equal sizes copy.
std::vector<int> stretch(const std::vector<int> &levels, int count);

} // namespace sonvox::spectrum

#endif
