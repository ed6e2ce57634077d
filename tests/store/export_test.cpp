// The JSON backup export: its exact bytes, what it writes and leaves out,
// and that a failed write never damages an earlier backup.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/i18n.h"
#include "core/json.h"
#include "core/text.h"
#include "store/database.h"
#include "store/export.h"
#include "tests/core/temp_folder.h"
#include "tests/store/fixtures/backup_samples.h"
#include "tests/store/store_fixture.h"

namespace {

using backup_test::read_bytes;
using store_test::file_exists;
using store_test::write_file;

class ExportTest : public store_test::StoreTest {
protected:
    std::string export_text() {
        std::wstring out = dir_.file(L"out.json");
        EXPECT_GE(db().export_json(out), 0);
        return read_bytes(out);
    }

    // The document built from the store's own lists: entries of "all" then
    // "images" with pinned ones first, the live snippets by title and the
    // groups.
    JsonValue printed_document() {
        JsonValue doc;
        json_object_set(doc, "format", JsonValue::from_string("quillet-export"));
        json_object_set(doc, "version", JsonValue::from_int(2));
        std::map<std::int64_t, std::int64_t> slot_position;
        for (const HistoryEntry& e : db().list_slot_entries()) slot_position.emplace(e.id, slot_position.size() + 1);
        std::vector<Category> categories = db().list_categories();
        JsonValue entries;
        entries.kind = JsonValue::kArray;
        for (const wchar_t* view : {L"all", L"images"}) {
            for (const HistoryEntry& e : db().list_entries(view, false, true)) {
                JsonValue o;
                json_object_set(o, "text", JsonValue::from_string(to_utf8(e.text)));
                json_object_set(o, "created_at", JsonValue::from_string(to_utf8(e.created_at)));
                json_object_set(o, "pinned", JsonValue::from_bool(e.pinned));
                json_object_set(o, "keep", JsonValue::from_bool(e.keep));
                if (slot_position.count(e.id)) json_object_set(o, "slot_order", JsonValue::from_int(slot_position[e.id]));
                const Category* cat = nullptr;
                for (const Category& c : categories)
                    if (e.category_id && c.id == *e.category_id) {
                        cat = &c;
                        break;
                    }
                json_object_set(o, "category", JsonValue::from_string(cat ? to_utf8(cat->name) : ""));
                json_object_set(o, "category_pinned", JsonValue::from_bool(cat && cat->pinned));
                if (e.is_image) {
                    json_object_set(o, "is_image", JsonValue::from_bool(true));
                    json_object_set(o, "image", JsonValue::from_string(base64_encode(e.image)));
                }
                entries.elements.push_back(o);
            }
        }
        json_object_set(doc, "entries", entries);
        JsonValue snippets;
        snippets.kind = JsonValue::kArray;
        for (const Snippet& s : db().list_snippets()) {
            JsonValue o;
            json_object_set(o, "title", JsonValue::from_string(to_utf8(s.title)));
            json_object_set(o, "text", JsonValue::from_string(to_utf8(s.text)));
            json_object_set(o, "group", JsonValue::from_string(to_utf8(s.grp)));
            json_object_set(o, "use_count", JsonValue::from_int(s.use_count));
            json_object_set(o, "created_at", JsonValue::from_string(to_utf8(s.created_at)));
            snippets.elements.push_back(o);
        }
        json_object_set(doc, "snippets", snippets);
        JsonValue groups;
        groups.kind = JsonValue::kArray;
        for (const std::wstring& g : db().list_snippet_groups()) groups.elements.push_back(JsonValue::from_string(to_utf8(g)));
        json_object_set(doc, "snippet_groups", groups);
        return doc;
    }

    // The store behind tests/store/fixtures/small_backup.json.
    void build_small_store() {
        raw().exec("DELETE FROM snippets; DELETE FROM snippet_groups;");
        std::int64_t work = db().add_category(L"Work");
        std::int64_t home = db().add_category(L"Home");
        db().set_category_pinned(work, true);
        std::int64_t a = db().add_text_entry(L"Say \"hi\"\tnow \\ back\nline two", work, true, false);
        std::int64_t b = db().add_text_entry(L"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440",
                                             std::nullopt, false, false);
        std::int64_t c = db().add_text_entry(L"bell\x01 and slash /", home, false, false);
        std::int64_t d = db().add_text_entry(L"in the trash", home, false, false);
        std::vector<std::uint8_t> dib = backup_test::make_dib(1, 1, 0);
        dib[42] = 0xFF;  // one red pixel
        std::int64_t e = add_image(L"", dib);
        ASSERT_TRUE(a > 0 && b > 0 && c > 0 && d > 0 && e > 0);
        db().set_keep(b, true);
        db().trash_entry(d);
        struct Row {
            std::int64_t id;
            const char* created;
            int order;
        };
        for (Row r : {Row{a, "2026-02-03T09:05:00", 10}, Row{b, "2026-02-03T09:06:01", 30},
                      Row{c, "2026-01-31T23:59:59", 20}, Row{d, "2026-02-01T00:00:00", 40},
                      Row{e, "2026-02-04T10:00:00", 50}}) {
            raw().exec("UPDATE history SET created_at='" + std::string(r.created) +
                       "', sort_order=" + std::to_string(r.order) + " WHERE id=" + std::to_string(r.id));
        }
        raw().exec("INSERT INTO slot_entries (entry_id, slot_order) VALUES (" + std::to_string(b) + ", 3), (" +
                   std::to_string(a) + ", 7)");
        ASSERT_GT(db().add_snippet(L"Greeting", L"Hello {user}!\nBye", L"Mail"), 0);
        ASSERT_GT(db().add_snippet(L"Address", L"Main St. 1", L""), 0);
        std::int64_t old = db().add_snippet(L"Old", L"trashed snippet", L"Gone");
        ASSERT_GT(old, 0);
        db().trash_snippet(old);
        db().add_snippet_group(L"Docs");
        raw().exec("UPDATE snippets SET use_count=3, created_at='2026-02-01T08:00:00' WHERE title='Greeting'");
        raw().exec("UPDATE snippets SET created_at='2026-02-02T12:30:00' WHERE title='Address'");
    }
};

TEST_F(ExportTest, SmallStoreMatchesTheHandWrittenFileByteForByte) {
    build_small_store();
    std::wstring fixture = backup_test::source_dir() + L"\\tests\\store\\fixtures\\small_backup.json";
    std::string expected = read_bytes(fixture);
    ASSERT_FALSE(expected.empty()) << "fixture not found: " << to_utf8(fixture);

    std::wstring out = dir_.file(L"small.json");
    EXPECT_EQ(db().export_json(out), 4);
    EXPECT_EQ(read_bytes(out), expected);
}

// The file is what the printer makes of the document built from the
// store's own lists: entries of "all" then "images" with pinned ones first,
// the live snippets by title and the groups.
TEST_F(ExportTest, EqualsThePrintedDocumentOfTheStoreLists) {
    backup_test::fill_rich_store(db(), raw());

    JsonValue doc = printed_document();
    const JsonValue& entries = doc.members[2].value;
    std::wstring out = dir_.file(L"rich.json");
    int count = db().export_json(out);
    EXPECT_EQ(count, static_cast<int>(entries.elements.size()));
    EXPECT_EQ(count, 11);  // 13 entries, 2 of them in the trash
    EXPECT_EQ(read_bytes(out), doc.to_string(0));
}

// The file goes out through a buffer of 1 MiB and images through pieces of
// 192 KiB of bytes: an empty store, files that end just before, on and
// just after a buffer boundary, and images whose text spans several
// buffers all print exactly as the document does.
TEST_F(ExportTest, BufferBoundariesDoNotChangeTheBytes) {
    constexpr std::size_t kBuffer = 1u << 20;
    EXPECT_EQ(export_text(), printed_document().to_string(0));

    std::int64_t filler = add_text(L"xx");
    ASSERT_GT(filler, 0);
    std::size_t filler_length = 2;
    auto export_of_size = [&](std::size_t size) {
        std::size_t now = export_text().size();
        ASSERT_LT(now - filler_length, size);
        filler_length = filler_length + size - now;
        raw().exec("UPDATE history SET text=replace(hex(zeroblob(" + std::to_string(filler_length) +
                   ")), '00', 'x') WHERE id=" + std::to_string(filler));
        std::string text = export_text();
        EXPECT_EQ(text.size(), size);
        EXPECT_EQ(text, printed_document().to_string(0)) << size;
    };
    for (std::size_t size : {kBuffer - 1, kBuffer, kBuffer + 1, 2 * kBuffer}) {
        export_of_size(size);
    }

    // Images of 360,040 and 702,284 bytes: their text ends with "==" and
    // "=", and crosses buffer boundaries.
    for (std::int32_t side : {300, 419}) {
        std::vector<std::uint8_t> dib = backup_test::make_dib(side, side, 0);
        for (std::size_t i = 40; i < dib.size(); ++i) dib[i] = static_cast<std::uint8_t>(i * 31 + i / 977);
        ASSERT_GT(add_image(L"", dib), 0);
    }
    EXPECT_EQ(export_text(), printed_document().to_string(0));
    export_of_size(3 * kBuffer);
}

// The encoder that writes images into the file gives base64_encode's text.
TEST(ExportBase64, EncodesAsBase64Encode) {
    std::vector<std::uint8_t> bytes(3 * 64 * 1024 + 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i + i / 256);
    for (std::size_t n : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 255u, 256u, 257u, 3u * 64u * 1024u - 1u,
                          3u * 64u * 1024u, 3u * 64u * 1024u + 2u}) {
        std::string out(base64_length(n) + 1, '#');
        std::size_t length = base64_encode_to(bytes.data(), n, out.data());
        EXPECT_EQ(length, base64_length(n)) << n;
        EXPECT_EQ(out.back(), '#') << n;  // nothing beyond the length
        out.resize(length);
        EXPECT_EQ(out, base64_encode(bytes.data(), n)) << n;
    }
}

TEST_F(ExportTest, EmptyStoreWritesEmptyArraysAndTheGroupsThatRemain) {
    raw().exec("DELETE FROM snippets");  // the two default groups stay
    std::wstring out = dir_.file(L"empty.json");
    EXPECT_EQ(db().export_json(out), 0);
    EXPECT_EQ(read_bytes(out),
              "{\n  \"format\": \"quillet-export\",\n  \"version\": 2,\n  \"entries\": [],\n"
              "  \"snippets\": [],\n  \"snippet_groups\": [\n"
              "    \"\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B\",\n"
              "    \"\xD0\x9F\xD0\xB8\xD1\x81\xD1\x8C\xD0\xBC\xD0\xB0\"\n  ]\n}");
}

TEST_F(ExportTest, CategoriesPinsAndSlotsAsTheEntryHasThem) {
    std::int64_t pinned_cat = db().add_category(L"Pinned cat");
    db().set_category_pinned(pinned_cat, true);
    std::int64_t gone_cat = db().add_category(L"Gone");
    std::int64_t in_pinned = add_text(L"in a pinned category", pinned_cat);
    std::int64_t own = add_text(L"own pin in a pinned category", pinned_cat);
    db().set_pinned_many({own}, true);
    std::int64_t none = add_text(L"no category");
    std::int64_t orphaned = add_text(L"category removed", gone_cat);
    raw().exec("PRAGMA foreign_keys=OFF; DELETE FROM categories WHERE id=" + std::to_string(gone_cat));
    // Slot rows: one without an entry (counts for no position), then two
    // live ones stored as 5 and 7: positions 1 and 2.
    raw().exec("INSERT INTO slot_entries (entry_id, slot_order) VALUES (987654, 1), (" + std::to_string(none) +
               ", 5), (" + std::to_string(in_pinned) + ", 7)");

    std::string text = export_text();
    JsonValue doc = JsonReader(text).parse_value();
    std::map<std::string, const JsonValue*> by_text;
    const JsonValue* entries = nullptr;
    for (const JsonMember& m : doc.members)
        if (m.key == "entries") entries = &m.value;
    ASSERT_NE(entries, nullptr);
    for (const JsonValue& e : entries->elements) by_text[json_get_string(e, "text", "")] = &e;
    ASSERT_EQ(by_text.size(), 4u);

    const JsonValue& a = *by_text["in a pinned category"];
    EXPECT_EQ(json_get_string(a, "category", "?"), "Pinned cat");
    EXPECT_TRUE(json_get_bool(a, "category_pinned", false));
    EXPECT_FALSE(json_get_bool(a, "pinned", true));  // the own flag, not the effective pin
    EXPECT_EQ(json_get_int(a, "slot_order", 0), 2);

    const JsonValue& b = *by_text["own pin in a pinned category"];
    EXPECT_TRUE(json_get_bool(b, "pinned", false));
    EXPECT_EQ(json_get_int(b, "slot_order", -1), -1);  // no member at all

    const JsonValue& c = *by_text["no category"];
    EXPECT_EQ(json_get_string(c, "category", "?"), "");
    EXPECT_FALSE(json_get_bool(c, "category_pinned", true));
    EXPECT_EQ(json_get_int(c, "slot_order", 0), 1);

    const JsonValue& d = *by_text["category removed"];
    EXPECT_EQ(json_get_string(d, "category", "?"), "");
    EXPECT_FALSE(json_get_bool(d, "category_pinned", true));
    (void)orphaned;
}

TEST_F(ExportTest, ReplacesAnOlderFileAndLeavesNoTemporaryFile) {
    add_text(L"first entry");
    std::wstring out = dir_.file(L"backup.json");
    write_file(out, "older backup");
    EXPECT_EQ(db().export_json(out), 1);
    EXPECT_NE(read_bytes(out).find("first entry"), std::string::npos);
    std::vector<std::wstring> files = backup_test::folder_files(dir_.path());
    for (const std::wstring& f : files) EXPECT_EQ(f.find(L".tmp"), std::wstring::npos) << to_utf8(f);
}

// A process of the export writer, started suspended: it runs until it is
// ended, and writes nothing.
PROCESS_INFORMATION start_suspended_writer() {
    const std::wstring exe = test_support::own_exe_dir() + L"\\export_writer.exe";
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    EXPECT_TRUE(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                               &si, &pi))
        << GetLastError();
    return pi;
}

void end_process(PROCESS_INFORMATION& pi) {
    if (!pi.hProcess) return;
    TerminateProcess(pi.hProcess, 9);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    pi = PROCESS_INFORMATION{};
}

// What interrupted exports left in the folder of the next export goes,
// whatever target it was for: files of the program's temporary naming that
// hold the start of a backup (or nothing yet) of a process that is gone, or
// whose id now belongs to a process started after the file was made. A
// user's file of the same naming, files of other names, the file of a
// process still running, this process's own and the file an export under
// way holds all stay.
TEST_F(ExportTest, RemovesTheTemporaryFilesOfInterruptedExportsInItsFolder) {
    add_text(L"an entry");
    const std::wstring out = dir_.file(L"backup.json");
    PROCESS_INFORMATION ended = start_suspended_writer();
    const unsigned long gone = ended.dwProcessId;
    end_process(ended);
    PROCESS_INFORMATION running = start_suspended_writer();
    ASSERT_NE(running.hProcess, nullptr);
    const std::string head = std::string(kBackupHead) + ",\n  \"version\": 2,\n  \"entries\": [\n    {";

    struct Case {
        const char* what;
        std::wstring name;
        std::string bytes;
        bool removed;
    } cases[] = {
        {"crashed export", backup_temp_name(out, gone, 123456789, 0), head + std::string(1 << 16, 'x'), true},
        {"export stopped before its first write", backup_temp_name(out, gone, 5, 3), "", true},
        {"crashed export to another name", backup_temp_name(dir_.file(L"Quillet-backup-2026-01-02_03-04.json"), gone, 1, 0),
         head, true},
        {"a user's file of the same naming", backup_temp_name(out, gone, 7, 0), "my own notes", false},
        {"a file of another naming", out + L".notes.tmp", head, false},
        {"a running process's export", backup_temp_name(out, running.dwProcessId, 9, 0), head, false},
        {"this process's export", backup_temp_name(out, GetCurrentProcessId(), 11, 0), head, false},
    };
    for (const Case& c : cases) write_file(c.name, c.bytes);
    const std::wstring held = backup_temp_name(out, gone, 15, 0);
    write_file(held, head);
    HANDLE live = CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(live, INVALID_HANDLE_VALUE);

    EXPECT_EQ(db().export_json(out), 1);
    CloseHandle(live);
    end_process(running);
    EXPECT_NE(read_bytes(out).find("an entry"), std::string::npos);
    for (const Case& c : cases) EXPECT_EQ(!file_exists(c.name), c.removed) << c.what;
    EXPECT_TRUE(file_exists(held)) << "the file an export under way holds";
}

// A process id in use again by a process started after the file was made
// is no longer the file's writer: the file, made first, is named for the
// process started after it.
TEST_F(ExportTest, AFileWhoseProcessIdWasTakenByALaterProcessIsRemoved) {
    const std::wstring out = dir_.file(L"backup.json");
    const std::wstring made = dir_.file(L"made-first.tmp");
    write_file(made, kBackupHead);
    auto creation_of = [](const std::wstring& path) {
        WIN32_FIND_DATAW found{};
        HANDLE find = FindFirstFileW(path.c_str(), &found);
        EXPECT_NE(find, INVALID_HANDLE_VALUE);
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
        return found.ftCreationTime;
    };
    const FILETIME file_made = creation_of(made);
    // A process started after the file: its start time is past the file's.
    PROCESS_INFORMATION later{};
    FILETIME started{}, unused{};
    for (int attempt = 0; attempt < 50; ++attempt) {
        later = start_suspended_writer();
        ASSERT_NE(later.hProcess, nullptr);
        ASSERT_TRUE(GetProcessTimes(later.hProcess, &started, &unused, &unused, &unused));
        if (CompareFileTime(&started, &file_made) > 0) break;
        end_process(later);
        WaitForSingleObject(GetCurrentProcess(), 20);  // the clock moves on
    }
    ASSERT_NE(later.hProcess, nullptr);
    const std::wstring named = backup_temp_name(out, later.dwProcessId, 1, 0);
    ASSERT_TRUE(MoveFileW(made.c_str(), named.c_str()));
    const FILETIME file_named = creation_of(named);
    ASSERT_GT(CompareFileTime(&started, &file_named), 0) << "the rename kept the file's creation time";
    EXPECT_EQ(remove_backup_leftovers(out), 1);
    end_process(later);
    EXPECT_FALSE(file_exists(named));
}

// A process killed during an export (export_writer.exe, exporting until it
// is killed) leaves its temporary file beside the target; the next export
// to that target removes it and writes a whole backup.
TEST_F(ExportTest, AnExportKilledMidwayLeavesItsFileForTheNextExportToRemove) {
    for (int i = 0; i < 12; ++i) ASSERT_GT(add_image(L"", backup_test::make_dib(1024, 512, static_cast<std::uint8_t>(i))), 0);
    const std::wstring target = dir_.file(L"backup.json");
    auto leftovers = [&] {
        int n = 0;
        for (const std::wstring& f : backup_test::folder_files(dir_.path())) n += is_backup_temp_name(L"backup.json", f);
        return n;
    };
    const std::wstring exe = test_support::own_exe_dir() + L"\\export_writer.exe";
    std::wstring cmd = L"\"" + exe + L"\" \"" + db_path_ + L"\" \"" + target + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << GetLastError();
    const ULONGLONG end = GetTickCount64() + 20000;
    while (leftovers() == 0 && GetTickCount64() < end && WaitForSingleObject(pi.hProcess, 5) == WAIT_TIMEOUT) {
    }
    TerminateProcess(pi.hProcess, 9);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_GE(leftovers(), 1) << "the killed export left its file";

    EXPECT_EQ(db().export_json(target), 12);
    EXPECT_EQ(leftovers(), 0);
    Database fresh(dir_.file(L"fresh.db"));
    ASSERT_TRUE(fresh.is_open());
    EXPECT_EQ(fresh.import_json(target).entries_added, 12);
}

TEST(BackupTempName, TellsTheProgramsOwnTemporaryNames) {
    struct Case {
        const wchar_t* name;
        bool ours;
    } cases[] = {
        {L"b.json.12-34-0.tmp", true},
        {L"b.json.1-2-99.tmp", true},
        {L"b.json.12-34.tmp", false},
        {L"b.json.12-34-0-1.tmp", false},
        {L"b.json.12--0.tmp", false},
        {L"b.json.a-34-0.tmp", false},
        {L"b.json.12-34-0.tmp.tmp", false},
        {L"b.json12-34-0.tmp", false},
        {L"c.json.12-34-0.tmp", false},
        {L"b.json.-12-34-0.tmp", false},
        {L"b.json..tmp", false},
        {L"b.json", false},
    };
    for (const Case& c : cases) EXPECT_EQ(is_backup_temp_name(L"b.json", c.name), c.ours) << to_utf8(c.name);
    EXPECT_TRUE(is_backup_temp_name(L"b.json", backup_temp_name(L"b.json", 4294967295ul, 18446744073709551615ull, 99)));
}

TEST(BackupTempName, GivesTheProcessOfATemporaryNameOfAnyTarget) {
    struct Case {
        const wchar_t* name;
        unsigned long process;
    } cases[] = {
        {L"b.json.12-34-0.tmp", 12},
        {L"Quillet-backup-2026-01-02_03-04.json.4242-1-0.tmp", 4242},
        {L"notes.txt.7-1-99.tmp", 7},
        {L"b.json.4294967295-1-0.tmp", 4294967295ul},
        {L"b.json.4294967296-1-0.tmp", 0},
        {L"b.json.0-1-0.tmp", 0},
        {L".12-34-0.tmp", 0},
        {L"b.json.12-34.tmp", 0},
        {L"b.json.12-34-0-1.tmp", 0},
        {L"b.json.12-34-0.tmp.tmp", 0},
        {L"b.json.12-x-0.tmp", 0},
        {L"b.json.notes.tmp", 0},
        {L"b.json.12-34-0.txt", 0},
        {L"12-34-0.tmp", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(backup_temp_process(c.name), c.process) << to_utf8(c.name);
}

// Targets that cannot be written: the result is -1, an older file stays as
// it was, and no partial file is left behind.
TEST_F(ExportTest, FailedWriteKeepsTheOldFile) {
    add_text(L"an entry");
    std::wstring folder = dir_.file(L"targets");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));

    // A folder where the file should go.
    std::wstring is_dir = folder + L"\\taken.json";
    ASSERT_TRUE(CreateDirectoryW(is_dir.c_str(), nullptr));
    EXPECT_EQ(db().export_json(is_dir), -1);
    DWORD attrs = GetFileAttributesW(is_dir.c_str());
    EXPECT_TRUE(attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY));

    // A folder that does not exist.
    EXPECT_EQ(db().export_json(folder + L"\\missing\\backup.json"), -1);

    // An older backup that another program holds open without sharing.
    std::wstring locked = folder + L"\\locked.json";
    write_file(locked, "the older backup");
    {
        HANDLE h = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(db().export_json(locked), -1);
        CloseHandle(h);
    }
    EXPECT_EQ(read_bytes(locked), "the older backup");

    // A read-only older backup.
    std::wstring read_only = folder + L"\\read-only.json";
    write_file(read_only, "kept as it is");
    ASSERT_TRUE(SetFileAttributesW(read_only.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(db().export_json(read_only), -1);
    EXPECT_EQ(read_bytes(read_only), "kept as it is");
    SetFileAttributesW(read_only.c_str(), FILE_ATTRIBUTE_NORMAL);

    std::vector<std::wstring> files = backup_test::folder_files(folder);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::wstring>{L"locked.json", L"read-only.json", L"taken.json"}));
}

TEST_F(ExportTest, ClosedStoreWritesNothing) {
    std::wstring out = dir_.file(L"never.json");
    write_file(out, "previous");
    // A store whose file cannot be opened (the path is a folder).
    std::wstring folder_db = dir_.file(L"a-folder.db");
    ASSERT_TRUE(CreateDirectoryW(folder_db.c_str(), nullptr));
    Database broken(folder_db);
    ASSERT_FALSE(broken.is_open());
    EXPECT_EQ(broken.export_json(out), -1);
    EXPECT_EQ(read_bytes(out), "previous");
}

TEST(BackupFileName, FormatsTheLocalTimeWithClampedFields) {
    struct Case {
        WORD year, month, day, hour, minute;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {2026, 2, 3, 9, 5, L"Quillet-backup-2026-02-03_09-05.json"},
        {2025, 12, 31, 23, 59, L"Quillet-backup-2025-12-31_23-59.json"},
        {2026, 13, 0, 24, 60, L"Quillet-backup-2026-01-01_00-00.json"},
        {2026, 0, 32, 23, 0, L"Quillet-backup-2026-01-01_23-00.json"},
        {999, 7, 4, 0, 0, L"Quillet-backup-0999-07-04_00-00.json"},
    };
    for (const Case& c : cases) {
        SYSTEMTIME t{};
        t.wYear = c.year;
        t.wMonth = c.month;
        t.wDay = c.day;
        t.wHour = c.hour;
        t.wMinute = c.minute;
        t.wSecond = 59;
        EXPECT_EQ(default_backup_file_name(t), c.expected);
    }
}

TEST(BackupFolder, IsThePathBeforeItsLastSeparator) {
    EXPECT_EQ(backup_folder_of(L"C:\\Users\\me\\backup.json"), L"C:\\Users\\me");
    EXPECT_EQ(backup_folder_of(L"D:/data/b.json"), L"D:/data");
    EXPECT_EQ(backup_folder_of(L"C:\\b.json"), L"C:\\");
    EXPECT_EQ(backup_folder_of(L"\\\\server\\share\\b.json"), L"\\\\server\\share");
    EXPECT_EQ(backup_folder_of(L"b.json"), L"");
}

TEST(ExportMessage, NamesThePathAndAsksToOpenItsFolder) {
    store_test::TempDir dir;
    write_file(dir.file(L"xe.ini"), "status.exported_to = Saved to %s\nstatus.open_folder = Open it?\n");
    set_language(L"xe");
    ASSERT_TRUE(load_language(dir.path()));
    EXPECT_EQ(export_done_message(L"C:\\b\\x.json"), L"Saved to C:\\b\\x.json\n\nOpen it?");
    set_language(L"en");
}

}  // namespace
