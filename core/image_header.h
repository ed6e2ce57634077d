// The first bytes of a kept image: a bitmap header or the start of a PNG.
//
// One rule decides which image bytes the history may hold: the capture
// keeps a clipboard bitmap only when it passes, and the backup import
// accepts exactly what passes, so whatever was captured comes back from
// a backup. The bitmap readers of the capture start from the same header
// reader, and the drawing reads the layout checked here. Only headers are
// examined, never pixels: the bytes are untrusted, every size is computed
// in 64 bits against the size of the whole block.
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

// Where the parts of a bitmap lie, as read from its header.
struct BitmapLayout {
    std::uint32_t header_size = 0;   // 12, 40, 52, 56, 64, 108 or 124
    std::int32_t width = 0;          // above 0
    std::int32_t height = 0;         // as stored: negative for top-down rows
    std::uint32_t rows = 0;          // |height|
    std::uint16_t bits = 0;          // 1, 4, 8, 16, 24 or 32
    std::uint32_t compression = 0;   // 0 (BI_RGB) or 3 (BI_BITFIELDS)
    std::uint32_t image_size = 0;    // the header's image size field, unchecked
    std::uint32_t masks[3] = {};     // red, green, blue (BI_BITFIELDS only)
    std::size_t table_offset = 0;    // first colour-table entry
    std::uint32_t table_entries = 0; // entries looked up (1, 4 and 8 bits only)
    std::uint32_t table_entry_bytes = 4;  // 3 after a 12-byte header
    std::size_t pixel_offset = 0;    // first pixel byte
    std::uint64_t stride = 0;        // bytes per row, a multiple of 4
    std::uint64_t pixel_bytes = 0;   // stride x rows, all inside the block
};

// Reads and checks the whole layout of a bitmap of total_size bytes from
// its first head_size bytes (52 are enough). False for a bitmap the program
// cannot draw: a header read_bitmap_header refuses, a compression other
// than BI_RGB and BI_BITFIELDS (the latter at 16 and 32 bits only, with
// three masks that are not 0; a 64-byte header only with BI_RGB), a
// 12-byte header of 16 or 32 bits, or a colour table and rows that do not
// fit in the block. The image size field is not judged: a bitmap whose
// rows are all there is drawn whatever it says.
//
// A 12-byte header has a table of 2 to the power of the depth entries of
// three bytes each (up to 8 bits per pixel).
// Masks follow a 40-byte header when the compression is BI_BITFIELDS and
// lie inside every larger header. Up to 8 bits per pixel the colour table
// has the colours-used count of entries (2 to the power of the depth when
// 0), at most 256 counted, as GDI counts them; above 8 bits a non-zero
// colours-used count is an optional table that the pixels follow.
bool read_bitmap_layout(const std::uint8_t* head, std::size_t head_size, std::uint64_t total_size,
                        BitmapLayout& out);

// Bytes the history may keep as an image: a PNG whose signature is
// followed by an IHDR chunk of a width and height both above 0 and at most
// kMaxPixelBytes of 32-bit pixels, or a bitmap read_bitmap_layout takes.
// At most kMaxPixelBytes + 65536 bytes in all (header, masks and colour
// table beside the pixels). head holds the first head_size of total_size
// bytes; kImageHeadBytes of them are enough to decide.
bool image_bytes_keepable(const std::uint8_t* head, std::size_t head_size, std::uint64_t total_size);
bool image_bytes_keepable(const std::vector<std::uint8_t>& bytes);

// How many of the first bytes image_bytes_keepable reads at most.
inline constexpr std::size_t kImageHeadBytes = 52;

}  // namespace winutil
