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

bool image_bytes_keepable(const std::uint8_t* head, std::size_t head_size, std::uint64_t total_size) {
    if (!head || total_size == 0 || head_size > total_size || total_size > kMaxPixelBytes + 65536) return false;
    if (head_size >= 8 && std::memcmp(head, kPngSignature, 8) == 0) return png_head_keepable(head, head_size);
    BitmapHeader header;
    return read_bitmap_header(head, head_size, total_size, header);
}

bool image_bytes_keepable(const std::vector<std::uint8_t>& bytes) {
    return image_bytes_keepable(bytes.data(), bytes.size(), bytes.size());
}

}  // namespace winutil
