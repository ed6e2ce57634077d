// Randomly damaged bitmaps and PNGs, with a fixed seed: the decoders and the
// drawing code refuse them or read them within bounds, and never crash.
#include <gtest/gtest.h>

#include <random>

#include "capture/dib.h"
#include "capture/image.h"
#include "core/handles.h"
#include "dib_builders.h"

using namespace capture_test;

namespace {

void mutate(Bytes& b, std::mt19937& rng, size_t header_span) {
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !b.empty(); ++e) {
        switch (rng() % 5) {
            case 0: b[rng() % std::min(b.size(), header_span)] = static_cast<std::uint8_t>(rng()); break;
            case 1: b[rng() % b.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8)); break;
            case 2: b.resize(rng() % (b.size() + 1)); break;
            case 3: {
                const size_t at = rng() % b.size();
                for (size_t k = at; k < std::min(b.size(), at + 4); ++k) b[k] = (rng() & 1) ? 0xFF : 0x00;
                break;
            }
            default: b.insert(b.begin() + static_cast<std::ptrdiff_t>(rng() % b.size()), static_cast<std::uint8_t>(rng()));
        }
    }
}

}  // namespace

TEST(ImageFuzz, DamagedBitmapsThroughEncoderAndDrawing) {
    const DibShape seeds[] = {{12, 9, 24}, {10, -8, 32}, {7, 6, 32, 40, true}, {9, 4, 8}, {15, -3, 4}, {6, 6, 16},
                             {5, 5, 32, 124, true}};
    std::mt19937 rng(7301u);
    int encoded = 0, drawn = 0;
    for (const DibShape& seed : seeds) {
        const Bytes base = make_dib(seed);
        for (int round = 0; round < 300; ++round) {
            Bytes b = base;
            mutate(b, rng, 56);
            Bytes png;
            if (winutil::dib_to_png(b, png)) {
                ++encoded;
                Bytes back;
                ASSERT_TRUE(winutil::png_to_dib(png, back));
            } else {
                ASSERT_TRUE(png.empty());
            }
            raii::Bitmap bmp(winutil::dib_to_bitmap(b, 32, 32, (round & 1) != 0));
            if (bmp) {
                ++drawn;
                BITMAP info{};
                ASSERT_EQ(GetObjectW(bmp.get(), sizeof info, &info), static_cast<int>(sizeof info));
                ASSERT_GE(info.bmWidth, 1);
                ASSERT_GE(info.bmHeight, 1);
            }
        }
    }
    EXPECT_GT(encoded, 50);
    EXPECT_GT(drawn, 50);
}

TEST(ImageFuzz, DamagedPngsThroughDecoderAndThumbnail) {
    Bytes base;
    ASSERT_TRUE(winutil::dib_to_png(make_dib({23, 17, 24}), base));
    std::mt19937 rng(99173u);
    int decoded = 0;
    for (int round = 0; round < 2000; ++round) {
        Bytes b = base;
        mutate(b, rng, 40);
        if (round % 3 == 0 && b.size() >= 8) {  // keep the signature so the decoder really runs
            static const std::uint8_t sig[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
            std::copy(sig, sig + 8, b.begin());
        }
        Bytes dib;
        if (winutil::png_to_dib(b, dib)) {
            ++decoded;
            winutil::DibLayout l;
            ASSERT_TRUE(winutil::read_dib_layout(dib, l));
            ASSERT_EQ(dib.size(), 40 + l.pixel_bytes);
        } else {
            ASSERT_TRUE(dib.empty());
        }
        raii::Bitmap thumb(winutil::image_thumbnail(b, 42, 42, false));
        (void)thumb;
    }
    EXPECT_GT(decoded, 10);
}
