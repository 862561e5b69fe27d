// A row of level bars with falling peak marks, shared by the spectrum and the level
// meter views. Bar i is drawn at x = (bar width + gap) * i from the bottom row up.
#ifndef SONVOX_API_SV_BAR_METER_H
#define SONVOX_API_SV_BAR_METER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sonvox/api/sv_dib_surface.h"

namespace sonvox {

struct Bar
{
    unsigned width = 8;
    unsigned level = 0;
    unsigned maximum = 64;
    unsigned fall = 0; // frames since the peak was last raised
    unsigned peak = 0;
    unsigned peakHeight = 3; // height of the peak mark in pixels

    // Moves the level halfway towards min(value, maximum); the peak follows a rising
    // level at once and otherwise falls by fall / 4 per update (0, 0, 0, 0, 1, 1, ...).
    void update(unsigned value);
};

class BarMeter
{
public:
    static constexpr uint32_t kBarColour = 0x00FF00;
    static constexpr uint32_t kPeakColour = 0xFF8080;

    BarMeter(int count, unsigned width, unsigned gap, unsigned maximum);

    int count() const { return static_cast<int>(bars_.size()); }
    Bar &bar(int i) { return bars_[static_cast<size_t>(i)]; }
    const Bar &bar(int i) const { return bars_[static_cast<size_t>(i)]; }
    // Clears the surface, draws every bar and its peak mark, and shows the surface.
    void draw(DibSurface &surface) const;

private:
    std::vector<Bar> bars_;
    unsigned gap_;
};

} // namespace sonvox

#endif
