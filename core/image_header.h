// The first bytes of a kept image: a bitmap header or the start of a PNG.
//
// One rule decides which image bytes the history may hold: the capture
// keeps a clipboard bitmap only when it passes, and the backup import
// accepts exactly what passes, so whatever was captured comes back from
// a backup. The bitmap readers of the capture start from the same header
// reader. Only headers are examined here, never pixels: the bytes are
// untrusted, every size is computed in 64 bits, and readers of pixels do
// their own bounds checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace winutil {

// Largest image the program keeps or builds: width x height x 4 bytes
// above this are refused.
inline constexpr std::uint64_t kMaxPixelBytes = 256ull * 1024 * 1024;

// The fields of a bitmap header that the program reads.
struct BitmapHeader {
    // 12 (core header), 40 (info header), 52 and 56 (with masks inside),
    // 64 (the 64-byte second-generation core header), 108 (V4) or 124 (V5).
    std::uint32_t header_size = 0;
    std::int32_t width = 0;          // above 0
    std::int32_t height = 0;         // as stored: negative for top-down rows
    std::uint32_t rows = 0;          // |height|
    std::uint16_t bits = 0;          // 1, 4, 8, 16, 24 or 32
    std::uint32_t compression = 0;   // 0 for a 12-byte header
    std::uint32_t image_size = 0;    // the image size field, unchecked (0 for 12)
    std::uint32_t colours_used = 0;  // 0 for a 12-byte header
};

// Reads the header from head (the first head_size of total_size bytes).
// False when it cannot be one of the headers above: too few bytes for its
// fields, a header size not listed or larger than total_size, a width not
// above 0, a height of 0 or INT_MIN, another bit depth, or more than
// kMaxPixelBytes of pixels once converted to 32 bits.
bool read_bitmap_header(const std::uint8_t* head, std::size_t head_size, std::uint64_t total_size,
                        BitmapHeader& out);

// Bytes the history may keep as an image: a PNG whose signature is
// followed by an IHDR chunk of a width and height both above 0 and at most
// kMaxPixelBytes of 32-bit pixels, or a bitmap read_bitmap_header takes.
// At most kMaxPixelBytes + 65536 bytes in all (header, masks and colour
// table beside the pixels). head holds the first head_size of total_size
// bytes; kImageHeadBytes of them are enough to decide.
bool image_bytes_keepable(const std::uint8_t* head, std::size_t head_size, std::uint64_t total_size);
bool image_bytes_keepable(const std::vector<std::uint8_t>& bytes);

// How many of the first bytes image_bytes_keepable reads at most.
inline constexpr std::size_t kImageHeadBytes = 40;

}  // namespace winutil
