// Pictures and entries for the view window and entry hint tests.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/image.h"
#include "store/records.h"

namespace view_test {

// The frame colour of gradient_png.
inline constexpr COLORREF kFrame = RGB(0xFF, 0x00, 0x00);

// A width x height PNG with a colour gradient (never pure red) and a red
// frame one pixel wide, so that a shrunk or enlarged copy can be told from
// the original.
inline std::vector<std::uint8_t> gradient_png(int width, int height) {
    std::vector<std::uint8_t> bgra(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
            const bool frame = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            p[0] = frame ? 0x00 : static_cast<std::uint8_t>(0x20 + x * 0xDF / std::max(width - 1, 1));
            p[1] = frame ? 0x00 : static_cast<std::uint8_t>(0x20 + y * 0xDF / std::max(height - 1, 1));
            p[2] = frame ? 0xFF : 0xC0;
            p[3] = 0xFF;
        }
    std::vector<std::uint8_t> png;
    winutil::encode_bgra_png(bgra.data(), static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), png);
    return png;
}

// An image entry (not in the store) holding the bytes.
inline HistoryEntry image_entry(std::vector<std::uint8_t> bytes) {
    HistoryEntry e;
    e.id = 1;
    e.is_image = true;
    e.image = std::move(bytes);
    e.text_state = TextState::Whole;
    e.source_app = L"mspaint.exe";
    e.created_at = L"2024-05-01T14:03:00";
    return e;
}

}  // namespace view_test
