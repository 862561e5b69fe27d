// Pixel and dynamics tests of the bar meter, the surface and the three views.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "picture.h"
#include "sonvox/api/sv_views.h"

using sonvox::Bar;
using sonvox::BarMeter;
using sonvox::DibSurface;
using testpic::Recorder;
using testpic::render;
using testpic::rows;

namespace {

sv_feedback_event audioEvent(const std::vector<signed char> &samples, int channels)
{
    sv_feedback_event e{};
    e.type = SV_FEEDBACK_AUDIO;
    e.channels = channels;
    e.samples_per_channel = static_cast<int>(samples.size()) / channels;
    e.samples = samples.data();
    return e;
}

// Deterministic noise, full 8-bit range.
std::vector<signed char> noise(int count, uint32_t seed)
{
    std::vector<signed char> out(static_cast<size_t>(count));
    for (auto &s : out) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<signed char>(static_cast<int>(seed >> 24) - 128);
    }
    return out;
}

} // namespace

TEST(BarTest, RisesHalfwayToClampedValueThenPeakFallsByQuarterOfFallCount)
{
    Bar bar; // level 0, maximum 64
    const unsigned rising[] = {32, 48, 56, 60};
    for (unsigned want : rising) {
        bar.update(100);
        EXPECT_EQ(bar.level, want);
        EXPECT_EQ(bar.peak, want);
    }
    // Input drops to 0: the level halves, the peak drops by 0, 0, 0, 0, 1, 1, 1, 1, 2 ...
    std::vector<unsigned> drops;
    unsigned previous = bar.peak;
    for (int i = 0; i < 40 && bar.peak > 0; ++i) {
        bar.update(0);
        drops.push_back(previous - bar.peak);
        previous = bar.peak;
    }
    ASSERT_GE(drops.size(), 9u);
    const std::vector<unsigned> head(drops.begin(), drops.begin() + 9);
    EXPECT_EQ(head, (std::vector<unsigned>{0, 0, 0, 0, 1, 1, 1, 1, 2}));
    EXPECT_EQ(bar.peak, 0u); // reached 0 (the fall counter overtook it) and stays there
    bar.update(0);
    EXPECT_EQ(bar.peak, 0u);
    EXPECT_EQ(bar.level, 0u);
}

TEST(DibSurfaceTest, FillRectNeedsFarEdgesStrictlyInside)
{
    struct Case
    {
        int x, y, w, h;
        bool drawn;
    };
    const Case cases[] = {
        {0, 0, 3, 3, true},   // fits
        {1, 1, 4, 2, true},   // x + w = 5 < 6, y + h = 3 < 4
        {2, 0, 4, 1, false},  // x + w = 6 = width
        {0, 1, 1, 3, false},  // y + h = 4 = height
        {5, 3, 0, 0, true},   // empty rectangle: nothing to see, no fault
        {-1, 0, 2, 2, false}, // starts outside
    };
    for (const Case &c : cases) {
        DibSurface s(sv_panel{}, 6, 4);
        s.fillRect(c.x, c.y, c.w, c.h, 0xFFFFFF);
        int lit = 0;
        for (uint32_t p : s.pixels())
            lit += p != 0;
        EXPECT_EQ(lit, c.drawn ? c.w * c.h : 0) << c.x << "," << c.y << " " << c.w << "x" << c.h;
    }
}

TEST(BarMeterTest, DrawsBarsAndPeakMarksFromTheBottomAndDropsMarksThatReachTheTop)
{
    Recorder rec;
    DibSurface surface(rec.panel(), 12, 8);
    surface.fillRect(0, 0, 11, 7, 0xFFFFFF); // drawing clears what was there
    BarMeter meter(3, 3, 1, 64);
    meter.bar(0).level = 4, meter.bar(0).peak = 4;
    meter.bar(1).level = 2, meter.bar(1).peak = 5; // mark would end on the top edge
    meter.bar(2).level = 1, meter.bar(2).peak = 0; // mark covers the bar
    meter.draw(surface);
    ASSERT_EQ(rec.frames.size(), 1u);
    EXPECT_EQ(rec.last(), rows({
                              "............",
                              "PPP.........",
                              "PPP.........",
                              "PPP.........",
                              "GGG.........",
                              "GGG.....PPP.",
                              "GGG.GGG.PPP.",
                              "GGG.GGG.PPP.",
                          }));
}

TEST(OscilloscopeViewTest, PlotsOneDotPerColumnAndErasesOnlyTheLastDot)
{
    Recorder rec;
    sonvox::OscilloscopeView view(rec.panel(), 4, 8);
    // y = 8 * s / 256 + 4; six samples, but only four columns.
    view.draw(audioEvent({-128, 127, 0, -32, 100, 100}, 1));
    EXPECT_EQ(rec.last(), rows({".W..", "....", "....", "..W.", "...W", "....", "....", "W..."}));
    view.draw(audioEvent({0, 0, 0, 0, 0, 0}, 1));
    EXPECT_EQ(rec.last(), rows({"....", "....", "....", "WWWW", "....", "....", "....", "...."}));
}

TEST(LevelViewTest, TakesTheLargestSampleOfEachChannel)
{
    struct Case
    {
        std::vector<signed char> samples;
        int channels;
        unsigned left, right; // bar levels after one event
    };
    const Case cases[] = {
        {{10, -50, 100, 3, -5, -7, -1, -128}, 2, 32, 0}, // right all negative: 0
        {{20, 60, -1, 0}, 1, 30, 30},                    // mono drives both bars
        {{127, 0, 40, 0}, 2, 32, 20},
    };
    for (const Case &c : cases) {
        Recorder rec;
        sonvox::LevelView view(rec.panel(), 80, 70);
        view.draw(audioEvent(c.samples, c.channels));
        EXPECT_EQ(view.meter().bar(0).level, c.left);
        EXPECT_EQ(view.meter().bar(1).level, c.right);
        ASSERT_EQ(rec.frames.size(), 1u);
        const DibSurface &s = view.surface();
        // Bar 0 spans x 0..31, bar 1 x 36..67; green up to the level, the mark above it.
        EXPECT_EQ(s.pixel(31, 0), c.left ? 0x00FF00u : 0xFF8080u);
        EXPECT_EQ(s.pixel(0, c.left + 2), 0xFF8080u);
        EXPECT_EQ(s.pixel(0, c.left + 3), 0u);
        EXPECT_EQ(s.pixel(36, c.right), 0xFF8080u);
        EXPECT_EQ(s.pixel(32, 0), 0u); // the gap
    }
}

TEST(SpectrumViewTest, BandCountChoosesTransformAndBarsUpdated)
{
    struct Case
    {
        int bands;
        bool transformed;
    };
    const Case cases[] = {{32, true}, {3, false}, {20, false}, {8, true}, {200, true}};
    for (const Case &c : cases) {
        Recorder rec;
        sonvox::SpectrumView view(rec.panel(), 224, 68, c.bands);
        for (int i = 0; i < 6; ++i)
            view.draw(audioEvent(noise(512, 7u + i), 2));
        EXPECT_EQ(rec.frames.size(), 6u) << c.bands; // drawn either way
        const BarMeter &m = view.meter();
        for (int b = 0; b < c.bands - 1; ++b)
            EXPECT_EQ(m.bar(b).level > 0, c.transformed) << "bands " << c.bands << " bar " << b;
        EXPECT_EQ(m.bar(c.bands - 1).level, 0u) << "the last bar is never updated";
        EXPECT_EQ(m.bar(0).width, static_cast<unsigned>(224 / (c.bands + 1)));
        for (int b = 0; b < c.bands; ++b)
            EXPECT_LE(m.bar(b).level, static_cast<unsigned>(c.bands));
    }
}

TEST(SpectrumViewTest, ToneLightsTheBarOfItsBin)
{
    // 32 bands: a 64-point transform; bar i shows bin i + 1.
    for (int bin : {3, 10, 25}) {
        std::vector<signed char> tone(256);
        for (int n = 0; n < 256; ++n)
            tone[static_cast<size_t>(n)] =
                static_cast<signed char>(std::lround(100 * std::sin(2 * M_PI * bin * n / 64.0)));
        Recorder rec;
        sonvox::SpectrumView view(rec.panel(), 224, 68, 32);
        for (int i = 0; i < 4; ++i)
            view.draw(audioEvent(tone, 1));
        const BarMeter &m = view.meter();
        // The window's main lobe lights a few neighbouring bins; they centre on the tone.
        int first = -1, last = -1;
        for (int b = 0; b < 32; ++b)
            if (m.bar(b).level > 0) {
                if (first < 0)
                    first = b;
                last = b;
            }
        EXPECT_EQ((first + last) / 2, bin - 1) << first << ".." << last;
        EXPECT_LE(last - first, 6);
        EXPECT_EQ(m.bar(bin - 1).level, 30u); // 16, 24, 28, 30 towards the maximum 32
        EXPECT_EQ(m.bar(bin + 5).level, 0u);  // past the window's main lobe: nothing
        // Bars are 6 wide with a gap of 1: the tone's bar is green at the bottom.
        EXPECT_EQ(view.surface().pixel(7 * (bin - 1), 0), 0x00FF00u);
    }
}

TEST(ViewFactoryTest, RejectsUnknownNamesAndUnusableSizes)
{
    const sv_panel panel{};
    EXPECT_NE(sonvox::makeView("sample-spectrum", panel, 224, 68, 32), nullptr);
    EXPECT_NE(sonvox::makeView("sample-vu", panel, 224, 68, 32), nullptr);
    EXPECT_NE(sonvox::makeView("sample-oscilloscope", panel, 224, 68, 32), nullptr);
    EXPECT_EQ(sonvox::makeView("sample-spectrum-x", panel, 224, 68, 32), nullptr);
    EXPECT_EQ(sonvox::makeView("sample-spectrum", panel, 224, 68, 0), nullptr);
    EXPECT_EQ(sonvox::makeView("sample-spectrum", panel, 224, 68, -1), nullptr);
    EXPECT_EQ(sonvox::makeView("sample-vu", panel, 0, 68, 32), nullptr);
    EXPECT_EQ(sonvox::makeView("sample-vu", panel, 224, -5, 32), nullptr);
    EXPECT_EQ(sonvox::makeView("sample-oscilloscope", panel, 100000, 68, 32), nullptr);
}
