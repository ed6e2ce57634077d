// Reading device-independent bitmaps (the clipboard's CF_DIB bytes: header,
// optional masks and colour table, pixels). The bytes come from other
// programs and are not trusted: every size is computed in 64 bits and
// checked against the buffer before a pixel is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/image_header.h"

namespace winutil {

// Where the parts of a bitmap lie, as read from its header.
struct DibLayout {
    std::uint32_t header_size = 0;   // 40, 52, 56, 108 or 124
    std::int32_t width = 0;          // above 0
    std::int32_t height = 0;         // as stored: negative for top-down rows
    std::uint32_t rows = 0;          // |height|
    std::uint16_t bits = 0;          // 1, 4, 8, 16, 24 or 32
    std::uint32_t compression = 0;   // BI_RGB or BI_BITFIELDS
    std::uint32_t image_size = 0;    // the header's image size field, unchecked
    std::uint32_t masks[3] = {};     // red, green, blue (BI_BITFIELDS only)
    std::size_t table_offset = 0;    // first colour-table entry
    std::uint32_t table_entries = 0; // entries looked up (1, 4 and 8 bits only)
    std::size_t pixel_offset = 0;    // first pixel byte
    std::uint64_t stride = 0;        // bytes per row, a multiple of 4
    std::uint64_t pixel_bytes = 0;   // stride x rows, all inside the buffer
};

// Reads and checks the layout, starting from read_bitmap_header. False for
// anything that cannot be read safely: a header read_bitmap_header refuses,
// a 12- or 64-byte header (kept as they are, but not read here), a
// compression other than BI_RGB and BI_BITFIELDS (the latter at 16 and 32
// bits only), or pixels beyond the buffer.
//
// Masks follow a 40-byte header when the compression is BI_BITFIELDS and
// lie inside every larger header. Up to 8 bits per pixel the colour table
// has the colours-used count of entries (2 to the power of the depth when
// 0), at most 256 counted; above 8 bits a non-zero colours-used count is an
// optional table that the pixels follow.
bool read_dib_layout(const std::uint8_t* data, std::size_t size, DibLayout& out);
bool read_dib_layout(const std::vector<std::uint8_t>& dib, DibLayout& out);

// Reads the rows of a bitmap of 1, 4, 8, 24 or 32 bits per pixel (32 bits
// with any masks of eight contiguous bits) as top-down BGRA, every alpha
// 255; an index beyond the colour table gives black. The bytes must
// outlive the reader.
class DibRowReader {
public:
    // ok() is false for a bitmap read_dib_layout refuses, for 16 bits per
    // pixel and for other masks.
    explicit DibRowReader(const std::vector<std::uint8_t>& dib);
    bool ok() const { return ok_; }
    std::uint32_t width() const { return ok_ ? static_cast<std::uint32_t>(layout_.width) : 0; }
    std::uint32_t height() const { return ok_ ? layout_.rows : 0; }
    // Writes width() x 4 bytes: row y counted from the top (y < height()).
    void read_row(std::uint32_t y, std::uint8_t* out) const;

private:
    const std::uint8_t* data_ = nullptr;
    DibLayout layout_;
    int shifts_[3] = {16, 8, 0};  // red, green, blue
    bool ok_ = false;
};

// Converts a bitmap of 1, 4, 8, 24 or 32 bits per pixel (32 bits with any
// masks of eight contiguous bits) to width x rows top-down BGRA pixels with
// every alpha 255. An index beyond the colour table gives black. False for
// a bitmap read_dib_layout refuses, for 16 bits per pixel and for other
// masks; pixels is then empty.
bool dib_to_bgra(const std::vector<std::uint8_t>& dib, std::vector<std::uint8_t>& pixels, std::uint32_t& width,
                 std::uint32_t& height);

// A bitmap of the program's own form: a 40-byte header (32 bits, BI_RGB,
// planes 1, image size width x height x 4, positive height: bottom-up rows)
// followed by the given top-down BGRA rows in reverse order, every alpha
// set to 255. Empty when a side is 0 or the pixels are too many or too few.
std::vector<std::uint8_t> bottom_up_dib_from_bgra(const std::uint8_t* top_down, std::uint32_t width,
                                                  std::uint32_t height);

}  // namespace winutil
