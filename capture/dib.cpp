// Layout checks and pixel conversion of device-independent bitmaps.
#include "capture/dib.h"

#include <windows.h>

#include <cstring>
#include <new>

namespace winutil {

namespace {

std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Position of the lowest bit of an eight-bit contiguous mask, or -1.
int byte_mask_shift(std::uint32_t mask) {
    if (mask == 0) return -1;
    int shift = 0;
    while (!(mask & 1u)) {
        mask >>= 1;
        ++shift;
    }
    return mask == 0xFFu ? shift : -1;
}

}  // namespace

bool read_dib_layout(const std::uint8_t* data, std::size_t size, DibLayout& out) {
    return read_bitmap_layout(data, size, size, out);
}

bool read_dib_layout(const std::vector<std::uint8_t>& dib, DibLayout& out) {
    return read_dib_layout(dib.data(), dib.size(), out);
}

DibRowReader::DibRowReader(const std::vector<std::uint8_t>& dib) : data_(dib.data()) {
    if (!read_dib_layout(dib, layout_) || layout_.bits == 16) return;
    if (layout_.compression == BI_BITFIELDS) {
        for (int i = 0; i < 3; ++i) {
            shifts_[i] = byte_mask_shift(layout_.masks[i]);
            if (shifts_[i] < 0) return;
        }
    }
    ok_ = true;
}

void DibRowReader::read_row(std::uint32_t y, std::uint8_t* dst) const {
    const DibLayout& l = layout_;
    const std::uint32_t w = static_cast<std::uint32_t>(l.width);
    const std::uint32_t src_row = l.height < 0 ? y : l.rows - 1 - y;
    const std::uint8_t* src = data_ + l.pixel_offset + static_cast<std::size_t>(src_row * l.stride);
    const std::uint8_t* table = data_ + l.table_offset;
    auto put_index = [&](std::uint8_t* p, std::uint32_t index) {
        if (index < l.table_entries) {
            const std::uint8_t* e = table + l.table_entry_bytes * index;
            p[0] = e[0];
            p[1] = e[1];
            p[2] = e[2];
        } else {
            p[0] = p[1] = p[2] = 0;
        }
        p[3] = 255;
    };
    switch (l.bits) {
        case 1:
            for (std::uint32_t x = 0; x < w; ++x) put_index(dst + 4 * x, (src[x >> 3] >> (7 - (x & 7))) & 1u);
            break;
        case 4:
            for (std::uint32_t x = 0; x < w; ++x) {
                const std::uint8_t b = src[x >> 1];
                put_index(dst + 4 * x, (x & 1) ? (b & 0x0Fu) : (b >> 4));
            }
            break;
        case 8:
            for (std::uint32_t x = 0; x < w; ++x) put_index(dst + 4 * x, src[x]);
            break;
        case 24:
            for (std::uint32_t x = 0; x < w; ++x) {
                dst[4 * x] = src[3 * x];
                dst[4 * x + 1] = src[3 * x + 1];
                dst[4 * x + 2] = src[3 * x + 2];
                dst[4 * x + 3] = 255;
            }
            break;
        case 32:
            if (l.compression == BI_RGB) {
                std::memcpy(dst, src, static_cast<std::size_t>(w) * 4);
                for (std::uint32_t x = 0; x < w; ++x) dst[4 * x + 3] = 255;
            } else {
                for (std::uint32_t x = 0; x < w; ++x) {
                    const std::uint32_t v = u32(src + 4 * x);
                    dst[4 * x] = static_cast<std::uint8_t>(v >> shifts_[2]);
                    dst[4 * x + 1] = static_cast<std::uint8_t>(v >> shifts_[1]);
                    dst[4 * x + 2] = static_cast<std::uint8_t>(v >> shifts_[0]);
                    dst[4 * x + 3] = 255;
                }
            }
            break;
    }
}

bool dib_to_bgra(const std::vector<std::uint8_t>& dib, std::vector<std::uint8_t>& pixels, std::uint32_t& width,
                 std::uint32_t& height) {
    pixels.clear();
    width = height = 0;
    const DibRowReader reader(dib);
    if (!reader.ok()) return false;
    const std::size_t row = static_cast<std::size_t>(reader.width()) * 4;
    try {
        pixels.resize(row * reader.height());
    } catch (const std::bad_alloc&) {
        pixels.clear();
        return false;
    }
    for (std::uint32_t y = 0; y < reader.height(); ++y) reader.read_row(y, pixels.data() + y * row);
    width = reader.width();
    height = reader.height();
    return true;
}

std::vector<std::uint8_t> bottom_up_dib_from_bgra(const std::uint8_t* top_down, std::uint32_t width,
                                                  std::uint32_t height) {
    if (!top_down || width == 0 || height == 0) return {};
    const std::uint64_t row = static_cast<std::uint64_t>(width) * 4;
    const std::uint64_t pixel_bytes = row * height;
    if (pixel_bytes > kMaxPixelBytes) return {};
    std::vector<std::uint8_t> out;
    try {
        out.assign(40 + static_cast<std::size_t>(pixel_bytes), 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = static_cast<LONG>(width);
    header.biHeight = static_cast<LONG>(height);
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(pixel_bytes);
    std::memcpy(out.data(), &header, 40);
    for (std::uint32_t i = 0; i < height; ++i) {
        std::uint8_t* dst = out.data() + 40 + static_cast<std::size_t>((height - 1 - i) * row);
        std::memcpy(dst, top_down + static_cast<std::size_t>(i * row), static_cast<std::size_t>(row));
        for (std::uint32_t x = 0; x < width; ++x) dst[4 * x + 3] = 255;
    }
    return out;
}

}  // namespace winutil
