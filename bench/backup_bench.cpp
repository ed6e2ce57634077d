// Backup timings on a store of 10,000 text entries and 200 images of 1 MiB:
// the export, the import into an empty store, the same import again (every
// entry already present), each beside a plain copy of the same file, with
// the peak working set of the process that did the work. Beside them, the
// steps each is made of, timed apart (reading the store, encoding, the
// validation pass, reading the entries again, decoding, the duplicate
// lookups), and the floors of the writing: the same bytes written and
// flushed as the export writes them, and rows of the same sizes through a
// bare INSERT on a store with the same tables, indexes and settings.
//
// Each step runs in a process of its own (this program started again with
// the step's name), so that each peak belongs to that step alone.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/json.h"
#include "core/text.h"
#include "store/database.h"
#include "store/export.h"
#include "store/import.h"
#include "bench/bench_timing.h"

namespace {

using bench::now_ms;
using bench::check;

constexpr int kTexts = 10000;
constexpr int kImages = 200;
constexpr int kImageSide = 512;  // 512 x 512 x 4 bytes = 1 MiB of pixels

double peak_mib() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc))) {
        return -1.0;
    }
    return static_cast<double>(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

double file_mib(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) {
        return -1.0;
    }
    return static_cast<double>((static_cast<std::uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow) /
           (1024.0 * 1024.0);
}

std::uint64_t file_bytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

// A text column as the store reads it (UTF-16, then UTF-8 for the file).
std::wstring sqlite_text(sqlite3_stmt* s, int column) {
    const void* text = sqlite3_column_text16(s, column);
    return text ? std::wstring(static_cast<const wchar_t*>(text)) : std::wstring();
}

void fail(const char* what) {
    std::printf("backup bench: %s failed\n", what);
    std::exit(1);
}

// The store: text entries of about 100 characters in a few categories,
// some pinned, every tenth kept, and 1 MiB bitmaps of noise.
void populate(const std::wstring& dir) {
    std::wstring path = dir + L"\\source.db";
    { Database create(path); }
    sqlite3* db = nullptr;
    check(sqlite3_open(to_utf8(path).c_str(), &db), db, "open");
    check(sqlite3_exec(db, "BEGIN; INSERT INTO categories (name, pinned, cat_order) VALUES "
                           "('Work', 1, 1), ('Home', 0, 2), ('Links', 0, 3);",
                       nullptr, nullptr, nullptr),
          db, "categories");
    sqlite3_stmt* text = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO history (text, created_at, pinned, category_id, sort_order, keep) "
                             "VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
                             -1, &text, nullptr),
          db, "prepare");
    for (int i = 0; i < kTexts; ++i) {
        char body[160];
        std::snprintf(body, sizeof(body),
                      "Entry %05d: the quick brown fox jumps over the lazy dog \"quoted\" \\ tab\there, "
                      "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                      i);
        char stamp[32];
        std::snprintf(stamp, sizeof(stamp), "2025-%02d-%02dT%02d:%02d:%02d", 1 + i % 12, 1 + i % 28, i % 24,
                      i % 60, (i / 60) % 60);
        sqlite3_bind_text(text, 1, body, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(text, 2, stamp, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(text, 3, i % 7 == 0 ? 1 : 0);
        if (i % 5 == 0) {
            sqlite3_bind_int(text, 4, 1 + (i / 5) % 3);
        } else {
            sqlite3_bind_null(text, 4);
        }
        sqlite3_bind_int(text, 5, i + 1);
        sqlite3_bind_int(text, 6, i % 10 == 0 ? 1 : 0);
        check(sqlite3_step(text), db, "text insert");
        sqlite3_reset(text);
    }
    sqlite3_finalize(text);

    std::vector<std::uint8_t> dib(40 + kImageSide * kImageSide * 4);
    sqlite3_stmt* image = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO history (text, created_at, pinned, sort_order, is_image, image) "
                             "VALUES ('', ?1, 1, ?2, 1, ?3)",
                             -1, &image, nullptr),
          db, "prepare");
    std::uint32_t x = 2463534242u;
    for (int i = 0; i < kImages; ++i) {
        for (std::size_t k = 40; k < dib.size(); ++k) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            dib[k] = static_cast<std::uint8_t>(x);
        }
        std::uint32_t header[] = {40, kImageSide, kImageSide, 1u | (32u << 16), 0, kImageSide * kImageSide * 4, 0, 0, 0, 0};
        std::memcpy(dib.data(), header, 40);
        char stamp[32];
        std::snprintf(stamp, sizeof(stamp), "2025-06-%02dT12:%02d:00", 1 + i % 28, i % 60);
        sqlite3_bind_text(image, 1, stamp, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(image, 2, kTexts + i + 1);
        sqlite3_bind_blob(image, 3, dib.data(), static_cast<int>(dib.size()), SQLITE_STATIC);
        check(sqlite3_step(image), db, "image insert");
        sqlite3_reset(image);
    }
    sqlite3_finalize(image);
    check(sqlite3_exec(db, "INSERT INTO slot_entries (entry_id, slot_order) SELECT id, id FROM history "
                           "WHERE id <= 5; COMMIT; PRAGMA wal_checkpoint(TRUNCATE);",
                       nullptr, nullptr, nullptr),
          db, "commit");
    sqlite3_close(db);
}

// ---- the numbers of the steps ------------------------------------------------------

// Each step process appends "name value" lines; the driver takes the
// median of every name over the rounds.
void record(const std::wstring& dir, const char* name, double value) {
    FILE* f = _wfopen((dir + L"\\numbers.txt").c_str(), L"ab");
    if (!f) fail("writing the numbers");
    std::fprintf(f, "%s %.3f\n", name, value);
    std::fclose(f);
}

std::map<std::string, std::vector<double>> read_numbers(const std::wstring& dir) {
    std::map<std::string, std::vector<double>> out;
    FILE* f = _wfopen((dir + L"\\numbers.txt").c_str(), L"rb");
    if (!f) fail("reading the numbers");
    char name[64];
    double value = 0;
    while (std::fscanf(f, "%63s %lf", name, &value) == 2) out[name].push_back(value);
    std::fclose(f);
    return out;
}

// ---- export ----------------------------------------------------------------------

void run_export(const std::wstring& dir) {
    Database db(dir + L"\\source.db");
    double t0 = now_ms();
    int n = db.export_json(dir + L"\\backup.json");
    double ms = now_ms() - t0;
    if (n != kTexts + kImages) fail("export");
    record(dir, "export", ms);
    record(dir, "export_peak", peak_mib());
}

// What the export does before writing, on a connection of its own: the
// rows and images read from SQLite as the export reads them (the images in
// pieces of 192 KiB), and apart from that the encoding of the same bytes
// (Base64 into a 1 MiB buffer, the text entries printed as JSON).
void run_export_steps(const std::wstring& dir) {
    sqlite3* db = nullptr;
    check(sqlite3_open(to_utf8(dir + L"\\source.db").c_str(), &db), db, "open");
    double reading = 0;
    double encoding = 0;
    std::vector<std::uint8_t> piece(3 * 64 * 1024);
    std::vector<char> out(1u << 20);
    std::size_t printed = 0;
    double t0 = now_ms();
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    for (int images = 0; images <= 1; ++images) {
        sqlite3_stmt* list = nullptr;
        check(sqlite3_prepare_v2(db,
                                 images ? "SELECT id, text, created_at, pinned, keep, category_id, length(image) "
                                          "FROM history WHERE deleted_at IS NULL AND is_image=1 ORDER BY pinned DESC, "
                                          "sort_order DESC, id DESC"
                                        : "SELECT id, text, created_at, pinned, keep, category_id, length(image) "
                                          "FROM history WHERE deleted_at IS NULL AND is_image=0 ORDER BY pinned DESC, "
                                          "sort_order DESC, id DESC",
                                 -1, &list, nullptr),
              db, "prepare");
        while (true) {
            t0 = now_ms();
            int rc = sqlite3_step(list);
            if (rc != SQLITE_ROW) {
                check(rc, db, "rows");
                reading += now_ms() - t0;
                break;
            }
            std::wstring text = sqlite_text(list, 1);
            std::wstring created = sqlite_text(list, 2);
            const sqlite3_int64 id = sqlite3_column_int64(list, 0);
            const int size = sqlite3_column_int(list, 6);
            reading += now_ms() - t0;
            t0 = now_ms();
            JsonValue entry;
            json_object_set(entry, "text", JsonValue::from_string(to_utf8(text)));
            json_object_set(entry, "created_at", JsonValue::from_string(to_utf8(created)));
            json_object_set(entry, "pinned", JsonValue::from_bool(sqlite3_column_int(list, 3) != 0));
            json_object_set(entry, "keep", JsonValue::from_bool(sqlite3_column_int(list, 4) != 0));
            json_object_set(entry, "category", JsonValue::from_string("Work"));
            json_object_set(entry, "category_pinned", JsonValue::from_bool(false));
            printed += entry.to_string(4).size();
            encoding += now_ms() - t0;
            if (!images || size <= 0) continue;
            t0 = now_ms();
            sqlite3_blob* blob = nullptr;
            check(sqlite3_blob_open(db, "main", "history", "image", id, 0, &blob), db, "blob");
            reading += now_ms() - t0;
            for (int at = 0; at < size; at += static_cast<int>(piece.size())) {
                const int n = std::min(static_cast<int>(piece.size()), size - at);
                t0 = now_ms();
                check(sqlite3_blob_read(blob, piece.data(), n, at), db, "blob read");
                reading += now_ms() - t0;
                t0 = now_ms();
                printed += base64_encode_to(piece.data(), static_cast<std::size_t>(n), out.data());
                encoding += now_ms() - t0;
            }
            sqlite3_blob_close(blob);
        }
        sqlite3_finalize(list);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    if (printed < 200u * 1024 * 1024) fail("the export steps");
    record(dir, "export_reading", reading);
    record(dir, "export_encoding", encoding);
}

// The floor of the export's writing: as many bytes as the backup has, in
// writes of 1 MiB to a new temporary file, flushed to disk and moved to
// its name, as the export does.
void run_write_floor(const std::wstring& dir) {
    const std::uint64_t size = file_bytes(dir + L"\\backup.json");
    std::vector<char> piece(1u << 20, 'x');
    const std::wstring temp = dir + L"\\floor.json.tmp";
    const std::wstring out = dir + L"\\floor.json";
    DeleteFileW(out.c_str());
    double t0 = now_ms();
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) fail("the write floor");
    for (std::uint64_t done = 0; done < size;) {
        DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(piece.size(), size - done));
        DWORD wrote = 0;
        if (!WriteFile(h, piece.data(), want, &wrote, nullptr) || wrote == 0) fail("the write floor");
        done += wrote;
    }
    const double written = now_ms() - t0;
    t0 = now_ms();
    FlushFileBuffers(h);
    CloseHandle(h);
    const double flushed = now_ms() - t0;
    t0 = now_ms();
    if (!MoveFileExW(temp.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        fail("the write floor");
    }
    const double moved = now_ms() - t0;
    DeleteFileW(out.c_str());
    record(dir, "write_floor", written);
    record(dir, "write_flush", flushed);
    record(dir, "write_move", moved);
}

// ---- import ----------------------------------------------------------------------

void run_import(const std::wstring& dir, const char* name) {
    Database db(dir + L"\\target.db");
    double t0 = now_ms();
    ImportCounts c = db.import_json(dir + L"\\backup.json");
    double ms = now_ms() - t0;
    if (c.status != ImportStatus::kOk || c.entries_added + c.entries_present != kTexts + kImages) fail(name);
    const bool empty = std::strcmp(name, "import_empty") == 0;
    // Again into the same store, only what the history limit removed the
    // first time comes back, and goes again.
    if (c.entries_added != (empty ? kTexts + kImages : c.entries_not_kept)) fail(name);
    record(dir, name, ms);
    record(dir, (std::string(name) + "_peak").c_str(), peak_mib());
}

// The import's work apart from the store: the validation pass (the file
// read once from start to end, every element checked, their offsets
// listed), then every entry read again from its offset as the merge reads
// them (last to first), and apart from that the decoding of the images.
void run_read_steps(const std::wstring& dir) {
    double t0 = now_ms();
    BackupFileReader file;
    if (!file.open(dir + L"\\backup.json")) fail("reading the backup");
    BackupIndex index = file.scan();
    const double scanned = now_ms() - t0;
    if (!index.readable || index.entries.size() != static_cast<std::size_t>(kTexts + kImages)) {
        fail("reading the backup");
    }
    record(dir, "read_scan", scanned);
    record(dir, "read_peak", peak_mib());
    double reading = 0;
    double decoding = 0;
    std::vector<std::uint8_t> image;
    for (std::size_t i = index.entries.size(); i-- > 0;) {
        t0 = now_ms();
        ImportedEntry e;
        if (!file.entry_at(index.entries[i].offset, e)) fail("reading an entry again");
        reading += now_ms() - t0;
        t0 = now_ms();
        if (!decode_base64_strict(e.image_base64, image)) fail("decoding an image");
        decoding += now_ms() - t0;
    }
    record(dir, "read_again", reading);
    record(dir, "read_decode", decoding);
}

// The duplicate lookups of the merge, as it runs them, on the store that
// holds every entry already: one indexed query per entry, and for an image
// the stored bytes of each candidate compared piece by piece.
void run_lookups(const std::wstring& dir) {
    BackupFileReader file;
    if (!file.open(dir + L"\\backup.json")) fail("the lookups");
    BackupIndex index = file.scan();
    sqlite3* db = nullptr;
    check(sqlite3_open(to_utf8(dir + L"\\target.db").c_str(), &db), db, "open");
    sqlite3_stmt* text = nullptr;
    sqlite3_stmt* image = nullptr;
    check(sqlite3_prepare_v2(db,
                             "SELECT id, deleted_at IS NOT NULL FROM history WHERE is_image=0 AND created_at=?1 "
                             "AND text=?2 LIMIT 1",
                             -1, &text, nullptr),
          db, "prepare");
    check(sqlite3_prepare_v2(db,
                             "SELECT id, deleted_at IS NOT NULL FROM history "
                             "WHERE is_image=1 AND created_at=?1 AND length(image)=?2",
                             -1, &image, nullptr),
          db, "prepare");
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> piece(64 * 1024);
    double looking = 0;
    int found = 0;
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    for (std::size_t i = index.entries.size(); i-- > 0;) {
        ImportedEntry e;
        if (!file.entry_at(index.entries[i].offset, e)) fail("the lookups");
        decode_base64_strict(e.image_base64, bytes);
        const std::string created = to_utf8(e.created_at);
        double t0 = now_ms();
        if (e.is_image) {
            sqlite3_bind_text(image, 1, created.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(image, 2, static_cast<sqlite3_int64>(bytes.size()));
            while (sqlite3_step(image) == SQLITE_ROW) {
                sqlite3_blob* blob = nullptr;
                check(sqlite3_blob_open(db, "main", "history", "image", sqlite3_column_int64(image, 0), 0, &blob), db,
                      "blob");
                bool equal = true;
                for (std::size_t at = 0; equal && at < bytes.size(); at += piece.size()) {
                    const int n = static_cast<int>(std::min(piece.size(), bytes.size() - at));
                    check(sqlite3_blob_read(blob, piece.data(), n, static_cast<int>(at)), db, "blob read");
                    equal = std::memcmp(piece.data(), bytes.data() + at, static_cast<std::size_t>(n)) == 0;
                }
                sqlite3_blob_close(blob);
                if (equal) {
                    ++found;
                    break;
                }
            }
            sqlite3_reset(image);
        } else {
            const std::string body = to_utf8(e.text);
            sqlite3_bind_text(text, 1, created.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(text, 2, body.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(text) == SQLITE_ROW) ++found;
            sqlite3_reset(text);
        }
        looking += now_ms() - t0;
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(text);
    sqlite3_finalize(image);
    // Every entry the store holds is found (the history limit removed the
    // oldest unpinned ones at the import).
    sqlite3_stmt* count = nullptr;
    check(sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM history", -1, &count, nullptr), db, "prepare");
    const int held = sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int(count, 0) : -1;
    sqlite3_finalize(count);
    sqlite3_close(db);
    if (found != held) fail("the lookups");
    record(dir, "lookups", looking);
}

// The floor of the merge's writes: rows of the same sizes (texts of about
// 100 characters, every fifth in a category, and 1 MiB images) through
// one prepared INSERT each kind in one transaction, on a store made by
// Database (its tables, indexes and journal mode) with the foreign keys
// on as the store's connection has them, then the commit.
void run_insert_floor(const std::wstring& dir) {
    const std::wstring path = dir + L"\\bare.db";
    for (const wchar_t* suffix : {L"", L"-wal", L"-shm"}) DeleteFileW((path + suffix).c_str());
    { Database create(path); }
    sqlite3* db = nullptr;
    check(sqlite3_open(to_utf8(path).c_str(), &db), db, "open");
    check(sqlite3_exec(db, "PRAGMA foreign_keys=ON; INSERT INTO categories (name, pinned, cat_order) VALUES "
                           "('Work', 1, 1), ('Home', 0, 2), ('Links', 0, 3);",
                       nullptr, nullptr, nullptr),
          db, "categories");
    sqlite3_stmt* text = nullptr;
    sqlite3_stmt* image = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO history (text, created_at, pinned, category_id, keep) "
                             "VALUES (?1, ?2, ?3, ?4, ?5)",
                             -1, &text, nullptr),
          db, "prepare");
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO history (text, created_at, pinned, category_id, keep, is_image, image) "
                             "VALUES ('', ?1, 1, NULL, 0, 1, ?2)",
                             -1, &image, nullptr),
          db, "prepare");
    std::vector<std::uint8_t> dib(40 + kImageSide * kImageSide * 4, 7);
    double t0 = now_ms();
    check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db, "begin");
    for (int i = 0; i < kTexts; ++i) {
        std::string body = "Entry " + std::to_string(i) + std::string(90, 'x');
        char stamp[32];
        std::snprintf(stamp, sizeof(stamp), "2025-%02d-%02dT%02d:%02d:%02d", 1 + i % 12, 1 + i % 28, i % 24,
                      i % 60, (i / 60) % 60);
        sqlite3_bind_text(text, 1, body.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(text, 2, stamp, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(text, 3, i % 7 == 0 ? 1 : 0);
        if (i % 5 == 0) {
            sqlite3_bind_int(text, 4, 1 + (i / 5) % 3);
        } else {
            sqlite3_bind_null(text, 4);
        }
        sqlite3_bind_int(text, 5, i % 10 == 0 ? 1 : 0);
        check(sqlite3_step(text), db, "insert");
        sqlite3_reset(text);
    }
    for (int i = 0; i < kImages; ++i) {
        dib[40] = static_cast<std::uint8_t>(i);
        char stamp[32];
        std::snprintf(stamp, sizeof(stamp), "2025-06-%02dT12:%02d:00", 1 + i % 28, i % 60);
        sqlite3_bind_text(image, 1, stamp, -1, SQLITE_TRANSIENT);
        sqlite3_bind_blob(image, 2, dib.data(), static_cast<int>(dib.size()), SQLITE_STATIC);
        check(sqlite3_step(image), db, "insert");
        sqlite3_reset(image);
    }
    const double inserted = now_ms() - t0;
    t0 = now_ms();
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    const double committed = now_ms() - t0;
    sqlite3_finalize(text);
    sqlite3_finalize(image);
    sqlite3_close(db);
    record(dir, "insert_floor", inserted);
    record(dir, "insert_commit", committed);
    record(dir, "insert_total", inserted + committed);
}

// ---- the driver ------------------------------------------------------------------

// Starts this program again for one step and waits for it.
void run_step(const std::wstring& step, const std::wstring& dir) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" " + step + L" \"" + dir + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        fail("starting a step");
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (code != 0) fail("a step");
}

void run_copy(const std::wstring& dir, const char* name) {
    const std::wstring to = dir + L"\\copy.json";
    DeleteFileW(to.c_str());
    double t0 = now_ms();
    if (!CopyFileW((dir + L"\\backup.json").c_str(), to.c_str(), FALSE)) fail("the file copy");
    record(dir, name, now_ms() - t0);
    DeleteFileW(to.c_str());
}

void remove_store(const std::wstring& path) {
    for (const wchar_t* suffix : {L"", L"-wal", L"-shm"}) DeleteFileW((path + suffix).c_str());
}

constexpr int kRounds = 3;

int drive() {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    std::wstring dir = std::wstring(base) + L"quillet-backup-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);

    // Writing a file costs what the disk cache holds at that moment (the
    // whole machine's unwritten pages), so each figure is the median of
    // three rounds, and each floor runs right after the step it belongs to.
    run_step(L"populate", dir);
    for (int round = 0; round < kRounds; ++round) {
        run_step(L"export", dir);
        run_copy(dir, "copy_export");
        run_step(L"write-floor", dir);
        run_step(L"export-steps", dir);
    }
    for (int round = 0; round < kRounds; ++round) {
        remove_store(dir + L"\\target.db");
        run_step(L"import-empty", dir);
        run_copy(dir, "copy_import");
        run_step(L"insert-floor", dir);
        run_step(L"import-again", dir);
        run_step(L"read", dir);
    }
    run_step(L"lookups", dir);

    std::map<std::string, std::vector<double>> n = read_numbers(dir);
    auto m = [&](const char* name) { return bench::median(n[name]); };
    auto peak = [&](const char* name) {
        const std::vector<double>& v = n[name];
        return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
    };
    std::printf("backup bench: %d text entries, %d images of 1 MiB; database %.1f MiB, backup file %.1f MiB\n"
                "(each time the median of %d rounds, each floor right after its step)\n",
                kTexts, kImages, file_mib(dir + L"\\source.db"), file_mib(dir + L"\\backup.json"), kRounds);
    std::printf("export:                             %5.0f ms, peak working set %6.1f MiB\n", m("export"),
                peak("export_peak"));
    std::printf("  reading the rows and images:      %5.0f ms\n", m("export_reading"));
    std::printf("  Base64 and JSON encoding:         %5.0f ms\n", m("export_encoding"));
    std::printf("  floor: writing as many bytes:     %5.0f ms, flushing them %.0f ms, moving the file %.0f ms\n",
                m("write_floor"), m("write_flush"), m("write_move"));
    std::printf("plain copy of the backup file:      %5.0f ms (after the export)\n", m("copy_export"));
    std::printf("  export / copy %.1f (target 4); writing floor with its flush / copy %.1f\n",
                m("export") / m("copy_export"), (m("write_floor") + m("write_flush")) / m("copy_export"));
    std::printf("import into an empty store:         %5.0f ms, peak working set %6.1f MiB\n", m("import_empty"),
                peak("import_empty_peak"));
    std::printf("  validation pass (the whole file): %5.0f ms, peak working set %6.1f MiB\n", m("read_scan"),
                peak("read_peak"));
    std::printf("  reading each entry again:         %5.0f ms\n", m("read_again"));
    std::printf("  decoding the images (Base64):     %5.0f ms\n", m("read_decode"));
    std::printf("  duplicate lookups (all held):     %5.0f ms\n", m("lookups"));
    std::printf("  floor: the same rows through a bare INSERT with the store's settings: %.0f ms, "
                "and its commit %.0f ms\n",
                m("insert_floor"), m("insert_commit"));
    std::printf("the same import again:              %5.0f ms, peak working set %6.1f MiB\n", m("import_again"),
                peak("import_again_peak"));
    std::printf("plain copy of the backup file:      %5.0f ms (after the import)\n", m("copy_import"));
    std::printf("  import / copy %.1f (target 6); bare INSERT and commit / copy %.1f\n",
                m("import_empty") / m("copy_import"), m("insert_total") / m("copy_import"));

    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(dir), ec);
    return 0;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3) {
        return drive();
    }
    std::wstring step = argv[1];
    std::wstring dir = argv[2];
    if (step == L"populate") {
        populate(dir);
    } else if (step == L"export") {
        run_export(dir);
    } else if (step == L"export-steps") {
        run_export_steps(dir);
    } else if (step == L"write-floor") {
        run_write_floor(dir);
    } else if (step == L"read") {
        run_read_steps(dir);
    } else if (step == L"lookups") {
        run_lookups(dir);
    } else if (step == L"insert-floor") {
        run_insert_floor(dir);
    } else if (step == L"import-empty") {
        run_import(dir, "import_empty");
    } else if (step == L"import-again") {
        run_import(dir, "import_again");
    } else {
        return 2;
    }
    return 0;
}
