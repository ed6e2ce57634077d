// The window helpers' pure rules (application names, the filter, card texts,
// tones) and the helpers that need no shared desktop state (COM per thread,
// sizing, the fallback icon).
#include "core/winutil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "core/i18n.h"
#include "core/text.h"
#include "tests/core/temp_folder.h"

namespace {

using test_support::TempFolder;

// A language of known texts, so the expected results are written out here.
class WinutilTexts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder();
        ASSERT_TRUE(test_support::write_file(folder_->file(L"en.ini"),
                                             "card.app.unknown = UNKNOWN-APP\n"
                                             "card.app.notepad = Notepad-T\n"
                                             "card.app.explorer = Explorer-T\n"
                                             "card.page = Page:\n"
                                             "card.url = URL:\n"
                                             "card.app = App:\n"
                                             "card.created = Created:\n"));
        set_language(L"en");
        ASSERT_TRUE(load_language(folder_->path()));
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    static TempFolder* folder_;
};
TempFolder* WinutilTexts::folder_ = nullptr;

TEST_F(WinutilTexts, AppDisplayNameTable) {
    struct Case {
        const wchar_t* exe;
        const wchar_t* name;
    };
    const Case cases[] = {
        {L"chrome.exe", L"Chrome"},
        {L"C:\\Program Files\\Microsoft\\Edge\\Application\\msedge.exe", L"Chrome"},
        {L"CHROMIUM.EXE", L"Chrome"},
        {L"firefox.exe", L"Firefox"},
        {L"opera.exe", L"Opera"},
        {L"opera_gx.exe", L"Opera"},
        {L"Brave.exe", L"Brave"},
        {L"iexplore.exe", L"Internet Explorer"},
        {L"yandex.exe", L"Yandex Browser"},
        {L"browser.exe", L"Yandex Browser"},
        {L"WINWORD.EXE", L"Microsoft Word"},
        {L"excel.exe", L"Microsoft Excel"},
        {L"POWERPNT.EXE", L"Microsoft PowerPoint"},
        {L"OUTLOOK.EXE", L"Outlook"},
        {L"notepad.exe", L"Notepad-T"},
        {L"C:\\Windows\\Explorer.EXE", L"Explorer-T"},
        {L"MyTool.v2.exe", L"MyTool.v2"},
        {L"D:\\Apps\\Telegram.exe", L"Telegram"},
        {L"chrome", L"Chrome"},
        {L"C:\\dir.v1\\Tool", L"Tool"},
        {L"chrome.exe.bak", L"chrome.exe"},
        {L"\u0420\u0435\u0434\u0430\u043A\u0442\u043E\u0440.exe", L"\u0420\u0435\u0434\u0430\u043A\u0442\u043E\u0440"},
        {L"", L"UNKNOWN-APP"},
        {L".exe", L"UNKNOWN-APP"},
        {L"C:\\apps\\", L"UNKNOWN-APP"},
    };
    for (const Case& c : cases) EXPECT_EQ(winutil::app_display_name(c.exe), c.name) << to_utf8(c.exe);
}

TEST(Winutil, BrowserProcessTable) {
    struct Case {
        const wchar_t* exe;
        bool browser;
    };
    const Case cases[] = {
        {L"C:\\X\\Opera.EXE", true}, {L"opera_gx.exe", false},  {L"chrome.exe", true},
        {L"chromium.exe", true},     {L"MSEDGE.exe", true},     {L"firefox.exe", true},
        {L"brave.exe", true},        {L"yandex.exe", true},     {L"browser.exe", true},
        {L"chrome", false},          {L"iexplore.exe", false},  {L"", false},
        {L"C:\\chrome.exe\\tool.exe", false}, {L"chrome.exe ", false},
    };
    for (const Case& c : cases) EXPECT_EQ(winutil::is_browser_process(c.exe), c.browser) << to_utf8(c.exe);
}

TEST(Winutil, ShellWindowClassTable) {
    struct Case {
        const wchar_t* cls;
        bool shell;
    };
    const Case cases[] = {
        {L"NotifyIconOverflowWindow", true}, {L"Shell_TrayWnd", true}, {L"Shell_SecondaryTrayWnd", true},
        {L"Progman", true},                  {L"WorkerW", true},       {L"progman", false},
        {L"PROGMAN", false},                 {L"Progman ", false},     {L"Shell_TrayWnd2", false},
        {L"", false},                        {L"Notepad", false},
    };
    for (const Case& c : cases) EXPECT_EQ(winutil::is_shell_window_class(c.cls), c.shell) << to_utf8(c.cls);
}

TEST(Winutil, AppFilterTable) {
    struct Case {
        const wchar_t* mode;
        std::vector<std::wstring> items;
        const wchar_t* exe;
        bool blocked;
    };
    const Case cases[] = {
        {L"whitelist", {L"Chrome.EXE"}, L"chrome.exe", false},
        {L"blacklist", {L"Chrome.EXE"}, L"chrome.exe", true},
        {L"Blacklist", {L"Chrome.EXE"}, L"chrome.exe", false},  // the mode is case-sensitive
        {L"WHITELIST", {L"x.exe"}, L"chrome.exe", false},
        {L"whitelist", {L"telegram.exe"}, L"chrome.exe", true},
        {L"blacklist", {L"telegram.exe"}, L"chrome.exe", false},
        {L"blacklist", {L"a.exe", L"CHROME.exe"}, L"Chrome.Exe", true},
        {L"whitelist", {}, L"chrome.exe", true},
        {L"blacklist", {}, L"chrome.exe", false},
        {L"blacklist", {L"chrome"}, L"chrome.exe", false},  // whole names only
        {L"whitelist", {L"chrome"}, L"chrome.exe", true},
        {L"all", {L"chrome.exe"}, L"chrome.exe", false},
        {L"", {L"chrome.exe"}, L"chrome.exe", false},
        {L"whitelist", {}, L"", false},  // an unknown source is never blocked
        {L"blacklist", {L""}, L"", false},
        {L"blacklist", {L"\u0440\u0435\u0434.exe"}, L"\u0440\u0435\u0434.EXE", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(winutil::is_app_blocked(c.mode, c.items, c.exe), c.blocked)
            << to_utf8(c.mode) << " / " << to_utf8(c.exe);
}

TEST_F(WinutilTexts, CardInfoText) {
    struct Case {
        const wchar_t* exe;
        bool with_page;
        const wchar_t* title;
        const wchar_t* url;
        const wchar_t* text;
    };
    const Case cases[] = {
        {L"chrome.exe", true, L"Title", L"https://a.b/", L"Chrome\nPage:Title\nURL:https://a.b/"},
        {L"chrome.exe", false, L"Title", L"https://a.b/", L"Chrome"},
        {L"chrome.exe", true, L"", L"https://a.b/", L"Chrome\nURL:https://a.b/"},
        {L"chrome.exe", true, L"Title", L"", L"Chrome\nPage:Title"},
        {L"tool.exe", true, L"", L"", L"tool"},
        {L"", true, L"", L"", L"\u2014"},
        {L"", false, L"T", L"u", L"\u2014"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(card_info_text(c.exe, c.with_page, c.title, c.url), c.text) << to_utf8(c.text);
}

TEST_F(WinutilTexts, CardTooltipText) {
    EXPECT_EQ(card_tooltip_text(L"chrome.exe", true, L"T", L"u", L"01.02.2024 10:00"),
              L"App:Chrome\nPage:T\nURL:u\nCreated:01.02.2024 10:00");
    EXPECT_EQ(card_tooltip_text(L"chrome.exe", false, L"T", L"u", L"x"), L"App:Chrome\nCreated:x");
    EXPECT_EQ(card_tooltip_text(L"", true, L"", L"u", L""), L"App:\u2014\nURL:u\nCreated:");
    EXPECT_EQ(card_tooltip_text(L"notepad.exe", true, L"", L"", L"now"), L"App:Notepad-T\nCreated:now");
}

TEST(Winutil, ToneTable) {
    struct Case {
        int tone;
        DWORD hz;
        DWORD ms;
    };
    const Case cases[] = {{1, 880, 160}, {2, 660, 220}, {3, 523, 200}, {4, 330, 260},
                          {0, 0, 0},     {5, 0, 0},     {-1, 0, 0}};
    for (const Case& c : cases) {
        winutil::Tone t = winutil::tone_for(c.tone);
        EXPECT_EQ(t.frequency_hz, c.hz) << c.tone;
        EXPECT_EQ(t.duration_ms, c.ms) << c.tone;
    }
}

TEST(Winutil, SilentTonesReturnAtOnce) {
    DWORD start = GetTickCount();
    winutil::play_tone(0);
    winutil::play_tone(5);
    winutil::play_copy_sound(0);
    winutil::play_paste_sound(99);
    EXPECT_LT(GetTickCount() - start, 100u);
}

// COM belongs to a thread: every thread that asks gets it initialised.
TEST(Winutil, EnsureComInitialisesEachThread) {
    for (int round = 0; round < 2; ++round) {
        bool first = false, second = false;
        HRESULT probe = E_FAIL;
        std::thread t([&] {
            first = winutil::ensure_com();
            second = winutil::ensure_com();
            probe = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // S_FALSE: already initialised
            if (SUCCEEDED(probe)) CoUninitialize();
        });
        t.join();
        EXPECT_TRUE(first);
        EXPECT_TRUE(second);
        EXPECT_EQ(probe, S_FALSE) << "round " << round;
    }
}

TEST(Winutil, EnsureComAcceptsAThreadInTheOtherMode) {
    bool ok = false;
    std::thread t([&] {
        HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ok = winutil::ensure_com();
        if (SUCCEEDED(hr)) CoUninitialize();
    });
    t.join();
    EXPECT_TRUE(ok);
}

TEST(Winutil, FlushDwmWaitsAtLeast60ms) {
    // The performance counter, not the tick count: the tick count moves in
    // steps of up to 16 ms and can read 49 ms across a 60 ms sleep.
    auto start = std::chrono::steady_clock::now();
    winutil::flush_dwm();
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(waited.count(), 59);
}

HWND make_window(DWORD style, DWORD ex_style = 0) {
    return CreateWindowExW(ex_style, L"STATIC", L"", style, 0, 0, 200, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

TEST(Winutil, WindowWidthForClient) {
    RECT rc{0, 0, 300, 100};
    AdjustWindowRectEx(&rc, WS_OVERLAPPEDWINDOW, FALSE, 0);
    const int overlapped = rc.right - rc.left;
    EXPECT_GT(overlapped, 300);
    EXPECT_EQ(winutil::window_width_for_client(nullptr, 300), overlapped);
    EXPECT_EQ(winutil::window_width_for_client(nullptr, -10), winutil::window_width_for_client(nullptr, 0));

    raii::Window plain(make_window(WS_POPUP));
    raii::Window bordered(make_window(WS_POPUP | WS_BORDER));
    raii::Window framed(make_window(WS_OVERLAPPEDWINDOW));
    ASSERT_TRUE(plain && bordered && framed);
    EXPECT_EQ(winutil::window_width_for_client(plain.get(), 300), 300);
    EXPECT_EQ(winutil::window_width_for_client(bordered.get(), 300), 302);
    EXPECT_EQ(winutil::window_width_for_client(framed.get(), 300), overlapped);
}

// Draws the icon over red and reads the pixels back.
std::vector<COLORREF> draw_over_red(HICON icon, int s) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = s;
    bi.bmiHeader.biHeight = -s;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    raii::Bitmap dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    raii::MemoryDC dc(CreateCompatibleDC(nullptr));
    if (!dib || !dc) return {};
    raii::SelectGuard sel(dc.get(), dib.get());
    raii::Brush red(CreateSolidBrush(RGB(255, 0, 0)));
    RECT all{0, 0, s, s};
    FillRect(dc.get(), &all, red.get());
    DrawIconEx(dc.get(), 0, 0, icon, s, s, 0, nullptr, DI_NORMAL);
    GdiFlush();
    std::vector<COLORREF> px(static_cast<size_t>(s) * s);
    const DWORD* p = static_cast<const DWORD*>(bits);
    for (size_t i = 0; i < px.size(); ++i) px[i] = p[i] & 0xFFFFFF;  // 0x00RRGGBB
    return px;
}

TEST(Winutil, FallbackIconIsAPageOnATransparentGround) {
    const int s = 32;
    raii::Icon icon = winutil::make_fallback_icon(s);
    ASSERT_TRUE(icon);

    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    raii::Bitmap mask(info.hbmMask), color(info.hbmColor);
    EXPECT_TRUE(info.fIcon);
    BITMAP bm{};
    ASSERT_TRUE(GetObjectW(mask.get(), sizeof bm, &bm));
    EXPECT_EQ(bm.bmBitsPixel, 1);  // a separate monochrome mask
    EXPECT_TRUE(color);

    std::vector<COLORREF> px = draw_over_red(icon.get(), s);
    ASSERT_EQ(px.size(), static_cast<size_t>(s * s));
    auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * s + x]; };
    const COLORREF red = 0xFF0000, white = 0xFFFFFF, black = 0x000000;
    EXPECT_EQ(at(0, 0), red);        // corner: the background shows through
    EXPECT_EQ(at(1, 16), red);       // left of the page
    EXPECT_EQ(at(16, 0), red);       // above the page
    EXPECT_EQ(at(s - 1, s - 1), red);
    EXPECT_EQ(at(16, 24), white);    // the page
    EXPECT_EQ(at(5, 16), white);
    EXPECT_EQ(at(16, 8), black);     // the bar from (8, 6) to (24, 11)
    EXPECT_EQ(at(8, 6), black);      // its outline
    EXPECT_EQ(at(16, 12), white);    // below the bar
}

TEST(Winutil, FallbackIconOfNoSizeIsEmpty) {
    EXPECT_FALSE(winutil::make_fallback_icon(0));
    EXPECT_FALSE(winutil::make_fallback_icon(-4));
    EXPECT_TRUE(winutil::make_fallback_icon(16));
}

}  // namespace
