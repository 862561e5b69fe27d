#include "sonvox/api/sv_spectrum_math.h"

#include <array>
#include <cmath>

namespace sonvox::spectrum {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Tables
{
    std::array<int32_t, kTableSize> window{};
    std::array<int32_t, kTableSize> sine{};
    std::array<uint32_t, kLevels> levels{};

    Tables()
    {
        for (int n = 0; n < kTableSize; ++n) {
            const double a = 2.0 * kPi * n / (kTableSize - 1);
            const double w = 0.35875 - 0.48829 * std::cos(a) + 0.14128 * std::cos(2 * a) - 0.01168 * std::cos(3 * a);
            window[static_cast<size_t>(n)] = static_cast<int32_t>(std::lround(65535.0 * w));
            sine[static_cast<size_t>(n)] =
                static_cast<int32_t>(std::lround(32767.0 * std::sin(2.0 * kPi * n / kTableSize)));
        }
        for (int c = 0; c < kLevels; ++c)
            levels[static_cast<size_t>(c)] = static_cast<uint32_t>(16777215.0 * std::pow(10.0, -0.01875 * (255 - c)));
    }
};

const Tables &tables()
{
    static const Tables t; // built once, thread-safe initialisation
    return t;
}

int bitReverse(int value, int bits)
{
    int r = 0;
    for (int b = 0; b < bits; ++b) {
        r = (r << 1) | (value & 1);
        value >>= 1;
    }
    return r;
}

int32_t q15(int64_t a, int64_t b)
{
    return static_cast<int32_t>((a * b) >> 15);
}

} // namespace

const int32_t *window()
{
    return tables().window.data();
}
const int32_t *sineTable()
{
    return tables().sine.data();
}
const uint32_t *levelTable()
{
    return tables().levels.data();
}

bool isPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

std::vector<Complex> windowedInput(const signed char *samples, int n)
{
    std::vector<Complex> out(static_cast<size_t>(n));
    int bits = 0;
    while ((1 << bits) < n)
        ++bits;
    const int step = kTableSize / n;
    const int32_t *w = window();
    for (int k = 0; k < n; ++k) {
        const int32_t v = static_cast<int32_t>(samples[k]) * w[step / 2 + k * step];
        out[static_cast<size_t>(bitReverse(k, bits))].re = v >> 8;
    }
    return out;
}

void fft(std::vector<Complex> &data)
{
    const int n = static_cast<int>(data.size());
    const int32_t *sine = sineTable();
    for (int half = 1; half < n; half *= 2) {
        const int stride = kTableSize / (2 * half); // table step of this stage's twiddles
        for (int m = 0; m < half; ++m) {
            const int index = m * stride;
            const int32_t wr = sine[(index + kTableSize / 4) % kTableSize]; // cos
            const int32_t wi = -sine[index];                                // -sin
            for (int i = m; i < n; i += 2 * half) {
                Complex &a = data[static_cast<size_t>(i)];
                Complex &b = data[static_cast<size_t>(i + half)];
                const int32_t tr = q15(wr, b.re) - q15(wi, b.im);
                const int32_t ti = q15(wr, b.im) + q15(wi, b.re);
                b.re = (a.re - tr) >> 1;
                b.im = (a.im - ti) >> 1;
                a.re = (a.re + tr) >> 1;
                a.im = (a.im + ti) >> 1;
            }
        }
    }
}

int powerLevel(uint32_t power)
{
    const uint32_t *table = levelTable();
    int level = 127;
    for (int step = 64; step >= 1; step /= 2) {
        if (table[level] < power)
            level += step;
        else
            level -= step;
    }
    return level;
}

std::vector<int> binLevels(const std::vector<Complex> &data)
{
    const size_t half = data.size() / 2;
    std::vector<int> levels(half, 0);
    for (size_t i = 1; i < half; ++i) {
        const int64_t re = data[i].re, im = data[i].im;
        const uint64_t p = static_cast<uint64_t>(re * re + im * im) >> 3;
        levels[i] = powerLevel(p > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(p));
    }
    return levels;
}

std::vector<int> stretch(const std::vector<int> &levels, int count)
{
    const int have = static_cast<int>(levels.size());
    if (count <= 0)
        return {};
    if (have == count)
        return levels;
    std::vector<int> out(static_cast<size_t>(count), 0);
    if (have == 0)
        return out;
    if (have == 1 || count == 1) {
        std::fill(out.begin(), out.end(), levels[0]);
        return out;
    }
    for (int i = 0; i < count; ++i) {
        const int64_t num = int64_t{i} * (have - 1);
        const int idx = static_cast<int>(num / (count - 1));
        const int64_t frac = num % (count - 1);
        int v = levels[static_cast<size_t>(idx)];
        if (frac != 0)
            v += static_cast<int>((levels[static_cast<size_t>(idx) + 1] - v) * frac / (count - 1));
        out[static_cast<size_t>(i)] = v;
    }
    return out;
}

} // namespace sonvox::spectrum
