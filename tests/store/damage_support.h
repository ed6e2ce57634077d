// Helpers of the damaged-store tests: a file's bytes, and pages overwritten
// in place as a failing disk or another program could.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "store/database.h"

namespace damage_test {

constexpr std::size_t kPage = 4096;

inline std::string pseudo_random_bytes(std::size_t n, std::uint32_t seed) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        out += static_cast<char>(seed >> 24);
    }
    return out;
}

inline std::string read_file(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got > 0) bytes.append(buf, got);
    CloseHandle(h);
    return bytes;
}

// Writes bytes over page 'page' (counted from 1) onwards, while the store
// may have the file open.
inline void overwrite_pages(const std::wstring& path, std::size_t page, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>((page - 1) * kPage);
    ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    ASSERT_EQ(written, bytes.size());
}

// The table leaf page (counted from 1) of which a cell starts with a record
// holding 'marker' near its start, the row's own page; 0 for none. (Stale
// copies of a row stay in the free space of pages it was moved from.)
inline std::size_t page_holding(const std::string& file, const std::string& marker) {
    for (std::size_t page = 1; page * kPage <= file.size(); ++page) {
        const std::size_t start = (page - 1) * kPage;
        const std::size_t header = start + (page == 1 ? 100 : 0);
        if (static_cast<unsigned char>(file[header]) != 0x0D) continue;  // a table leaf
        const std::size_t cells = (static_cast<unsigned char>(file[header + 3]) << 8) |
                                  static_cast<unsigned char>(file[header + 4]);
        for (std::size_t i = 0; i < cells; ++i) {
            const std::size_t at = header + 8 + 2 * i;
            const std::size_t cell = start + ((static_cast<unsigned char>(file[at]) << 8) |
                                              static_cast<unsigned char>(file[at + 1]));
            const std::size_t found = file.find(marker, cell);
            if (found != std::string::npos && found < cell + 64) return page;
        }
    }
    return 0;
}

// A full disk for the fresh stores the store makes while the object lives
// (SQLite's page limit, which refuses a write as a full disk does).
class FullDisk {
public:
    explicit FullDisk(unsigned pages) { Database::limit_fresh_store_pages(pages); }
    ~FullDisk() { make_room(); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    void make_room() { Database::limit_fresh_store_pages(0); }
};

}  // namespace damage_test
