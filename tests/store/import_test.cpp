// The JSON backup import: the round trip through the export, the merge
// rules, bad and hostile files, and that a failed import changes nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/i18n.h"
#include "core/image_header.h"
#include "core/json.h"
#include "core/text.h"
#include "store/database.h"
#include "store/export.h"
#include "store/import.h"
#include "store/sql_text.h"
#include "tests/store/fixtures/backup_samples.h"
#include "tests/store/store_fixture.h"

namespace {

using backup_test::dump_store;
using backup_test::read_bytes;
using store_test::write_file;

// The counts as one comparable value.
std::string counts_text(const ImportCounts& c) {
    return "status " + std::to_string(static_cast<int>(c.status)) + ", added " + std::to_string(c.entries_added) +
           ", present " + std::to_string(c.entries_present) + ", snippets added " + std::to_string(c.snippets_added) +
           ", kept " + std::to_string(c.snippets_kept) + ", replaced " + std::to_string(c.snippets_replaced) +
           ", skipped " + std::to_string(c.skipped);
}

std::string counts(int status, int added, int present, int s_added, int s_kept, int s_replaced, int skipped) {
    ImportCounts c;
    c.status = static_cast<ImportStatus>(status);
    c.entries_added = added;
    c.entries_present = present;
    c.snippets_added = s_added;
    c.snippets_kept = s_kept;
    c.snippets_replaced = s_replaced;
    c.skipped = skipped;
    return counts_text(c);
}

class ImportTest : public store_test::StoreTest {
protected:
    ImportCounts import_text(const std::string& json) {
        std::wstring path = dir_.file(L"in-" + std::to_wstring(++files_) + L".json");
        write_file(path, json);
        return db().import_json(path);
    }
    std::string export_bytes(Database& store) {
        std::wstring path = dir_.file(L"out-" + std::to_wstring(++files_) + L".json");
        EXPECT_GE(store.export_json(path), 0);
        return read_bytes(path);
    }
    // A text entry of fixed time.
    std::int64_t stored_text(const std::wstring& text, const std::string& created_at,
                             std::optional<std::int64_t> category = std::nullopt) {
        std::int64_t id = add_text(text, category);
        EXPECT_GT(id, 0);
        raw().exec("UPDATE history SET created_at='" + created_at + "' WHERE id=" + std::to_string(id));
        return id;
    }
    std::string entry_file(const std::string& entries) {
        return "{\"format\": \"quillet-export\", \"version\": 2, \"entries\": [" + entries + "]}";
    }

    int files_ = 0;
};

// ---- the round trip -------------------------------------------------------------

TEST_F(ImportTest, RoundTripThroughAnEmptyStoreAndTheSameStore) {
    backup_test::fill_rich_store(db(), raw());
    std::wstring backup = dir_.file(L"rich.json");
    ASSERT_EQ(db().export_json(backup), 11);
    const std::string original = read_bytes(backup);

    // Into an empty store: everything comes back, in the same order, but
    // for the image entry whose bitmap was not kept: it is its text alone,
    // the last of the text entries.
    std::wstring other_path = dir_.file(L"other.db");
    auto other = std::make_unique<Database>(other_path);
    store_test::RawDb other_raw(other_path);
    backup_test::empty_tables(other_raw);
    EXPECT_EQ(counts_text(other->import_json(backup)), counts(0, 11, 0, 4, 0, 0, 0));
    const std::string restored = [&] {
        JsonValue document;
        EXPECT_TRUE(parse_backup_document(original, document));
        JsonValue* entries = nullptr;
        for (JsonMember& m : document.members) {
            if (m.key == "entries") entries = &m.value;
        }
        EXPECT_TRUE(entries);
        if (!entries) return std::string();
        std::vector<JsonValue>& list = entries->elements;
        auto no_bitmap = std::find_if(list.begin(), list.end(), [](const JsonValue& e) {
            return json_get_string(e, "text", "") == "copied with a large bitmap";
        });
        EXPECT_NE(no_bitmap, list.end());
        if (no_bitmap == list.end()) return std::string();
        JsonValue text_entry = *no_bitmap;
        list.erase(no_bitmap);
        std::erase_if(text_entry.members, [](const JsonMember& m) { return m.key == "is_image" || m.key == "image"; });
        auto first_image = std::find_if(list.begin(), list.end(),
                                        [](const JsonValue& e) { return json_get_bool(e, "is_image", false); });
        list.insert(first_image, std::move(text_entry));
        return document.to_string();
    }();
    EXPECT_EQ(export_bytes(*other), restored);
    EXPECT_EQ(other_raw.text("SELECT group_concat(name || ':' || pinned, ',') FROM "
                             "(SELECT name, pinned FROM categories ORDER BY name)"),
              "Home:0,Work:1");
    EXPECT_EQ(other_raw.number("SELECT COUNT(*) FROM history WHERE length(rtf) > 0 OR sort_order > 0"), 0);

    // The images came back byte for byte.
    auto images = [](store_test::RawDb& r) {
        return r.rows("SELECT created_at, text, hex(image) FROM history WHERE is_image=1 AND length(image) > 0 "
                      "AND deleted_at IS NULL ORDER BY created_at, hex(image)");
    };
    EXPECT_EQ(images(other_raw), images(raw()));

    // Again into the same stores: nothing is added or changed.
    std::string other_before = dump_store(other_raw);
    EXPECT_EQ(counts_text(other->import_json(backup)), counts(0, 0, 11, 0, 4, 0, 0));
    EXPECT_EQ(dump_store(other_raw), other_before);
    EXPECT_EQ(export_bytes(*other), restored);

    std::string before = dump_store(raw());
    EXPECT_EQ(counts_text(db().import_json(backup)), counts(0, 0, 11, 0, 4, 0, 0));
    EXPECT_EQ(dump_store(raw()), before);

    // A later capture lists above the imported entries of its pin class.
    std::int64_t fresh = other->add_entry({.text = L"captured later"});
    std::vector<HistoryEntry> all = other->list_entries(L"all", false, true);
    auto first_unpinned = std::find_if(all.begin(), all.end(), [](const HistoryEntry& e) { return !e.effective_pinned; });
    ASSERT_NE(first_unpinned, all.end());
    EXPECT_EQ(first_unpinned->id, fresh);
}

// ---- merge rules -------------------------------------------------------------------

TEST_F(ImportTest, PresentEntriesAreRestoredAndOnlyGainFlagsAndCategories) {
    std::int64_t home = db().add_category(L"Home");
    std::int64_t trashed = stored_text(L"was trashed", "2026-01-01T00:00:01");
    std::int64_t pinned = stored_text(L"pinned here", "2026-01-01T00:00:02");
    std::int64_t filed = stored_text(L"filed at home", "2026-01-01T00:00:03", home);
    std::int64_t loose = stored_text(L"no category yet", "2026-01-01T00:00:04");
    std::int64_t flags = stored_text(L"gets flags", "2026-01-01T00:00:05");
    db().trash_entry(trashed);
    db().set_pinned_many({pinned}, true);
    db().set_keep(pinned, true);

    ImportCounts c = import_text(entry_file(R"(
        {"text": "was trashed", "created_at": "2026-01-01T00:00:01", "pinned": false, "keep": false, "category": ""},
        {"text": "pinned here", "created_at": "2026-01-01T00:00:02", "pinned": false, "keep": false, "category": ""},
        {"text": "filed at home", "created_at": "2026-01-01T00:00:03", "category": "Work"},
        {"text": "no category yet", "created_at": "2026-01-01T00:00:04", "category": "Work", "category_pinned": true},
        {"text": "gets flags", "created_at": "2026-01-01T00:00:05", "pinned": true, "keep": true},
        {"text": "gets flags", "created_at": "2026-01-01T00:00:06"})"));
    EXPECT_EQ(counts_text(c), counts(0, 1, 5, 0, 0, 0, 0));

    auto row = [&](std::int64_t id) {
        return raw().rows("SELECT COALESCE(deleted_at,'-'), pinned, keep, COALESCE(category_id,0) FROM history WHERE id=" +
                          std::to_string(id))[0];
    };
    std::string work = std::to_string(raw().number("SELECT id FROM categories WHERE name='Work'"));
    EXPECT_EQ(row(trashed), (std::vector<std::string>{"-", "0", "0", "0"}));
    EXPECT_EQ(row(pinned), (std::vector<std::string>{"-", "1", "1", "0"}));
    EXPECT_EQ(row(filed), (std::vector<std::string>{"-", "0", "0", std::to_string(home)}));
    EXPECT_EQ(row(loose), (std::vector<std::string>{"-", "0", "0", work}));
    EXPECT_EQ(row(flags), (std::vector<std::string>{"-", "1", "1", "0"}));
    // "filed at home" named Work first, without a pinned flag: that decided.
    EXPECT_EQ(raw().number("SELECT pinned FROM categories WHERE name='Work'"), 0);
    // The second "gets flags" differs in its time: a new entry.
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history WHERE text='gets flags'"), 2);
}

TEST_F(ImportTest, ImagesOfEqualTimeAndSizeAreToldApartByTheirBytes) {
    std::vector<std::uint8_t> a = backup_test::make_dib(2, 2, 0x11);
    std::vector<std::uint8_t> b = backup_test::make_dib(2, 2, 0x22);
    std::int64_t id = add_image(L"", a);
    raw().exec("UPDATE history SET created_at='2026-03-01T12:00:00' WHERE id=" + std::to_string(id));
    std::string entries;
    for (const auto* bytes : {&a, &b}) {
        if (!entries.empty()) entries += ",";
        entries += R"({"text": "", "created_at": "2026-03-01T12:00:00", "is_image": true, "image": ")" +
                   base64_encode(*bytes) + "\"}";
    }
    EXPECT_EQ(counts_text(import_text(entry_file(entries))), counts(0, 1, 1, 0, 0, 0, 0));
    EXPECT_EQ(raw().text("SELECT group_concat(hex(substr(image, 41, 1)), ',') FROM (SELECT image FROM history ORDER BY id)"),
              "11,22");
}

// An image entry of the file without image bytes (a bitmap too large to
// keep when it was copied) is no image row: it comes back as a text entry
// when it has a text and is skipped when it has none. Imported again, or
// into the store that wrote it (which holds it as an image row without
// bytes), it is found, not added twice.
TEST_F(ImportTest, AnImageEntryWithoutImageBytesComesBackAsItsTextOrIsSkipped) {
    struct Case {
        const char* name;
        std::string entry;  // created_at 2026-03-01T12:00:00 is added
        const char* row;    // text:is_image:image length, or nullptr when skipped
    } cases[] = {
        {"empty image", R"("text": "copied with a bitmap", "is_image": true, "image": "")", "copied with a bitmap:0:0"},
        {"no image member", R"("text": "no image member", "is_image": true)", "no image member:0:0"},
        {"image of another kind", R"("text": "image as a number", "is_image": true, "image": 7)",
         "image as a number:0:0"},
        {"null image", R"("text": "null image", "is_image": true, "image": null)", "null image:0:0"},
        {"no text", R"("text": "", "is_image": true, "image": "")", nullptr},
        {"blank text", R"("text": " 	 ", "is_image": true, "image": "")", nullptr},
        {"no text member", R"("is_image": true, "image": "")", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        raw().exec("DELETE FROM history");
        const std::string file = entry_file("{" + c.entry + R"(, "created_at": "2026-03-01T12:00:00"})");
        const int added = c.row ? 1 : 0;
        EXPECT_EQ(counts_text(import_text(file)), counts(0, added, 0, 0, 0, 0, 1 - added));
        EXPECT_EQ(raw().text("SELECT group_concat(text || ':' || is_image || ':' || COALESCE(length(image), 0), ',') "
                             "FROM history"),
                  c.row ? c.row : "");
        EXPECT_EQ(counts_text(import_text(file)), counts(0, 0, added, 0, 0, 0, 1 - added));
    }

    // The store that wrote the file holds the entry as an image row without
    // bytes: it is found there.
    raw().exec("DELETE FROM history");
    ASSERT_GT(db().add_entry({.text = L"copied with a large bitmap", .is_image = true, .repeat = true}), 0);
    const std::wstring backup = dir_.file(L"no-bitmap.json");
    ASSERT_EQ(db().export_json(backup), 1);
    EXPECT_NE(read_bytes(backup).find("\"image\": \"\""), std::string::npos);
    const ImportCounts again = db().import_json(backup);
    EXPECT_EQ(again.entries_added, 0);
    EXPECT_EQ(again.entries_present, 1);
    EXPECT_EQ(raw().text("SELECT text || ':' || is_image FROM history"), "copied with a large bitmap:1");
}

// Image rows an older build stored whose bytes the layout rule now refuses:
// exported from a real store and imported into an empty one, the row with a
// text comes back as that text entry, the one without counts as skipped,
// and a sound image beside them comes back whole.
TEST_F(ImportTest, AnImageEntryWhoseBytesFailTheLayoutKeepsItsText) {
    std::vector<std::uint8_t> oversized = backup_test::make_dib(4, 4, 0x42);
    oversized[4] = 0x40;  // 8000 x 8000 declared over 64 bytes of pixels
    oversized[5] = 0x1F;
    oversized[8] = 0x40;
    oversized[9] = 0x1F;
    ASSERT_FALSE(winutil::image_bytes_keepable(oversized));
    const std::vector<std::uint8_t> sound = backup_test::make_dib(2, 2, 0x33);
    auto hex = [](const std::vector<std::uint8_t>& bytes) {
        std::string out;
        for (std::uint8_t b : bytes) out += "0123456789ABCDEF"[b >> 4], out += "0123456789ABCDEF"[b & 15];
        return out;
    };
    raw().exec("DELETE FROM history");
    raw().exec("INSERT INTO history (text, created_at, is_image, image, sort_order) VALUES "
               "('caption of an old bitmap', '2026-03-04T09:00:01', 1, x'" + hex(oversized) + "', 3), "
               "('', '2026-03-04T09:00:02', 1, x'" + hex(oversized) + "', 2), "
               "('', '2026-03-04T09:00:03', 1, x'" + hex(sound) + "', 1)");
    const std::wstring backup = dir_.file(L"old-images.json");
    ASSERT_EQ(db().export_json(backup), 3);

    const std::wstring other_path = dir_.file(L"other.db");
    Database other(other_path);
    ASSERT_TRUE(other.is_open());
    store_test::RawDb other_raw(other_path);
    backup_test::empty_tables(other_raw);
    EXPECT_EQ(counts_text(other.import_json(backup)), counts(0, 2, 0, 2, 0, 0, 1));
    const std::string rows_sql =
        "SELECT text, created_at, is_image, COALESCE(length(image), 0), hex(COALESCE(image, '')) "
        "FROM history ORDER BY created_at";
    EXPECT_EQ(other_raw.rows(rows_sql),
              (std::vector<std::vector<std::string>>{
                  {"caption of an old bitmap", "2026-03-04T09:00:01", "0", "0", ""},
                  {"", "2026-03-04T09:00:03", "1", std::to_string(sound.size()), hex(sound)}}));
    const std::vector<HistoryEntry> texts = other.list_entries(L"all", false, false);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, L"caption of an old bitmap");
    EXPECT_FALSE(texts[0].is_image);

    // Imported again: both are found, nothing is added.
    EXPECT_EQ(counts_text(other.import_json(backup)), counts(0, 0, 2, 0, 2, 0, 1));
    EXPECT_EQ(other_raw.number("SELECT COUNT(*) FROM history"), 2);

    // Base64 whose head reads as a sound bitmap but whose body holds a
    // character outside the alphabet: the text is kept all the same.
    std::string broken = base64_encode(backup_test::make_dib(8, 8, 0x55));
    broken[broken.size() / 2] = '!';
    EXPECT_EQ(counts_text(import_text(entry_file(
                  R"({"text": "text of a broken image", "created_at": "2026-03-04T09:00:04", "is_image": true, "image": ")" +
                  broken + R"("}, {"text": "", "created_at": "2026-03-04T09:00:05", "is_image": true, "image": ")" +
                  broken + "\"}"))),
              counts(0, 1, 0, 0, 0, 0, 1));
    EXPECT_EQ(raw().text("SELECT text || ':' || is_image || ':' || COALESCE(length(image), 0) FROM history "
                         "WHERE created_at='2026-03-04T09:00:04'"),
              "text of a broken image:0:0");
}

// A backup's image is taken only when its whole layout fits in its bytes
// and can be drawn; one whose only flaw is its image size field is taken
// and comes back whole from the next export.
TEST_F(ImportTest, ImagesAreTakenOnlyWhenTheirLayoutFits) {
    auto dib = [](std::int32_t w, std::int32_t h, const std::function<void(std::vector<std::uint8_t>&)>& spoil) {
        std::vector<std::uint8_t> d = backup_test::make_dib(w, h, 0x42);
        spoil(d);
        return d;
    };
    auto put32 = [](std::vector<std::uint8_t>& d, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) d[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    const std::vector<std::uint8_t> refused[] = {
        // 8000 x 8000 declared over 64 bytes of pixels
        dib(4, 4, [&](auto& d) { put32(d, 4, 8000); put32(d, 8, 8000); }),
        dib(4, 4, [&](auto& d) { put32(d, 16, 3); }),           // bitfields without masks
        dib(4, 4, [&](auto& d) { put32(d, 16, 4); }),           // JPEG
        dib(4, 4, [&](auto& d) { d[14] = 8; put32(d, 16, 1); }), // RLE8
        dib(4, 4, [&](auto& d) { d[14] = 8; put32(d, 32, 0xFFFFFFFFu); }),  // a table that is not there
    };
    const std::vector<std::uint8_t> wrong_size = dib(4, 4, [&](auto& d) { put32(d, 20, 0xFFFFFF00u); });
    std::string entries;
    int second = 0;
    for (const auto& bytes : refused) {
        entries += R"({"text": "", "created_at": "2026-03-02T10:00:0)" + std::to_string(second++) +
                   R"(", "is_image": true, "image": ")" + base64_encode(bytes) + "\"},";
    }
    entries += R"({"text": "", "created_at": "2026-03-02T10:00:09", "is_image": true, "image": ")" +
               base64_encode(wrong_size) + "\"}";
    EXPECT_EQ(counts_text(import_text(entry_file(entries))), counts(0, 1, 0, 0, 0, 0, 5));
    EXPECT_EQ(raw().number("SELECT count(*) FROM history"), 1);
    const std::vector<HistoryEntry> images = db().list_entries(L"images", false, false);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].image, wrong_size);

    const std::string backup = export_bytes(db());
    Database fresh(dir_.file(L"fresh.db"));
    ASSERT_TRUE(fresh.is_open());
    const std::wstring path = dir_.file(L"again.json");
    write_file(path, backup);
    EXPECT_EQ(counts_text(fresh.import_json(path)), counts(0, 1, 0, 0, 2, 0, 0));
    const std::vector<HistoryEntry> back = fresh.list_entries(L"images", false, false);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].image, wrong_size);
}

TEST_F(ImportTest, OnlyABooleanPinsAndTheTopLevelArrayHoldsEntriesOnly) {
    ImportCounts c = import_text(R"([
        {"text": "number one", "created_at": "2026-01-01T00:00:00", "pinned": 1, "keep": "true"},
        {"text": "boolean", "created_at": "2026-01-01T00:00:01", "pinned": true}
    ])");
    EXPECT_EQ(counts_text(c), counts(0, 2, 0, 0, 0, 0, 0));
    EXPECT_EQ(raw().text("SELECT group_concat(text || ':' || pinned || keep, ',') FROM (SELECT * FROM history ORDER BY id)"),
              "boolean:10,number one:00");
}

TEST_F(ImportTest, SlotsAreAppendedInTheFilesOrderUpToNine) {
    std::vector<std::int64_t> held;
    for (int i = 0; i < 6; ++i) held.push_back(add_text(L"held " + std::to_wstring(i)));
    ASSERT_EQ(db().add_to_slots(held, 9), 6);
    // Five slotted entries; by their slot order c, e, a come first.
    ImportCounts c = import_text(entry_file(R"(
        {"text": "a", "created_at": "2026-01-01T00:00:00", "slot_order": 4},
        {"text": "b", "created_at": "2026-01-01T00:00:00", "slot_order": 7},
        {"text": "c", "created_at": "2026-01-01T00:00:00", "slot_order": 1},
        {"text": "d", "created_at": "2026-01-01T00:00:00", "slot_order": 5},
        {"text": "e", "created_at": "2026-01-01T00:00:00", "slot_order": 2})"));
    EXPECT_EQ(c.entries_added, 5);
    EXPECT_EQ(raw().text("SELECT group_concat(h.text || '=' || s.slot_order, ',') FROM (SELECT * FROM slot_entries "
                         "ORDER BY slot_order) s JOIN history h ON h.id=s.entry_id WHERE s.slot_order > 6"),
              "c=7,e=8,a=9");
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM slot_entries"), 9);
}

// The nine places are counted, not the stored numbers: one slot stored as 9
// leaves eight places.
TEST_F(ImportTest, SlotsCountPlacesNotStoredNumbers) {
    std::int64_t held = add_text(L"held");
    std::int64_t already = stored_text(L"already slotted", "2026-01-01T00:00:09");
    raw().exec("INSERT INTO slot_entries (entry_id, slot_order) VALUES (" + std::to_string(held) + ", 9), (" +
               std::to_string(already) + ", 3), (424242, 1)");  // and a row without an entry
    ImportCounts c = import_text(entry_file(R"(
        {"text": "already slotted", "created_at": "2026-01-01T00:00:09", "slot_order": 1},
        {"text": "x", "created_at": "2026-01-01T00:00:00", "slot_order": 3},
        {"text": "y", "created_at": "2026-01-01T00:00:00", "slot_order": 2})"));
    EXPECT_EQ(c.entries_added, 2);
    EXPECT_EQ(raw().text("SELECT group_concat(h.text || '=' || s.slot_order, ',') FROM (SELECT * FROM slot_entries "
                         "ORDER BY slot_order) s LEFT JOIN history h ON h.id=s.entry_id"),
              "already slotted=3,held=9,y=10,x=11");
    std::vector<HistoryEntry> slots = db().list_slot_entries();
    ASSERT_EQ(slots.size(), 4u);
    EXPECT_EQ(slots[3].text, L"x");
}

TEST_F(ImportTest, SlotOrderBeyondInt32IsClampedNotWrapped) {
    // 4294967297 wraps to 1 in 32 bits; clamped it sorts after 2.
    ImportCounts c = import_text(entry_file(R"(
        {"text": "huge", "created_at": "2026-01-01T00:00:00", "slot_order": 4294967297},
        {"text": "two", "created_at": "2026-01-01T00:00:00", "slot_order": 2},
        {"text": "negative", "created_at": "2026-01-01T00:00:00", "slot_order": -4294967295})"));
    EXPECT_EQ(c.entries_added, 3);
    EXPECT_EQ(raw().text("SELECT group_concat(h.text, ',') FROM (SELECT * FROM slot_entries ORDER BY slot_order) s "
                         "JOIN history h ON h.id=s.entry_id"),
              "two,huge");
}

TEST_F(ImportTest, AnExistingCategoryIsNeverUnpinnedAndTheFirstEntryDecides) {
    std::int64_t pinned = db().add_category(L"Pinned");
    db().set_category_pinned(pinned, true);
    db().add_category(L"Plain");
    ImportCounts c = import_text(entry_file(R"(
        {"text": "1", "created_at": "t1", "category": "Pinned", "category_pinned": false},
        {"text": "2", "created_at": "t2", "category": " Plain ", "category_pinned": true},
        {"text": "3", "created_at": "t3", "category": "New off", "category_pinned": false},
        {"text": "4", "created_at": "t4", "category": "New off", "category_pinned": true},
        {"text": "5", "created_at": "t5", "category": "New silent"},
        {"text": "6", "created_at": "t6", "category": "New silent", "category_pinned": true},
        {"text": "7", "created_at": "t7", "category": "New on", "category_pinned": true},
        {"text": "8", "created_at": "t8", "category": "   "})"));
    EXPECT_EQ(c.entries_added, 8);
    EXPECT_EQ(raw().text("SELECT group_concat(name || ':' || pinned, ',') FROM (SELECT * FROM categories ORDER BY cat_order)"),
              "Pinned:1,Plain:1,New off:0,New silent:0,New on:1");
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history WHERE text='8' AND category_id IS NULL"), 1);
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history h JOIN categories c ON c.id=h.category_id "
                           "WHERE h.text='2' AND c.name='Plain'"),
              1);
}

TEST_F(ImportTest, SnippetsAreAddedKeptRestoredOrReplaceAnUntouchedDefault) {
    // The defaults "Письмо" (untouched) and "Заголовок документа" (edited).
    const std::string letter = "\xD0\x9F\xD0\xB8\xD1\x81\xD1\x8C\xD0\xBC\xD0\xBE";
    const std::string heading = "\xD0\x97\xD0\xB0\xD0\xB3\xD0\xBE\xD0\xBB\xD0\xBE\xD0\xB2\xD0\xBE\xD0\xBA "
                                "\xD0\xB4\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD0\xB0";
    raw().exec("UPDATE snippets SET text='my own heading' WHERE title='" + heading + "'");
    std::int64_t trashed = db().add_snippet(L"Trashed", L"body", L"");
    db().trash_snippet(trashed);
    ASSERT_GT(db().add_snippet(L"Ungrouped", L"body", L""), 0);

    ImportCounts c = import_text(R"({"snippets": [
        {"title": ")" + letter + R"(", "text": "imported letter", "group": "Mail", "use_count": 5, "created_at": "2025-05-05T05:05:05"},
        {"title": ")" + heading + R"(", "text": "imported heading", "group": "", "use_count": 1, "created_at": ""},
        {"title": "Trashed", "text": "other body", "group": "", "use_count": 0, "created_at": "x"},
        {"title": "Ungrouped", "text": "other body", "group": " Later "},
        {"title": "  New one ", "text": "text\n", "group": " G ", "use_count": -4},
        {"title": "   ", "text": "no title"},
        {"title": "No text", "text": ""},
        "not an object"
    ], "snippet_groups": [" Spaced ", "", 7, "Spaced"], "snippet_groups": ["Second list"]})");
    EXPECT_EQ(counts_text(c), counts(0, 0, 0, 1, 3, 1, 3));
    EXPECT_EQ(raw().rows("SELECT text, grp, use_count, created_at FROM snippets WHERE title='" + letter + "'")[0],
              (std::vector<std::string>{"imported letter", "Mail", "5", "2025-05-05T05:05:05"}));
    EXPECT_EQ(raw().text("SELECT text FROM snippets WHERE title='" + heading + "'"), "my own heading");
    EXPECT_EQ(raw().rows("SELECT COALESCE(deleted_at, '-'), text FROM snippets WHERE title='Trashed'")[0],
              (std::vector<std::string>{"-", "body"}));
    EXPECT_EQ(raw().text("SELECT grp FROM snippets WHERE title='Ungrouped'"), "Later");
    EXPECT_EQ(raw().rows("SELECT text, grp, use_count, created_at FROM snippets WHERE title='New one'")[0],
              (std::vector<std::string>{"text\n", "G", "0", ""}));
    EXPECT_EQ(raw().text("SELECT group_concat(name, ',') FROM (SELECT name FROM snippet_groups ORDER BY name)"),
              "Second list,Spaced,\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B,"
              "\xD0\x9F\xD0\xB8\xD1\x81\xD1\x8C\xD0\xBC\xD0\xB0");
}

// ---- bad and hostile files --------------------------------------------------------------

std::string deep(const std::string& open, int depth) {
    std::string s;
    s.reserve(open.size() * depth);
    for (int i = 0; i < depth; ++i) s += open;
    return s;
}

TEST_F(ImportTest, BadFilesImportOnlyTheirValidEntriesAndNeverCrash) {
    const std::string valid = R"({"text": "valid", "created_at": "2026-01-01T00:00:00"})";
    const std::string dib = base64_encode(backup_test::make_dib(1, 1, 7));
    const std::string good_image = R"({"text": "", "created_at": "2026-01-01T00:00:00", "is_image": true, "image": ")" + dib + "\"}";
    std::string export_of_store;
    {
        backup_test::fill_rich_store(db(), raw());
        export_of_store = export_bytes(db());
        backup_test::empty_tables(raw());
    }
    struct Case {
        const char* name;
        std::string json;
        ImportStatus status;
        int added;
        int skipped;
    };
    const Case cases[] = {
        {"not JSON", "hello, world", ImportStatus::kUnreadable, 0, 0},
        {"empty file", "", ImportStatus::kUnreadable, 0, 0},
        {"a number", "42", ImportStatus::kUnreadable, 0, 0},
        {"truncated export", export_of_store.substr(0, export_of_store.size() / 2), ImportStatus::kUnreadable, 0, 0},
        {"cut before the last brace", export_of_store.substr(0, export_of_store.size() - 1), ImportStatus::kUnreadable, 0, 0},
        {"unterminated array", "[" + valid + ",", ImportStatus::kUnreadable, 0, 0},
        {"100000 nested arrays", deep("[", 100000), ImportStatus::kUnreadable, 0, 0},
        {"100000 nested objects", deep("{\"a\":", 100000), ImportStatus::kUnreadable, 0, 0},
        {"deep inside entries", entry_file(valid + "," + deep("[", 100000)), ImportStatus::kUnreadable, 0, 0},
        {"elements not objects", entry_file("1, \"x\", null, [], true, " + valid), ImportStatus::kOk, 1, 5},
        {"wrong types", entry_file(R"({"text": 5, "created_at": "2026-01-01T00:00:00"},
                                    {"text": "t", "created_at": true},
                                    {"text": "typed", "created_at": "2026-01-01T00:00:00", "pinned": "yes",
                                     "keep": 1, "slot_order": "3", "category": 4, "is_image": "true"})"),
         ImportStatus::kOk, 1, 2},
        {"huge numbers", entry_file(R"({"text": "n", "created_at": "c", "slot_order": 99999999999999999999999999,
                                     "pinned": 123456789012345678901234567890})"),
         ImportStatus::kOk, 1, 0},
        {"blank text", entry_file(R"({"text": " \t ", "created_at": "c"}, )" + valid), ImportStatus::kOk, 1, 1},
        {"bad Base64", entry_file(R"({"created_at": "c", "is_image": true, "image": "!!!!"},
                                   {"created_at": "c", "is_image": true, "image": "QUJD="},
                                   {"created_at": "c", "is_image": true, "image": "QQ==QQ=="},
                                   {"created_at": "c", "is_image": true, "image": "QUJD\nREVG"}, )" +
                                  good_image),
         ImportStatus::kOk, 1, 4},
        // An image that is not kept leaves its text, a text entry.
        {"image bytes neither PNG nor bitmap", entry_file(R"({"text": "i", "created_at": "c", "is_image": true,
                                                           "image": "QUJDREVGR0g="})"),
         ImportStatus::kOk, 1, 0},
        {"bitmap of 10^10 pixels",
         entry_file(R"({"text": "i", "created_at": "c", "is_image": true, "image": ")" +
                    base64_encode(std::string("\x28\0\0\0\xA0\x86\x01\0\xA0\x86\x01\0\x01\0\x20\0", 16) +
                                  std::string(28, '\0')) +
                    "\"}"),
         ImportStatus::kOk, 1, 0},
        {"invalid UTF-8", entry_file("{\"text\": \"bad \xC3\x28\", \"created_at\": \"c\"},"
                                     "{\"text\": \"overlong \xC0\xAF\", \"created_at\": \"c\"},"
                                     "{\"text\": \"surrogate \xED\xA0\x80\", \"created_at\": \"c\"},"
                                     "{\"text\": \"cut \xE2\x82\", \"created_at\": \"c\"},"
                                     "{\"text\": \"nul \\u0000 inside\", \"created_at\": \"c\"},"
                                     "{\"text\": \"ok\", \"created_at\": \"c\", \"category\": \"\xFF\"}," +
                                     valid),
         ImportStatus::kOk, 1, 6},
        {"lone surrogate escape becomes U+FFFD", entry_file(R"({"text": "x \ud800 y", "created_at": "c"})"),
         ImportStatus::kOk, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string before = dump_store(raw());
        ImportCounts got = import_text(c.json);
        EXPECT_EQ(got.status, c.status);
        EXPECT_EQ(got.entries_added, c.added);
        EXPECT_EQ(got.skipped, c.skipped);
        if (c.added == 0) {
            EXPECT_EQ(dump_store(raw()), before);
        }
        EXPECT_EQ(raw().text("PRAGMA integrity_check"), "ok");
        backup_test::empty_tables(raw());
    }
}

TEST_F(ImportTest, FilesThatCannotBeReadChangeNothing) {
    std::string before = dump_store(raw());
    EXPECT_EQ(db().import_json(dir_.file(L"missing.json")).status, ImportStatus::kUnreadable);
    EXPECT_EQ(db().import_json(dir_.path()).status, ImportStatus::kUnreadable);
    EXPECT_EQ(dump_store(raw()), before);
}

TEST_F(ImportTest, AByteOrderMarkIsSkipped) {
    EXPECT_EQ(import_text("\xEF\xBB\xBF" + entry_file(R"({"text": "bom", "created_at": "c"})")).entries_added, 1);
}

// A statement failing in the middle rolls back everything, the categories
// the import created included.
TEST_F(ImportTest, AFailingStatementRollsTheWholeImportBack) {
    stored_text(L"present", "2026-01-01T00:00:00");
    raw().exec("CREATE TRIGGER refuse_boom BEFORE INSERT ON history WHEN NEW.text='boom' "
               "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    std::string before = dump_store(raw());
    ImportCounts c = import_text(R"({"entries": [
        {"text": "before", "created_at": "c", "category": "Created", "category_pinned": true, "slot_order": 1},
        {"text": "boom", "created_at": "c"},
        {"text": "present", "created_at": "2026-01-01T00:00:00", "pinned": true},
        {"text": "after", "created_at": "c", "category": "Also created"}],
        "snippets": [{"title": "S", "text": "t"}], "snippet_groups": ["G"]})");
    EXPECT_EQ(counts_text(c), counts(2, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(dump_store(raw()), before);

    raw().exec("DROP TRIGGER refuse_boom");
    c = import_text(entry_file(R"({"text": "works now", "created_at": "c"})"));
    EXPECT_EQ(counts_text(c), counts(0, 1, 0, 0, 0, 0, 0));
}

TEST_F(ImportTest, AStoreLockedByAnotherWriterFailsWithoutChange) {
    std::string before = dump_store(raw());
    raw().exec("BEGIN IMMEDIATE");
    ImportCounts c = import_text(entry_file(R"({"text": "t", "created_at": "c"})"));
    raw().exec("COMMIT");
    EXPECT_EQ(c.status, ImportStatus::kFailed);
    EXPECT_EQ(dump_store(raw()), before);
}

// Entries are found through the time-stamp index, not by reading the table
// once per imported entry.
TEST_F(ImportTest, MatchingUsesTheTimeStampIndex) {
    const char* const lookups[] = {
        "SELECT id, deleted_at IS NOT NULL FROM history WHERE is_image=0 AND created_at=?1 AND text=?2 LIMIT 1",
        "SELECT id, deleted_at IS NOT NULL FROM history WHERE is_image=1 AND created_at=?1 AND length(image)=?2",
        "SELECT id, deleted_at IS NOT NULL FROM history WHERE created_at=?1 AND text=?2 "
        "AND (is_image=0 OR image IS NULL OR length(image)=0) ORDER BY is_image LIMIT 1",
    };
    for (const char* q : lookups) {
        std::string plan;
        for (const auto& r : raw().rows(std::string("EXPLAIN QUERY PLAN ") + q)) plan += r.back() + ";";
        EXPECT_NE(plan.find("history_created_at"), std::string::npos) << q << " -> " << plan;
    }
    std::string plan;
    for (const auto& r : raw().rows("EXPLAIN QUERY PLAN SELECT id FROM snippets WHERE title='x'")) plan += r.back();
    EXPECT_NE(plan.find("snippets_title"), std::string::npos) << plan;
}

// ---- the history limit -------------------------------------------------------------------

// The entries of a backup: count unpinned text entries "<prefix> 0", ... in
// the file's order, all of the same older time.
std::string older_entries(const std::string& prefix, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += std::string(i ? "," : "") + "{\"text\": \"" + prefix + " " + std::to_string(i) +
               "\", \"created_at\": \"2025-03-01T12:00:00\", \"pinned\": false, \"keep\": false}";
    }
    return out;
}

// An import applies the history limit at its end, as a capture does after
// its insert: with 150 copies of today, a backup of 200 older unpinned
// entries keeps its newest 50, says that 150 were not kept, and leaves the
// copies alone; pinned entries are neither counted nor removed. The next
// copy then pushes out one entry, as a copy always does.
TEST_F(ImportTest, TheHistoryLimitAppliesAtTheEndOfAnImportAndSparesTheNewerCopies) {
    std::vector<std::int64_t> pinned;
    for (int i = 0; i < 3; ++i) pinned.push_back(add_text(L"pinned by the user " + std::to_wstring(i)));
    db().set_pinned_many(pinned, true);
    std::vector<std::int64_t> copies;
    for (int i = 0; i < 150; ++i) copies.push_back(add_text(L"copied today " + std::to_wstring(i)));
    ASSERT_EQ(std::count(copies.begin(), copies.end(), 0), 0);
    const std::string unpinned = "SELECT COUNT(*) FROM history WHERE " + kUnpinned;
    const std::string copies_left = "SELECT COUNT(*) FROM history WHERE text LIKE 'copied today %'";

    const ImportCounts counts = import_text(entry_file(
        older_entries("restored", 200) + R"(, {"text": "restored and pinned", "created_at": "2025-03-01T12:00:00",
        "pinned": true})"));
    ASSERT_EQ(counts.status, ImportStatus::kOk);
    EXPECT_EQ(counts.entries_added, 201);
    EXPECT_EQ(counts.entries_not_kept, 150);
    EXPECT_EQ(raw().number(copies_left), 150);
    EXPECT_EQ(raw().number(unpinned), 200);
    // The restored entries kept are the file's first (newest) 50.
    EXPECT_EQ(raw().text("SELECT group_concat(text, ',') FROM (SELECT text FROM history WHERE text LIKE 'restored %' "
                         "AND pinned=0 ORDER BY CAST(substr(text, 10) AS INTEGER))"),
              [] {
                  std::string s;
                  for (int i = 0; i < 50; ++i) s += (i ? ",restored " : "restored ") + std::to_string(i);
                  return s;
              }());
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history WHERE pinned=1"), 4);
    // The user's copies list above every restored entry.
    const std::vector<HistoryEntry> all = db().list_entries(L"all", false, true);
    ASSERT_GE(all.size(), 154u);
    for (std::size_t i = 4; i < 154; ++i) EXPECT_EQ(all[i].text.rfind(L"copied today ", 0), 0u) << i;

    const std::int64_t rows = raw().number("SELECT COUNT(*) FROM history");
    ASSERT_GT(add_text(L"one more copy"), 0);
    EXPECT_GE(raw().number("SELECT COUNT(*) FROM history"), rows) << "the next copy removed more than one entry";
    EXPECT_EQ(raw().number(unpinned), 200);
    EXPECT_EQ(raw().number(copies_left), 150);
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history WHERE pinned=1"), 4);
}

// Entries an earlier import left with sort order 0 are the user's by now:
// a later import lists below them, and its own entries are what the limit
// removes.
TEST_F(ImportTest, AnImportListsBelowEntriesRestoredEarlier) {
    ASSERT_EQ(import_text(entry_file(older_entries("earlier", 195))).entries_not_kept, 0);
    raw().exec("UPDATE history SET sort_order=0");
    const ImportCounts counts = import_text(entry_file(older_entries("later", 20)));
    EXPECT_EQ(counts.entries_added, 20);
    EXPECT_EQ(counts.entries_not_kept, 15);
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history WHERE text LIKE 'earlier %'"), 195);
    EXPECT_EQ(raw().text("SELECT group_concat(text, ',') FROM (SELECT text FROM history WHERE text LIKE 'later %' "
                         "ORDER BY id)"),
              "later 4,later 3,later 2,later 1,later 0");
    const std::vector<HistoryEntry> all = db().list_entries(L"all", false, true);
    ASSERT_EQ(all.size(), 200u);
    EXPECT_EQ(all[194].text, L"earlier 194");
    EXPECT_EQ(all[195].text, L"later 0");
    EXPECT_EQ(all[199].text, L"later 4");
}

// ---- pure helpers ---------------------------------------------------------------------------

TEST(BackupText, Utf8Validation) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"plain ASCII", true},
        {"\xD0\x9F\xD1\x80\xD0\xB8", true},
        {"\xE2\x82\xAC", true},
        {"\xF0\x9F\x98\x80", true},
        {"\xF4\x8F\xBF\xBF", true},
        {std::string("a\0b", 3), false},
        {"\x80", false},
        {"\xC0\xAF", false},
        {"\xC1\xBF", false},
        {"\xE0\x80\xAF", false},
        {"\xF0\x80\x80\xAF", false},
        {"\xED\xA0\x80", false},
        {"\xED\xBF\xBF", false},
        {"\xF4\x90\x80\x80", false},
        {"\xF5\x80\x80\x80", false},
        {"\xE2\x82", false},
        {"\xC3\x28", false},
        {"\xFF", false},
    };
    for (const Case& c : cases) EXPECT_EQ(is_valid_utf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

TEST(BackupText, StrictBase64) {
    struct Case {
        const char* text;
        bool valid;
        std::string bytes;
    };
    const Case cases[] = {
        {"", true, ""},
        {"QUJD", true, "ABC"},
        {"QUI=", true, "AB"},
        {"QQ==", true, "A"},
        {"+/+/", true, "\xFB\xFF\xBF"},
        {"QUJ", false, ""},
        {"QUJD=", false, ""},
        {"Q===", false, ""},
        {"====", false, ""},
        {"QQ==QQ==", false, ""},
        {"QU JD", false, ""},
        {"QUJD\n", false, ""},
        {"QU-D", false, ""},
        {"QU_D", false, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> out{1, 2, 3};
        EXPECT_EQ(decode_base64_strict(c.text, out), c.valid) << c.text;
        EXPECT_EQ(std::string(out.begin(), out.end()), c.bytes) << c.text;
    }
}

// Longer texts: every byte value and length round-trips through the
// encoder, and one character outside the alphabet at any place, in any
// position of its quad, fails both the check and the decoding.
TEST(BackupText, StrictBase64OfLongTextsChecksEveryCharacter) {
    std::vector<std::uint8_t> bytes(1000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    std::vector<std::uint8_t> out;
    for (std::size_t n : {1u, 2u, 3u, 4u, 5u, 47u, 48u, 49u, 255u, 256u, 1000u}) {
        std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        std::string text = base64_encode(part);
        std::uint64_t size = 0;
        EXPECT_TRUE(base64_strict_size(text, size)) << n;
        EXPECT_EQ(size, n);
        ASSERT_TRUE(decode_base64_strict(text, out)) << n;
        EXPECT_EQ(out, part) << n;
    }
    const std::string valid = base64_encode(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 29));
    ASSERT_EQ(valid.size(), 40u);
    ASSERT_EQ(valid.back(), '=');
    for (std::size_t at = 0; at + 1 < valid.size(); ++at) {
        for (char bad : {'=', '-', ' ', '\0', '\x80', '\xFF'}) {
            if (bad == '=' && at == valid.size() - 2) continue;  // "==": valid padding
            std::string text = valid;
            text[at] = bad;
            std::uint64_t size = 0;
            EXPECT_FALSE(base64_strict_size(text, size)) << at << " " << int(bad);
            EXPECT_FALSE(decode_base64_strict(text, out)) << at << " " << int(bad);
            EXPECT_TRUE(out.empty());
        }
    }
}

TEST(BackupText, ImageBytesMustLookLikeABoundedPngOrBitmap) {
    auto png_with = [](std::uint32_t w, std::uint32_t h) {
        std::vector<std::uint8_t> png = backup_test::tiny_png();
        for (int i = 0; i < 4; ++i) {
            png[16 + i] = static_cast<std::uint8_t>(w >> (24 - 8 * i));
            png[20 + i] = static_cast<std::uint8_t>(h >> (24 - 8 * i));
        }
        return png;
    };
    auto dib_with = [](std::uint32_t header, std::int32_t w, std::int32_t h, std::uint16_t bits) {
        std::vector<std::uint8_t> dib = backup_test::make_dib(1, 1, 0);
        auto put32 = [&](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) dib[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        };
        put32(0, header);
        put32(4, static_cast<std::uint32_t>(w));
        put32(8, static_cast<std::uint32_t>(h));
        dib[14] = static_cast<std::uint8_t>(bits);
        dib[15] = static_cast<std::uint8_t>(bits >> 8);
        return dib;
    };
    const std::vector<std::uint8_t> png = backup_test::tiny_png();
    std::vector<std::uint8_t> short_png(png.begin(), png.begin() + 20);
    std::vector<std::uint8_t> with_v5 = dib_with(124, 1, 1, 32);
    with_v5.resize(130, 0);
    std::vector<std::uint8_t> with_os2 = dib_with(64, 2, 2, 24);
    with_os2.resize(64 + 16, 0);
    // Every row must be there: 4 rows of 12 bytes.
    std::vector<std::uint8_t> top_down = dib_with(40, 4, -4, 24);
    top_down.resize(40 + 48, 0);
    std::vector<std::uint8_t> cut_top_down(top_down.begin(), top_down.end() - 12);
    // The 12-byte core header: 16-bit width and height, planes, depth.
    auto core_with = [](std::uint16_t w, std::uint16_t h, std::uint16_t bits) {
        std::vector<std::uint8_t> dib(12 + 16, 0);
        dib[0] = 12;
        dib[4] = static_cast<std::uint8_t>(w);
        dib[5] = static_cast<std::uint8_t>(w >> 8);
        dib[6] = static_cast<std::uint8_t>(h);
        dib[7] = static_cast<std::uint8_t>(h >> 8);
        dib[8] = 1;
        dib[10] = static_cast<std::uint8_t>(bits);
        return dib;
    };
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool ok;
    };
    const Case cases[] = {
        {"png", backup_test::tiny_png(), true},
        {"png 8192 x 8192", png_with(8192, 8192), true},
        {"png 8193 x 8192", png_with(8193, 8192), false},
        {"png 0 wide", png_with(0, 1), false},
        {"png 2^31 high", png_with(1, 0x80000000u), false},
        {"png cut in its header", short_png, false},
        {"bitmap", backup_test::make_dib(3, 2, 1), true},
        {"top-down bitmap", top_down, true},
        {"top-down bitmap without its last row", cut_top_down, false},
        {"bitmap with a v5 header", with_v5, true},
        {"12-byte core header", core_with(2, 2, 24), true},
        {"core header 0 wide", core_with(0, 2, 24), false},
        {"core header 0 high", core_with(2, 0, 24), false},
        {"core header 3 bits per pixel", core_with(2, 2, 3), false},
        {"64-byte header", with_os2, true},
        {"header size 16", dib_with(16, 1, 1, 32), false},
        {"header size 41", dib_with(41, 1, 1, 32), false},
        {"header beyond the bytes", dib_with(124, 1, 1, 32), false},
        {"width 0", dib_with(40, 0, 1, 32), false},
        {"negative width", dib_with(40, -1, 1, 32), false},
        {"height 0", dib_with(40, 1, 0, 32), false},
        {"height INT_MIN", dib_with(40, 1, INT32_MIN, 32), false},
        {"3 bits per pixel", dib_with(40, 1, 1, 3), false},
        {"8192 x 8193 pixels", dib_with(40, 8192, -8193, 32), false},
        {"8192 x 8192 pixels over one pixel's bytes", dib_with(40, 8192, 8192, 8), false},
        {"empty", {}, false},
        {"text", {'h', 'e', 'l', 'l', 'o'}, false},
    };
    for (const Case& c : cases) {
        // The capture keeps exactly what a backup may carry back.
        EXPECT_EQ(winutil::image_bytes_keepable(c.bytes), c.ok) << c.name;
        EXPECT_EQ(backup_image_text_acceptable(base64_encode(c.bytes)), c.ok) << c.name;
    }
}

TEST(BackupText, ReadingKeepsTheFirstMemberOfTheRightKind) {
    ParsedBackup p = read_backup_text(R"({"entries": [{"text": 1, "text": "second", "created_at": "c",
        "pinned": "no", "pinned": true, "slot_order": "x", "slot_order": 3}], "entries": [{"text": "replaced",
        "created_at": "c"}, {"text": "list", "created_at": "c", "category_pinned": 0}]})");
    ASSERT_TRUE(p.readable);
    ASSERT_EQ(p.entries.size(), 2u);
    EXPECT_EQ(p.entries[0].text, L"replaced");
    EXPECT_FALSE(p.entries[0].has_category_pinned);
    EXPECT_TRUE(p.entries[1].has_category_pinned);  // any kind counts
    EXPECT_FALSE(p.entries[1].category_pinned);

    p = read_backup_text(R"([{"text": 1, "text": "second", "created_at": "c", "pinned": "no", "pinned": true,
        "slot_order": "x", "slot_order": 3}])");
    ASSERT_EQ(p.entries.size(), 1u);
    EXPECT_EQ(p.entries[0].text, L"second");
    EXPECT_TRUE(p.entries[0].pinned);
    EXPECT_EQ(p.entries[0].slot_order, 3);
}

// The file reader keeps of an element only what the import reads; what it
// takes from each element is what the reader of a whole text takes.
TEST(BackupText, TheFileReaderTakesWhatTheWholeTextReaderTakes) {
    const char* const elements[] = {
        R"({"text": 1, "text": "second", "text": "third", "created_at": "c", "pinned": "no", "pinned": true,
            "slot_order": "x", "slot_order": 3, "slot_order": 4})",
        R"({"text": "nested", "created_at": "c", "extra": [[1, 2], {"text": "inner"}], "category": {"a": "b"},
            "category": "Work", "category_pinned": [true], "keep": true})",
        R"({"unknown": "u", "text": "with a null pin", "created_at": "c", "category": "Home", "category_pinned": null})",
        R"({"text": "an image without bytes", "created_at": "c", "is_image": true, "image": ["x"]})",
        R"(["not", "an", "object"])",
        R"("a string")",
        R"({"text": "", "created_at": "c"})",
    };
    store_test::TempDir dir;
    for (const char* element : elements) {
        SCOPED_TRACE(element);
        const std::string file = std::string("{\"entries\": [") + element + "]}";
        const ParsedBackup whole = read_backup_text(file);
        ASSERT_TRUE(whole.readable);
        const std::wstring path = dir.file(L"element.json");
        write_file(path, file);
        BackupFileReader reader;
        ASSERT_TRUE(reader.open(path));
        const BackupIndex index = reader.scan();
        ASSERT_TRUE(index.readable);
        EXPECT_EQ(index.skipped, whole.skipped);
        ASSERT_EQ(index.entries.size(), whole.entries.size());
        if (whole.entries.empty()) continue;
        ImportedEntry e;
        ASSERT_TRUE(reader.entry_at(index.entries[0].offset, e));
        const ImportedEntry& w = whole.entries[0];
        EXPECT_EQ(e.text, w.text);
        EXPECT_EQ(e.category, w.category);
        EXPECT_EQ(index.entries[0].has_category_pinned, w.has_category_pinned);
        EXPECT_EQ(e.category_pinned, w.category_pinned);
        EXPECT_EQ(e.pinned, w.pinned);
        EXPECT_EQ(e.keep, w.keep);
        EXPECT_EQ(e.slot_order, w.slot_order);
        EXPECT_EQ(e.is_image, w.is_image);
        EXPECT_EQ(e.bitmap_not_kept, w.bitmap_not_kept);
    }
}

// ---- the message ---------------------------------------------------------------------------

TEST(ImportMessage, ShowsTheCountsThatApplyOrTheFailure) {
    store_test::TempDir dir;
    write_file(dir.file(L"xi.ini"),
               "status.imported = added %d, present %d\n"
               "status.imported_snippets = snippets %d\n"
               "status.imported_snippets_restored = replaced %d\n"
               "status.import_over_limit = over the limit of %d: %d\n"
               "status.import_skipped = skipped %d\n"
               "status.import_unreadable = unreadable\n"
               "status.import_failed = failed\n");
    set_language(L"xi");
    ASSERT_TRUE(load_language(dir.path()));
    ImportCounts c;
    c.entries_added = 3;
    c.entries_present = 4;
    c.snippets_kept = 9;
    EXPECT_EQ(import_result_message(c), L"added 3, present 4");
    c.snippets_added = 2;
    c.snippets_replaced = 1;
    c.skipped = 5;
    EXPECT_EQ(import_result_message(c), L"added 3, present 4\nsnippets 2\nreplaced 1\nskipped 5");
    c.entries_not_kept = 7;
    EXPECT_EQ(import_result_message(c), L"added 3, present 4\nsnippets 2\nreplaced 1\nover the limit of 200: 7\nskipped 5");
    c.snippets_added = 0;
    c.skipped = 0;
    c.entries_not_kept = 0;
    EXPECT_EQ(import_result_message(c), L"added 3, present 4\nreplaced 1");
    c.status = ImportStatus::kUnreadable;
    EXPECT_EQ(import_result_message(c), L"unreadable");
    c.status = ImportStatus::kFailed;
    EXPECT_EQ(import_result_message(c), L"failed");
    set_language(L"en");
}

}  // namespace
