// Bitmaps and PNGs built byte by byte for the capture tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace capture_test {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// The colour of the test pattern at (x, y), counted from the top-left.
inline Rgb pattern(std::uint32_t x, std::uint32_t y) {
    return {static_cast<std::uint8_t>(x * 37 + y * 11), static_cast<std::uint8_t>(x * 5 + y * 53),
            static_cast<std::uint8_t>(200 - x * 3 - y * 7)};
}

inline void put32(Bytes& b, size_t at, std::uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

struct DibShape {
    std::int32_t width = 5;
    std::int32_t height = 3;        // positive: bottom-up rows
    std::uint16_t bits = 24;
    std::uint32_t header_size = 40;
    bool bitfields = false;         // BI_BITFIELDS with the masks below
    std::uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};  // red, green, blue
    std::uint8_t fourth_byte = 0;   // 32 bits: the byte after blue, green, red (BI_RGB)
    std::uint32_t colours_used = 0; // for up to 8 bits; or an optional table above 8 bits
};

// A bitmap of the test pattern. For 1, 4 and 8 bits the table holds
// pattern colours and the pixels index them in turn.
inline Bytes make_dib(const DibShape& s) {
    const std::uint32_t rows = static_cast<std::uint32_t>(s.height < 0 ? -s.height : s.height);
    const std::uint32_t stride = ((static_cast<std::uint32_t>(s.width) * s.bits + 31) / 32) * 4;
    std::uint32_t table = 0;
    if (s.bits <= 8) table = s.colours_used ? s.colours_used : (1u << s.bits);
    else table = s.colours_used;
    const std::uint32_t masks = s.bitfields && s.header_size == 40 ? 12 : 0;
    const size_t offset = s.header_size + masks + 4 * table;
    Bytes b(offset + static_cast<size_t>(stride) * rows, 0);
    put32(b, 0, s.header_size);
    put32(b, 4, static_cast<std::uint32_t>(s.width));
    put32(b, 8, static_cast<std::uint32_t>(s.height));
    b[12] = 1;
    b[14] = static_cast<std::uint8_t>(s.bits);
    put32(b, 16, s.bitfields ? BI_BITFIELDS : BI_RGB);
    put32(b, 20, stride * rows);
    put32(b, 32, s.colours_used);
    if (s.bitfields)
        for (int i = 0; i < 3; ++i) put32(b, 40 + 4 * i, s.masks[i]);
    for (std::uint32_t i = 0; i < table; ++i) {
        const Rgb c = pattern(i, 1000);
        b[s.header_size + masks + 4 * i] = c.b;
        b[s.header_size + masks + 4 * i + 1] = c.g;
        b[s.header_size + masks + 4 * i + 2] = c.r;
    }
    for (std::uint32_t y = 0; y < rows; ++y) {
        const std::uint32_t stored = s.height < 0 ? y : rows - 1 - y;
        std::uint8_t* row = b.data() + offset + static_cast<size_t>(stored) * stride;
        for (std::uint32_t x = 0; x < static_cast<std::uint32_t>(s.width); ++x) {
            const Rgb c = pattern(x, y);
            if (s.bits == 24) {
                row[3 * x] = c.b;
                row[3 * x + 1] = c.g;
                row[3 * x + 2] = c.r;
            } else if (s.bits == 32 && !s.bitfields) {
                row[4 * x] = c.b;
                row[4 * x + 1] = c.g;
                row[4 * x + 2] = c.r;
                row[4 * x + 3] = s.fourth_byte;
            } else if (s.bits == 32) {
                auto place = [](std::uint32_t mask, std::uint8_t v) {
                    int shift = 0;
                    while (mask && !(mask & 1u)) mask >>= 1, ++shift;
                    return static_cast<std::uint32_t>(v) << shift;
                };
                put32(b, static_cast<size_t>(row - b.data()) + 4 * x,
                      place(s.masks[0], c.r) | place(s.masks[1], c.g) | place(s.masks[2], c.b));
            } else if (s.bits <= 8) {
                const std::uint32_t index = (x + y) % table;
                if (s.bits == 8) row[x] = static_cast<std::uint8_t>(index);
                if (s.bits == 4) row[x / 2] |= static_cast<std::uint8_t>(x % 2 ? index : index << 4);
                if (s.bits == 1) row[x / 8] |= static_cast<std::uint8_t>(index << (7 - x % 8));
            }
        }
    }
    return b;
}

// A bitmap of the test pattern with the 12-byte core header (16-bit sides,
// bottom-up rows) at 24 bits, or at 8 bits with a table of three-byte
// entries indexed as make_dib indexes them.
inline Bytes make_core_dib(std::uint16_t width, std::uint16_t height, std::uint16_t bits) {
    const std::uint32_t stride = ((width * static_cast<std::uint32_t>(bits) + 31) / 32) * 4;
    const std::uint32_t table = bits <= 8 ? 1u << bits : 0;
    const size_t offset = 12 + 3 * table;
    Bytes b(offset + static_cast<size_t>(stride) * height, 0);
    put32(b, 0, 12);
    b[4] = static_cast<std::uint8_t>(width);
    b[5] = static_cast<std::uint8_t>(width >> 8);
    b[6] = static_cast<std::uint8_t>(height);
    b[7] = static_cast<std::uint8_t>(height >> 8);
    b[8] = 1;
    b[10] = static_cast<std::uint8_t>(bits);
    for (std::uint32_t i = 0; i < table; ++i) {
        const Rgb c = pattern(i, 1000);
        b[12 + 3 * i] = c.b;
        b[12 + 3 * i + 1] = c.g;
        b[12 + 3 * i + 2] = c.r;
    }
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* row = b.data() + offset + static_cast<size_t>(height - 1 - y) * stride;
            if (bits == 8) {
                row[x] = static_cast<std::uint8_t>((x + y) % table);
                continue;
            }
            const Rgb c = pattern(x, y);
            row[3 * x] = c.b;
            row[3 * x + 1] = c.g;
            row[3 * x + 2] = c.r;
        }
    return b;
}

// The colour make_dib put at (x, y) of a paletted bitmap.
inline Rgb palette_pattern(std::uint32_t x, std::uint32_t y, std::uint32_t table) {
    return pattern((x + y) % table, 1000);
}

// The program's own 32-bit bottom-up form of the test pattern.
inline Bytes make_own_dib(std::int32_t width, std::int32_t height) {
    DibShape s;
    s.width = width;
    s.height = height;
    s.bits = 32;
    s.fourth_byte = 255;
    return make_dib(s);
}

// Reads pixel (x, y), counted from the top, of 24- or 32-bit BI_RGB bytes.
inline Rgb pixel_of(const Bytes& dib, std::uint32_t x, std::uint32_t y) {
    std::int32_t h = 0, w = 0;
    std::memcpy(&w, dib.data() + 4, 4);
    std::memcpy(&h, dib.data() + 8, 4);
    const std::uint16_t bits = static_cast<std::uint16_t>(dib[14] | (dib[15] << 8));
    const std::uint32_t rows = static_cast<std::uint32_t>(h < 0 ? -h : h);
    const std::uint32_t stride = ((static_cast<std::uint32_t>(w) * bits + 31) / 32) * 4;
    const std::uint32_t stored = h < 0 ? y : rows - 1 - y;
    std::uint32_t header = 0;
    std::memcpy(&header, dib.data(), 4);
    const std::uint8_t* p = dib.data() + header + static_cast<size_t>(stored) * stride + x * (bits / 8);
    return {p[2], p[1], p[0]};
}

}  // namespace capture_test
