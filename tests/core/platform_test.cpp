// Facts about the platform the tests run on, which the rest of the suite relies on.
#include <windows.h>
#include <gtest/gtest.h>

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

TEST(Platform, WideCharIsUtf16) {
    static_assert(sizeof(wchar_t) == 2, "Windows wide strings are UTF-16");
    const wchar_t text[] = L"\U0001F600";  // one code point outside the BMP
    EXPECT_EQ(sizeof(text) / sizeof(text[0]), 3u);  // a surrogate pair plus the terminator
}

TEST(Platform, ReportsWindows10OrLater) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    ASSERT_NE(ntdll, nullptr);
    auto fn = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    ASSERT_NE(fn, nullptr);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_EQ(fn(&info), 0);
    EXPECT_GE(info.dwMajorVersion, 10u);
}

TEST(Platform, HasADesktopOfFullHdSize) {
    EXPECT_GE(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_GE(GetSystemMetrics(SM_CYSCREEN), 768);
}

}  // namespace
