// Backup timings on a store of 10,000 text entries and 200 images of 1 MiB:
// the export, the import into an empty store, the same import again (every
// entry already present), each beside a plain copy of the same file, with
// the peak working set of the process that did the work.
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
#include <string>
#include <vector>

#include "core/json.h"
#include "core/text.h"
#include "store/database.h"
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

void fail(const char* what) {
    std::printf("backup bench: %s failed\n", what);
    std::exit(1);
}

// Appends one result line to the run's result file.
void report(const std::wstring& dir, const std::string& line) {
    FILE* f = _wfopen((dir + L"\\results.txt").c_str(), L"ab");
    if (!f) fail("writing the results");
    std::fputs(line.c_str(), f);
    std::fputs("\n", f);
    std::fclose(f);
}

std::string format(const char* fmt, double a, double b) {
    char buf[256];
    std::snprintf(buf, sizeof(buf), fmt, a, b);
    return buf;
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

void run_export(const std::wstring& dir) {
    Database db(dir + L"\\source.db");
    double t0 = now_ms();
    int n = db.export_json(dir + L"\\backup.json");
    double ms = now_ms() - t0;
    if (n != kTexts + kImages) fail("export");
    report(dir, format("export:                         %8.0f ms, peak working set %7.1f MiB", ms, peak_mib()));
}

void run_import(const std::wstring& dir, const char* label) {
    Database db(dir + L"\\target.db");
    double t0 = now_ms();
    ImportCounts c = db.import_json(dir + L"\\backup.json");
    double ms = now_ms() - t0;
    if (c.status != ImportStatus::kOk || c.entries_added + c.entries_present != kTexts + kImages) fail(label);
    report(dir, std::string(label) + format("%8.0f ms, peak working set %7.1f MiB", ms, peak_mib()) +
                    " (added " + std::to_string(c.entries_added) + ", present " +
                    std::to_string(c.entries_present) + ")");
}

// The import's work before the store is touched: the file read once from
// start to end, every element checked, their offsets listed.
void run_read_only(const std::wstring& dir) {
    double t0 = now_ms();
    BackupFileReader file;
    if (!file.open(dir + L"\\backup.json")) fail("reading the backup");
    BackupIndex index = file.scan();
    double ms = now_ms() - t0;
    if (!index.readable || index.entries.size() != static_cast<std::size_t>(kTexts + kImages)) {
        fail("reading the backup");
    }
    report(dir, format("  of which reading the file:    %8.0f ms, peak working set %7.1f MiB", ms, peak_mib()));
}

// The floors of the steps, each beside the program's figure: what the
// export's writing costs (the bytes of the backup in 4 MiB writes, then
// the flush to disk that makes the file safe), and what the import's
// writes cost (the same rows and images through one prepared INSERT in one
// transaction on a plain connection, with its commit).
void run_floors(const std::wstring& dir) {
    const std::wstring backup = dir + L"\\backup.json";
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExW(backup.c_str(), GetFileExInfoStandard, &a)) fail("the floors");
    const std::uint64_t size = (static_cast<std::uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
    std::vector<char> piece(4u << 20, 'x');
    const std::wstring out = dir + L"\\floor.json";
    HANDLE h = CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) fail("the floors");
    double t0 = now_ms();
    for (std::uint64_t done = 0; done < size;) {
        DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(piece.size(), size - done));
        DWORD wrote = 0;
        if (!WriteFile(h, piece.data(), want, &wrote, nullptr) || wrote == 0) fail("the floors");
        done += wrote;
    }
    double written = now_ms() - t0;
    t0 = now_ms();
    FlushFileBuffers(h);
    double flushed = now_ms() - t0;
    CloseHandle(h);
    DeleteFileW(out.c_str());
    report(dir, format("  floor: writing as many bytes: %8.0f ms, and flushing them to disk %.0f ms", written, flushed));

    const std::wstring path = dir + L"\\bare.db";
    { Database create(path); }
    sqlite3* db = nullptr;
    check(sqlite3_open(to_utf8(path).c_str(), &db), db, "open");
    sqlite3_stmt* ins = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO history (text, created_at, pinned, category_id, keep, is_image, image) "
                             "VALUES (?1, ?2, 0, NULL, 0, ?3, ?4)",
                             -1, &ins, nullptr),
          db, "prepare");
    std::vector<std::uint8_t> dib(40 + kImageSide * kImageSide * 4, 7);
    t0 = now_ms();
    check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db, "begin");
    for (int i = 0; i < kTexts + kImages; ++i) {
        const bool image = i >= kTexts;
        std::string text = image ? std::string() : "Entry " + std::to_string(i) + std::string(90, 'x');
        sqlite3_bind_text(ins, 1, text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 2, "2025-01-01T00:00:00", -1, SQLITE_STATIC);
        sqlite3_bind_int(ins, 3, image ? 1 : 0);
        if (image) {
            dib[40] = static_cast<std::uint8_t>(i);
            sqlite3_bind_blob(ins, 4, dib.data(), static_cast<int>(dib.size()), SQLITE_STATIC);
        } else {
            sqlite3_bind_null(ins, 4);
        }
        check(sqlite3_step(ins), db, "insert");
        sqlite3_reset(ins);
    }
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    double inserted = now_ms() - t0;
    sqlite3_finalize(ins);
    sqlite3_close(db);
    report(dir, format("  floor: the same rows through a bare INSERT in one transaction: %8.0f ms", inserted, 0.0));
}

void run_open_only(const std::wstring& dir) {
    Database db(dir + L"\\target.db");
    report(dir, format("open the store only:            %8.0f ms, peak working set %7.1f MiB", 0.0, peak_mib()));
}

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

double copy_ms(const std::wstring& from, const std::wstring& to) {
    DeleteFileW(to.c_str());
    double t0 = now_ms();
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) fail("the file copy");
    return now_ms() - t0;
}

int drive() {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    std::wstring dir = std::wstring(base) + L"quillet-backup-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);

    run_step(L"populate", dir);
    run_step(L"export", dir);
    double copy_export = copy_ms(dir + L"\\backup.json", dir + L"\\copy.json");
    run_step(L"open", dir);
    run_step(L"import-empty", dir);
    run_step(L"read", dir);
    run_step(L"import-again", dir);
    run_step(L"floors", dir);
    double copy_import = copy_ms(dir + L"\\backup.json", dir + L"\\copy.json");

    std::printf("backup bench: %d text entries, %d images of 1 MiB; database %.1f MiB, backup file %.1f MiB\n",
                kTexts, kImages, file_mib(dir + L"\\source.db"), file_mib(dir + L"\\backup.json"));
    FILE* f = _wfopen((dir + L"\\results.txt").c_str(), L"rb");
    if (f) {
        char line[512];
        while (std::fgets(line, sizeof(line), f)) std::fputs(line, stdout);
        std::fclose(f);
    }
    std::printf("plain copy of the backup file:  %8.0f ms (after the export), %.0f ms (after the imports)\n",
                copy_export, copy_import);

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
    } else if (step == L"read") {
        run_read_only(dir);
    } else if (step == L"floors") {
        run_floors(dir);
    } else if (step == L"open") {
        run_open_only(dir);
    } else if (step == L"import-empty") {
        run_import(dir, "import into an empty store:     ");
    } else if (step == L"import-again") {
        run_import(dir, "the same import again:          ");
    } else {
        return 2;
    }
    return 0;
}
