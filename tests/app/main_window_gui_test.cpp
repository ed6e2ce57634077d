// The main window shell in a real window: its controls, their places for
// several sizes, the side-panel collapse, fonts, language, tooltips, the
// toast, wheel scrolling and both themes (saved as PNG files).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/app_ids.h"
#include "app/main_wndproc.h"
#include "app/tray_icon.h"
#include "capture/image.h"
#include "capture/image_file.h"
#include "capture/watcher.h"
#include "core/i18n.h"
#include "core/winutil.h"
#include "tests/app/app_test_support.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"

namespace {

using namespace app_test;

RECT child_rect(HWND parent, int id) {
    RECT rc{};
    HWND child = GetDlgItem(parent, id);
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

::testing::AssertionResult SameRect(const RECT& a, const RECT& b) {
    if (EqualRect(&a, &b)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.left << "," << a.top << "," << a.right << "," << a.bottom
                                         << ") != (" << b.left << "," << b.top << "," << b.right << "," << b.bottom
                                         << ")";
}

std::wstring class_of(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

void set_client_size(HWND w, int cw, int ch) {
    RECT rc{0, 0, cw, ch};
    AdjustWindowRectEx(&rc, static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(w, GWL_EXSTYLE)));
    SetWindowPos(w, nullptr, 100, 50, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
    pump(50);
}

bool save_png(const Capture& c, const std::wstring& name) {
    std::vector<std::uint8_t> png;
    if (!winutil::encode_bgra_png(c.pixels.data(), static_cast<std::uint32_t>(c.width),
                                  static_cast<std::uint32_t>(c.height), png))
        return false;
    return write_file_bytes(name, png);
}

Capture capture_client(HWND w) {
    RECT rc{};
    GetClientRect(w, &rc);
    MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return capture_screen(rc);
}

class MainWindowShell : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.start());
        wnd = run.window();
        ASSERT_TRUE(wnd);
        mw = run.app->main_window.get();
        ASSERT_TRUE(mw);
        ShowWindow(wnd, SW_SHOW);
        SetForegroundWindow(wnd);
        park_pointer_outside(wnd);
        pump(100);
    }
    // Earlier tests leave the real pointer anywhere, possibly over a button
    // of this window, where it would raise a tooltip of its own.
    static void park_pointer_outside(HWND w) {
        RECT rc{};
        GetWindowRect(w, &rc);
        const int right = GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1;
        const int bottom = GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1;
        POINT p{right, bottom};
        if (PtInRect(&rc, p)) p = POINT{GetSystemMetrics(SM_XVIRTUALSCREEN), bottom};
        SetCursorPos(p.x, p.y);
    }
    RunningApp run;
    HWND wnd = nullptr;
    MainWindow* mw = nullptr;
};

TEST_F(MainWindowShell, ControlsExistWithTheirClassesAndStyles) {
    struct Expect {
        int id;
        const wchar_t* cls;
        LONG style_bits;
        bool visible;
    } expects[] = {
        {kIdCards, L"ListBox", LBS_NOTIFY | LBS_OWNERDRAWVARIABLE | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT, true},
        {kIdSide, L"ListBox", LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT, true},
        {kIdSearch, L"Edit", ES_AUTOHSCROLL, true},
        {kIdSearchButton, L"Button", BS_FLAT, true},
        {kIdWatchBox, L"Button", 0, true},
        {kIdTotalLabel, L"Static", SS_RIGHT, true},
        {kIdEmptyHint, L"Static", SS_CENTER, true},  // the store holds no entry
        {kIdTooltip, L"Static", WS_BORDER | SS_CENTER, false},
    };
    for (const Expect& e : expects) {
        HWND c = GetDlgItem(wnd, e.id);
        ASSERT_TRUE(c) << e.id;
        EXPECT_EQ(_wcsicmp(class_of(c).c_str(), e.cls), 0) << e.id;
        EXPECT_EQ(GetWindowLongW(c, GWL_STYLE) & e.style_bits, e.style_bits) << e.id;
        EXPECT_EQ(IsWindowVisible(c) != FALSE, e.visible) << e.id;
    }
    // The cards list holds no texts: its rows are keys drawn from the model.
    EXPECT_EQ(GetWindowLongW(GetDlgItem(wnd, kIdCards), GWL_STYLE) & LBS_HASSTRINGS, 0);
    for (int id : {201, 202, 203, 204, 205, 206, 207, 208, 209, 220, 221, 210, 211, 212, 213, 214, 215}) {
        HWND b = GetDlgItem(wnd, id);
        ASSERT_TRUE(b) << id;
        EXPECT_EQ(GetWindowLongW(b, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << id;
    }
    const wchar_t* keys[] = {L"menu.file", L"menu.edit",     L"menu.categories",
                             L"menu.view", L"menu.settings", L"menu.help"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(get_dlg_item_text(wnd, 210 + i), tr(keys[i]));
    EXPECT_EQ(get_dlg_item_text(wnd, kIdWatchBox), tr(L"toggle.watch_buffer"));
    EXPECT_EQ(SendMessageW(GetDlgItem(wnd, kIdWatchBox), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(class_of(wnd), L"QuilletMain");
    wchar_t title[64] = {};
    GetWindowTextW(wnd, title, 64);
    EXPECT_EQ(std::wstring(title), tr(L"title.main"));
    // The toolbar row at the top bar's height.
    for (const ToolbarSlot& slot : toolbar_slots()) {
        if (slot.id == 0) continue;
        RECT rc = child_rect(wnd, slot.id);
        EXPECT_TRUE(SameRect(rc, RECT{slot.x, 30, slot.x + 28, 58})) << slot.id;
    }
    // An empty store: no card, and the side panel's rows of the list model.
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageW(mw->side, LB_GETCOUNT, 0, 0), static_cast<LRESULT>(mw->panel.rows().size()));
    EXPECT_GE(mw->panel.rows().size(), 1u);
    // (The scroll bars come and go with the rows, so their style bits are not
    // looked at.) The side list's fixed row height came from WM_MEASUREITEM.
    EXPECT_EQ(SendMessageW(mw->side, LB_GETITEMHEIGHT, 0, 0), 28);
}

TEST_F(MainWindowShell, ChildPlacesFollowLayoutArithmetic) {
    for (auto [cw, ch] : {std::pair{560, 744}, std::pair{420, 500}, std::pair{345, 400}, std::pair{900, 300}}) {
        set_client_size(wnd, cw, ch);
        RECT client{};
        GetClientRect(wnd, &client);
        MainLayoutInput in;
        in.client_w = client.right;
        in.client_h = client.bottom;
        in.collapsed = mw->categories_collapsed;
        in.categories_width = mw->categories_width;
        {
            // The total label's text measured with its font.
            std::wstring total = get_dlg_item_text(wnd, kIdTotalLabel);
            raii::WindowDC dc(wnd);
            raii::SelectGuard font(dc.get(), mw->small_font.get());
            SIZE size{};
            in.total_text_width =
                total.empty() || !GetTextExtentPoint32W(dc.get(), total.c_str(), static_cast<int>(total.size()), &size)
                    ? 0
                    : size.cx;
        }
        // Menu-button widths are measured: take them from the window and
        // check the chain they form.
        int x = 10;
        for (int id = 210; id <= 215; ++id) {
            RECT b = child_rect(wnd, id);
            EXPECT_EQ(b.left, x) << id;
            EXPECT_EQ(b.top, 2) << id;
            EXPECT_EQ(b.bottom - b.top, 26) << id;
            EXPECT_GE(b.right - b.left, 40) << id;
            in.menu_text_widths.push_back(0);
            x = b.right + 1;
        }
        EXPECT_EQ(mw->menu_bar_width(), x + 12);
        MainLayout l = compute_main_layout(in);
        EXPECT_TRUE(SameRect(child_rect(wnd, kIdSearch), l.search)) << cw;
        EXPECT_TRUE(SameRect(child_rect(wnd, kIdSearchButton), l.search_button)) << cw;
        EXPECT_TRUE(SameRect(child_rect(wnd, kIdCards), l.cards)) << cw;
        EXPECT_EQ(IsWindowVisible(mw->side) != FALSE, l.side_visible) << cw;
        if (l.side_visible) {
            EXPECT_TRUE(SameRect(child_rect(wnd, kIdSide), l.side)) << cw;
        }
        EXPECT_TRUE(SameRect(child_rect(wnd, kIdWatchBox), l.watch_box)) << cw;
        EXPECT_TRUE(SameRect(child_rect(wnd, kIdTotalLabel), l.total_label)) << cw;
        EXPECT_TRUE(SameRect(child_rect(wnd, kIdEmptyHint), l.empty_hint)) << cw;
    }
}

// A layout run with nothing changed (it runs several times while the
// window is made) moves no child and leaves none to be painted again.
TEST_F(MainWindowShell, ALayoutWithNothingChangedMovesAndRepaintsNoChild) {
    set_client_size(wnd, 560, 744);
    mw->relayout();
    UpdateWindow(wnd);
    struct Moves {
        static LRESULT CALLBACK count(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
            if (msg == WM_WINDOWPOSCHANGING || msg == WM_WINDOWPOSCHANGED) ++*reinterpret_cast<int*>(ref);
            return DefSubclassProc(w, msg, wp, lp);
        }
    };
    int moved = 0;
    std::vector<HWND> children;
    EnumChildWindows(
        wnd,
        [](HWND child, LPARAM lp) -> BOOL {
            if (GetParent(child) == GetAncestor(child, GA_PARENT)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    ASSERT_GT(children.size(), 20u);
    for (HWND child : children) SetWindowSubclass(child, Moves::count, 77, reinterpret_cast<DWORD_PTR>(&moved));
    mw->relayout();
    mw->relayout();
    int to_paint = 0;
    for (HWND child : children) {
        if (GetUpdateRect(child, nullptr, FALSE)) ++to_paint;
        RemoveWindowSubclass(child, Moves::count, 77);
    }
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(to_paint, 0);
    // A change of size still moves what it must.
    SetWindowSubclass(mw->cards, Moves::count, 77, reinterpret_cast<DWORD_PTR>(&moved));
    set_client_size(wnd, 600, 700);
    RemoveWindowSubclass(mw->cards, Moves::count, 77);
    EXPECT_GT(moved, 0);
}

TEST_F(MainWindowShell, MinimumTrackWidthKeepsMenuBarToolbarAndBottomRow) {
    MINMAXINFO info{};
    SendMessageW(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, winutil::window_width_for_client(wnd, mw->min_client_width()));
    EXPECT_GE(mw->min_client_width(), mw->menu_bar_width());
    // The settings button, the last of the toolbar, lies inside.
    EXPECT_LE(child_rect(wnd, kIdSettings).right + 6, mw->min_client_width());
}

TEST_F(MainWindowShell, PanelCollapseKeepsRightEdgeAndComesBack) {
    set_client_size(wnd, 600, 600);
    RECT before{};
    GetWindowRect(wnd, &before);
    ASSERT_FALSE(mw->categories_collapsed);
    const int panel_width = mw->categories_width;
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kIdPanelToggle, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(wnd, kIdPanelToggle)));
    pump(50);
    RECT after{};
    GetWindowRect(wnd, &after);
    EXPECT_TRUE(mw->categories_collapsed);
    EXPECT_TRUE(run.app->settings->categories_collapsed);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.right - after.left, (before.right - before.left) - panel_width);
    EXPECT_FALSE(IsWindowVisible(mw->side));
    RECT cards = child_rect(wnd, kIdCards);
    EXPECT_EQ(cards.left, 12);
    // Expanding brings the remembered width back.
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kCmdTogglePanel, 0), 0);
    pump(50);
    RECT again{};
    GetWindowRect(wnd, &again);
    EXPECT_FALSE(mw->categories_collapsed);
    EXPECT_TRUE(SameRect(again, before));
    EXPECT_TRUE(IsWindowVisible(mw->side));
}

TEST_F(MainWindowShell, FontSizeIsClamped) {
    for (auto [stored, used] : {std::pair{25, 18}, std::pair{5, 10}, std::pair{16, 16}}) {
        run.app->settings->font_size = stored;
        mw->apply_font_size();
        EXPECT_EQ(mw->font_size, used);
        HFONT f = reinterpret_cast<HFONT>(SendMessageW(mw->cards, WM_GETFONT, 0, 0));
        ASSERT_EQ(f, mw->list_font.get());
        LOGFONTW lf{};
        GetObjectW(f, sizeof(lf), &lf);
        EXPECT_EQ(lf.lfHeight, -used);
    }
}

TEST_F(MainWindowShell, LanguageSwitchRetranslates) {
    set_language(L"de");
    mw->apply_language();
    EXPECT_EQ(get_dlg_item_text(wnd, 210), L"Datei");
    EXPECT_EQ(get_dlg_item_text(wnd, kIdWatchBox), tr(L"toggle.watch_buffer"));
    EXPECT_EQ(mw->tooltip_texts[GetDlgItem(wnd, kIdPaste)], L"Einf\u00fcgen");
    set_language(L"en");
    mw->apply_language();
    EXPECT_EQ(get_dlg_item_text(wnd, 210), L"File");
}

TEST_F(MainWindowShell, TooltipUnderButtonKeptInsideClient) {
    HWND paste = GetDlgItem(wnd, kIdPaste);
    // The real pointer stands where the move says, so no leave follows.
    POINT at{5, 5};
    ClientToScreen(paste, &at);
    SetCursorPos(at.x, at.y);
    SendMessageW(paste, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    pump(30);
    ASSERT_TRUE(mw->tooltip_visible);
    EXPECT_TRUE(IsWindowVisible(mw->tooltip));
    EXPECT_EQ(get_dlg_item_text(wnd, kIdTooltip), tr(L"tooltip.paste"));
    RECT tip = child_rect(wnd, kIdTooltip);
    EXPECT_EQ(tip.top, 58 + 2);
    EXPECT_EQ(tip.bottom - tip.top, 24);
    EXPECT_EQ((tip.left + tip.right) / 2 == 20 || tip.left == 0, true);  // centred under x 6..34
    SendMessageW(paste, WM_MOUSELEAVE, 0, 0);
    pump(30);
    EXPECT_FALSE(mw->tooltip_visible);
    EXPECT_FALSE(IsWindowVisible(mw->tooltip));

    // The rightmost button of the narrowest window (side panel collapsed):
    // the tooltip ends at the edge.
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kCmdTogglePanel, 0), 0);
    pump(50);
    ASSERT_TRUE(mw->categories_collapsed);
    const int narrow = mw->min_client_width();
    ASSERT_LT(narrow, 420);
    set_client_size(wnd, narrow, 500);
    RECT client{};
    GetClientRect(wnd, &client);
    ASSERT_EQ(client.right, narrow);
    HWND settings = GetDlgItem(wnd, kIdSettings);
    SendMessageW(settings, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    pump(30);
    tip = child_rect(wnd, kIdTooltip);
    EXPECT_LE(tip.right, narrow);
    EXPECT_EQ(tip.right, narrow) << "a tooltip wider than 2 * (" << narrow << " - 392) is shifted left";
}

TEST_F(MainWindowShell, ClickOnEmptyPartClearsSelection) {
    for (int i = 0; i < 3; ++i) SendMessageW(mw->cards, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"row"));
    SendMessageW(mw->cards, LB_SETSEL, TRUE, -1);
    ASSERT_EQ(SendMessageW(mw->cards, LB_GETSELCOUNT, 0, 0), 3);
    RECT rc{};
    GetClientRect(mw->cards, &rc);
    SendMessageW(mw->cards, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, rc.bottom - 5));
    pump(20);
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETSELCOUNT, 0, 0), 0);
    EXPECT_EQ(GetFocus(), mw->cards);
    SendMessageW(mw->cards, WM_LBUTTONUP, 0, MAKELPARAM(20, rc.bottom - 5));
}

TEST_F(MainWindowShell, WheelScrollsListUnderPointerByWholeNotches) {
    run.app->settings->scroll_lines = 3;
    for (int i = 0; i < 60; ++i) SendMessageW(mw->cards, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"row"));
    RECT rc{};
    GetWindowRect(mw->cards, &rc);
    POINT over{rc.left + 30, rc.top + 30};
    LPARAM at = MAKELPARAM(over.x, over.y);
    SendMessageW(wnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), at);
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETTOPINDEX, 0, 0), 3);
    SendMessageW(wnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-60)), at);
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETTOPINDEX, 0, 0), 3);
    SendMessageW(mw->cards, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-60)), at);  // the list's own wheel
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETTOPINDEX, 0, 0), 6);
    SendMessageW(wnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), at);
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETTOPINDEX, 0, 0), 0);
    // Not over a list: nothing scrolls.
    RECT search{};
    GetWindowRect(mw->search, &search);
    SendMessageW(wnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)),
                 MAKELPARAM(search.left + 5, search.top + 5));
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETTOPINDEX, 0, 0), 0);
}

TEST_F(MainWindowShell, ToastHidesTwoSecondsAfterShowing) {
    mw->show_copied_toast();
    ASSERT_TRUE(mw->toast_visible);
    EXPECT_TRUE(IsWindowVisible(mw->toast));
    EXPECT_EQ(mw->toast_text, tr(L"toast.copied"));
    RECT list{};
    GetWindowRect(mw->cards, &list);
    MapWindowPoints(nullptr, wnd, reinterpret_cast<POINT*>(&list), 2);
    RECT rc{};
    GetWindowRect(mw->toast, &rc);
    MapWindowPoints(nullptr, wnd, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_TRUE(SameRect(rc, mw->toast_rect));
    EXPECT_EQ(rc.bottom, list.bottom - 12);  // 48 above the list's bottom, 36 high
    pump(1500);
    EXPECT_TRUE(mw->toast_visible);
    EXPECT_TRUE(pump_until([&] { return !mw->toast_visible; }, 1500));
    EXPECT_FALSE(IsWindowVisible(mw->toast));
}

TEST_F(MainWindowShell, WatchToggleSwitchesCapture) {
    HWND box = GetDlgItem(wnd, kIdWatchBox);
    SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    pump(20);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(run.app->settings->watch_clipboard);
    EXPECT_FALSE(run.app->watcher->enabled());
    // The menu command flips it back and ticks the box.
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kCmdWatchClipboard, 0), 0);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(run.app->settings->watch_clipboard);
    EXPECT_TRUE(run.app->watcher->enabled());
}

TEST_F(MainWindowShell, SearchButtonPressFocusesSearchBox) {
    SetFocus(mw->cards);
    HWND b = GetDlgItem(wnd, kIdSearchButton);
    SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(GetFocus(), mw->search);
    EXPECT_EQ(GetCapture(), nullptr);
}

std::wstring window_text(HWND w) {
    wchar_t buf[256] = {};
    GetWindowTextW(w, buf, 256);
    return buf;
}

TEST_F(MainWindowShell, CtrlFFocusesTheSearchBoxFromWhereverTheFocusIs) {
    SetWindowTextW(mw->search, L"notes");
    pump(50);
    HWND toolbar_button = GetDlgItem(wnd, kIdPin);
    for (HWND from : {mw->cards, mw->side, toolbar_button, wnd}) {
        SCOPED_TRACE(window_text(from).empty() ? L"a control" : window_text(from));
        SetForegroundWindow(wnd);
        SetFocus(from);
        // The frame hands the focus on to the cards list.
        ASSERT_EQ(GetFocus(), from == wnd ? mw->cards : from);
        press_keys({VK_CONTROL}, 'F');
        EXPECT_TRUE(pump_until([&] { return GetFocus() == mw->search; }, 2000)) << "the search box has no focus";
        pump(50);
        EXPECT_EQ(window_text(mw->search), L"notes") << "the key left no character";
        DWORD start = 0, end = 0;
        SendMessageW(mw->search, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, 5u) << "its text is selected, ready to be typed over";
    }
    EXPECT_TRUE(IsWindowVisible(wnd));
    // F alone is only a letter in the search box.
    press_keys({}, 'F');
    EXPECT_TRUE(pump_until([&] { return window_text(mw->search) == L"f"; }, 2000)) << window_text(mw->search);
}

TEST(MainWindowKeys, EscHidesTheWindowAndTheProgramStaysInTheTray) {
    // Closing would end the program with these settings; Esc never does.
    RunningApp run([](Settings& s) { s.tray_on_minimize = false; });
    ASSERT_TRUE(run.start());
    HWND wnd = run.window();
    MainWindow* mw = run.app->main_window.get();
    ASSERT_TRUE(wnd && mw);
    SetWindowTextW(mw->search, L"query");
    for (HWND from : {mw->search, mw->cards, wnd}) {
        show_main_window(*run.app, wnd);
        pump(100);
        ASSERT_TRUE(IsWindowVisible(wnd));
        SetFocus(from);
        // The frame hands the focus on to the cards list.
        ASSERT_EQ(GetFocus(), from == wnd ? mw->cards : from);
        press_keys({}, VK_ESCAPE);
        EXPECT_TRUE(pump_until([&] { return !IsWindowVisible(wnd); }, 2000)) << "Esc did not hide the window";
        pump(100);
        EXPECT_TRUE(IsWindow(wnd)) << "the window was destroyed";
        ASSERT_TRUE(run.app->tray_icon);
        EXPECT_TRUE(run.app->tray_icon->is_added()) << "the tray icon is gone";
        EXPECT_EQ(window_text(mw->search), L"query");
    }
    // The history hotkey brings it back.
    PostMessageW(wnd, WM_HOTKEY, kHotkeyHistory, 0);
    EXPECT_TRUE(pump_until([&] { return IsWindowVisible(wnd) != FALSE; }, 2000));
}

TEST_F(MainWindowShell, AlwaysOnTopToggles) {
    EXPECT_TRUE(GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kCmdAlwaysOnTop, 0), 0);
    EXPECT_FALSE(GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(run.app->settings->always_on_top);
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kCmdAlwaysOnTop, 0), 0);
    EXPECT_TRUE(GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(MainWindowShell, BrushesAreMadeOncePerColour) {
    HDC dc = GetDC(wnd);
    HWND label = GetDlgItem(wnd, kIdTotalLabel);
    auto b1 = SendMessageW(wnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
    EXPECT_EQ(GetTextColor(dc), static_cast<COLORREF>(0x606060));
    EXPECT_EQ(GetBkColor(dc), static_cast<COLORREF>(0xF3F3F3));
    auto b2 = SendMessageW(wnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
    EXPECT_NE(b1, 0);
    EXPECT_EQ(b1, b2);
    auto e = SendMessageW(wnd, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(mw->search));
    EXPECT_NE(e, b1);
    LOGBRUSH lb{};
    GetObjectW(reinterpret_cast<HBRUSH>(e), sizeof(lb), &lb);
    EXPECT_EQ(lb.lbColor, static_cast<COLORREF>(0xFFFFFF));
    ReleaseDC(wnd, dc);
}

TEST_F(MainWindowShell, BothThemesOnScreen) {
    set_client_size(wnd, 560, 600);
    SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump(300);

    struct Probe {
        POINT at;
        COLORREF light, dark;
        const char* what;
    } probes[] = {
        {{300, 586}, 0xF3F3F3, 0x202020, "window background in the bottom row"},
        {{300, 20}, 0xF3F3F3, 0x202020, "menu-bar row right of the buttons"},
        {{400, 400}, 0xFFFFFF, 0x2B2B2B, "cards list"},
        {{70, 400}, 0xFFFFFF, 0x2B2B2B, "side list"},
    };
    for (bool dark : {false, true}) {
        run.app->apply_dark_mode(dark);
        pump(300);
        Capture c = capture_client(wnd);
        ASSERT_EQ(c.width, 560);
        ASSERT_EQ(c.height, 600);
        EXPECT_TRUE(save_png(c, dark ? L"main_window_dark.png" : L"main_window_light.png"));
        for (const Probe& p : probes) {
            COLORREF want = dark ? p.dark : p.light;
            // COLORREF values name blue in the high byte.
            EXPECT_EQ(c.at(p.at.x, p.at.y), want) << p.what << (dark ? " (dark)" : " (light)");
        }
        // The toggle track is blue (on): look along the row's middle.
        bool found_track = false;
        for (int x = 12; x < 52; ++x)
            if (c.at(x, 586) == static_cast<COLORREF>(0xD06B0A)) found_track = true;
        EXPECT_TRUE(found_track) << (dark ? "dark" : "light");
        EXPECT_EQ(run.app->settings->dark_mode, dark);
        EXPECT_EQ(mw->dark, dark);
    }
}

TEST_F(MainWindowShell, QuitCommandDestroysWindow) {
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kCmdQuit, 0), 0);
    EXPECT_FALSE(IsWindow(wnd));
}

TEST(MainWindowText, Measurements) {
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(measure_text_width(dc, L""), 0);
    EXPECT_GT(measure_text_width(dc, L"abc"), 0);
    EXPECT_GT(measure_text_width(dc, L"abcdef"), measure_text_width(dc, L"abc"));
    EXPECT_EQ(measure_text_height(dc, L"", 100, 17), 17);
    int one = measure_text_height(dc, L"word", 300, 0);
    EXPECT_GT(one, 0);
    EXPECT_GT(measure_text_height(dc, L"many words that wrap many times over", 40, 0), one);
    EXPECT_EQ(measure_wrapped_width(dc, L""), 0);
    EXPECT_LE(measure_wrapped_width(dc, std::wstring(200, L'a') + L" " + std::wstring(10, L'b')), 340 + 2000);
    EXPECT_LE(measure_wrapped_width(dc, L"short words only here and there again and again and again and again"), 340);
    ReleaseDC(nullptr, dc);
    EXPECT_FALSE(window_is_placed(nullptr));
    EXPECT_TRUE(window_is_placed(GetDesktopWindow()));
}

}  // namespace
