// The Windows 11 predicate, the dark title bar's fallback and the corner
// preference, with the system functions replaced by recording fakes; and
// the choice of the font faces.
#include "theme/dark_mode.h"

#include <gtest/gtest.h>

#include <vector>

#include "theme/fonts.h"
#include "theme/icon_font.h"

namespace {

TEST(Windows11, VersionPredicate) {
    struct Row {
        DWORD major, minor, build;
        bool want;
    };
    const Row rows[] = {
        {10, 0, 19045, false}, {10, 0, 21999, false}, {10, 0, 22000, true}, {10, 0, 22631, true},
        {6, 1, 7601, false},   {6, 3, 99999, false},  {11, 0, 0, true},     {10, 1, 100, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(is_windows11_version(r.major, r.minor, r.build), r.want)
            << r.major << "." << r.minor << "." << r.build;
}

// A fake RtlGetVersion reporting a chosen version or failing.
RTL_OSVERSIONINFOW g_reported{};
LONG g_status = 0;
LONG WINAPI fake_get_version(PRTL_OSVERSIONINFOW info) {
    if (g_status != 0) return g_status;
    const DWORD size = info->dwOSVersionInfoSize;
    *info = g_reported;
    info->dwOSVersionInfoSize = size;
    return 0;
}

TEST(Windows11, ThroughTheVersionFunction) {
    g_reported = {};
    g_reported.dwMajorVersion = 10;
    g_reported.dwBuildNumber = 22000;
    g_status = 0;
    EXPECT_TRUE(is_windows11_or_later_with(fake_get_version));
    g_reported.dwBuildNumber = 19045;
    EXPECT_FALSE(is_windows11_or_later_with(fake_get_version));
    g_reported.dwBuildNumber = 26100;
    g_status = static_cast<LONG>(0xC0000001);  // a failure status
    EXPECT_FALSE(is_windows11_or_later_with(fake_get_version));
    EXPECT_FALSE(is_windows11_or_later_with(nullptr));
    g_status = 0;
}

TEST(Windows11, RunningSystemAgreesWithItsVersion) {
    // Whatever the system is, the answer follows the version it reports.
    using Fn = LONG(WINAPI*)(PRTL_OSVERSIONINFOW);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(fn, nullptr);
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_EQ(fn(&info), 0);
    EXPECT_EQ(is_windows11_or_later(), is_windows11_version(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber));
}

struct AttributeCall {
    HWND window;
    DWORD attribute;
    int value;
    DWORD size;
};
std::vector<AttributeCall> g_calls;
bool g_fail_attribute_20 = false;

HRESULT WINAPI fake_set_attribute(HWND w, DWORD attribute, LPCVOID value, DWORD size) {
    g_calls.push_back({w, attribute, size == 4 ? *static_cast<const int*>(value) : -1, size});
    if (attribute == 20 && g_fail_attribute_20) return E_INVALIDARG;
    return S_OK;
}

HWND fake_window() { return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234)); }

TEST(DarkTitleBar, Attribute20AndItsFallback) {
    struct Row {
        bool fail20;
        bool dark;
        std::vector<DWORD> attributes;
    };
    const Row rows[] = {
        {false, true, {20}},
        {false, false, {20}},
        {true, true, {20, 19}},
        {true, false, {20, 19}},
    };
    for (const Row& r : rows) {
        g_calls.clear();
        g_fail_attribute_20 = r.fail20;
        apply_dark_title_bar_with(fake_set_attribute, fake_window(), r.dark);
        ASSERT_EQ(g_calls.size(), r.attributes.size());
        for (size_t i = 0; i < g_calls.size(); ++i) {
            EXPECT_EQ(g_calls[i].attribute, r.attributes[i]);
            EXPECT_EQ(g_calls[i].value, r.dark ? 1 : 0);
            EXPECT_EQ(g_calls[i].size, 4u) << "a 4-byte boolean";
            EXPECT_EQ(g_calls[i].window, fake_window());
        }
    }
    g_calls.clear();
    apply_dark_title_bar_with(fake_set_attribute, nullptr, true);
    apply_dark_title_bar_with(nullptr, fake_window(), true);  // a missing function is skipped
    EXPECT_TRUE(g_calls.empty());
    g_fail_attribute_20 = false;
}

TEST(RoundCorners, OnlyOnWindows11) {
    g_calls.clear();
    apply_round_corners_with(fake_set_attribute, false, fake_window());
    EXPECT_TRUE(g_calls.empty());
    apply_round_corners_with(fake_set_attribute, true, nullptr);
    EXPECT_TRUE(g_calls.empty());
    apply_round_corners_with(fake_set_attribute, true, fake_window());
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].attribute, 33u);
    EXPECT_EQ(g_calls[0].value, 2);
}

TEST(DarkMode, RealCallsIgnoreANullWindow) {
    apply_dark_title_bar(nullptr, true);
    apply_round_corners(nullptr);
    set_window_dark_theme(nullptr, true);
    EXPECT_STREQ(window_theme_name(true), L"DarkMode_Explorer");
    EXPECT_STREQ(window_theme_name(false), L"Explorer");
}

TEST(DarkMode, PreferredAppModeOnlyWhenExported) {
    // Looked up by name only; a system without it (Wine, Windows before
    // 1903) reports that nothing was called.
    HMODULE uxtheme = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(uxtheme, nullptr);
    const bool exported = GetProcAddress(uxtheme, "SetPreferredAppMode") != nullptr;
    FreeLibrary(uxtheme);
    EXPECT_EQ(set_preferred_app_mode(2), exported);
}

bool only_segoe_ui(const std::wstring& face) { return face == L"Segoe UI"; }
bool nothing_installed(const std::wstring&) { return false; }
bool everything_installed(const std::wstring&) { return true; }

TEST(Fonts, FaceChoice) {
    const std::vector<std::wstring> text{L"Segoe UI Variable Text", L"Segoe UI"};
    EXPECT_EQ(pick_font_face(text, everything_installed), L"Segoe UI Variable Text");
    EXPECT_EQ(pick_font_face(text, only_segoe_ui), L"Segoe UI");  // Windows 10
    EXPECT_EQ(pick_font_face(text, nothing_installed), L"Segoe UI Variable Text");  // GDI maps it
    EXPECT_EQ(pick_font_face({}, everything_installed), L"");
}

TEST(Fonts, MadeAtTheSizeAndWeight) {
    raii::Font ui = create_ui_font(12, 600);
    raii::Font icon = create_icon_font(26);
    ASSERT_TRUE(ui);
    ASSERT_TRUE(icon);
    LOGFONTW lf{};
    ASSERT_EQ(GetObjectW(ui.get(), sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfWeight, 600);
    EXPECT_EQ(lf.lfQuality, CLEARTYPE_QUALITY);
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
    EXPECT_FALSE(lf.lfItalic || lf.lfUnderline || lf.lfStrikeOut);
    EXPECT_EQ(std::wstring(lf.lfFaceName), ui_font_face());
    ASSERT_EQ(GetObjectW(icon.get(), sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    EXPECT_EQ(lf.lfHeight, -26);
    EXPECT_EQ(lf.lfWeight, 400);
    EXPECT_EQ(std::wstring(lf.lfFaceName), icon_font_face());
    // The faces are the named ones or their same-design stand-ins; the icons
    // come from the fallback font inside the program where the system has
    // neither icon face.
    EXPECT_TRUE(ui_font_face() == L"Segoe UI Variable Text" || ui_font_face() == L"Segoe UI");
    if (font_face_installed(L"Segoe MDL2 Assets") || font_face_installed(L"Segoe Fluent Icons"))
        EXPECT_TRUE(icon_font_face() == L"Segoe MDL2 Assets" || icon_font_face() == L"Segoe Fluent Icons");
    else
        EXPECT_EQ(icon_font_face(), kFallbackIconFace);
}

}  // namespace
