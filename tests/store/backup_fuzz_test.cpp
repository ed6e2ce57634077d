// Thousands of damaged backups (bytes changed, cut off, repeated) imported
// one after another with a fixed seed: the import never crashes or hangs,
// never reports a store failure, changes nothing when it cannot read the
// file, and leaves a database that passes SQLite's own checks.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "core/text.h"
#include "store/database.h"
#include "store/import.h"
#include "tests/store/fixtures/backup_samples.h"
#include "tests/store/store_fixture.h"

namespace {

using backup_test::dump_store;

constexpr int kMutants = 5000;

// One random change: a byte replaced or a bit flipped, a cut (the end or a
// stretch), a stretch repeated somewhere else, or a byte that means
// something to JSON put in.
void mutate_once(std::string& s, std::mt19937& rng) {
    auto pick = [&](std::size_t n) { return n == 0 ? std::size_t(0) : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    switch (std::uniform_int_distribution<int>(0, 6)(rng)) {
    case 0:
        if (!s.empty()) s[pick(s.size())] = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
        break;
    case 1:
        if (!s.empty()) s[pick(s.size())] ^= static_cast<char>(1 << std::uniform_int_distribution<int>(0, 7)(rng));
        break;
    case 2:
        s.resize(pick(s.size() + 1));
        break;
    case 3: {
        std::size_t at = pick(s.size() + 1);
        s.erase(at, pick(200) + 1);
        break;
    }
    case 4: {
        std::size_t at = pick(s.size() + 1);
        std::string copy = s.substr(at, pick(400) + 1);
        s.insert(pick(s.size() + 1), copy);
        break;
    }
    case 5: {
        static const char* const kBits[] = {"{", "}", "[", "]", "\"", ":", ",", "\\", "\\u", "\\ud83d", "-",
                                            "9999999999999999999999", "null", "true", "\xC3", "\xED\xA0\x80", "="};
        s.insert(pick(s.size() + 1), kBits[pick(sizeof(kBits) / sizeof(kBits[0]))]);
        break;
    }
    default: {
        // A member's value swapped for another kind.
        std::size_t colon = s.find(": ", pick(s.size() + 1));
        if (colon != std::string::npos) {
            static const char* const kValues[] = {"1", "\"\"", "[]", "{}", "false", "-1", "\"x\""};
            s.insert(colon + 2, kValues[pick(sizeof(kValues) / sizeof(kValues[0]))]);
        }
        break;
    }
    }
}

TEST(BackupFuzz, DamagedBackupsNeverCrashOrCorruptTheStore) {
    store_test::TempDir dir;
    std::string seed;
    {
        std::wstring source = dir.file(L"source.db");
        Database db(source);
        store_test::RawDb raw(source);
        backup_test::fill_rich_store(db, raw);
        ASSERT_GT(db.export_json(dir.file(L"seed.json")), 0);
        seed = backup_test::read_bytes(dir.file(L"seed.json"));
    }
    ASSERT_GT(seed.size(), 1000u);

    // One store, put back to its fresh state (the seeded default snippets
    // and groups) after every import.
    std::wstring target = dir.file(L"target.db");
    Database db(target);
    store_test::RawDb raw(target);
    raw.exec("CREATE TABLE fresh_snippets AS SELECT * FROM snippets; "
             "CREATE TABLE fresh_groups AS SELECT * FROM snippet_groups;");
    const std::string fresh = dump_store(raw);
    auto reset = [&] {
        raw.exec("BEGIN; DELETE FROM slot_entries; DELETE FROM history; DELETE FROM categories; "
                 "DELETE FROM snippets; INSERT INTO snippets SELECT * FROM fresh_snippets; "
                 "DELETE FROM snippet_groups; INSERT INTO snippet_groups SELECT * FROM fresh_groups; COMMIT;");
    };

    // The undamaged file imports whole.
    std::wstring path = dir.file(L"mutant.json");
    store_test::write_file(path, seed);
    ImportCounts whole = db.import_json(path);
    EXPECT_EQ(whole.status, ImportStatus::kOk);
    EXPECT_EQ(whole.entries_added, 11);
    reset();

    std::mt19937 rng(20260203u);
    int imported = 0;
    int unreadable = 0;
    auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < kMutants; ++i) {
        std::string mutant = seed;
        int changes = std::uniform_int_distribution<int>(1, 3)(rng);
        for (int k = 0; k < changes; ++k) mutate_once(mutant, rng);
        store_test::write_file(path, mutant);

        ImportCounts c = db.import_json(path);
        ASSERT_NE(c.status, ImportStatus::kFailed) << "mutant " << i;
        if (c.status == ImportStatus::kOk) {
            ++imported;
            EXPECT_LE(c.entries_added + c.entries_present, 11 * 3) << "mutant " << i;
        } else {
            ++unreadable;
            ASSERT_EQ(dump_store(raw), fresh) << "mutant " << i << " changed the store";
        }
        ASSERT_EQ(raw.text("PRAGMA integrity_check"), "ok") << "mutant " << i;
        ASSERT_TRUE(raw.rows("PRAGMA foreign_key_check").empty()) << "mutant " << i;
        reset();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%d mutants: %d imported (wholly or in part), %d unreadable, %.1f s\n", kMutants, imported,
                unreadable, seconds);
    // Both outcomes occur: the damage is neither always fatal nor always harmless.
    EXPECT_GT(imported, kMutants / 10);
    EXPECT_GT(unreadable, kMutants / 10);
    EXPECT_EQ(dump_store(raw), fresh);
}

}  // namespace
