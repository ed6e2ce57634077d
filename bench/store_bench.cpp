// Store timings on a large store: 200 live text entries beside 10,000
// effectively pinned text entries and 500 pinned image entries. Prints one
// line per figure.
#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/text.h"
#include "store/database.h"
#include "store/sql_text.h"
#include "bench/bench_timing.h"

namespace {

using bench::now_ms;
using bench::median;
using bench::time_median;
using bench::check;

constexpr int kLive = 200;
constexpr int kPinnedTexts = 10000;
constexpr int kPinnedImages = 500;

// Creates the store at path: the schema through Database, then the rows in
// one transaction on a plain connection.
void populate(const std::wstring& path, std::size_t image_bytes) {
    { Database create(path); }
    sqlite3* db = nullptr;
    check(sqlite3_open(to_utf8(path).c_str(), &db), db, "open");
    check(sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=OFF; BEGIN;"
                           "INSERT INTO categories (name, pinned, cat_order) VALUES ('Pinned', 1, 1);",
                       nullptr, nullptr, nullptr),
          db, "setup");
    sqlite3_stmt* ins = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO history (text, created_at, sort_order, pinned, category_id, "
                             "is_image, image, source_app) VALUES (?1, '2024-05-01T10:00:00', ?2, ?3, ?4, ?5, ?6, 'Bench')",
                             -1, &ins, nullptr),
          db, "prepare");
    std::vector<std::uint8_t> image(image_bytes);
    std::uint32_t x = 1;
    for (auto& b : image) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    std::int64_t order = 0;
    auto add = [&](const std::string& text, int pinned, bool in_category, bool is_image) {
        sqlite3_bind_text(ins, 1, text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(ins, 2, ++order);
        sqlite3_bind_int(ins, 3, pinned);
        if (in_category) {
            sqlite3_bind_int64(ins, 4, 1);
        } else {
            sqlite3_bind_null(ins, 4);
        }
        sqlite3_bind_int(ins, 5, is_image ? 1 : 0);
        if (is_image) {
            sqlite3_bind_blob(ins, 6, image.data(), static_cast<int>(image.size()), SQLITE_STATIC);
        } else {
            sqlite3_bind_null(ins, 6);
        }
        check(sqlite3_step(ins), db, "insert");
        sqlite3_reset(ins);
    };
    for (int i = 0; i < kPinnedTexts; ++i) {
        // Half pinned in their own right, half through their category.
        add("pinned text number " + std::to_string(i), i % 2, i % 2 == 0, false);
    }
    for (int i = 0; i < kPinnedImages; ++i) {
        add("", 1, false, true);
    }
    for (int i = 0; i < kLive; ++i) {
        add("live text number " + std::to_string(i), 0, false, false);
    }
    sqlite3_finalize(ins);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
}

std::wstring make_temp_dir() {
    wchar_t base[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, base);
    std::wstring dir = std::wstring(base, n) + L"quillet-store-bench-" +
                       std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

// The read steps of add_entry, each on its own, on a plain connection: the
// statements add_entry runs, and the single scans they replace.
struct StepTimes {
    double lookup = 0, lookup_scan = 0, next_order = 0, trim = 0, trim_scan = 0;
};

double time_statement(sqlite3* db, const char* sql, const char* text) {
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), db, sql);
    double t = time_median(201, [&](int) {
        if (text) {
            sqlite3_bind_text(s, 1, text, -1, SQLITE_TRANSIENT);
        }
        while (sqlite3_step(s) == SQLITE_ROW) {
        }
        sqlite3_reset(s);
    });
    sqlite3_finalize(s);
    return t;
}

StepTimes time_add_entry_steps(sqlite3* db) {
    StepTimes t;
    // Inside one read transaction, as add_entry runs them inside its own:
    // the locks of the file are taken once, not per statement.
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    const char* text = "a text that is not in the store";
    t.lookup = time_statement(db,
                              "SELECT id FROM history WHERE substr(text,1,64)=substr(?1,1,64) AND text=?1 "
                              "AND deleted_at IS NULL AND is_image=0 ORDER BY id LIMIT 1",
                              text);
    t.lookup_scan = time_statement(
        db, "SELECT id FROM history WHERE +text=?1 AND deleted_at IS NULL AND is_image=0 LIMIT 1", text);
    t.next_order = time_statement(db, "SELECT COALESCE(MAX(sort_order),0) FROM history", nullptr);
    t.trim_scan = time_statement(db,
                                 ("SELECT id FROM history WHERE " + kUnpinned +
                                  " ORDER BY +sort_order DESC, id DESC LIMIT -1 OFFSET 200")
                                     .c_str(),
                                 nullptr);
    // The trim's statements as add_entry runs them for this store: pinned
    // categories, the rows without a category, then one category (pinned,
    // so only its overridden rows) and the look for a further one.
    t.trim = time_statement(db, "SELECT id FROM categories WHERE pinned=1", nullptr) +
             time_statement(db, "SELECT sort_order, id FROM history WHERE pinned=0 AND category_id IS NULL",
                            nullptr) +
             2 * time_statement(db,
                                "SELECT category_id FROM history WHERE pinned=0 AND category_id>0 "
                                "ORDER BY category_id LIMIT 1",
                                nullptr) +
             time_statement(db,
                            "SELECT sort_order, id FROM history WHERE pinned=0 AND category_id=1 "
                            "AND cat_pin_override=1",
                            nullptr);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    return t;
}

// One capture as add_entry runs it, statement by statement on a plain
// connection, each step timed on its own: where the time of a capture goes.
struct CaptureSteps {
    double begin = 0, lookup = 0, insert = 0, trim_select = 0, trim_delete = 0, commit = 0;
};

CaptureSteps time_capture_steps(sqlite3* db) {
    auto prep = [&](const char* sql) {
        sqlite3_stmt* s = nullptr;
        check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), db, sql);
        return s;
    };
    sqlite3_stmt* lookup = prep("SELECT id FROM history WHERE substr(text,1,64)=substr(?1,1,64) AND text=?1 "
                                "AND deleted_at IS NULL AND is_image=0 ORDER BY id LIMIT 1");
    sqlite3_stmt* next = prep("SELECT COALESCE(MAX(sort_order),0) FROM history");
    sqlite3_stmt* insert = prep(
        "INSERT INTO history (text, created_at, sort_order, category_id, rtf, html, source_app, is_image, "
        "source_title, source_url, is_browser_page, image) VALUES "
        "(?1,?2,?3,(SELECT id FROM categories WHERE id=?4),?5,?6,?7,?8,?9,?10,?11,?12)");
    sqlite3_stmt* pinned = prep("SELECT id FROM categories WHERE pinned=1");
    sqlite3_stmt* loose = prep("SELECT sort_order, id FROM history WHERE pinned=0 AND category_id IS NULL");
    sqlite3_stmt* next_cat = prep(
        "SELECT category_id FROM history WHERE pinned=0 AND category_id>?1 ORDER BY category_id LIMIT 1");
    sqlite3_stmt* in_cat =
        prep("SELECT sort_order, id FROM history WHERE pinned=0 AND category_id=?1 AND cat_pin_override=1");
    auto drain = [](sqlite3_stmt* s) {
        while (sqlite3_step(s) == SQLITE_ROW) {
        }
        sqlite3_reset(s);
    };
    std::vector<double> t_begin, t_lookup, t_insert, t_select, t_delete, t_commit;
    std::string stamp = to_utf8(now_iso_timestamp());
    for (int i = 0; i < 201; ++i) {
        std::string text = "step bench text " + std::to_string(i);
        double t = now_ms();
        check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db, "begin");
        double u = now_ms();
        t_begin.push_back(u - t);
        t = u;
        sqlite3_bind_text(lookup, 1, text.c_str(), -1, SQLITE_TRANSIENT);
        drain(lookup);
        sqlite3_step(next);
        std::int64_t order = sqlite3_column_int64(next, 0) + 1;
        sqlite3_reset(next);
        u = now_ms();
        t_lookup.push_back(u - t);
        t = u;
        sqlite3_bind_text(insert, 1, text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, stamp.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 3, order);
        sqlite3_bind_null(insert, 4);
        sqlite3_bind_null(insert, 5);
        sqlite3_bind_null(insert, 6);
        sqlite3_bind_text(insert, 7, "Bench", -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 8, 0);
        sqlite3_bind_text(insert, 9, "", -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 10, "", -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 11, 0);
        sqlite3_bind_null(insert, 12);
        check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
        u = now_ms();
        t_insert.push_back(u - t);
        t = u;
        // The trim's selection: the oldest row without a pin goes.
        drain(pinned);
        std::vector<std::pair<std::int64_t, std::int64_t>> rows;
        while (sqlite3_step(loose) == SQLITE_ROW) {
            rows.emplace_back(sqlite3_column_int64(loose, 0), sqlite3_column_int64(loose, 1));
        }
        sqlite3_reset(loose);
        sqlite3_bind_int64(next_cat, 1, 0);
        if (sqlite3_step(next_cat) == SQLITE_ROW) {
            std::int64_t c = sqlite3_column_int64(next_cat, 0);
            sqlite3_reset(next_cat);
            sqlite3_bind_int64(in_cat, 1, c);
            drain(in_cat);
            sqlite3_bind_int64(next_cat, 1, c);
            sqlite3_step(next_cat);
        }
        sqlite3_reset(next_cat);
        std::sort(rows.begin(), rows.end());
        u = now_ms();
        t_select.push_back(u - t);
        t = u;
        std::string ids;
        for (std::size_t k = 0; k + 200 < rows.size(); ++k) {
            ids += (ids.empty() ? "" : ",") + std::to_string(rows[k].second);
        }
        if (!ids.empty()) {
            std::string cond = "id IN (" + ids + ")";
            sqlite3_stmt* paths = prep(("SELECT image_path FROM history WHERE " + cond +
                                        " AND image_path IS NOT NULL AND image_path <> ''")
                                           .c_str());
            drain(paths);
            sqlite3_finalize(paths);
            check(sqlite3_exec(db, ("DELETE FROM history WHERE " + cond).c_str(), nullptr, nullptr, nullptr), db,
                  "delete");
            check(sqlite3_exec(db, "DELETE FROM slot_entries WHERE entry_id NOT IN (SELECT id FROM history)",
                               nullptr, nullptr, nullptr),
                  db, "slots");
        }
        u = now_ms();
        t_delete.push_back(u - t);
        t = u;
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
        t_commit.push_back(now_ms() - t);
    }
    for (sqlite3_stmt* s : {lookup, next, insert, pinned, loose, next_cat, in_cat}) {
        sqlite3_finalize(s);
    }
    return CaptureSteps{median(t_begin), median(t_lookup), median(t_insert), median(t_select), median(t_delete),
                        median(t_commit)};
}

void run(const std::wstring& dir) {
    std::wstring big = dir + L"\\big.db";
    std::wstring small = dir + L"\\small.db";
    double t0 = now_ms();
    populate(big, 1 << 20);
    populate(small, 1 << 10);
    std::printf("store set-up: %d live + %d pinned texts + %d pinned images (%.0f ms)\n", kLive,
                kPinnedTexts, kPinnedImages, now_ms() - t0);

    Database db(big);
    std::size_t all_rows = db.list_entries(L"all", false, true).size();
    // The two stores take turns so that both see the same conditions.
    std::vector<double> small_times;
    std::vector<double> big_times;
    {
        Database small_db(small);
        small_db.list_entries(L"all", false, true);
        for (int i = 0; i < 21; ++i) {
            double t = now_ms();
            small_db.list_entries(L"all", false, true);
            small_times.push_back(now_ms() - t);
            t = now_ms();
            db.list_entries(L"all", false, true);
            big_times.push_back(now_ms() - t);
        }
    }
    double all_small = median(small_times);
    double all_big = median(big_times);
    std::size_t pinned_rows = 0;
    double pinned = time_median(5, [&](int) { pinned_rows = db.list_entries(L"pinned", false, true).size(); });
    // As the main window lists it: without the RTF, HTML and image bytes.
    double pinned_deferred = time_median(5, [&](int) {
        db.list_entries(L"pinned", false, true, Database::Payload::Deferred);
    });

    // add_entry against its floor: the same row written durably on a plain
    // connection with the store's settings (the file's WAL journal, foreign
    // keys on, WAL's synchronous default), in its own BEGIN IMMEDIATE ...
    // COMMIT. The two take turns, so that both see the same conditions; each
    // floor row is deleted again, untimed, so that add_entry's store stays
    // the same.
    sqlite3* raw = nullptr;
    check(sqlite3_open(to_utf8(big).c_str(), &raw), raw, "open");
    check(sqlite3_exec(raw, "PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr), raw,
          "settings");
    sqlite3_stmt* ins = nullptr;
    check(sqlite3_prepare_v2(raw,
                             "INSERT INTO history (text, created_at, sort_order, category_id, rtf, html, "
                             "source_app, is_image, source_title, source_url, is_browser_page, image) "
                             "VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12)",
                             -1, &ins, nullptr),
          raw, "prepare bare insert");
    sqlite3_stmt* remove = nullptr;
    check(sqlite3_prepare_v2(raw, "DELETE FROM history WHERE id=?1", -1, &remove, nullptr), raw, "prepare delete");
    const std::string stamp = to_utf8(now_iso_timestamp());
    std::vector<std::uint8_t> no_image;
    std::vector<double> add_times, floor_times;
    for (int i = -1; i < 201; ++i) {
        double t = now_ms();
        db.add_entry({.text = L"new bench text " + std::to_wstring(i + 2), .image = no_image,
            .source_app = L"Bench"});
        const double add_ms = now_ms() - t;

        const std::string text = "bare bench text " + std::to_string(i + 2);
        t = now_ms();
        check(sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), raw, "begin");
        sqlite3_bind_text(ins, 1, text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 2, stamp.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(ins, 3, 1000000 + i);
        sqlite3_bind_null(ins, 4);
        sqlite3_bind_null(ins, 5);
        sqlite3_bind_null(ins, 6);
        sqlite3_bind_text(ins, 7, "Bench", -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(ins, 8, 0);
        sqlite3_bind_text(ins, 9, "", -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 10, "", -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(ins, 11, 0);
        sqlite3_bind_null(ins, 12);
        check(sqlite3_step(ins), raw, "bare insert");
        sqlite3_reset(ins);
        check(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), raw, "commit");
        const double floor_ms = now_ms() - t;

        sqlite3_bind_int64(remove, 1, sqlite3_last_insert_rowid(raw));
        check(sqlite3_step(remove), raw, "delete the floor row");
        sqlite3_reset(remove);
        if (i >= 0) {  // the first turn warms both up
            add_times.push_back(add_ms);
            floor_times.push_back(floor_ms);
        }
    }
    const double add = median(add_times);
    const double bare = median(floor_times);
    sqlite3_finalize(ins);
    sqlite3_finalize(remove);
    StepTimes steps = time_add_entry_steps(raw);
    CaptureSteps capture = time_capture_steps(raw);
    sqlite3_close(raw);

    std::printf("add_entry, new text: median %.3f ms\n", add);
    std::printf("floor: the same row in its own BEGIN IMMEDIATE ... COMMIT, store's settings: median %.3f ms "
                "(add_entry / floor = %.1fx)\n",
                bare, bare > 0 ? add / bare : 0.0);
    std::printf("  its steps: duplicate lookup %.3f ms (as one scan of the table: %.3f ms); "
                "next sort order %.3f ms;\n"
                "  trim selection %.3f ms (as one scan of the table: %.3f ms)\n",
                steps.lookup, steps.lookup_scan, steps.next_order, steps.trim, steps.trim_scan);
    std::printf("  a capture statement by statement: BEGIN IMMEDIATE %.3f ms, lookups %.3f ms, INSERT %.3f ms,\n"
                "  trim selection %.3f ms, trim deletion %.3f ms, COMMIT %.3f ms\n",
                capture.begin, capture.lookup, capture.insert, capture.trim_select, capture.trim_delete,
                capture.commit);
    std::printf("list \"all\" (%zu rows): median %.3f ms\n", all_rows, all_big);
    std::printf("list \"pinned\" (%zu rows, %d MiB of images): median %.3f ms\n", pinned_rows,
                kPinnedImages, pinned);
    std::printf("list \"pinned\" without payload (as the main window lists it): median %.3f ms\n",
                pinned_deferred);
    std::printf("list \"all\" with 1 KiB pinned images: median %.3f ms; with 1 MiB: %.3f ms (ratio %.2f)\n",
                all_small, all_big, all_small > 0 ? all_big / all_small : 0.0);
}

}  // namespace

int main() {
    std::wstring dir = make_temp_dir();
    run(dir);
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(dir), ec);
    return 0;
}
