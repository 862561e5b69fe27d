// Drawing surface of the feedback views: a width x height buffer of 32-bit pixels
// (0x00RRGGBB) laid out bottom-up (row 0 is the bottom row, as in a device-independent
// bitmap with positive height). show() hands the finished buffer to the panel's present
// callback; the surface itself never paints anything.
#ifndef SONVOX_API_SV_DIB_SURFACE_H
#define SONVOX_API_SV_DIB_SURFACE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sonvox.h"

namespace sonvox {

class DibSurface
{
public:
    // Largest width or height accepted; larger sizes make the view fail to be created.
    static constexpr int kMaxSide = 8192;

    DibSurface(const sv_panel &panel, int width, int height);

    static bool validSize(int width, int height)
    {
        return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide;
    }

    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<uint32_t> &pixels() const { return pixels_; }

    void clear();
    // Draws the rectangle only when it lies wholly inside, with its far edges strictly
    // inside (x + w < width and y + h < height); otherwise nothing of it is drawn.
    void fillRect(int x, int y, int w, int h, uint32_t colour);
    // Pixels outside the surface are ignored.
    void setPixel(int x, int y, uint32_t colour);
    uint32_t pixel(int x, int y) const;
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    // Hands the buffer to the panel's present callback (when there is one).
    void show() const;

private:
    sv_panel panel_;
    int width_;
    int height_;
    std::vector<uint32_t> pixels_;
};

} // namespace sonvox

#endif
