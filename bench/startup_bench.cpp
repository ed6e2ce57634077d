// Start-up timing: from the start of App::init to the main window shown and
// painted, with a store of 200 MiB (100 pinned images of 2 MiB and 200
// texts) against the same with an empty store, each the median of several
// starts in the same run; beside it, SQLite's quick check of the large file
// alone, which every start runs.
#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "bench/bench_timing.h"
#include "bench/bench_window.h"
#include "core/text.h"
#include "store/database.h"

namespace {

using bench::check;
using bench::median;
using bench::now_ms;
using bench::pump;

constexpr int kImages = 100;
constexpr int kTexts = 200;
constexpr std::uint32_t kImageWidth = 1024;
constexpr std::uint32_t kImageHeight = 512;  // x 4 bytes = 2 MiB
constexpr int kStarts = 9;

std::vector<std::uint8_t> make_image(std::uint32_t seed) { return bench::noise_dib(kImageWidth, kImageHeight, seed); }

// The program's schema, then the rows through a plain connection.
void fill_large_store(const std::wstring& path) {
    { Database schema(path); }
    sqlite3* db = nullptr;
    check(sqlite3_open(to_utf8(path).c_str(), &db), db, "open");
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO history (text, created_at, sort_order, pinned, is_image, image, source_app) "
                             "VALUES (?1, '2026-01-01T10:00:00', ?2, ?3, ?4, ?5, 'bench.exe')",
                             -1, &s, nullptr),
          db, "prepare");
    for (int i = 0; i < kImages + kTexts; ++i) {
        const bool image = i < kImages;
        const std::vector<std::uint8_t> dib = image ? make_image(static_cast<std::uint32_t>(i)) : std::vector<std::uint8_t>();
        const std::string text = image ? "" : "A copied text number " + std::to_string(i) + " from a document";
        sqlite3_bind_text(s, 1, text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, 2, i + 1);
        sqlite3_bind_int(s, 3, image ? 1 : 0);
        sqlite3_bind_int(s, 4, image ? 1 : 0);
        if (image) {
            sqlite3_bind_blob(s, 5, dib.data(), static_cast<int>(dib.size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_null(s, 5);
        }
        check(sqlite3_step(s), db, "insert");
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    check(sqlite3_exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
}

// Milliseconds from the start of App::init to the painted main window.
double time_start(const AppFiles& files) {
    std::vector<double> times;
    for (int i = 0; i < 1; ++i) {
        const double t0 = now_ms();
        App app;
        if (!app.init(GetModuleHandleW(nullptr), files)) {
            std::printf("the App could not start\n");
            std::exit(1);
        }
        UpdateWindow(app.main_window_handle());
        pump();
        times.push_back(now_ms() - t0);
        app.shutdown();
        pump();
    }
    return median(times);
}

// Milliseconds to open the store (its quick check included).
double time_open(const std::wstring& path) {
    const double t0 = now_ms();
    Database db(path);
    const double ms = now_ms() - t0;
    if (!db.is_open()) {
        std::printf("the store could not be opened\n");
        std::exit(1);
    }
    return ms;
}

double time_quick_check(const std::wstring& path) {
    sqlite3* db = nullptr;
    check(sqlite3_open(to_utf8(path).c_str(), &db), db, "open");
    const double t0 = now_ms();
    check(sqlite3_exec(db, "PRAGMA mmap_size=1073741824; PRAGMA quick_check", nullptr, nullptr, nullptr), db,
          "quick_check");
    const double ms = now_ms() - t0;
    sqlite3_close(db);
    return ms;
}

}  // namespace

int main() {
    SetEnvironmentVariableW(L"QUILLET_ALLOW_CAPTURE", L"1");
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path base =
        std::filesystem::path(temp) / (L"quillet-startup-bench-" + std::to_wstring(GetCurrentProcessId()));
    const std::filesystem::path empty_dir = base / L"empty";
    const std::filesystem::path large_dir = base / L"large";
    std::filesystem::create_directories(empty_dir);
    std::filesystem::create_directories(large_dir);
    const AppFiles empty{(empty_dir / L"quillet.db.ini").wstring(), (empty_dir / L"quillet.db").wstring()};
    const AppFiles large{(large_dir / L"quillet.db.ini").wstring(), (large_dir / L"quillet.db").wstring()};
    fill_large_store(large.database_path);
    std::error_code ec;
    const double mib = static_cast<double>(std::filesystem::file_size(large.database_path, ec)) / (1024.0 * 1024.0);

    // Taken in turns, so that both meet the same load of the machine.
    std::vector<double> floors, figures;
    for (int i = 0; i < kStarts; ++i) {
        floors.push_back(time_start(empty));
        figures.push_back(time_start(large));
    }
    const double floor = median(floors);
    const double figure = median(figures);
    const double floor_min = *std::min_element(floors.begin(), floors.end());
    const double figure_min = *std::min_element(figures.begin(), figures.end());
    std::vector<double> opens_empty, opens_large;
    for (int i = 0; i < kStarts; ++i) {
        opens_empty.push_back(time_open(empty.database_path));
        opens_large.push_back(time_open(large.database_path));
    }
    const double check_ms = time_quick_check(large.database_path);
    std::printf("start to main window, %.0f MiB store      %9.1f ms   floor (empty store) %9.1f ms   ratio %.2f"
                " (target at most 1.50)\n",
                mib, figure, floor, floor > 0 ? figure / floor : 0.0);
    std::printf("  fastest of %d starts                     %9.1f ms   floor (empty store) %9.1f ms   ratio %.2f\n",
                kStarts, figure_min, floor_min, floor_min > 0 ? figure_min / floor_min : 0.0);
    std::printf("store open with its check, %.0f MiB      %9.1f ms   floor (empty store) %9.1f ms\n", mib,
                median(opens_large), median(opens_empty));
    std::printf("quick check of the %.0f MiB store alone  %9.1f ms\n", mib, check_ms);
    std::filesystem::remove_all(base, ec);
    return 0;
}
