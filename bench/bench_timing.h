// Timing helpers shared by the benchmarks.
#pragma once

#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace bench {

// Milliseconds on the performance counter.
inline double now_ms() {
    static const LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Median time of fn over n runs, after one run (given -1) to warm up.
inline double time_median(int n, const std::function<void(int)>& fn) {
    fn(-1);
    std::vector<double> times;
    for (int i = 0; i < n; ++i) {
        double t0 = now_ms();
        fn(i);
        times.push_back(now_ms() - t0);
    }
    return median(times);
}

// Stops the benchmark on an SQLite error of the raw set-up connection.
inline void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::printf("SQLite error in %s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

// The highest id of the history table, 0 when it is empty or cannot be read.
inline std::int64_t newest_id(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    std::int64_t id = 0;
    if (sqlite3_prepare_v2(db, "SELECT COALESCE(MAX(id),0) FROM history", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
        id = sqlite3_column_int64(s, 0);
    }
    sqlite3_finalize(s);
    return id;
}

}  // namespace bench
