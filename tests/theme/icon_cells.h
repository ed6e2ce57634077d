// Whether a cell of a window picture shows an icon: something is drawn
// there, and it is not what GDI draws for a code point the font has no
// glyph for (a box, or nothing).
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/handles.h"

namespace icon_cells {

using PixelAt = std::function<COLORREF(int x, int y)>;

// The drawn pixels of a cell, cut to their bounding box.
struct Ink {
    int width = 0, height = 0, count = 0;
    std::vector<bool> mask;
    bool at(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height && mask[y * width + x]; }
};

inline int colour_distance(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
           std::abs(GetBValue(a) - GetBValue(b));
}

// The pixels of the cell that stand out from its most common colour.
inline Ink ink_in(const PixelAt& at, const RECT& cell) {
    std::map<COLORREF, int> counts;
    for (int y = cell.top; y < cell.bottom; ++y)
        for (int x = cell.left; x < cell.right; ++x) ++counts[at(x, y)];
    COLORREF background = 0;
    int most = -1;
    for (const auto& [colour, n] : counts)
        if (n > most) most = n, background = colour;
    RECT box{cell.right, cell.bottom, cell.left, cell.top};
    auto inked = [&](int x, int y) { return colour_distance(at(x, y), background) > 120; };
    for (int y = cell.top; y < cell.bottom; ++y)
        for (int x = cell.left; x < cell.right; ++x)
            if (inked(x, y)) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    Ink ink;
    if (box.right <= box.left) return ink;
    ink.width = box.right - box.left;
    ink.height = box.bottom - box.top;
    ink.mask.assign(static_cast<size_t>(ink.width) * ink.height, false);
    for (int y = 0; y < ink.height; ++y)
        for (int x = 0; x < ink.width; ++x)
            if (inked(box.left + x, box.top + y)) {
                ink.mask[static_cast<size_t>(y) * ink.width + x] = true;
                ++ink.count;
            }
    return ink;
}

// Code points that no font here has: one of the basic plane's private use
// area (the icon fonts' area) and one above it (as emoji are).
inline constexpr const wchar_t* kMissingGlyph = L"\uE000";
inline constexpr const wchar_t* kMissingPair = L"\U0010FFFD";

// What GDI draws in the font for `missing`: dark on light, in a cell of the
// size.
inline Ink missing_glyph_ink(HFONT font, SIZE cell, const wchar_t* missing) {
    raii::WindowDC screen(nullptr);
    raii::MemoryDC dc(CreateCompatibleDC(screen.get()));
    raii::Bitmap bitmap(CreateCompatibleBitmap(screen.get(), cell.cx, cell.cy));
    raii::SelectGuard use_bitmap(dc.get(), bitmap.get());
    raii::SelectGuard use_font(dc.get(), font);
    RECT rc{0, 0, cell.cx, cell.cy};
    raii::Brush white(CreateSolidBrush(RGB(255, 255, 255)));
    FillRect(dc.get(), &rc, white.get());
    SetTextColor(dc.get(), RGB(0, 0, 0));
    SetBkMode(dc.get(), TRANSPARENT);
    DrawTextW(dc.get(), missing, -1, &rc, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    return ink_in([&](int x, int y) { return GetPixel(dc.get(), x, y); }, rc);
}

// The share of pixels on which the two agree when laid over each other at
// their top-left corners; 0 when their sizes differ by more than a pixel.
inline double likeness(const Ink& a, const Ink& b) {
    if (std::abs(a.width - b.width) > 1 || std::abs(a.height - b.height) > 1) return 0;
    const int w = std::max(a.width, b.width), h = std::max(a.height, b.height);
    int same = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (a.at(x, y) == b.at(x, y)) ++same;
    return w * h ? static_cast<double>(same) / (w * h) : 1.0;
}

// What is wrong with the icon cell drawn in `font`; empty when it shows an
// icon: some ink, and not what the font draws for a missing code point.
inline std::string icon_cell_problem(const PixelAt& at, const RECT& cell, HFONT font,
                                     const wchar_t* missing_code_point = kMissingGlyph) {
    const Ink ink = ink_in(at, cell);
    if (ink.count < 8) return "nothing is drawn";
    const Ink missing = missing_glyph_ink(font, SIZE{cell.right - cell.left, cell.bottom - cell.top}, missing_code_point);
    if (missing.count > 0 && likeness(ink, missing) > 0.85) return "the missing glyph is drawn";
    return {};
}

}  // namespace icon_cells
