// PNG encoding and decoding, drawing bitmaps and the stored-image size rule.
#include "capture/image.h"

#include <gtest/gtest.h>

#include <random>

#include "capture/dib.h"
#include "core/handles.h"
#include "dib_builders.h"

using namespace capture_test;

namespace {

// The pixels of an HBITMAP as top-down BGRA, with its size.
Bytes bitmap_pixels(HBITMAP bmp, int& w, int& h) {
    BITMAP info{};
    GetObjectW(bmp, sizeof info, &info);
    w = info.bmWidth;
    h = info.bmHeight;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = w;
    header.biHeight = -h;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    Bytes px(static_cast<size_t>(w) * h * 4);
    raii::WindowDC screen(nullptr);
    GetDIBits(screen.get(), bmp, 0, h, px.data(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    return px;
}

Rgb bgra_at(const Bytes& px, int width, int x, int y) {
    const std::uint8_t* p = px.data() + (static_cast<size_t>(y) * width + x) * 4;
    return {p[2], p[1], p[0]};
}

Bytes noise_dib(std::int32_t w, std::int32_t h, unsigned seed) {
    Bytes dib = make_own_dib(w, h);
    std::mt19937 rng(seed);
    for (size_t i = 40; i < dib.size(); ++i) dib[i] = (i % 4 == 3) ? 255 : static_cast<std::uint8_t>(rng());
    return dib;
}

}  // namespace

TEST(Png, SignatureTest) {
    EXPECT_TRUE(is_png({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}));
    EXPECT_TRUE(is_png({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0}));
    EXPECT_FALSE(is_png({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A}));
    EXPECT_FALSE(is_png({0x88, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}));
    EXPECT_FALSE(is_png({}));
}

TEST(Png, RoundTripKeepsEveryPixelAndGivesTheOwnForm) {
    const DibShape specs[] = {{9, 5, 24}, {9, -5, 32}, {8, 3, 32, 40, true}, {11, 4, 8}, {17, -3, 1}};
    for (const DibShape& s : specs) {
        SCOPED_TRACE(testing::Message() << s.bits << " bits, height " << s.height);
        const Bytes dib = make_dib(s);
        Bytes png;
        ASSERT_TRUE(winutil::dib_to_png(dib, png));
        ASSERT_TRUE(is_png(png));
        Bytes back;
        ASSERT_TRUE(winutil::png_to_dib(png, back));
        winutil::DibLayout l;
        ASSERT_TRUE(winutil::read_dib_layout(back, l));
        EXPECT_EQ(l.header_size, 40u);
        EXPECT_EQ(l.bits, 32);
        EXPECT_EQ(l.compression, static_cast<std::uint32_t>(BI_RGB));
        EXPECT_EQ(l.width, s.width);
        EXPECT_EQ(l.height, s.height < 0 ? -s.height : s.height);  // bottom-up
        EXPECT_EQ(l.image_size, l.pixel_bytes);
        ASSERT_EQ(back.size(), 40 + l.pixel_bytes);
        const std::uint32_t table = s.bits <= 8 ? (1u << s.bits) : 0;
        for (std::uint32_t y = 0; y < l.rows; ++y)
            for (std::uint32_t x = 0; x < static_cast<std::uint32_t>(s.width); ++x) {
                const Rgb want = s.bits <= 8 ? palette_pattern(x, y, table) : pattern(x, y);
                ASSERT_EQ(pixel_of(back, x, y), want);
                ASSERT_EQ(back[40 + (l.rows - 1 - y) * l.stride + 4 * x + 3], 255);
            }
    }
}

TEST(Png, TopDownAndBottomUpGiveTheSamePng) {
    Bytes a, b;
    ASSERT_TRUE(winutil::dib_to_png(make_dib({10, 6, 24}), a));
    ASSERT_TRUE(winutil::dib_to_png(make_dib({10, -6, 24}), b));
    EXPECT_EQ(a, b);
    Bytes c;
    ASSERT_TRUE(winutil::dib_to_png(make_dib({10, -6, 32, 40, false, {}, 99}), c));
    EXPECT_EQ(a, c);  // the fourth byte is not kept
}

TEST(Png, TransparencyIsNotKept) {
    const std::uint32_t w = 4, h = 3;
    Bytes px(w * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) px[i] = 200, px[i + 1] = 100, px[i + 2] = 50, px[i + 3] = 0;
    px[3] = 128;
    Bytes png;
    ASSERT_TRUE(winutil::encode_bgra_png(px.data(), w, h, png));
    Bytes dib;
    ASSERT_TRUE(winutil::png_to_dib(png, dib));
    ASSERT_EQ(dib.size(), 40 + w * h * 4);
    for (size_t i = 40 + 3; i < dib.size(); i += 4) EXPECT_EQ(dib[i], 255);
}

TEST(Png, BadInputsFailCleanly) {
    Bytes out{1};
    EXPECT_FALSE(winutil::dib_to_png({}, out));
    EXPECT_TRUE(out.empty());
    DibShape sixteen;
    sixteen.bits = 16;
    EXPECT_FALSE(winutil::dib_to_png(make_dib(sixteen), out));
    out = {1};
    EXPECT_FALSE(winutil::png_to_dib(make_own_dib(2, 2), out));  // not a PNG
    EXPECT_TRUE(out.empty());
    Bytes png;
    ASSERT_TRUE(winutil::dib_to_png(make_own_dib(3, 3), png));
    png.resize(png.size() / 2);
    EXPECT_FALSE(winutil::png_to_dib(png, out));
    EXPECT_TRUE(out.empty());
}

TEST(Png, HugePngDimensionsAreRefused) {
    // A valid 1x1 PNG whose header is then made to claim 20000 x 20000
    // pixels (1.6 GB): refused, not allocated.
    Bytes png;
    ASSERT_TRUE(winutil::dib_to_png(make_own_dib(1, 1), png));
    ASSERT_GT(png.size(), 33u);
    auto put_be = [&](size_t at, std::uint32_t v) {
        png[at] = static_cast<std::uint8_t>(v >> 24);
        png[at + 1] = static_cast<std::uint8_t>(v >> 16);
        png[at + 2] = static_cast<std::uint8_t>(v >> 8);
        png[at + 3] = static_cast<std::uint8_t>(v);
    };
    put_be(16, 20000);
    put_be(20, 20000);
    // Fix the header chunk's CRC so the decoder reads the sizes.
    std::uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 12; i < 29; ++i) {
        crc ^= png[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    put_be(29, ~crc);
    Bytes out;
    EXPECT_FALSE(winutil::png_to_dib(png, out));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(winutil::image_thumbnail(png, 42, 42, false), nullptr);
}

TEST(StoredImage, TwoMebibyteRule) {
    // Exactly at the limit: kept as it is.
    Bytes at_limit = make_own_dib(724, 724);
    at_limit.resize(kStoredImageLimit, 0);
    Bytes out;
    ASSERT_TRUE(winutil::prepare_image_for_storage(at_limit, kStoredImageLimit, out));
    EXPECT_EQ(out, at_limit);

    // One byte more: stored as its PNG, which is small for a smooth image.
    Bytes over = at_limit;
    over.push_back(0);
    ASSERT_TRUE(winutil::prepare_image_for_storage(over, kStoredImageLimit, out));
    EXPECT_TRUE(is_png(out));
    EXPECT_LE(out.size(), kStoredImageLimit);
    Bytes back;
    ASSERT_TRUE(winutil::png_to_dib(out, back));
    EXPECT_EQ(pixel_of(back, 100, 200), pattern(100, 200));

    // Noise does not compress below the limit: nothing is kept.
    const Bytes noise = noise_dib(1024, 1024, 7);
    EXPECT_FALSE(winutil::prepare_image_for_storage(noise, kStoredImageLimit, out));
    EXPECT_TRUE(out.empty());

    // A PNG over the limit is not re-encoded.
    Bytes big_png;
    ASSERT_TRUE(winutil::dib_to_png(noise, big_png));
    ASSERT_GT(big_png.size(), kStoredImageLimit);
    EXPECT_FALSE(winutil::prepare_image_for_storage(big_png, kStoredImageLimit, out));

    // 16 bits: kept under the limit, nothing over it.
    DibShape s;
    s.width = 100;
    s.height = 100;
    s.bits = 16;
    const Bytes small16 = make_dib(s);
    ASSERT_TRUE(winutil::prepare_image_for_storage(small16, kStoredImageLimit, out));
    EXPECT_EQ(out, small16);
    s.width = 1100;
    s.height = 1000;
    const Bytes big16 = make_dib(s);
    ASSERT_GT(big16.size(), kStoredImageLimit);
    EXPECT_FALSE(winutil::prepare_image_for_storage(big16, kStoredImageLimit, out));

    EXPECT_FALSE(winutil::prepare_image_for_storage({}, kStoredImageLimit, out));
}

TEST(StoredImage, EncodingStopsOnceThePngPassesTheLimit) {
    // Noise of 16 MB: its PNG is as large, so the encoder is stopped long
    // before the last row.
    const Bytes noise = noise_dib(2000, 2000, 11);
    Bytes out;
    std::uint32_t rows = 0;
    EXPECT_FALSE(winutil::dib_to_png_within(noise, kStoredImageLimit, out, &rows));
    EXPECT_TRUE(out.empty());
    EXPECT_GT(rows, 0u);
    EXPECT_LT(rows, 2000u / 2) << "the encoder went on after its output passed the limit";

    // Within the limit the output is the whole PNG, the same as without one.
    const Bytes smooth = make_own_dib(900, 700);
    Bytes whole;
    ASSERT_TRUE(winutil::dib_to_png(smooth, whole));
    ASSERT_TRUE(winutil::dib_to_png_within(smooth, kStoredImageLimit, out, &rows));
    EXPECT_EQ(out, whole);
    EXPECT_EQ(rows, 700u);
    // A limit one byte below the PNG's size refuses it; its exact size takes it.
    EXPECT_FALSE(winutil::dib_to_png_within(smooth, whole.size() - 1, out));
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(winutil::dib_to_png_within(smooth, whole.size(), out));
    EXPECT_EQ(out, whole);
}

TEST(DrawBitmap, ScaledSizes) {
    struct Case {
        int w, h, mw, mh;
        bool always;
        LONG ew, eh;
    };
    const Case cases[] = {
        {100, 50, 400, 400, false, 100, 50},  {1000, 500, 400, 400, false, 400, 200},
        {100, 50, 400, 400, true, 400, 200},  {79, 79, 42, 42, false, 42, 42},
        {500, 1000, 400, 400, false, 200, 400}, {5000, 1, 42, 42, false, 42, 1},
        {10, 10, 0, 40, true, 10, 10},        {640, 480, 340, 200, true, 266, 200},
    };
    for (const Case& c : cases) {
        const SIZE s = winutil::scaled_image_size(c.w, c.h, c.mw, c.mh, c.always);
        EXPECT_EQ(s.cx, c.ew) << c.w << "x" << c.h;
        EXPECT_EQ(s.cy, c.eh) << c.w << "x" << c.h;
    }
}

TEST(DrawBitmap, OwnSizeKeepsPixelsAndIsOpaque) {
    const DibShape specs[] = {{9, 7, 24}, {9, -7, 32}, {6, 5, 32, 40, true}, {3, -4, 32, 124, true}, {12, 3, 8}};
    for (const DibShape& s : specs) {
        SCOPED_TRACE(testing::Message() << s.bits << " bits, header " << s.header_size);
        raii::Bitmap bmp(winutil::dib_to_bitmap(make_dib(s), 100, 100, false));
        ASSERT_TRUE(bmp);
        int w = 0, h = 0;
        const Bytes px = bitmap_pixels(bmp.get(), w, h);
        EXPECT_EQ(w, s.width);
        EXPECT_EQ(h, s.height < 0 ? -s.height : s.height);
        const std::uint32_t table = s.bits <= 8 ? 256 : 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Rgb want = s.bits <= 8 ? palette_pattern(x, y, table) : pattern(x, y);
                ASSERT_EQ(bgra_at(px, w, x, y), want) << x << "," << y;
                ASSERT_EQ(px[(static_cast<size_t>(y) * w + x) * 4 + 3], 255);
            }
    }
}

TEST(DrawBitmap, ScalesDownAndThumbnailsReadPng) {
    DibShape s;
    s.width = 200;
    s.height = 100;
    s.bits = 24;
    Bytes dib = make_dib(s);
    // A solid colour survives halftone scaling unchanged.
    for (size_t i = 40; i < dib.size(); i += 3) dib[i] = 10, dib[i + 1] = 120, dib[i + 2] = 230;
    raii::Bitmap bmp(winutil::dib_to_bitmap(dib, 42, 42, false));
    ASSERT_TRUE(bmp);
    int w = 0, h = 0;
    Bytes px = bitmap_pixels(bmp.get(), w, h);
    EXPECT_EQ(w, 42);
    EXPECT_EQ(h, 21);
    EXPECT_EQ(bgra_at(px, w, 20, 10), (Rgb{230, 120, 10}));

    Bytes png;
    ASSERT_TRUE(winutil::dib_to_png(dib, png));
    raii::Bitmap thumb(winutil::image_thumbnail(png, 340, 200, true));
    ASSERT_TRUE(thumb);
    px = bitmap_pixels(thumb.get(), w, h);
    EXPECT_EQ(w, 340);
    EXPECT_EQ(h, 170);
    EXPECT_EQ(bgra_at(px, w, 100, 100), (Rgb{230, 120, 10}));

    raii::Bitmap same(winutil::image_thumbnail(dib, 42, 42, false));
    EXPECT_TRUE(same);
}

TEST(DrawBitmap, UnreadableBitmapsGiveNull) {
    Bytes dib = make_dib({5, 3, 24});
    EXPECT_EQ(winutil::dib_to_bitmap({}, 10, 10, false), nullptr);
    Bytes cut(dib.begin(), dib.end() - 1);
    EXPECT_EQ(winutil::dib_to_bitmap(cut, 10, 10, false), nullptr);
    Bytes bad_png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 1, 2, 3};
    EXPECT_EQ(winutil::image_thumbnail(bad_png, 10, 10, false), nullptr);
}

TEST(DrawBitmap, AWrongImageSizeFieldDoesNotHideRowsThatAreThere) {
    Bytes dib = make_dib({5, 3, 24});
    // Image size fields larger than the buffer holds and smaller than the
    // rows need are both ignored: every row is there.
    for (std::uint32_t claim : {static_cast<std::uint32_t>(dib.size()), 0xFFFFFFF0u, 4u}) {
        Bytes claims = dib;
        put32(claims, 20, claim);
        raii::Bitmap drawn(winutil::dib_to_bitmap(claims, 10, 10, false));
        ASSERT_TRUE(drawn) << claim;
        int w = 0, h = 0;
        const Bytes px = bitmap_pixels(drawn.get(), w, h);
        ASSERT_EQ(w, 5);
        ASSERT_EQ(h, 3);
        EXPECT_EQ(bgra_at(px, w, 4, 2), pattern(4, 2)) << claim;
    }
}

// The 12-byte core header and the 64-byte second-generation header are
// drawn as the 40-byte header they amount to.
TEST(DrawBitmap, CoreHeadersAreDrawnWithTheirPixels) {
    DibShape os2;
    os2.header_size = 64;
    struct Case {
        const char* name;
        Bytes dib;
        bool paletted;
    } cases[] = {
        {"12-byte header, 24 bits", make_core_dib(5, 3, 24), false},
        {"12-byte header, 8 bits", make_core_dib(5, 3, 8), true},
        {"64-byte header, 24 bits", make_dib(os2), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        raii::Bitmap drawn(winutil::image_thumbnail(c.dib, 10, 10, false));
        ASSERT_TRUE(drawn);
        int w = 0, h = 0;
        const Bytes px = bitmap_pixels(drawn.get(), w, h);
        ASSERT_EQ(w, 5);
        ASSERT_EQ(h, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(bgra_at(px, w, x, y), c.paletted ? palette_pattern(x, y, 256) : pattern(x, y))
                    << x << "," << y;
    }
}

TEST(DrawBitmap, SixteenBitsAreDrawnThoughNotEncoded) {
    DibShape s;
    s.width = 4;
    s.height = 2;
    s.bits = 16;
    Bytes dib = make_dib(s);
    for (size_t i = 40; i < dib.size(); i += 2) dib[i] = 0x00, dib[i + 1] = 0x7C;  // 5-5-5 red
    raii::Bitmap bmp(winutil::dib_to_bitmap(dib, 10, 10, false));
    ASSERT_TRUE(bmp);
    int w = 0, h = 0;
    const Bytes px = bitmap_pixels(bmp.get(), w, h);
    EXPECT_GE(bgra_at(px, w, 1, 1).r, 240);
    EXPECT_EQ(bgra_at(px, w, 1, 1).g, 0);
}
