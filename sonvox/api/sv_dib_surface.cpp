#include "sonvox/api/sv_dib_surface.h"

#include <algorithm>

namespace sonvox {

DibSurface::DibSurface(const sv_panel &panel, int width, int height)
    : panel_(panel),
      width_(width),
      height_(height),
      pixels_(static_cast<size_t>(width) * static_cast<size_t>(height), 0u)
{}

void DibSurface::clear()
{
    std::fill(pixels_.begin(), pixels_.end(), 0u);
}

void DibSurface::fillRect(int x, int y, int w, int h, uint32_t colour)
{
    if (x < 0 || y < 0 || w < 0 || h < 0)
        return;
    // 64-bit sums: x + w cannot overflow for any int arguments.
    if (int64_t{x} + w >= width_ || int64_t{y} + h >= height_)
        return;
    for (int row = y; row < y + h; ++row) {
        uint32_t *line = pixels_.data() + static_cast<size_t>(row) * width_;
        std::fill(line + x, line + x + w, colour);
    }
}

void DibSurface::setPixel(int x, int y, uint32_t colour)
{
    if (contains(x, y))
        pixels_[static_cast<size_t>(y) * width_ + x] = colour;
}

uint32_t DibSurface::pixel(int x, int y) const
{
    return contains(x, y) ? pixels_[static_cast<size_t>(y) * width_ + x] : 0u;
}

void DibSurface::show() const
{
    if (panel_.present)
        panel_.present(panel_.user, pixels_.data(), width_, height_);
}

} // namespace sonvox
