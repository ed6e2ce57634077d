// Header checks of kept images.
#include "core/image_header.h"

#include <climits>
#include <cstring>

namespace winutil {

namespace {

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint32_t be32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

bool listed_header_size(std::uint32_t size) {
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

bool known_depth(std::uint16_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool pixels_within_limit(std::uint64_t width, std::uint64_t rows) { return width * rows * 4 <= kMaxPixelBytes; }

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The signature, then the whole IHDR chunk: length 13, type, width, height ...
bool png_head_keepable(const std::uint8_t* p, std::size_t head_size) {
    if (head_size < 33 || be32(p + 8) != 13 || std::memcmp(p + 12, "IHDR", 4) != 0) return false;
    const std::uint64_t w = be32(p + 16);
    const std::uint64_t h = be32(p + 20);
    if (w == 0 || h == 0 || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) return false;
    return pixels_within_limit(w, h);
}

}  // namespace

bool read_bitmap_header(const std::uint8_t* p, std::size_t head_size, std::uint64_t total_size, BitmapHeader& out) {
    out = BitmapHeader{};
    if (!p || head_size < 12 || head_size > total_size) return false;
    BitmapHeader h;
    h.header_size = le32(p);
    if (!listed_header_size(h.header_size) || h.header_size > total_size) return false;
    if (h.header_size == 12) {
        // The core header: 16-bit sides (rows always bottom-up), planes, depth.
        h.width = le16(p + 4);
        h.height = le16(p + 6);
        h.bits = le16(p + 10);
    } else {
        if (head_size < 36) return false;
        h.width = static_cast<std::int32_t>(le32(p + 4));
        h.height = static_cast<std::int32_t>(le32(p + 8));
        h.bits = le16(p + 14);
        h.compression = le32(p + 16);
        h.image_size = le32(p + 20);
        h.colours_used = le32(p + 32);
    }
    if (h.width <= 0 || h.height == 0 || h.height == INT_MIN || !known_depth(h.bits)) return false;
    h.rows = static_cast<std::uint32_t>(h.height < 0 ? -static_cast<std::int64_t>(h.height) : h.height);
    if (!pixels_within_limit(static_cast<std::uint64_t>(h.width), h.rows)) return false;
    out = h;
    return true;
}

bool read_bitmap_layout(const std::uint8_t* head, std::size_t head_size, std::uint64_t total_size,
                        BitmapLayout& out) {
    out = BitmapLayout{};
    BitmapHeader h;
    if (!read_bitmap_header(head, head_size, total_size, h)) return false;
    BitmapLayout l;
    l.header_size = h.header_size;
    l.width = h.width;
    l.height = h.height;
    l.rows = h.rows;
    l.bits = h.bits;
    l.compression = h.compression;
    l.image_size = h.image_size;
    // JPEG, PNG and run-length compressed pixels are not drawn.
    if (l.compression != kBiRgb && l.compression != kBiBitfields) return false;
    if (l.compression == kBiBitfields && (l.bits != 16 && l.bits != 32)) return false;
    // The second-generation core header numbers its compressions otherwise.
    if (l.header_size == 64 && l.compression != kBiRgb) return false;
    if (l.header_size == 12) {
        if (l.bits == 16 || l.bits == 32) return false;
        l.table_entry_bytes = 3;
    }

    std::uint64_t offset = l.header_size;
    if (l.compression == kBiBitfields) {
        // Right after a 40-byte header, or at the same place inside a larger one.
        if (l.header_size == 40) offset += 12;
        if (head_size < 52 || total_size < 52) return false;
        for (int i = 0; i < 3; ++i) {
            l.masks[i] = le32(head + 40 + 4 * i);
            if (l.masks[i] == 0) return false;
        }
    }
    l.table_offset = static_cast<std::size_t>(offset);
    std::uint64_t table_bytes = 0;
    if (l.bits <= 8) {
        const std::uint32_t full = 1u << l.bits;
        l.table_entries = h.colours_used != 0 ? (h.colours_used > 256 ? 256 : h.colours_used) : full;
        table_bytes = static_cast<std::uint64_t>(l.table_entry_bytes) * l.table_entries;
    } else {
        table_bytes = 4ull * h.colours_used;  // an optional table the pixels follow
    }
    offset += table_bytes;

    l.stride = ((static_cast<std::uint64_t>(l.width) * l.bits + 31) / 32) * 4;
    l.pixel_bytes = l.stride * l.rows;
    if (offset > total_size || l.pixel_bytes > total_size - offset) return false;
    l.pixel_offset = static_cast<std::size_t>(offset);
    out = l;
    return true;
}

bool image_bytes_keepable(const std::uint8_t* head, std::size_t head_size, std::uint64_t total_size) {
    if (!head || total_size == 0 || head_size > total_size || total_size > kMaxPixelBytes + 65536) return false;
    if (head_size >= 8 && std::memcmp(head, kPngSignature, 8) == 0) return png_head_keepable(head, head_size);
    BitmapLayout layout;
    return read_bitmap_layout(head, head_size, total_size, layout);
}

bool image_bytes_keepable(const std::vector<std::uint8_t>& bytes) {
    return image_bytes_keepable(bytes.data(), bytes.size(), bytes.size());
}

}  // namespace winutil
