// Test helpers: pictures written as text, top row first, one character per pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sonvox/api/sv_dib_surface.h"

namespace testpic {

inline char symbol(uint32_t pixel)
{
    switch (pixel) {
    case 0x000000: return '.';
    case 0x00FF00: return 'G';
    case 0xFF8080: return 'P';
    case 0xFFFFFF: return 'W';
    default: return '?';
    }
}

// Renders bottom-up pixels as text rows, top row first.
inline std::string render(const uint32_t *pixels, int width, int height)
{
    std::string out;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x)
            out += symbol(pixels[y * width + x]);
        out += '\n';
    }
    return out;
}

inline std::string render(const sonvox::DibSurface &s)
{
    return render(s.pixels().data(), s.width(), s.height());
}

inline std::string rows(std::initializer_list<const char *> lines)
{
    std::string out;
    for (const char *l : lines)
        (out += l) += '\n';
    return out;
}

// Records every picture handed to a panel.
struct Recorder
{
    std::vector<std::vector<uint32_t>> frames;
    int width = 0, height = 0;

    static void present(void *user, const uint32_t *pixels, int w, int h)
    {
        auto *self = static_cast<Recorder *>(user);
        self->width = w;
        self->height = h;
        self->frames.emplace_back(pixels, pixels + static_cast<size_t>(w) * h);
    }
    sv_panel panel() { return sv_panel{&Recorder::present, this}; }
    std::string last() const { return render(frames.back().data(), width, height); }
};

} // namespace testpic
