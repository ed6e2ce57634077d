// The autostart value in the per-user Run key (of the test's Wine prefix).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/autostart.h"
#include "core/handles.h"
#include "core/paths.h"

namespace {

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool read_value(std::wstring& out, DWORD& type, DWORD& bytes) {
    raii::RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    wchar_t buf[2048] = {};
    bytes = sizeof(buf);
    if (RegQueryValueExW(key.get(), L"Quillet", nullptr, &type, reinterpret_cast<BYTE*>(buf), &bytes) != ERROR_SUCCESS)
        return false;
    out.assign(buf);
    return true;
}

class Autostart : public testing::Test {
protected:
    void SetUp() override {
        raii::RegKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        DWORD type = 0, bytes = 0;
        had_value_ = read_value(old_, type, bytes);
    }
    void TearDown() override {
        raii::RegKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
        if (had_value_)
            RegSetValueExW(key.get(), L"Quillet", 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.c_str()),
                           static_cast<DWORD>((old_.size() + 1) * 2));
        else
            RegDeleteValueW(key.get(), L"Quillet");
    }
    bool had_value_ = false;
    std::wstring old_;
};

TEST_F(Autostart, OnWritesQuotedExecutablePath) {
    ASSERT_EQ(set_autostart(true), ERROR_SUCCESS);
    std::wstring value;
    DWORD type = 0, bytes = 0;
    ASSERT_TRUE(read_value(value, type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    std::wstring expected = L"\"" + winutil::exe_path() + L"\"";
    EXPECT_EQ(value, expected);
    EXPECT_EQ(bytes, (expected.size() + 1) * sizeof(wchar_t));  // with its terminating zero
    EXPECT_TRUE(is_autostart_enabled());
}

TEST_F(Autostart, OffDeletesValueAndMissingValueIsNoError) {
    ASSERT_EQ(set_autostart(true), ERROR_SUCCESS);
    EXPECT_EQ(set_autostart(false), ERROR_SUCCESS);
    EXPECT_FALSE(is_autostart_enabled());
    std::wstring value;
    DWORD type = 0, bytes = 0;
    EXPECT_FALSE(read_value(value, type, bytes));
    EXPECT_EQ(set_autostart(false), ERROR_SUCCESS);  // already gone
    EXPECT_FALSE(is_autostart_enabled());
}

TEST_F(Autostart, ValueTooLongForBufferReadsAsAbsent) {
    raii::RegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
    std::wstring long_value(300, L'x');  // 602 bytes with the zero
    ASSERT_EQ(RegSetValueExW(key.get(), L"Quillet", 0, REG_SZ, reinterpret_cast<const BYTE*>(long_value.c_str()),
                             static_cast<DWORD>((long_value.size() + 1) * 2)),
              ERROR_SUCCESS);
    EXPECT_FALSE(is_autostart_enabled());
    std::wstring fits(200, L'y');
    ASSERT_EQ(RegSetValueExW(key.get(), L"Quillet", 0, REG_SZ, reinterpret_cast<const BYTE*>(fits.c_str()),
                             static_cast<DWORD>((fits.size() + 1) * 2)),
              ERROR_SUCCESS);
    EXPECT_TRUE(is_autostart_enabled());
}

}  // namespace
