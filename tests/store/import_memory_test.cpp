// The import reads a backup as a stream: a file of 100 MiB is merged while
// the process never holds more than a quarter of it at once, and an element
// that never ends, or is larger than any the program writes, is refused
// without being held.
#include "store_fixture.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "core/handles.h"
#include "core/image_header.h"
#include "core/text.h"
#include "store/export.h"
#include "store/import.h"

using namespace store_test;

namespace {

struct Memory {
    std::uint64_t now = 0;
    std::uint64_t peak = 0;
};

Memory memory() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    EXPECT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc)));
    return Memory{pmc.WorkingSetSize, pmc.PeakWorkingSetSize};
}

constexpr int kSide = 512;  // 512 x 512 x 4 bytes: 1 MiB of pixels

// A 32-bit bitmap of noise; variant makes each one different.
std::vector<std::uint8_t> bitmap(std::uint32_t variant) {
    std::vector<std::uint8_t> dib(40 + kSide * kSide * 4);
    std::uint32_t header[] = {40, kSide, kSide, 1u | (32u << 16), 0, kSide * kSide * 4, 0, 0, 0, 0};
    std::memcpy(dib.data(), header, 40);
    std::uint32_t x = 2463534242u ^ (variant * 2654435761u);
    for (std::size_t k = 40; k < dib.size(); ++k) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        dib[k] = static_cast<std::uint8_t>(x);
    }
    return dib;
}

class ImportMemoryTest : public StoreTest {};

TEST_F(ImportMemoryTest, A100MiBBackupIsNeverHeldWhole) {
    const std::wstring path = dir_.file(L"big.json");
    // Written piece by piece, so that the test itself never holds the file.
    std::uint64_t size = 0;
    int images = 0;
    {
        std::unique_ptr<FILE, int (*)(FILE*)> f(_wfopen(path.c_str(), L"wb"), &std::fclose);
        ASSERT_TRUE(f);
        auto put = [&](const std::string& s) {
            ASSERT_EQ(std::fwrite(s.data(), 1, s.size(), f.get()), s.size());
            size += s.size();
        };
        put("{\n  \"format\": \"quillet-export\",\n  \"version\": 2,\n  \"entries\": [\n");
        for (int i = 0; i < 1000; ++i) {
            put("    {\"text\": \"text entry " + std::to_string(i) +
                " with a \\\"quote\\\"\", \"created_at\": \"2025-03-01T10:00:00\", \"pinned\": false, "
                "\"keep\": true, \"category\": \"Work\", \"category_pinned\": true},\n");
        }
        const std::uint64_t target = 100ull << 20;
        for (; size < target; ++images) {
            std::vector<std::uint8_t> dib = bitmap(static_cast<std::uint32_t>(images));
            put("    {\"text\": \"\", \"created_at\": \"2025-04-01T10:00:" + std::to_string(10 + images % 50) +
                "\", \"pinned\": true, \"keep\": false, \"category\": \"\", \"category_pinned\": false, "
                "\"is_image\": true, \"image\": \"" + base64_encode(dib.data(), dib.size()) + "\"},\n");
        }
        put("    {\"text\": \"the last entry\", \"created_at\": \"2025-05-01T10:00:00\"}\n  ],\n"
            "  \"snippets\": [],\n  \"snippet_groups\": []\n}");
    }
    ASSERT_GE(size, 100ull << 20);

    const Memory before = memory();
    ImportCounts counts = db().import_json(path);
    const Memory after = memory();
    ASSERT_EQ(counts.status, ImportStatus::kOk);
    EXPECT_EQ(counts.entries_added, 1000 + images + 1);
    EXPECT_EQ(counts.skipped, 0);
    // The most the process held during the import, above what it held
    // before it began.
    const std::uint64_t grew = after.peak > before.now ? after.peak - before.now : 0;
    EXPECT_LE(grew, size / 4) << "peak " << (after.peak >> 20) << " MiB, before " << (before.now >> 20)
                              << " MiB, file " << (size >> 20) << " MiB";

    // What went in is what the file holds: the first and the last image.
    for (int i : {0, images - 1}) {
        std::vector<std::uint8_t> dib = bitmap(static_cast<std::uint32_t>(i));
        EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history WHERE is_image=1 AND created_at='2025-04-01T10:00:" +
                               std::to_string(10 + i % 50) + "' AND hex(substr(image, 41, 64))='" +
                               [&] {
                                   std::string hex;
                                   char b[3];
                                   for (int k = 40; k < 104; ++k) {
                                       std::snprintf(b, sizeof(b), "%02X", dib[static_cast<std::size_t>(k)]);
                                       hex += b;
                                   }
                                   return hex;
                               }() + "'"),
                  1)
            << i;
    }
    EXPECT_EQ(raw().text("SELECT name FROM categories"), "Work");
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history WHERE keep=1"), 1000);
}

// A backup of 1 GiB: a sound head and first entry, then a string that runs
// to the end of the file (the rest of the file is left sparse, read as
// zero bytes). The import refuses it as it refuses any file that is not a
// backup, with the store unchanged, and the process never holds the string.
TEST_F(ImportMemoryTest, AStringRunningToTheEndOfA1GiBFileIsRefusedWithoutBeingHeld) {
    const std::wstring path = dir_.file(L"endless.json");
    {
        raii::Handle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(f);
        const std::string head =
            "{\n  \"format\": \"quillet-export\",\n  \"version\": 2,\n  \"entries\": [\n"
            "    {\"text\": \"a sound entry\", \"created_at\": \"2025-03-01T10:00:00\"},\n    {\"text\": \"";
        DWORD wrote = 0;
        ASSERT_TRUE(WriteFile(f.get(), head.data(), static_cast<DWORD>(head.size()), &wrote, nullptr));
        LARGE_INTEGER end{};
        end.QuadPart = 1ll << 30;
        ASSERT_TRUE(SetFilePointerEx(f.get(), end, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(f.get()));
    }
    const std::int64_t rows = raw().number("SELECT COUNT(*) FROM history");

    const Memory before = memory();
    const ImportCounts counts = db().import_json(path);
    const Memory after = memory();
    EXPECT_EQ(counts.status, ImportStatus::kUnreadable);
    EXPECT_EQ(import_result_message(counts), import_result_message(ImportCounts{.status = ImportStatus::kUnreadable}));
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history"), rows);
    const std::uint64_t grew = after.peak > before.now ? after.peak - before.now : 0;
    EXPECT_LE(grew, 64ull << 20) << "peak " << (after.peak >> 20) << " MiB, before " << (before.now >> 20) << " MiB";
}

// An element larger than the largest the reader takes is refused whole, as
// a file that is not a backup, before any of it is kept; up to that size it
// is read. The program's own bound holds the largest text the store can
// keep beside the largest image it keeps, as Base64.
TEST_F(ImportMemoryTest, AnElementLargerThanTheLargestTheProgramWritesIsRefused) {
    const std::wstring path = dir_.file(L"large-element.json");
    const std::string text(3u << 20, 'x');
    write_file(path, "{\"entries\": [{\"text\": \"small\", \"created_at\": \"2025-03-01T10:00:00\"}, "
                     "{\"text\": \"" + text + "\", \"created_at\": \"2025-03-01T10:00:01\"}]}");
    struct Case {
        std::uint64_t largest;
        bool readable;
    } cases[] = {{1u << 20, false}, {text.size(), false}, {text.size() + 64, true}, {kLargestBackupElement, true}};
    for (const Case& c : cases) {
        BackupFileReader reader(c.largest);
        ASSERT_TRUE(reader.open(path));
        const BackupIndex index = reader.scan();
        EXPECT_EQ(index.readable, c.readable) << c.largest;
        EXPECT_EQ(index.entries.size(), c.readable ? 2u : 0u) << c.largest;
        if (c.readable) {
            ImportedEntry e;
            ASSERT_TRUE(reader.entry_at(index.entries[1].offset, e));
            EXPECT_EQ(e.text.size(), text.size());
        }
    }
    EXPECT_GE(kLargestBackupElement,
              1'000'000'000ull + base64_length(static_cast<std::size_t>(winutil::kMaxPixelBytes + 65536)));
}

}  // namespace
