// Images the capture keeps come back whole from a backup: every bitmap
// header kind a clipboard may hold, captured through the watcher, exported
// and imported into an empty store, gives the same entries byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "capture/image.h"
#include "core/image_header.h"
#include "core/text.h"
#include "dib_builders.h"
#include "store/import.h"
#include "watcher_fixture.h"

using namespace capture_test;

namespace {

ClipboardSnapshot image_snap(const Bytes& dib, const std::wstring& text = L"") {
    ClipboardSnapshot s;
    s.text = text;
    s.dib = dib;
    s.owner_app = L"mspaint.exe";
    return s;
}

// A bitmap with the 12-byte core header: 16-bit sides, 24 bits per pixel.
Bytes core_header_dib(std::uint16_t width, std::uint16_t height) {
    const std::uint32_t stride = ((width * 24u + 31) / 32) * 4;
    Bytes b(12 + static_cast<size_t>(stride) * height, 0);
    put32(b, 0, 12);
    b[4] = static_cast<std::uint8_t>(width);
    b[5] = static_cast<std::uint8_t>(width >> 8);
    b[6] = static_cast<std::uint8_t>(height);
    b[7] = static_cast<std::uint8_t>(height >> 8);
    b[8] = 1;
    b[10] = 24;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const Rgb c = pattern(x, y);
            std::uint8_t* p = b.data() + 12 + static_cast<size_t>(height - 1 - y) * stride + 3 * x;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    return b;
}

Bytes shaped(std::uint32_t header_size, std::uint16_t bits, std::int32_t height = 3, bool bitfields = false) {
    DibShape s;
    s.header_size = header_size;
    s.bits = bits;
    s.height = height;
    s.bitfields = bitfields;
    s.fourth_byte = 255;
    return make_dib(s);
}

struct Kind {
    const char* name;
    Bytes bytes;
};

std::vector<Kind> every_kind() {
    return {
        {"12-byte core header", core_header_dib(5, 3)},
        {"40-byte header, 24 bits", shaped(40, 24)},
        {"40-byte header, 8 bits with a table", shaped(40, 8)},
        {"40-byte header, 1 bit, top-down", shaped(40, 1, -3)},
        {"40-byte header, 32 bits with masks", shaped(40, 32, 3, true)},
        {"40-byte header, 16 bits", shaped(40, 16)},
        {"52-byte header", shaped(52, 32, 3, true)},
        {"56-byte header", shaped(56, 32, 3, true)},
        {"64-byte header", shaped(64, 24)},
        {"108-byte header", shaped(108, 32)},
        {"124-byte header", shaped(124, 24, -3)},
        // Over 2 MiB: kept as its PNG.
        {"large bitmap", make_own_dib(800, 700)},
    };
}

// What a comparison of two stores looks at, in a fixed order.
using EntryKey = std::tuple<std::wstring, std::wstring, bool, Bytes>;

std::vector<EntryKey> keys_of(Database& db) {
    std::vector<EntryKey> out;
    for (const HistoryEntry& e : db.list_entries(L"every", false, false))
        out.emplace_back(e.text, e.created_at, e.is_image, e.image);
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(KeptImages, CaptureKeepsExactlyWhatTheHeaderRuleTakes) {
    for (const Kind& k : every_kind()) {
        Bytes kept;
        EXPECT_TRUE(winutil::prepare_image_for_storage(k.bytes, kStoredImageLimit, kept)) << k.name;
        EXPECT_TRUE(winutil::image_bytes_keepable(kept)) << k.name;
    }
    Bytes unknown_header = shaped(40, 24);
    put32(unknown_header, 0, 20);
    Bytes too_many_pixels = shaped(40, 24);
    put32(too_many_pixels, 4, 20000);
    put32(too_many_pixels, 8, 20000);
    for (const Bytes& bad : {unknown_header, too_many_pixels, Bytes{1, 2, 3}}) {
        Bytes kept{9};
        EXPECT_FALSE(winutil::image_bytes_keepable(bad));
        EXPECT_FALSE(winutil::prepare_image_for_storage(bad, kStoredImageLimit, kept));
        EXPECT_TRUE(kept.empty());
    }
}

TEST_F(WatcherTest, EveryCapturedImageComesBackWholeFromABackup) {
    const std::vector<Kind> kinds = every_kind();
    for (const Kind& k : kinds) {
        ASSERT_NE(watcher_->check_snapshot(image_snap(k.bytes), false), 0) << k.name;
    }
    // A bitmap the capture cannot keep: its text stays, without an image.
    Bytes unknown_header = shaped(40, 24);
    put32(unknown_header, 0, 20);
    ASSERT_NE(watcher_->check_snapshot(image_snap(unknown_header, L"caption of a strange bitmap"), false), 0);

    const std::vector<EntryKey> before = keys_of(db_);
    ASSERT_EQ(before.size(), kinds.size() + 1);
    size_t with_image = 0;
    for (const EntryKey& k : before) with_image += std::get<3>(k).empty() ? 0 : 1;
    EXPECT_EQ(with_image, kinds.size()) << "every kind is kept with its image";
    for (const Kind& k : kinds) {
        const bool stored_as_is = std::any_of(before.begin(), before.end(),
                                              [&](const EntryKey& e) { return std::get<3>(e) == k.bytes; });
        EXPECT_EQ(stored_as_is, k.bytes.size() <= kStoredImageLimit) << k.name;
    }

    const std::wstring backup = dir_.file(L"backup.json");
    ASSERT_GT(db_.export_json(backup), 0);
    Database fresh(dir_.file(L"fresh.db"));
    ASSERT_TRUE(fresh.is_open());
    const ImportCounts counts = fresh.import_json(backup);
    EXPECT_EQ(counts.status, ImportStatus::kOk);
    EXPECT_EQ(counts.skipped, 0);
    EXPECT_EQ(counts.entries_added, static_cast<int>(before.size()));
    EXPECT_EQ(keys_of(fresh), before);
}
