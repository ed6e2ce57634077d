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

// Where the parts of a bitmap lie (core/image_header.h).
using DibLayout = BitmapLayout;

// read_bitmap_layout over a whole block: the one rule of what is kept as
// an image is also what is drawn.
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
