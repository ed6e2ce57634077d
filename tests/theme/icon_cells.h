// Whether a cell of a window picture shows an icon: something is drawn
// there, and it is not what GDI draws for a code point the font has no
// glyph for (a box, or nothing).
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "core/handles.h"

namespace icon_cells {

using PixelAt = std::function<COLORREF(int x, int y)>;

// The drawn pixels of a cell, cut to their bounding box.
struct Ink {
    int width = 0, height = 0, count = 0;
    COLORREF background = 0, strongest = 0;  // the cell's most common colour and the one farthest from it
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
    // Ink stands out by at least half as much as the strongest pixel, so
    // that grey on dark and black on white give the same shapes.
    int strongest = 0;
    COLORREF strongest_colour = background;
    for (int y = cell.top; y < cell.bottom; ++y)
        for (int x = cell.left; x < cell.right; ++x)
            if (colour_distance(at(x, y), background) > strongest) {
                strongest = colour_distance(at(x, y), background);
                strongest_colour = at(x, y);
            }
    const int threshold = std::max(60, strongest / 2);
    RECT box{cell.right, cell.bottom, cell.left, cell.top};
    auto inked = [&](int x, int y) { return colour_distance(at(x, y), background) >= threshold; };
    for (int y = cell.top; y < cell.bottom; ++y)
        for (int x = cell.left; x < cell.right; ++x)
            if (inked(x, y)) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    Ink ink;
    ink.background = background;
    ink.strongest = strongest_colour;
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

// What GDI draws in the font for `missing` in the colours, in a cell of the
// size.
inline Ink missing_glyph_ink(HFONT font, SIZE cell, const wchar_t* missing, COLORREF text, COLORREF background) {
    raii::WindowDC screen(nullptr);
    raii::MemoryDC dc(CreateCompatibleDC(screen.get()));
    raii::Bitmap bitmap(CreateCompatibleBitmap(screen.get(), cell.cx, cell.cy));
    raii::SelectGuard use_bitmap(dc.get(), bitmap.get());
    raii::SelectGuard use_font(dc.get(), font);
    RECT rc{0, 0, cell.cx, cell.cy};
    raii::Brush fill(CreateSolidBrush(background));
    FillRect(dc.get(), &rc, fill.get());
    SetTextColor(dc.get(), text);
    SetBkMode(dc.get(), TRANSPARENT);
    DrawTextW(dc.get(), missing, -1, &rc, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    return ink_in([&](int x, int y) { return GetPixel(dc.get(), x, y); }, rc);
}

// How alike two drawings are: laid over each other centred, the share of
// the ink pixels of both that have ink of the other within a pixel (so a
// line drawn a pixel bolder still matches); 0 when their sizes differ by
// more than two pixels.
inline double likeness(const Ink& a, const Ink& b) {
    if (std::abs(a.width - b.width) > 2 || std::abs(a.height - b.height) > 2) return 0;
    const int dx = (a.width - b.width) / 2, dy = (a.height - b.height) / 2;
    auto ink_near = [](const Ink& ink, int x, int y) {
        for (int j = -1; j <= 1; ++j)
            for (int i = -1; i <= 1; ++i)
                if (ink.at(x + i, y + j)) return true;
        return false;
    };
    int matched = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (a.at(x, y) && ink_near(b, x - dx, y - dy)) ++matched;
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            if (b.at(x, y) && ink_near(a, x + dx, y + dy)) ++matched;
    return a.count + b.count ? static_cast<double>(matched) / (a.count + b.count) : 1.0;
}

// A font and a text of code points it has no glyph for.
struct Missing {
    HFONT font;
    const wchar_t* text = kMissingGlyph;
};

// What is wrong with an icon cell; empty when it shows an icon: some ink,
// and not what any of the fonts draws for its missing code points.
inline std::string icon_cell_problem(const PixelAt& at, const RECT& cell, std::initializer_list<Missing> missing) {
    const Ink ink = ink_in(at, cell);
    if (ink.count < 8) return "nothing is drawn";
    for (const Missing& m : missing) {
        const Ink box = missing_glyph_ink(m.font, SIZE{cell.right - cell.left, cell.bottom - cell.top}, m.text,
                                          ink.strongest, ink.background);
        if (box.count > 0 && likeness(ink, box) > 0.85) return "a missing glyph is drawn";
    }
    return {};
}

}  // namespace icon_cells
