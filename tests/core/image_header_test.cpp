// The header rule of kept images: which bitmap headers are read, the fields
// taken from each, and the bounds on untrusted sizes.
#include "core/image_header.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(Bytes& b, size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A header of the given size with the fields where the 40-byte header has
// them, followed by size_after bytes.
Bytes info_header(std::uint32_t size, std::int32_t w, std::int32_t h, std::uint16_t bits, size_t size_after = 16) {
    Bytes b(size + size_after, 0);
    put32(b, 0, size);
    put32(b, 4, static_cast<std::uint32_t>(w));
    put32(b, 8, static_cast<std::uint32_t>(h));
    put16(b, 12, 1);
    put16(b, 14, bits);
    put32(b, 16, 3);   // compression: passed on, not judged
    put32(b, 20, 99);  // image size
    put32(b, 32, 7);   // colours used
    return b;
}

Bytes core_header(std::uint16_t w, std::uint16_t h, std::uint16_t bits) {
    Bytes b(12 + 16, 0);
    put32(b, 0, 12);
    put16(b, 4, w);
    put16(b, 6, h);
    put16(b, 8, 1);
    put16(b, 10, bits);
    return b;
}

}  // namespace

TEST(BitmapHeader, CoreHeaderHasSixteenBitSidesAndNoCompression) {
    Bytes b = core_header(640, 480, 24);
    winutil::BitmapHeader h;
    ASSERT_TRUE(winutil::read_bitmap_header(b.data(), b.size(), b.size(), h));
    EXPECT_EQ(h.header_size, 12u);
    EXPECT_EQ(h.width, 640);
    EXPECT_EQ(h.height, 480);
    EXPECT_EQ(h.rows, 480u);
    EXPECT_EQ(h.bits, 24);
    EXPECT_EQ(h.compression, 0u);
    EXPECT_EQ(h.colours_used, 0u);
    // Only 12 bytes of such a header are needed.
    ASSERT_TRUE(winutil::read_bitmap_header(b.data(), 12, b.size(), h));
    EXPECT_FALSE(winutil::read_bitmap_header(b.data(), 11, b.size(), h));
}

TEST(BitmapHeader, LongerHeadersReadTheirFirstFields) {
    for (std::uint32_t size : {40u, 52u, 56u, 64u, 108u, 124u}) {
        SCOPED_TRACE(size);
        Bytes b = info_header(size, 3, -5, 8);
        winutil::BitmapHeader h;
        ASSERT_TRUE(winutil::read_bitmap_header(b.data(), b.size(), b.size(), h));
        EXPECT_EQ(h.header_size, size);
        EXPECT_EQ(h.width, 3);
        EXPECT_EQ(h.height, -5);
        EXPECT_EQ(h.rows, 5u);
        EXPECT_EQ(h.bits, 8);
        EXPECT_EQ(h.compression, 3u);
        EXPECT_EQ(h.image_size, 99u);
        EXPECT_EQ(h.colours_used, 7u);
        // The first 36 bytes decide; the header itself must lie in the total.
        EXPECT_TRUE(winutil::read_bitmap_header(b.data(), 36, b.size(), h));
        EXPECT_FALSE(winutil::read_bitmap_header(b.data(), 35, b.size(), h));
        EXPECT_TRUE(winutil::read_bitmap_header(b.data(), 36, size, h));
        EXPECT_FALSE(winutil::read_bitmap_header(b.data(), 36, size - 1, h));
    }
}

TEST(BitmapHeader, RefusedHeaders) {
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"header size 16", info_header(16, 1, 1, 24, 40)},
        {"header size 39", info_header(39, 1, 1, 24)},
        {"header size 41", info_header(41, 1, 1, 24)},
        {"header size 128", info_header(128, 1, 1, 24)},
        {"width 0", info_header(40, 0, 1, 24)},
        {"negative width", info_header(40, -2, 1, 24)},
        {"height 0", info_header(40, 1, 0, 24)},
        {"height INT_MIN", info_header(40, 1, INT_MIN, 24)},
        {"0 bits", info_header(40, 1, 1, 0)},
        {"2 bits", info_header(40, 1, 1, 2)},
        {"48 bits", info_header(40, 1, 1, 48)},
        {"more than 256 MiB of pixels", info_header(40, 8192, -8193, 1)},
        {"core header 0 wide", core_header(0, 1, 8)},
        {"core header 0 high", core_header(1, 0, 8)},
        {"core header 3 bits", core_header(1, 1, 3)},
        {"empty", {}},
    };
    for (const Case& c : cases) {
        winutil::BitmapHeader h;
        h.width = 77;
        EXPECT_FALSE(winutil::read_bitmap_header(c.bytes.data(), c.bytes.size(), c.bytes.size(), h)) << c.name;
        EXPECT_EQ(h.width, 0) << c.name << ": the output is cleared";
        EXPECT_FALSE(winutil::image_bytes_keepable(c.bytes)) << c.name;
    }
    // Exactly 256 MiB of pixels is still kept.
    Bytes largest = info_header(40, 8192, 8192, 32);
    EXPECT_TRUE(winutil::image_bytes_keepable(largest));
}

TEST(KeptImageBytes, TotalSizeIsBounded) {
    Bytes b = info_header(40, 1, 1, 32);
    EXPECT_TRUE(winutil::image_bytes_keepable(b.data(), b.size(), winutil::kMaxPixelBytes + 65536));
    EXPECT_FALSE(winutil::image_bytes_keepable(b.data(), b.size(), winutil::kMaxPixelBytes + 65537));
    EXPECT_FALSE(winutil::image_bytes_keepable(b.data(), b.size(), b.size() - 1)) << "more head than bytes";
    EXPECT_FALSE(winutil::image_bytes_keepable(nullptr, 0, 100));
}
