#include "sonvox/api/sv_bar_meter.h"

#include <algorithm>

namespace sonvox {

void Bar::update(unsigned value)
{
    level = (std::min(value, maximum) + level) / 2;
    if (level >= peak) {
        peak = level;
        fall = 0;
    } else if (peak > fall) {
        peak -= fall / 4;
        ++fall;
    } else {
        peak = 0;
    }
}

BarMeter::BarMeter(int count, unsigned width, unsigned gap, unsigned maximum)
    : bars_(static_cast<size_t>(std::max(count, 0))),
      gap_(gap)
{
    for (Bar &b : bars_) {
        b.width = width;
        b.maximum = maximum;
    }
}

void BarMeter::draw(DibSurface &surface) const
{
    surface.clear();
    // Bars past the surface's right edge fail the rectangle rule and are not drawn;
    // the arithmetic is done in 64 bits so that huge counts cannot wrap into view.
    for (size_t i = 0; i < bars_.size(); ++i) {
        const Bar &b = bars_[i];
        const int64_t x = (int64_t{b.width} + gap_) * static_cast<int64_t>(i);
        if (x >= surface.width())
            break;
        const int xi = static_cast<int>(x);
        surface.fillRect(xi, 0, static_cast<int>(b.width), static_cast<int>(b.level), kBarColour);
        surface.fillRect(xi, static_cast<int>(b.peak), static_cast<int>(b.width), static_cast<int>(b.peakHeight),
                         kPeakColour);
    }
    surface.show();
}

} // namespace sonvox
