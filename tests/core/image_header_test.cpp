// The header rule of kept images: which bitmap headers are read, the fields
// taken from each, and the bounds on untrusted sizes.
#include "core/image_header.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    // Exactly 256 MiB of pixels is still kept (judged from its head and its
    // size: the masks, then every row).
    Bytes largest = info_header(40, 8192, 8192, 32);
    put32(largest, 32, 0);  // no optional colour table
    for (int i = 0; i < 3; ++i) put32(largest, 40 + 4 * i, 0xFFu << (8 * i));
    EXPECT_TRUE(winutil::image_bytes_keepable(largest.data(), largest.size(), 52 + winutil::kMaxPixelBytes));
    EXPECT_FALSE(winutil::image_bytes_keepable(largest.data(), largest.size(), 51 + winutil::kMaxPixelBytes));
}

TEST(KeptImageBytes, TotalSizeIsBounded) {
    Bytes b = info_header(40, 1, 1, 32);
    put32(b, 16, 0);  // BI_RGB
    EXPECT_TRUE(winutil::image_bytes_keepable(b.data(), b.size(), winutil::kMaxPixelBytes + 65536));
    EXPECT_FALSE(winutil::image_bytes_keepable(b.data(), b.size(), winutil::kMaxPixelBytes + 65537));
    EXPECT_FALSE(winutil::image_bytes_keepable(b.data(), b.size(), b.size() - 1)) << "more head than bytes";
    EXPECT_FALSE(winutil::image_bytes_keepable(nullptr, 0, 100));
}

namespace {

// A bitmap header of the 40-byte kind with room for its masks, a colour
// table and rows, all zero, then cut or padded to total bytes.
struct Crafted {
    std::uint32_t header = 40;
    std::int32_t width = 4;
    std::int32_t height = 4;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t image_size = 0;
    std::uint32_t colours_used = 0;
    bool masks = false;
    std::size_t total = 0;
};

Bytes crafted(const Crafted& c) {
    Bytes b(std::max<std::size_t>(c.total, std::max<std::size_t>(c.header, 52)), 0);
    put32(b, 0, c.header);
    put32(b, 4, static_cast<std::uint32_t>(c.width));
    put32(b, 8, static_cast<std::uint32_t>(c.height));
    put16(b, 12, 1);
    put16(b, 14, c.bits);
    put32(b, 16, c.compression);
    put32(b, 20, c.image_size);
    put32(b, 32, c.colours_used);
    if (c.masks) {
        put32(b, 40, 0x00FF0000);
        put32(b, 44, 0x0000FF00);
        put32(b, 48, 0x000000FF);
    }
    b.resize(c.total);
    return b;
}

}  // namespace

// The whole layout decides: the rows times the stride within the block,
// masks where the compression needs them, a colour table that fits, and a
// compression the program draws. The image size field alone refuses nothing.
TEST(KeptImageBytes, TheWholeLayoutMustFitTheBlock) {
    struct Case {
        const char* name;
        Crafted c;
        bool kept;
    };
    // 4 x 4 at 24 bits: rows of 12 bytes, 48 in all.
    const Case cases[] = {
        {"all rows there", {.total = 40 + 48}, true},
        {"one byte short of the last row", {.total = 40 + 47}, false},
        {"100 x 100000 over 100 rows", {.width = 100, .height = 100000, .total = 40 + 300 * 100}, false},
        {"8000 x 8000 over 64 bytes", {.width = 8000, .height = 8000, .bits = 32, .total = 40 + 64}, false},
        {"image size far too large", {.image_size = 0xFFFFFFF0u, .total = 40 + 48}, true},
        {"image size too small", {.image_size = 4, .total = 40 + 48}, true},
        {"rows beyond a wrong image size", {.image_size = 48, .total = 40 + 47}, false},
        {"bitfields with their masks", {.bits = 32, .compression = 3, .masks = true, .total = 52 + 64}, true},
        {"bitfields without masks", {.bits = 32, .compression = 3, .total = 40 + 64}, false},
        {"bitfields with masks of 0", {.bits = 32, .compression = 3, .total = 52 + 64}, false},
        {"bitfields at 24 bits", {.compression = 3, .masks = true, .total = 52 + 48}, false},
        {"bitfields at 16 bits", {.bits = 16, .compression = 3, .masks = true, .total = 52 + 32}, true},
        {"V5 header with masks inside", {.header = 124, .bits = 32, .compression = 3, .masks = true, .total = 124 + 64},
         true},
        {"JPEG over junk", {.compression = 4, .total = 40 + 48}, false},
        {"PNG over junk", {.compression = 5, .total = 40 + 48}, false},
        {"RLE8 over junk", {.bits = 8, .compression = 1, .total = 40 + 1024 + 16}, false},
        {"RLE4 over junk", {.bits = 4, .compression = 2, .total = 40 + 64 + 8}, false},
        {"alpha bitfields", {.bits = 32, .compression = 6, .masks = true, .total = 52 + 64}, false},
        {"8 bits, full table", {.bits = 8, .total = 40 + 1024 + 16}, true},
        {"8 bits, table cut", {.bits = 8, .total = 40 + 1020 + 16}, false},
        {"8 bits, 2 colours used", {.bits = 8, .colours_used = 2, .total = 40 + 8 + 16}, true},
        {"8 bits, 0xFFFFFFFF colours over 16 entries", {.bits = 8, .colours_used = 0xFFFFFFFFu, .total = 40 + 64 + 16},
         false},
        {"8 bits, 0xFFFFFFFF colours over 256 entries (counted as 256)",
         {.bits = 8, .colours_used = 0xFFFFFFFFu, .total = 40 + 1024 + 16}, true},
        {"24 bits, an optional table of 0xFFFFFFFF colours", {.colours_used = 0xFFFFFFFFu, .total = 40 + 4096}, false},
        {"24 bits, an optional table of 2 colours", {.colours_used = 2, .total = 40 + 8 + 48}, true},
        {"64-byte header", {.header = 64, .total = 64 + 48}, true},
        {"64-byte header with compression 3", {.header = 64, .compression = 3, .total = 64 + 48}, false},
    };
    for (const Case& c : cases) {
        const Bytes b = crafted(c.c);
        EXPECT_EQ(winutil::image_bytes_keepable(b), c.kept) << c.name;
        // The head alone with the size gives the same answer.
        const std::size_t head = std::min(b.size(), winutil::kImageHeadBytes);
        EXPECT_EQ(winutil::image_bytes_keepable(b.data(), head, b.size()), c.kept) << c.name;
        winutil::BitmapLayout l;
        EXPECT_EQ(winutil::read_bitmap_layout(b.data(), b.size(), b.size(), l), c.kept) << c.name;
        if (c.kept) {
            EXPECT_LE(l.pixel_offset + l.pixel_bytes, b.size()) << c.name;
            EXPECT_EQ(l.stride * l.rows, l.pixel_bytes) << c.name;
        }
    }
}

TEST(KeptImageBytes, CoreHeadersAreReadWithTheirThreeByteTable) {
    Bytes core = core_header(5, 3, 8);
    core.resize(12 + 3 * 256 + 8 * 3);
    winutil::BitmapLayout l;
    ASSERT_TRUE(winutil::read_bitmap_layout(core.data(), core.size(), core.size(), l));
    EXPECT_EQ(l.table_entry_bytes, 3u);
    EXPECT_EQ(l.table_entries, 256u);
    EXPECT_EQ(l.pixel_offset, 12u + 768u);
    core.pop_back();
    EXPECT_FALSE(winutil::image_bytes_keepable(core));
    Bytes deep = core_header(2, 2, 32);
    deep.resize(12 + 16);
    EXPECT_FALSE(winutil::image_bytes_keepable(deep)) << "a core header has no 32-bit form";
}
