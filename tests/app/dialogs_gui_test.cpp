// The about window and the information window (with the hotkey overview)
// run on this thread and driven from a helper thread with real messages:
// buttons, Enter, Esc and Tab, closing, the owner disabled for the loop,
// WM_QUIT posted again, link hovering and the hand cursor, GDI objects
// after many openings, and pictures of both windows in both themes.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <cwctype>

#include "app/app.h"
#include "app/hotkey_help.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "tests/theme/gui_support.h"
#include "ui/dialogs/about_window.h"
#include "ui/dialogs/info_window.h"
#include "ui/modal_loop.h"

namespace {

using gui_test::pump;
using gui_test::click;
using gui_test::text_of;
using gui_test::focus_of;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

RECT client_rect_in(HWND child, HWND parent) {
    RECT rc = gui_test::window_rect(child);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(150)); }

class Dialogs : public testing::Test {
protected:
    static void SetUpTestSuite() { set_language(L"en"); }

    void SetUp() override {
        owner_.reset(CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 200, 150, 500, 400, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(owner_);
        ShowWindow(owner_.get(), SW_SHOW);
        SetForegroundWindow(owner_.get());
        pump();
        ui_thread_ = GetCurrentThreadId();
        app_.settings = std::make_unique<Settings>();
    }
    void TearDown() override {
        pump();
        EXPECT_TRUE(gui_test::thread_windows(ui_thread_, kInfoWindowClass).empty());
        EXPECT_TRUE(gui_test::thread_windows(ui_thread_, kAboutWindowClass).empty());
        EXPECT_TRUE(IsWindowEnabled(owner_.get())) << "the owner is enabled again";
        EXPECT_EQ(modal_loop_depth(), 0);
        owner_.reset();
        pump();
    }

    // Runs the window on this thread while the driver works from a helper
    // thread; a window the driver leaves open is closed.
    template <class Run>
    auto with_driver(const wchar_t* cls, std::function<void(HWND)> driver, Run run) {
        std::atomic<bool> done{false};
        std::thread helper([&] {
            std::vector<HWND> found = gui_test::wait_for_windows(ui_thread_, cls, 1);
            if (!found.empty()) driver(found.front());
            while (!done) {
                for (HWND open : gui_test::thread_windows(ui_thread_, cls)) PostMessageW(open, WM_CLOSE, 0, 0);
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
        auto result = run();
        done = true;
        helper.join();
        return result;
    }

    bool info(std::function<void(HWND)> driver, const wchar_t* second = L"Download",
              std::vector<InfoRow> rows = {{L"", L"Quillet 2.0.0 is available."}}) {
        return with_driver(kInfoWindowClass, std::move(driver),
                           [&] { return show_info_window(owner_.get(), &app_, L"Update", rows, second); });
    }

    void about(std::function<void(HWND)> driver) {
        with_driver(kAboutWindowClass, std::move(driver), [&] {
            show_about_window(owner_.get(), &app_);
            return 0;
        });
    }

    raii::Window owner_;
    DWORD ui_thread_ = 0;
    App app_;
};

// ---- the information window -------------------------------------------------------------

TEST_F(Dialogs, InfoWithoutSecondButtonIsAlwaysFalse) {
    std::atomic<bool> focus_on_close{false}, no_second{false};
    EXPECT_FALSE(info(
        [&](HWND w) {
            settle();
            focus_on_close = focus_of(ui_thread_) == GetDlgItem(w, kInfoCloseId);
            no_second = GetDlgItem(w, kInfoSecondId) == nullptr;
            gui_test::post_key(focus_of(ui_thread_), VK_RETURN);
        },
        nullptr));
    EXPECT_TRUE(focus_on_close.load());
    EXPECT_TRUE(no_second.load());
    EXPECT_FALSE(info([](HWND w) { click(GetDlgItem(w, kInfoCloseId)); }, nullptr));
    EXPECT_FALSE(info([](HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); }, nullptr));
    EXPECT_FALSE(info([&](HWND) { gui_test::post_key(focus_of(ui_thread_), VK_ESCAPE); }, nullptr));
    EXPECT_FALSE(info([](HWND) {}, L"")) << "an empty second text makes no button";
}

TEST_F(Dialogs, InfoSecondButtonByEnterOrClick) {
    std::atomic<bool> focus_on_second{false};
    std::wstring caption, second_text, close_text;
    EXPECT_TRUE(info([&](HWND w) {
        settle();
        caption = text_of(w);
        second_text = text_of(GetDlgItem(w, kInfoSecondId));
        close_text = text_of(GetDlgItem(w, kInfoCloseId));
        focus_on_second = focus_of(ui_thread_) == GetDlgItem(w, kInfoSecondId);
        gui_test::post_key(focus_of(ui_thread_), VK_RETURN);
    })) << "Enter right after opening presses the focused second button";
    EXPECT_TRUE(focus_on_second.load());
    EXPECT_EQ(caption, L"Update");
    EXPECT_EQ(second_text, L"Download");
    EXPECT_EQ(close_text, tr(L"action.close"));
    EXPECT_TRUE(info([](HWND w) { click(GetDlgItem(w, kInfoSecondId)); }));
    EXPECT_FALSE(info([](HWND w) { click(GetDlgItem(w, kInfoCloseId)); }));
}

TEST_F(Dialogs, InfoEscIsNeverTheSecondButton) {
    // Esc sent to the focused second button, and to the window itself.
    EXPECT_FALSE(info([&](HWND) {
        settle();
        gui_test::post_key(focus_of(ui_thread_), VK_ESCAPE);
    }));
    EXPECT_FALSE(info([&](HWND w) {
        settle();
        gui_test::post_key(w, VK_ESCAPE);
    }));
    // Tab moves the focus to Close; Enter then presses Close.
    std::atomic<bool> moved{false};
    EXPECT_FALSE(info([&](HWND w) {
        settle();
        gui_test::post_key(focus_of(ui_thread_), VK_TAB);
        settle();
        moved = focus_of(ui_thread_) == GetDlgItem(w, kInfoCloseId);
        gui_test::post_key(focus_of(ui_thread_), VK_RETURN);
    }));
    EXPECT_TRUE(moved.load());
}

TEST_F(Dialogs, InfoLayoutOwnerAndWrapping) {
    std::atomic<bool> owner_disabled{false};
    RECT client{}, close{}, second{};
    info([&](HWND w) {
        settle();
        owner_disabled = !IsWindowEnabled(owner_.get());
        GetClientRect(w, &client);
        close = client_rect_in(GetDlgItem(w, kInfoCloseId), w);
        second = client_rect_in(GetDlgItem(w, kInfoSecondId), w);
        click(GetDlgItem(w, kInfoCloseId));
    });
    EXPECT_TRUE(owner_disabled.load());
    EXPECT_EQ(client.right, 600);
    EXPECT_GE(client.bottom, 180);
    EXPECT_EQ(close.left, 600 - 124);
    EXPECT_EQ(close.right - close.left, 100);
    EXPECT_EQ(close.bottom - close.top, 36);
    EXPECT_EQ(second.left, 600 - 282);
    EXPECT_EQ(second.right - second.left, 150);
    EXPECT_EQ(second.top, close.top);
    EXPECT_EQ(GetForegroundWindow(), owner_.get()) << "the owner comes to the front again";

    // Long rows wrap inside their column: the window grows, the buttons
    // stay 60 above its bottom.
    std::wstring long_text;
    for (int i = 0; i < 60; ++i) long_text += L"wrapping ";
    std::vector<InfoRow> rows = {{L"Ctrl+Shift+V", long_text}, {L"", long_text}, {L"Esc", L"short"}};
    RECT tall{}, tall_close{};
    info([&](HWND w) {
        GetClientRect(w, &tall);
        tall_close = client_rect_in(GetDlgItem(w, kInfoCloseId), w);
        click(GetDlgItem(w, kInfoCloseId));
    }, nullptr, rows);
    EXPECT_EQ(tall.right, 600);
    EXPECT_GT(tall.bottom, 300);
    EXPECT_EQ(tall_close.top, tall.bottom - 60);
}

TEST_F(Dialogs, QuitIsPostedAgain) {
    PostQuitMessage(5);
    EXPECT_FALSE(show_info_window(owner_.get(), &app_, L"t", {{L"k", L"v"}}, L"Second"));
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
    PostQuitMessage(6);
    show_about_window(owner_.get(), &app_);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 6u);
}

// ---- the about window ---------------------------------------------------------------------

TEST_F(Dialogs, AboutClosesByButtonKeysAndFrame) {
    std::wstring caption, close_text;
    RECT client{}, close{};
    std::atomic<bool> focus_on_close{false}, owner_disabled{false};
    about([&](HWND w) {
        settle();
        caption = text_of(w);
        close_text = text_of(GetDlgItem(w, 1));
        GetClientRect(w, &client);
        close = client_rect_in(GetDlgItem(w, 1), w);
        focus_on_close = focus_of(ui_thread_) == GetDlgItem(w, 1);
        owner_disabled = !IsWindowEnabled(owner_.get());
        gui_test::post_key(focus_of(ui_thread_), VK_RETURN);
    });
    EXPECT_EQ(caption, tr(L"action.about"));
    EXPECT_EQ(close_text, tr(L"action.close"));
    EXPECT_TRUE(focus_on_close.load());
    EXPECT_TRUE(owner_disabled.load());
    EXPECT_EQ(client.right, 600);
    EXPECT_EQ(close.left, 600 - 134);
    EXPECT_EQ(close.right - close.left, 110);
    EXPECT_EQ(close.bottom - close.top, 36);
    EXPECT_EQ(close.bottom, client.bottom - 24) << "total height = button top + 60";

    std::atomic<int> closed{0};
    for (int way = 0; way < 3; ++way) {
        about([&](HWND w) {
            settle();
            if (way == 0) gui_test::post_key(focus_of(ui_thread_), VK_ESCAPE);
            if (way == 1) click(GetDlgItem(w, 1));
            if (way == 2) PostMessageW(w, WM_CLOSE, 0, 0);
            if (gui_test::wait_until([&] { return !IsWindow(w); }, 3000)) ++closed;
        });
    }
    EXPECT_EQ(closed.load(), 3);
}

TEST_F(Dialogs, AboutLinksHoverAndHandCursor) {
    app_.settings->dark_mode = false;
    std::atomic<int> hovered_licence{-1}, hovered_after_leave{-1}, hovered_site{-1};
    std::atomic<LRESULT> cursor_answer{0}, plain_answer{1};
    COLORREF normal = CLR_INVALID, hover = CLR_INVALID, site_normal = CLR_INVALID;
    about([&](HWND w) {
        settle();
        auto* record = reinterpret_cast<AboutWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        ASSERT_NE(record, nullptr);
        const RECT licence = record->layout.licence_link;
        const RECT site = record->layout.site_link;
        POINT origin{0, 0};
        ClientToScreen(w, &origin);
        auto underline = [&](const RECT& link) {
            // The underline: 2 pixels above the link's bottom, in the middle.
            RECT rc{origin.x + (link.left + link.right) / 2, origin.y + link.bottom - 2, 0, 0};
            rc.right = rc.left + 1;
            rc.bottom = rc.top + 1;
            return gui_test::grab_screen(rc).at(0, 0);
        };
        normal = underline(licence);
        const POINT in_licence{(licence.left + licence.right) / 2, (licence.top + licence.bottom) / 2};
        PostMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(in_licence.x, in_licence.y));
        settle();
        hovered_licence = record->hovered_link;
        RedrawWindow(w, nullptr, nullptr, RDW_UPDATENOW);
        settle();
        hover = underline(licence);
        site_normal = underline(site);
        // The hand over a link in the client area.
        gui_test::move_pointer(POINT{origin.x + in_licence.x, origin.y + in_licence.y});
        cursor_answer = SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        gui_test::move_pointer(POINT{origin.x + 300, origin.y + 5});
        plain_answer = SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        PostMessageW(w, WM_MOUSELEAVE, 0, 0);
        settle();
        hovered_after_leave = record->hovered_link;
        PostMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(site.left + 2, (site.top + site.bottom) / 2));
        settle();
        hovered_site = record->hovered_link;
        PostMessageW(w, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(hovered_licence.load(), 1);
    EXPECT_EQ(hovered_after_leave.load(), 0) << "leaving the window clears the hover";
    EXPECT_EQ(hovered_site.load(), 2);
    EXPECT_EQ(normal, RGB(0x00, 0x66, 0xCC)) << "light link colour 0xCC6600";
    EXPECT_EQ(hover, RGB(0x0A, 0x7A, 0xE0)) << "light hover colour 0xE07A0A";
    EXPECT_EQ(site_normal, RGB(0x00, 0x66, 0xCC)) << "the other link keeps its colour";
    EXPECT_EQ(cursor_answer.load(), TRUE);
    EXPECT_NE(plain_answer.load(), TRUE) << "elsewhere the class cursor";
}

// ---- the licence file ----------------------------------------------------------------------

// A visible top-level window of another process whose title holds the text.
HWND find_window_titled(const std::wstring& part) {
    struct Search {
        std::wstring part;
        HWND found = nullptr;
    } search{part};
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == GetCurrentProcessId() || !IsWindowVisible(w)) return TRUE;
            std::wstring title = text_of(w);
            for (wchar_t& c : title) c = static_cast<wchar_t>(towlower(c));
            if (title.find(s->part) != std::wstring::npos) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(Dialogs, LicenceFileBesideTheProgramIsOpened) {
    const std::wstring path = gui_test::exe_dir() + L"\\license.txt";
    {
        raii::Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        ASSERT_TRUE(file);
        const char text[] = "Quillet licence\r\n";
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.get(), text, sizeof(text) - 1, &written, nullptr));
    }
    // The test prefix opens text files in Notepad, as Windows does.
    EXPECT_TRUE(open_license(owner_.get()));
    HWND viewer = nullptr;
    EXPECT_TRUE(gui_test::wait_until([&] { return (viewer = find_window_titled(L"license")) != nullptr; }, 15000));
    if (viewer) {
        DWORD pid = 0;
        GetWindowThreadProcessId(viewer, &pid);
        PostMessageW(viewer, WM_CLOSE, 0, 0);
        raii::Handle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
        if (process && WaitForSingleObject(process.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(process.get(), 0);
    }
    DeleteFileW(path.c_str());
}

// ---- GDI objects ----------------------------------------------------------------------------

UINT_PTR g_closer = 0;

void CALLBACK close_windows(HWND, UINT, UINT_PTR, DWORD) {
    for (const wchar_t* cls : {kInfoWindowClass, kAboutWindowClass}) {
        HWND w = FindWindowW(cls, nullptr);
        if (w && !GetPropW(w, L"answered")) {
            SetPropW(w, L"answered", reinterpret_cast<HANDLE>(1));
            click(GetDlgItem(w, 1));
        }
    }
}

TEST_F(Dialogs, ManyOpeningsLeaveNoGdiObjects) {
    g_closer = SetTimer(nullptr, 0, 5, close_windows);
    auto round = [&](int i) {
        app_.settings->dark_mode = i % 2 == 1;
        show_about_window(owner_.get(), &app_);
        show_info_window(owner_.get(), &app_, L"Keys", hotkey_help_rows(app_.settings.get()), L"More");
    };
    for (int i = 0; i < 3; ++i) round(i);
    pump();
    const DWORD before = gui_test::gdi_object_count();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 40; ++i) round(i);
    pump();
    EXPECT_EQ(gui_test::gdi_object_count(), before);
    KillTimer(nullptr, g_closer);
}

// ---- pictures ---------------------------------------------------------------------------------

gui_test::Pixels grab(HWND w) { return gui_test::grab_painted_window(w); }

TEST_F(Dialogs, ScreenshotsInBothThemes) {
    App* saved = g_app;
    g_app = &app_;
    app_.settings->plain_hotkey = L"ctrl+shift+alt+u";
    app_.settings->snippets_hotkey = L"ctrl+shift+alt+s";
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        app_.settings->dark_mode = dark;
        const std::wstring suffix = dark ? L"_dark.png" : L"_light.png";
        const COLORREF background = dark ? RGB(0x20, 0x20, 0x20) : RGB(0xF3, 0xF3, 0xF3);

        gui_test::Pixels shot;
        POINT origin{};
        RECT window{};
        about([&](HWND w) {
            shot = grab(w);
            window = gui_test::window_rect(w);
            origin = POINT{0, 0};
            ClientToScreen(w, &origin);
            PostMessageW(w, WM_CLOSE, 0, 0);
        });
        ASSERT_GT(shot.width, 0);
        EXPECT_TRUE(gui_test::save_png(shot, gui_test::exe_dir() + L"\\about_window" + suffix));
        EXPECT_EQ(shot.at(origin.x - window.left + 5, origin.y - window.top + 5), background);

        with_driver(kInfoWindowClass, [&](HWND w) {
            shot = grab(w);
            window = gui_test::window_rect(w);
            origin = POINT{0, 0};
            ClientToScreen(w, &origin);
            PostMessageW(w, WM_CLOSE, 0, 0);
        }, [&] {
            show_hotkey_help(owner_.get());
            return 0;
        });
        ASSERT_GT(shot.width, 0);
        EXPECT_TRUE(gui_test::save_png(shot, gui_test::exe_dir() + L"\\hotkey_overview" + suffix));
        EXPECT_EQ(shot.at(origin.x - window.left + 5, origin.y - window.top + 5), background);
        // Some key text is drawn in the accent colour in the key column.
        const COLORREF accent = dark ? RGB(0x4C, 0xC2, 0xFF) : RGB(0x00, 0x66, 0xCC);
        int accent_pixels = 0;
        for (int y = origin.y - window.top + 60; y < shot.height; ++y)
            for (int x = origin.x - window.left + 24; x < origin.x - window.left + 150; ++x)
                if (shot.at(x, y) == accent) ++accent_pixels;
        EXPECT_GT(accent_pixels, 50);
    }
    g_app = saved;
}

}  // namespace
