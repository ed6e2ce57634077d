// Shared helpers of the store tests: a unique temporary folder that is
// removed afterwards, and a second raw SQLite connection on the same file
// through which a test arranges rows (time stamps, orders) and checks them.
#pragma once

#include <algorithm>

#include <windows.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/text.h"
#include "store/database.h"

namespace store_test {

class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        wchar_t base[MAX_PATH + 1];
        DWORD n = GetTempPathW(MAX_PATH + 1, base);
        EXPECT_GT(n, 0u);
        path_ = std::wstring(base, n) + L"quillet-store-" + std::to_wstring(GetCurrentProcessId()) +
                L"-" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
        EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr));
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(path_), ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

inline bool file_exists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

inline void write_file(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    ASSERT_EQ(written, bytes.size());
}

// A plain connection beside the store's own.
class RawDb {
public:
    explicit RawDb(const std::wstring& path) {
        EXPECT_EQ(sqlite3_open(to_utf8(path).c_str(), &db_), SQLITE_OK);
        sqlite3_busy_timeout(db_, 2000);
    }
    ~RawDb() { sqlite3_close(db_); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    int exec(const std::string& sql) {
        char* err = nullptr;
        int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
        EXPECT_EQ(rc, SQLITE_OK) << sql << ": " << (err ? err : "");
        sqlite3_free(err);
        return rc;
    }
    // Every row, every column as UTF-8 text ("" for NULL).
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        std::vector<std::vector<std::string>> out;
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
        while (s && sqlite3_step(s) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(s); ++c) {
                const unsigned char* t = sqlite3_column_text(s, c);
                row.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
            }
            out.push_back(std::move(row));
        }
        sqlite3_finalize(s);
        return out;
    }
    std::string text(const std::string& sql) {
        auto r = rows(sql);
        return r.empty() || r[0].empty() ? std::string("<none>") : r[0][0];
    }
    std::int64_t number(const std::string& sql) {
        auto r = rows(sql);
        return r.empty() || r[0].empty() ? -1 : std::stoll(r[0][0]);
    }
    // The first column of every row, as numbers.
    std::vector<std::int64_t> ids(const std::string& sql) {
        std::vector<std::int64_t> out;
        for (auto& r : rows(sql)) {
            out.push_back(std::stoll(r[0]));
        }
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

// A fresh store in its own folder.
class StoreTest : public ::testing::Test {
protected:
    StoreTest() : db_path_(dir_.file(L"quillet.db")) {
        db_ = std::make_unique<Database>(db_path_);
        raw_ = std::make_unique<RawDb>(db_path_);
    }
    ~StoreTest() override {
        raw_.reset();
        db_.reset();
    }

    Database& db() { return *db_; }
    RawDb& raw() { return *raw_; }
    // Closes and opens the store again on the same file.
    void reopen() {
        raw_.reset();
        db_.reset();
        db_ = std::make_unique<Database>(db_path_);
        raw_ = std::make_unique<RawDb>(db_path_);
    }

    // A text entry with the default capture arguments.
    std::int64_t add_text(const std::wstring& text, std::optional<std::int64_t> category = std::nullopt,
                          bool repeat = false) {
        return db().add_entry({.text = text, .repeat = repeat, .category = category});
    }
    // A 1 x 1 bitmap of 32 bits whose pixel bytes are all 'fill'.
    static std::vector<std::uint8_t> pixel_dib(std::uint8_t fill) {
        std::vector<std::uint8_t> dib(44, fill);
        const std::uint8_t header[40] = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 4};
        std::copy(header, header + 40, dib.begin());
        return dib;
    }
    std::int64_t add_image(const std::wstring& text, const std::vector<std::uint8_t>& bytes,
                           std::optional<std::int64_t> category = std::nullopt) {
        return db().add_entry({.text = text, .image = bytes, .is_image = true, .repeat = true,
            .category = category});
    }
    static std::vector<std::int64_t> ids_of(const std::vector<HistoryEntry>& entries) {
        std::vector<std::int64_t> out;
        for (const auto& e : entries) {
            out.push_back(e.id);
        }
        return out;
    }

    TempDir dir_;
    std::wstring db_path_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<RawDb> raw_;
};

}  // namespace store_test
