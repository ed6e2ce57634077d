// The cards' thumbnail cache: made once per entry, kept across refreshes of
// the same entries, dropped with the entries, real bitmaps from image bytes.
#include "ui/thumbnail_cache.h"

#include <gtest/gtest.h>

#include "capture/dib.h"

namespace {

std::vector<std::uint8_t> solid_dib(std::uint32_t w, std::uint32_t h, std::uint32_t bgra) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 4);
    for (std::size_t i = 0; i < px.size(); i += 4) {
        px[i] = bgra & 0xFF;
        px[i + 1] = (bgra >> 8) & 0xFF;
        px[i + 2] = (bgra >> 16) & 0xFF;
        px[i + 3] = 0xFF;
    }
    return winutil::bottom_up_dib_from_bgra(px.data(), w, h);
}

SIZE bitmap_size(HBITMAP b) {
    BITMAP bm{};
    GetObjectW(b, sizeof(bm), &bm);
    return SIZE{bm.bmWidth, bm.bmHeight};
}

TEST(ThumbnailCache, MadeOncePerEntryAndRemembersFailures) {
    int calls = 0;
    ThumbnailCache cache([&](const std::vector<std::uint8_t>&, int size) {
        ++calls;
        return calls == 2 ? nullptr : CreateBitmap(size, size, 1, 32, nullptr);
    });
    const std::vector<std::uint8_t> bytes{1, 2, 3};
    HBITMAP a = cache.get(1, bytes, 42);
    EXPECT_NE(a, nullptr);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(cache.get(1, bytes, 42), a);
    EXPECT_EQ(cache.get(2, bytes, 42), nullptr);  // could not be made
    EXPECT_EQ(cache.get(2, bytes, 42), nullptr);  // and is not tried again
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(cache.made_count(), 2u);
    EXPECT_TRUE(cache.contains(2));

    // Empty bytes make nothing without asking the maker.
    EXPECT_EQ(cache.get(3, {}, 42), nullptr);
    EXPECT_EQ(calls, 2);

    cache.prune({1, 4});
    EXPECT_TRUE(cache.contains(1));
    EXPECT_FALSE(cache.contains(2));
    EXPECT_FALSE(cache.contains(3));
    EXPECT_EQ(cache.get(1, bytes, 42), a);
    cache.clear();
    EXPECT_EQ(cache.size(), 0u);
}

// Entries listed without their bytes get them from the source, once per
// entry; given bytes are used as they are.
TEST(ThumbnailCache, BytesComeFromTheSourceOnlyWhenNotGiven) {
    std::vector<std::int64_t> asked;
    std::vector<std::vector<std::uint8_t>> made_from;
    ThumbnailCache cache([&](const std::vector<std::uint8_t>& bytes, int size) {
        made_from.push_back(bytes);
        return CreateBitmap(size, size, 1, 32, nullptr);
    });
    cache.set_source([&](std::int64_t id) {
        asked.push_back(id);
        return id == 9 ? std::vector<std::uint8_t>{} : std::vector<std::uint8_t>{static_cast<std::uint8_t>(id)};
    });
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(cache.get(7, {}, 42), nullptr);
        EXPECT_NE(cache.get(8, {8, 8}, 42), nullptr);
        EXPECT_EQ(cache.get(9, {}, 42), nullptr);  // the store has no bytes for it
    }
    EXPECT_EQ(asked, (std::vector<std::int64_t>{7, 9}));
    EXPECT_EQ(made_from, (std::vector<std::vector<std::uint8_t>>{{7}, {8, 8}}));
}

TEST(ThumbnailCache, RealThumbnailsFitTheCard) {
    ThumbnailCache cache;
    HBITMAP wide = cache.get(10, solid_dib(200, 100, 0x00FF0000), 42);
    ASSERT_NE(wide, nullptr);
    SIZE s = bitmap_size(wide);
    EXPECT_EQ(s.cx, 42);
    EXPECT_EQ(s.cy, 21);
    HBITMAP small = cache.get(11, solid_dib(20, 10, 0x0000FF00), 42);
    ASSERT_NE(small, nullptr);
    s = bitmap_size(small);
    EXPECT_EQ(s.cx, 20);  // never enlarged
    EXPECT_EQ(s.cy, 10);
    EXPECT_EQ(cache.get(12, {0x89, 'P', 'N', 'G', 0, 0, 0, 0, 1}, 42), nullptr);  // broken bytes
}

}  // namespace
