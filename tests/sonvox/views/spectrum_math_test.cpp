// The fixed-point transform and the level scale of the spectrum view.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "sonvox/api/sv_spectrum_math.h"

namespace sp = sonvox::spectrum;

TEST(SpectrumMathTest, TablesHaveTheirDocumentedShape)
{
    const int32_t *w = sp::window();
    EXPECT_LE(w[0], 5);       // Blackman-Harris starts near 0 ...
    EXPECT_GE(w[511], 65530); // ... peaks at 65535 in the middle
    for (int n = 0; n < 1024; ++n)
        ASSERT_EQ(w[n], w[1023 - n]) << n;
    const int32_t *s = sp::sineTable();
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[256], 32767);
    EXPECT_EQ(s[768], -32767);
    const uint32_t *t = sp::levelTable();
    EXPECT_EQ(t[0], 277u);
    EXPECT_EQ(t[255], 16777215u);
    for (int c = 1; c < 256; ++c)
        ASSERT_LT(t[c - 1], t[c]) << c;
}

TEST(SpectrumMathTest, PowerLevelIsAMonotoneSevenStepSearch)
{
    const uint32_t *t = sp::levelTable();
    EXPECT_EQ(sp::powerLevel(0), 0);
    EXPECT_EQ(sp::powerLevel(0xFFFFFFFFu), 254);
    int previous = 0;
    for (uint32_t p = 1; p < 20000000u; p += p / 64 + 1) {
        const int level = sp::powerLevel(p);
        ASSERT_GE(level, previous) << p;
        // Seven halving steps from 127 land on even levels, within one step of the
        // table entry the power exceeds.
        ASSERT_EQ(level % 2, 0) << p;
        if (level > 0) {
            ASSERT_LT(t[level - 1], p) << p;
        }
        if (level < 254) {
            ASSERT_GE(t[level + 1], p) << p;
        }
        previous = level;
    }
}

TEST(SpectrumMathTest, FftOfKnownSignalsGivesScaledBins)
{
    // Output is the DFT divided by n (every stage halves); truncation loses a few units.
    const int n = 16;
    struct Case
    {
        const char *what;
        std::vector<int32_t> re;
        std::vector<int32_t> expect; // expected magnitude of every bin
    };
    std::vector<int32_t> dc(n, 1600), impulse(n, 0), cosine(n);
    impulse[0] = 1600;
    for (int k = 0; k < n; ++k)
        cosine[k] = static_cast<int32_t>(std::lround(3200 * std::cos(2 * M_PI * 3 * k / n)));
    std::vector<int32_t> dcBins(n, 0), impulseBins(n, 100), cosineBins(n, 0);
    dcBins[0] = 1600;
    cosineBins[3] = cosineBins[n - 3] = 1600;
    const Case cases[] = {{"dc", dc, dcBins}, {"impulse", impulse, impulseBins}, {"cosine", cosine, cosineBins}};
    for (const Case &c : cases) {
        std::vector<sp::Complex> data(n);
        for (int k = 0; k < n; ++k) {
            int r = 0; // bit-reversed load, as windowedInput() does
            for (int b = 0, v = k; b < 4; ++b, v >>= 1)
                r = (r << 1) | (v & 1);
            data[r].re = c.re[k];
        }
        sp::fft(data);
        for (int k = 0; k < n; ++k) {
            const double mag = std::hypot(data[k].re, data[k].im);
            EXPECT_NEAR(mag, c.expect[k], 8.0) << c.what << " bin " << k;
        }
    }
}

TEST(SpectrumMathTest, WindowedInputUsesEveryStepthWindowPointAndBitReversedOrder)
{
    std::vector<signed char> samples(4, 100);
    samples[1] = -100;
    const std::vector<sp::Complex> in = sp::windowedInput(samples.data(), 4);
    const int32_t *w = sp::window();
    // n = 4: window points 128, 384, 640, 896; slots 0, 2, 1, 3 after bit reversal.
    EXPECT_EQ(in[0].re, (100 * w[128]) >> 8);
    EXPECT_EQ(in[2].re, (-100 * w[384]) >> 8);
    EXPECT_EQ(in[1].re, (100 * w[640]) >> 8);
    EXPECT_EQ(in[3].re, (100 * w[896]) >> 8);
    for (const auto &c : in)
        EXPECT_EQ(c.im, 0);
}

TEST(SpectrumMathTest, StretchInterpolatesLinearly)
{
    struct Case
    {
        std::vector<int> in;
        int count;
        std::vector<int> out;
    };
    const Case cases[] = {
        {{4, 8, 15}, 3, {4, 8, 15}},
        {{0, 10}, 3, {0, 5, 10}},
        {{0, 10, 20, 30}, 7, {0, 5, 10, 15, 20, 25, 30}},
        {{0, 100, 40}, 5, {0, 50, 100, 70, 40}},
        {{7}, 3, {7, 7, 7}},
        {{1, 2, 3}, 0, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(sp::stretch(c.in, c.count), c.out);
}
