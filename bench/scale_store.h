// Large stores for the main-window scale benchmark and its tests, written
// with SQLite directly in one transaction over the program's own schema:
//   A: 10,000 pinned texts of 10 KB and 100 pinned images of 1 MiB;
//   B: 200 texts of 500 KB.
// Each text is lines of words in mixed case with some letters beyond ASCII
// ("Straße", "ÉCOLE", "Ωmega", "Жук"), and carries the tag "Tag<n>Mark"
// (n its number) near its end, far past what a card shows.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/text.h"
#include "store/database.h"

namespace scale_store {

struct Shape {
    int texts = 0;
    std::size_t text_bytes = 0;  // UTF-8 bytes of each text (about)
    bool pinned = false;
    int images = 0;
    std::size_t image_bytes = 0;
};

inline Shape store_a() { return Shape{10000, 10 * 1024, true, 100, 1 << 20}; }
inline Shape store_b() { return Shape{200, 500 * 1024, false, 0, 0}; }

// The n-th text of a store of that size, as UTF-8.
inline std::string text_utf8(int n, std::size_t bytes) {
    static const char* const words[] = {"alpha",  "Bravo",   "charlie", "DELTA",        "echo",  "foxtrot",
                                        "Golf",   "hotel",   "INDIA",   "juliet",       "kilo",  "Lima",
                                        "mike",   "November", "oscar",  "Papa",         "quebec", "Romeo",
                                        "sierra", "TANGO",   "uniform", "Stra\xC3\x9F" "e", "\xC3\x89" "COLE",
                                        "\xCE\xA9" "mega", "\xD0\x96\xD1\x83\xD0\xBA", "log", "error", "Warning"};
    constexpr std::size_t kWords = sizeof(words) / sizeof(words[0]);
    std::string out;
    out.reserve(bytes + 64);
    std::uint32_t x = static_cast<std::uint32_t>(n) * 2654435761u + 7u;
    std::size_t line = 0;
    const std::string tag = "Tag" + std::to_string(n) + "Mark";
    const std::size_t tag_at = bytes > 400 ? bytes - 200 : bytes / 2;
    bool tagged = false;
    while (out.size() < bytes) {
        x = x * 1103515245u + 12345u;
        const char* w = words[(x >> 16) % kWords];
        out += w;
        line += std::char_traits<char>::length(w);
        if (!tagged && out.size() >= tag_at) {
            out += ' ';
            out += tag;
            tagged = true;
        }
        if (line > 70) {
            out += "\r\n";
            line = 0;
        } else {
            out += ' ';
            ++line;
        }
    }
    if (!tagged) out += " " + tag;
    return out;
}

// Creates the store at path (the program's schema, then the rows in one
// transaction). False when it cannot be written.
inline bool build(const std::wstring& path, const Shape& shape) {
    { Database schema(path); if (!schema.is_open()) return false; }
    sqlite3* db = nullptr;
    if (sqlite3_open(to_utf8(path).c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* text = nullptr;
    sqlite3_stmt* image = nullptr;
    ok = ok && sqlite3_prepare_v2(db,
                                  "INSERT INTO history(text, created_at, pinned, sort_order, source_app) "
                                  "VALUES(?1, ?2, ?3, ?4, 'bench.exe')",
                                  -1, &text, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_prepare_v2(db,
                                  "INSERT INTO history(text, created_at, pinned, sort_order, source_app, image, is_image) "
                                  "VALUES('', ?1, ?2, ?3, 'mspaint.exe', ?4, 1)",
                                  -1, &image, nullptr) == SQLITE_OK;
    std::int64_t order = 0;
    char stamp[32];
    for (int i = 0; ok && i < shape.texts; ++i) {
        const std::string t = text_utf8(i, shape.text_bytes);
        std::snprintf(stamp, sizeof stamp, "2024-%02d-%02dT%02d:%02d:00", 1 + i % 12, 1 + i % 28, i % 24, i % 60);
        sqlite3_bind_text(text, 1, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(text, 2, stamp, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(text, 3, shape.pinned ? 1 : 0);
        sqlite3_bind_int64(text, 4, ++order);
        ok = sqlite3_step(text) == SQLITE_DONE;
        sqlite3_reset(text);
    }
    std::vector<std::uint8_t> bytes;
    for (int i = 0; ok && i < shape.images; ++i) {
        // A 32-bit bottom-up DIB of the size given.
        const std::uint32_t side = 512;
        bytes.assign(40 + shape.image_bytes, 0);
        auto put32 = [&](std::size_t at, std::uint32_t v) {
            for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
        };
        put32(0, 40);
        put32(4, side);
        put32(8, static_cast<std::uint32_t>(shape.image_bytes / (side * 4)));
        bytes[12] = 1;
        bytes[14] = 32;
        put32(20, static_cast<std::uint32_t>(shape.image_bytes));
        std::uint32_t x = static_cast<std::uint32_t>(i) * 2654435761u + 1;
        for (std::size_t k = 40; k < bytes.size(); k += 4) {
            x = x * 1103515245u + 12345u;
            bytes[k] = static_cast<std::uint8_t>(x >> 24);
        }
        std::snprintf(stamp, sizeof stamp, "2024-06-%02dT10:%02d:00", 1 + i % 28, i % 60);
        sqlite3_bind_text(image, 1, stamp, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(image, 2, shape.pinned ? 1 : 0);
        sqlite3_bind_int64(image, 3, ++order);
        sqlite3_bind_blob(image, 4, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
        ok = sqlite3_step(image) == SQLITE_DONE;
        sqlite3_reset(image);
    }
    sqlite3_finalize(text);
    sqlite3_finalize(image);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

}  // namespace scale_store
