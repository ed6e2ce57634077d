// The primitives under every screenshot: a copy of the whole virtual screen
// (all monitors) with its origin, a crop of such a copy, the rectangle of
// the window the user was working in, and the switch of the calling thread
// to per-monitor DPI awareness so that all of this is in physical pixels.
//
// Interface thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// A grabbed screen: a 40-byte header (32 bits, top-down, BI_RGB) followed
// by width x height pixels of blue, green, red and alpha 255.
struct ScreenGrab {
    std::vector<std::uint8_t> dib;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t left = 0;  // virtual-screen coordinates of the top-left pixel
    std::int32_t top = 0;
    bool ok = false;  // false: empty, every other field is to be ignored

    // The whole virtual screen, layered windows included; empty on failure.
    static ScreenGrab capture_virtual_screen();
    // The part of the source inside the rectangle (virtual-screen
    // coordinates, right and bottom exclusive), clipped to the source;
    // empty when nothing is left.
    static ScreenGrab crop(const ScreenGrab& source, const RECT& r);
    // The same clipping without a new grab: the rectangle of the source
    // that crop would keep (virtual-screen coordinates; empty when nothing
    // is left), and its rows copied one after another to out (width x
    // height x 4 bytes).
    static RECT crop_area(const ScreenGrab& source, const RECT& r);
    static void copy_rows(const ScreenGrab& source, const RECT& area, std::uint8_t* out);

    // The first pixel byte of row y (no checks).
    const std::uint8_t* row(std::int32_t y) const { return dib.data() + 40 + static_cast<std::size_t>(y) * width * 4; }
};

// The 40-byte header of a 32-bit top-down bitmap of that size followed by
// room for its pixels (all zero).
std::vector<std::uint8_t> top_down_dib(std::int32_t width, std::int32_t height);

// The rectangle of the foreground window; all zero when there is none, when
// it belongs to this process, when its rectangle cannot be read, or when it
// is 7 pixels wide or high or less.
RECT foreground_window_rect();

// Switches the calling thread to per-monitor DPI awareness (version 2) and
// returns the previous context; null where the system has no such switch.
DPI_AWARENESS_CONTEXT enter_per_monitor_dpi();
// Puts the context back; nothing for null.
void restore_thread_dpi(DPI_AWARENESS_CONTEXT previous);
