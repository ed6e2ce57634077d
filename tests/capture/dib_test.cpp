// Reading untrusted bitmaps: layouts, refusals and pixel conversion.
#include "capture/dib.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <random>

#include "dib_builders.h"

using namespace capture_test;

namespace {

Rgb bgra_at(const Bytes& px, std::uint32_t width, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = px.data() + (static_cast<size_t>(y) * width + x) * 4;
    return {p[2], p[1], p[0]};
}

bool all_opaque(const Bytes& px) {
    for (size_t i = 3; i < px.size(); i += 4)
        if (px[i] != 255) return false;
    return true;
}

struct ValidCase {
    const char* name;
    DibShape shape;
};

}  // namespace

TEST(DibConversion, EveryReadDepthAndRowOrderGivesThePattern) {
    const ValidCase cases[] = {
        {"24 bottom-up", {5, 3, 24}},
        {"24 top-down", {5, -3, 24}},
        {"32 bottom-up, fourth byte ignored", {7, 4, 32, 40, false, {}, 17}},
        {"32 top-down", {7, -4, 32}},
        {"32 bitfields after a 40-byte header", {6, 5, 32, 40, true}},
        {"32 bitfields top-down", {6, -5, 32, 40, true}},
        {"32 bitfields in a V4 header", {3, 2, 32, 108, true}},
        {"32 bitfields in a V5 header", {3, -2, 32, 124, true}},
        {"32 bitfields, other byte order", {4, 4, 32, 40, true, {0x000000FF, 0x0000FF00, 0x00FF0000}}},
        {"32 plain in a V5 header", {3, 3, 32, 124}},
        {"24 with an optional colour table", {5, 3, 24, 40, false, {}, 0, 3}},
        {"24 in a V4 header", {9, 2, 24, 108}},
    };
    for (const ValidCase& c : cases) {
        SCOPED_TRACE(c.name);
        const DibShape& s = c.shape;
        const Bytes dib = make_dib(s);
        Bytes px;
        std::uint32_t w = 0, h = 0;
        ASSERT_TRUE(winutil::dib_to_bgra(dib, px, w, h));
        ASSERT_EQ(w, static_cast<std::uint32_t>(s.width));
        ASSERT_EQ(h, static_cast<std::uint32_t>(s.height < 0 ? -s.height : s.height));
        ASSERT_EQ(px.size(), static_cast<size_t>(w) * h * 4);
        EXPECT_TRUE(all_opaque(px));
        for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w; ++x) ASSERT_EQ(bgra_at(px, w, x, y), pattern(x, y)) << x << "," << y;
    }
}

TEST(DibConversion, PalettedBitmapsLookUpTheirTable) {
    struct Case {
        std::uint16_t bits;
        std::uint32_t colours_used;
        std::int32_t height;
    };
    const Case cases[] = {{1, 0, 3}, {4, 0, 4}, {4, 5, -4}, {8, 0, 2}, {8, 7, -3}, {1, 2, -9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.colours_used << " colours, height " << c.height);
        DibShape s;
        s.width = 13;
        s.height = c.height;
        s.bits = c.bits;
        s.colours_used = c.colours_used;
        const std::uint32_t table = c.colours_used ? c.colours_used : (1u << c.bits);
        const Bytes dib = make_dib(s);
        Bytes px;
        std::uint32_t w = 0, h = 0;
        ASSERT_TRUE(winutil::dib_to_bgra(dib, px, w, h));
        for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w; ++x) ASSERT_EQ(bgra_at(px, w, x, y), palette_pattern(x, y, table));
        EXPECT_TRUE(all_opaque(px));
    }
}

TEST(DibConversion, IndexBeyondTheTableIsBlack) {
    DibShape s;
    s.width = 4;
    s.height = 1;
    s.bits = 8;
    s.colours_used = 2;
    Bytes dib = make_dib(s);
    const size_t pixels = 40 + 2 * 4;
    dib[pixels + 0] = 1;
    dib[pixels + 1] = 2;  // beyond the two entries
    dib[pixels + 2] = 255;
    Bytes px;
    std::uint32_t w = 0, h = 0;
    ASSERT_TRUE(winutil::dib_to_bgra(dib, px, w, h));
    EXPECT_EQ(bgra_at(px, w, 0, 0), pattern(1, 1000));
    EXPECT_EQ(bgra_at(px, w, 1, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(bgra_at(px, w, 2, 0), (Rgb{0, 0, 0}));
    EXPECT_TRUE(all_opaque(px));
}

TEST(DibLayout, ColourTableCountedUpTo256Entries) {
    DibShape s;
    s.width = 2;
    s.height = 2;
    s.bits = 8;
    Bytes dib = make_dib(s);  // 256 entries
    put32(dib, 32, 100000);   // claims far more colours than an 8-bit table holds
    winutil::DibLayout l;
    ASSERT_TRUE(winutil::read_dib_layout(dib, l));
    EXPECT_EQ(l.table_entries, 256u);
    EXPECT_EQ(l.pixel_offset, 40u + 1024u);
}

TEST(DibLayout, MalformedHeadersAreRefused) {
    struct Case {
        const char* name;
        std::function<void(Bytes&)> spoil;
    };
    const Case cases[] = {
        {"header size 0", [](Bytes& b) { put32(b, 0, 0); }},
        {"core header size 12", [](Bytes& b) { put32(b, 0, 12); }},
        {"header size 39", [](Bytes& b) { put32(b, 0, 39); }},
        {"header size 41", [](Bytes& b) { put32(b, 0, 41); }},
        {"OS/2 header size 64", [](Bytes& b) { put32(b, 0, 64); }},
        {"header size beyond the buffer", [](Bytes& b) { put32(b, 0, 124); b.resize(100); }},
        {"header size 0xFFFFFFFF", [](Bytes& b) { put32(b, 0, 0xFFFFFFFFu); }},
        {"width 0", [](Bytes& b) { put32(b, 4, 0); }},
        {"negative width", [](Bytes& b) { put32(b, 4, static_cast<std::uint32_t>(-5)); }},
        {"height 0", [](Bytes& b) { put32(b, 8, 0); }},
        {"height INT_MIN", [](Bytes& b) { put32(b, 8, static_cast<std::uint32_t>(INT_MIN)); }},
        {"0 bits", [](Bytes& b) { b[14] = 0; }},
        {"2 bits", [](Bytes& b) { b[14] = 2; }},
        {"64 bits", [](Bytes& b) { b[14] = 64; }},
        {"RLE8", [](Bytes& b) { put32(b, 16, BI_RLE8); }},
        {"RLE4", [](Bytes& b) { put32(b, 16, BI_RLE4); }},
        {"JPEG", [](Bytes& b) { put32(b, 16, BI_JPEG); }},
        {"PNG", [](Bytes& b) { put32(b, 16, BI_PNG); }},
        {"bitfields at 24 bits", [](Bytes& b) { put32(b, 16, BI_BITFIELDS); }},
        {"alpha bitfields", [](Bytes& b) { put32(b, 16, 6); }},
        {"one byte short", [](Bytes& b) { b.pop_back(); }},
        {"only the header", [](Bytes& b) { b.resize(40); }},
        {"39 bytes", [](Bytes& b) { b.resize(39); }},
        {"empty", [](Bytes& b) { b.clear(); }},
        {"width x height overflowing 32 bits", [](Bytes& b) {
             put32(b, 4, 0x10000);
             put32(b, 8, 0x10001);
         }},
        {"stride x height overflowing 32 bits", [](Bytes& b) {
             put32(b, 4, 0x7FFFFFFF);
             put32(b, 8, 0x7FFFFFFF);
         }},
        {"more than 256 MiB of pixels", [](Bytes& b) {
             put32(b, 4, 16384);
             put32(b, 8, static_cast<std::uint32_t>(-4097));
         }},
        {"optional table beyond the buffer", [](Bytes& b) { put32(b, 32, 0x40000000); }},
        {"optional table overflowing 32 bits", [](Bytes& b) { put32(b, 32, 0xFFFFFFFFu); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes dib = make_dib({5, 3, 24});
        c.spoil(dib);
        winutil::DibLayout l;
        EXPECT_FALSE(winutil::read_dib_layout(dib, l));
        Bytes px{1, 2, 3};
        std::uint32_t w = 9, h = 9;
        EXPECT_FALSE(winutil::dib_to_bgra(dib, px, w, h));
        EXPECT_TRUE(px.empty());
        EXPECT_EQ(w, 0u);
        EXPECT_EQ(h, 0u);
    }
}

TEST(DibLayout, BitfieldsMasksMustFitTheBuffer) {
    DibShape s;
    s.width = 1;
    s.height = 1;
    s.bits = 32;
    s.bitfields = true;
    Bytes dib = make_dib(s);
    ASSERT_EQ(dib.size(), 56u);
    winutil::DibLayout l;
    ASSERT_TRUE(winutil::read_dib_layout(dib, l));
    EXPECT_EQ(l.pixel_offset, 52u);
    dib.resize(48);  // the masks are cut
    EXPECT_FALSE(winutil::read_dib_layout(dib, l));
}

TEST(DibConversion, SixteenBitsAndOddMasksAreNotConverted) {
    DibShape sixteen;
    sixteen.width = 4;
    sixteen.height = 2;
    sixteen.bits = 16;
    const Bytes dib16 = make_dib(sixteen);
    winutil::DibLayout l;
    EXPECT_TRUE(winutil::read_dib_layout(dib16, l));  // readable, for drawing
    Bytes px;
    std::uint32_t w = 0, h = 0;
    EXPECT_FALSE(winutil::dib_to_bgra(dib16, px, w, h));

    DibShape odd;
    odd.width = 2;
    odd.height = 2;
    odd.bits = 32;
    odd.bitfields = true;
    const std::uint32_t bad_masks[][3] = {
        {0x00FFF000, 0x00000F00, 0x000000FF},  // twelve and four bits
        {0, 0x0000FF00, 0x000000FF},           // no red
        {0x00FF00FF, 0x0000FF00, 0x000000FF},  // not contiguous
    };
    for (const auto& m : bad_masks) {
        std::copy(m, m + 3, odd.masks);
        Bytes dib = make_dib(odd);
        EXPECT_FALSE(winutil::dib_to_bgra(dib, px, w, h));
    }
}

TEST(DibConversion, OwnFormRoundTrip) {
    const std::uint32_t w = 6, h = 4;
    Bytes top_down(static_cast<size_t>(w) * h * 4);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            const Rgb c = pattern(x, y);
            std::uint8_t* p = top_down.data() + (y * w + x) * 4;
            p[0] = c.b, p[1] = c.g, p[2] = c.r, p[3] = 7;
        }
    const Bytes dib = winutil::bottom_up_dib_from_bgra(top_down.data(), w, h);
    ASSERT_EQ(dib.size(), 40u + w * h * 4);
    winutil::DibLayout l;
    ASSERT_TRUE(winutil::read_dib_layout(dib, l));
    EXPECT_EQ(l.height, static_cast<std::int32_t>(h));  // bottom-up
    EXPECT_EQ(l.bits, 32);
    EXPECT_EQ(l.image_size, w * h * 4);
    Bytes px;
    std::uint32_t ow = 0, oh = 0;
    ASSERT_TRUE(winutil::dib_to_bgra(dib, px, ow, oh));
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) EXPECT_EQ(bgra_at(px, w, x, y), pattern(x, y));
    for (size_t i = 40 + 3; i < dib.size(); i += 4) EXPECT_EQ(dib[i], 255);
    EXPECT_TRUE(winutil::bottom_up_dib_from_bgra(top_down.data(), 0, h).empty());
    EXPECT_TRUE(winutil::bottom_up_dib_from_bgra(top_down.data(), 16384, 4097).empty());
}

// Every prefix and thousands of random mutations of valid bitmaps: each is
// either refused or converted to exactly width x rows pixels, never read
// out of bounds (the pixel reads are checked against the layout here).
TEST(DibFuzz, MutatedBitmapsAreRefusedOrReadWithinBounds) {
    const DibShape seeds[] = {
        {5, 3, 24}, {7, -4, 32}, {6, 5, 32, 40, true}, {3, -2, 32, 124, true}, {13, 3, 1}, {13, -4, 4}, {9, 2, 8},
        {4, 4, 16},
    };
    std::mt19937 rng(20240611u);
    int accepted = 0, refused = 0;
    for (const DibShape& seed : seeds) {
        const Bytes base = make_dib(seed);
        for (size_t n = 0; n <= base.size(); ++n) {
            Bytes cut(base.begin(), base.begin() + static_cast<std::ptrdiff_t>(n));
            winutil::DibLayout l;
            if (winutil::read_dib_layout(cut, l)) {
                ASSERT_LE(l.pixel_offset + l.pixel_bytes, cut.size());
            }
        }
        for (int round = 0; round < 600; ++round) {
            Bytes b = base;
            const int edits = 1 + static_cast<int>(rng() % 4);
            for (int e = 0; e < edits; ++e) {
                switch (rng() % 5) {
                    case 0:  // one header byte
                        b[rng() % std::min<size_t>(b.size(), 56)] = static_cast<std::uint8_t>(rng());
                        break;
                    case 1:  // a whole header field
                        put32(b, 4 * (rng() % 10), rng());
                        break;
                    case 2:  // an extreme value
                        put32(b, 4 * (rng() % 10), (rng() & 1) ? 0x80000000u : 0xFFFFFFFFu);
                        break;
                    case 3:  // shorter
                        b.resize(rng() % (b.size() + 1));
                        break;
                    default:  // any byte
                        if (!b.empty()) b[rng() % b.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                }
                if (b.size() < 4) break;
            }
            winutil::DibLayout l;
            const bool ok = winutil::read_dib_layout(b, l);
            if (ok) {
                ASSERT_GT(l.width, 0);
                ASSERT_GT(l.rows, 0u);
                ASSERT_LE(l.pixel_offset + l.pixel_bytes, b.size());
                ASSERT_LE(static_cast<std::uint64_t>(l.width) * l.rows * 4, winutil::kMaxPixelBytes);
            }
            Bytes px;
            std::uint32_t w = 0, h = 0;
            if (winutil::dib_to_bgra(b, px, w, h)) {
                ASSERT_TRUE(ok);
                ASSERT_EQ(px.size(), static_cast<size_t>(w) * h * 4);
                ++accepted;
            } else {
                ASSERT_TRUE(px.empty());
                ++refused;
            }
        }
    }
    // Both outcomes must have been exercised for the run to mean anything.
    EXPECT_GT(accepted, 100);
    EXPECT_GT(refused, 100);
}
