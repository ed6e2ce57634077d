// Shared pieces of the screenshot tests: a synthetic grab with a known
// pattern, and decoding a result's PNG back to pixels.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "capture/dib.h"
#include "capture/image.h"
#include "screenshot/screen_grab.h"

namespace shot_test {

// The pattern's colour at a grab pixel: every pixel differs from its
// neighbours, so a pixelated block shows as one colour.
inline COLORREF pattern_at(int x, int y) {
    return RGB((x * 7 + y * 3) & 0xFF, y & 0xFF, x & 0xFF);
}

// A grab of the given size and origin filled with the pattern.
inline ScreenGrab pattern_grab(int width, int height, int left = 0, int top = 0) {
    ScreenGrab g;
    g.dib = top_down_dib(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = g.dib.data() + 40 + (static_cast<std::size_t>(y) * width + x) * 4;
            const COLORREF c = pattern_at(x, y);
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
            p[3] = 255;
        }
    g.width = width;
    g.height = height;
    g.left = left;
    g.top = top;
    g.ok = true;
    return g;
}

// Decoded pixels of a PNG, top-down.
struct Image {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> bgra;
    COLORREF at(int x, int y) const {
        const std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * width + x) * 4];
        return RGB(p[2], p[1], p[0]);
    }
};

inline Image decode_png(const std::vector<std::uint8_t>& png) {
    Image img;
    std::vector<std::uint8_t> dib;
    if (!winutil::png_to_dib(png, dib)) return img;
    winutil::dib_to_bgra(dib, img.bgra, img.width, img.height);
    return img;
}

// The pixel of a grab as a COLORREF.
inline COLORREF grab_at(const ScreenGrab& g, int x, int y) {
    const std::uint8_t* p = g.row(y) + static_cast<std::size_t>(x) * 4;
    return RGB(p[2], p[1], p[0]);
}

}  // namespace shot_test
