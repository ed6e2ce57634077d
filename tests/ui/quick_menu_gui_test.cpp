// The quick menu for real: created on the display, filled from a store in
// a temporary folder, driven with the keyboard, and pasting into the edit
// box of another process.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>
#include <string>
#include <vector>

#include "capture/watcher.h"
#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/winutil.h"
#include "store/database.h"
#include "tests/core/temp_folder.h"
#include "tests/theme/gui_support.h"
#include "tests/ui/edit_target_client.h"
#include "ui/own_popups.h"
#include "ui/quick_menu.h"

namespace {

using gui_test::wait_until;

// Lets the test thread's windows run while waiting.
bool pump_until(const std::function<bool()>& condition, int timeout_ms = 5000) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition()) return true;
        if (GetTickCount64() > deadline) return false;
        Sleep(10);
    }
}

void pump_for(int ms) {
    pump_until([] { return false; }, ms);
}

// A key pressed and released through the system's input queue.
void press(WORD vk) {
    keybd_event(static_cast<BYTE>(vk), 0, 0, 0);
    Sleep(20);
    keybd_event(static_cast<BYTE>(vk), 0, KEYEVENTF_KEYUP, 0);
    Sleep(20);
}

using gui_test::EditTarget;

class QuickMenuGui : public testing::Test {
protected:
    static void SetUpTestSuite() { set_language(L"en"); }

    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        db_ = std::make_unique<Database>(dir_.file(L"quillet.db"));
        ASSERT_TRUE(db_->is_open());
        watcher_ = std::make_unique<ClipboardWatcher>(*db_, settings_);
    }

    // 25 texts, 3 of them pinned, and an image entry on top of them all.
    void fill_store() {
        for (int i = 1; i <= 25; ++i) {
            const bool pinned = i == 4 || i == 9 || i == 15;
            std::wstring text = L"entry number " + std::to_wstring(i);
            if (i == 25) text = L"first line\r\nsecond line with a very long tail that cannot fit into the quick menu row at all";
            ids_.push_back(db_->add_text_entry(text, std::nullopt, pinned, false));
            ASSERT_GT(ids_.back(), 0);
        }
        std::vector<std::uint8_t> dib(40 + 4 * 4, 0x7F);
        // A 2 x 2 bitmap of 32 bits.
        const std::uint8_t header[40] = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 16};
        std::copy(header, header + 40, dib.begin());
        image_id_ = db_->add_entry({.image = dib, .source_app = L"paint.exe", .is_image = true});
        ASSERT_GT(image_id_, 0);
    }

    std::int64_t use_count(std::int64_t id) {
        for (const HistoryEntry& e : db_->list_entries(L"all", false, true))
            if (e.id == id) return e.use_count;
        return -1;
    }

    std::vector<std::wstring> rows(const QuickMenu& m) {
        std::vector<std::wstring> out;
        const int n = static_cast<int>(SendMessageW(m.list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            wchar_t buf[1024] = {};
            SendMessageW(m.list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
            out.push_back(buf);
        }
        return out;
    }

    test_support::TempFolder dir_;
    Settings settings_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<ClipboardWatcher> watcher_;
    std::vector<std::int64_t> ids_;
    std::int64_t image_id_ = 0;
};

TEST_F(QuickMenuGui, FillsPinnedFirstAndPastesTheChosenEntryIntoAnotherProcess) {
    fill_store();
    EditTarget target(L"QuickMenuPasteTarget");
    ASSERT_NE(target.edit, nullptr);
    target.bring_to_front();
    ASSERT_EQ(GetForegroundWindow(), target.window);

    QuickMenu menu;
    ASSERT_TRUE(menu.create(GetModuleHandleW(nullptr), nullptr, QuickMenuServices{db_.get(), &settings_, watcher_.get()}));
    wchar_t cls[64] = {};
    GetClassNameW(menu.window, cls, 64);
    EXPECT_STREQ(cls, L"QuilletQuickMenu");
    EXPECT_EQ(GetDlgCtrlID(menu.list), 1);

    menu.populate();
    EXPECT_EQ(menu.target, target.window);
    // Pinned 15, 9, 4 first, then the seven highest sort orders; no image.
    std::vector<std::int64_t> expected = {ids_[14], ids_[8], ids_[3], ids_[24], ids_[23],
                                          ids_[22], ids_[21], ids_[20], ids_[19], ids_[18]};
    ASSERT_EQ(menu.entries.size(), 10u);
    std::vector<std::wstring> texts = rows(menu);
    ASSERT_EQ(texts.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(menu.entries[i].id, expected[i]) << i;
        EXPECT_EQ(static_cast<std::int64_t>(SendMessageW(menu.list, LB_GETITEMDATA, i, 0)), expected[i]);
        EXPECT_EQ(texts[i].substr(0, std::to_wstring(i + 1).size() + 2), std::to_wstring(i + 1) + L". ") << i;
        EXPECT_NE(menu.entries[i].id, image_id_);
    }
    EXPECT_EQ(texts[0], L"1. entry number 15");
    // The long text: one line, cut with an ellipsis.
    EXPECT_EQ(texts[3].substr(0, 25), L"4. first line  second lin");
    EXPECT_EQ(texts[3].back(), L'\u2026');
    EXPECT_EQ(SendMessageW(menu.list, LB_GETCURSEL, 0, 0), 0);

    SetCursorPos(120, 90);
    menu.show_at_cursor();
    ASSERT_TRUE(pump_until([&] { return IsWindowVisible(menu.window) && GetFocus() == menu.list; }));
    RECT rc{};
    GetWindowRect(menu.window, &rc);
    EXPECT_EQ(rc.left, 120);
    EXPECT_EQ(rc.top, 90);
    EXPECT_EQ(rc.right - rc.left, 400);
    EXPECT_EQ(rc.bottom - rc.top, quick_menu_height(2 * GetSystemMetrics(SM_CYEDGE), menu.item_height, 10));
    EXPECT_EQ(GetWindowLongPtrW(menu.window, GWL_EXSTYLE) & WS_EX_TOPMOST, WS_EX_TOPMOST);
    gui_test::Pixels shot = gui_test::grab_screen(rc);
    EXPECT_TRUE(gui_test::save_png(shot, L"quick_menu.png"));

    // Down, Down, Enter: the third entry.
    const std::int64_t chosen = expected[2];
    const std::wstring chosen_text = menu.entries[2].text;
    const std::int64_t uses = use_count(chosen);
    const std::int64_t stored = db_->count_entries();
    press(VK_DOWN);
    press(VK_DOWN);
    pump_until([&] { return SendMessageW(menu.list, LB_GETCURSEL, 0, 0) == 2; }, 2000);
    EXPECT_EQ(SendMessageW(menu.list, LB_GETCURSEL, 0, 0), 2);
    press(VK_RETURN);
    ASSERT_TRUE(pump_until([&] { return target.text() == chosen_text; }, 5000)) << "edit holds: " << to_utf8(target.text());
    EXPECT_FALSE(IsWindowVisible(menu.window));
    EXPECT_EQ(GetForegroundWindow(), target.window);
    EXPECT_EQ(winutil::get_clipboard_text(), chosen_text);
    EXPECT_EQ(use_count(chosen), uses + 1);

    // The program's own write is not recorded once the watcher looks again.
    pump_for(650);
    watcher_->poll();
    EXPECT_EQ(db_->count_entries(), stored);
}

TEST_F(QuickMenuGui, EscapeClosesWithoutTouchingTheClipboard) {
    fill_store();
    EditTarget target(L"QuickMenuEscTarget");
    ASSERT_NE(target.edit, nullptr);
    target.bring_to_front();
    ASSERT_TRUE(winutil::set_clipboard_text(L"sentinel text"));

    QuickMenu menu;
    ASSERT_TRUE(menu.create(GetModuleHandleW(nullptr), nullptr, QuickMenuServices{db_.get(), &settings_, watcher_.get()}));
    menu.populate();
    menu.show_at_cursor();
    ASSERT_TRUE(pump_until([&] { return IsWindowVisible(menu.window) && GetFocus() == menu.list; }));
    const std::int64_t uses = use_count(menu.entries[0].id);

    // The hotkey again while the menu is open: the target stays.
    ASSERT_EQ(GetForegroundWindow(), menu.window);
    menu.populate();
    EXPECT_EQ(menu.target, target.window);

    press(VK_ESCAPE);
    ASSERT_TRUE(pump_until([&] { return !IsWindowVisible(menu.window); }, 3000));
    pump_for(200);
    EXPECT_EQ(winutil::get_clipboard_text(), L"sentinel text");
    EXPECT_EQ(target.text(), L"");
    EXPECT_EQ(use_count(menu.entries[0].id), uses);
}

TEST_F(QuickMenuGui, EmptyHistoryAndFontSize) {
    QuickMenu menu;
    settings_.font_size = 16;
    ASSERT_TRUE(menu.create(GetModuleHandleW(nullptr), nullptr, QuickMenuServices{db_.get(), &settings_, watcher_.get()}));
    EXPECT_EQ(menu.font_size, 16);
    EXPECT_GE(menu.item_height, 28);
    menu.populate();
    // The store seeds no history entries: an empty menu of one row's height.
    EXPECT_TRUE(menu.entries.empty());
    EXPECT_EQ(SendMessageW(menu.list, LB_GETCOUNT, 0, 0), 0);
    SetCursorPos(200, 200);
    menu.show_at_cursor();
    ASSERT_TRUE(pump_until([&] { return IsWindowVisible(menu.window) != FALSE; }));
    RECT rc{};
    GetWindowRect(menu.window, &rc);
    EXPECT_EQ(rc.right - rc.left, 448);
    EXPECT_EQ(rc.bottom - rc.top, 2 * GetSystemMetrics(SM_CYEDGE) + menu.item_height + 2);
    // Enter and a double click do nothing.
    menu.on_key(VK_RETURN);
    menu.on_command(MAKEWPARAM(1, LBN_DBLCLK));
    menu.on_activate(0);
    menu.on_activate(-1);

    // A larger font while shown: wider, rows taller, resized in place.
    const int old_item = menu.item_height;
    menu.set_font_size(18);
    EXPECT_EQ(menu.font_size, 18);
    EXPECT_GT(menu.item_height, old_item);
    GetWindowRect(menu.window, &rc);
    EXPECT_EQ(rc.left, 200);
    EXPECT_EQ(rc.right - rc.left, 496);
    EXPECT_EQ(SendMessageW(menu.list, LB_GETITEMHEIGHT, 0, 0), menu.item_height);
    menu.set_font_size(30);
    EXPECT_EQ(menu.font_size, 18);
    menu.hide();
    EXPECT_FALSE(IsWindowVisible(menu.window));
}

// The menu is owned by the program's hidden popup owner (no taskbar button
// and no Alt+Tab entry on Windows), is no tool window (a window manager
// gives those no keyboard), and shows with the keyboard in its list
// whether the main window is shown, hidden or minimised.
TEST_F(QuickMenuGui, IsOwnedByAHiddenWindowAndShowsWhateverTheMainWindowDoes) {
    ASSERT_GT(db_->add_text_entry(L"an entry", std::nullopt, false, false), 0);
    raii::Window main(CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 500, 300, 400, 300, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(main);
    QuickMenu menu;
    ASSERT_TRUE(menu.create(GetModuleHandleW(nullptr), main.get(), QuickMenuServices{db_.get(), &settings_, watcher_.get()}));
    HWND owner = GetWindow(menu.window, GW_OWNER);
    EXPECT_TRUE(owner != nullptr) << "an unowned popup gets a taskbar button";
    EXPECT_EQ(owner, popup_owner_window());
    EXPECT_NE(owner, main.get());
    const LONG_PTR ex_style = GetWindowLongPtrW(menu.window, GWL_EXSTYLE);
    EXPECT_FALSE(ex_style & WS_EX_APPWINDOW);
    EXPECT_FALSE(ex_style & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(ex_style & WS_EX_TOPMOST);
    struct Case {
        const char* what;
        int show;
    } cases[] = {{"main window shown", SW_SHOW}, {"main window hidden", SW_HIDE}, {"main window minimised", SW_MINIMIZE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ShowWindow(main.get(), c.show);
        pump_for(300);
        menu.populate();
        SetCursorPos(150, 150);
        menu.show_at_cursor();
        EXPECT_TRUE(pump_until([&] { return IsWindowVisible(menu.window) != FALSE; }));
        pump_for(200);
        EXPECT_TRUE(IsWindowVisible(menu.window));
        EXPECT_FALSE(IsIconic(menu.window));
        EXPECT_EQ(GetFocus(), menu.list);
        EXPECT_FALSE(IsWindowVisible(owner));
        menu.hide();
        pump_for(100);
    }
}

// A row too long for the menu ends in "…" inside the list: measured with
// the list's font it fits the list's width, and drawn, its last dark
// pixel (the ellipsis) is clear of the list's right edge.
TEST_F(QuickMenuGui, ALongRowEndsInAnEllipsisInsideTheList) {
    // Oldest first: the long row is the tenth, with the widest number, not
    // highlighted (dark text on white).
    ASSERT_GT(db_->add_text_entry(std::wstring(300, L'W'), std::nullopt, false, false), 0);
    for (int i = 0; i < 9; ++i) ASSERT_GT(db_->add_text_entry(L"short", std::nullopt, false, false), 0);
    QuickMenu menu;
    ASSERT_TRUE(menu.create(GetModuleHandleW(nullptr), nullptr, QuickMenuServices{db_.get(), &settings_, watcher_.get()}));
    menu.populate();
    SetCursorPos(100, 100);
    menu.show_at_cursor();
    ASSERT_TRUE(pump_until([&] { return IsWindowVisible(menu.window) != FALSE; }));
    const std::vector<std::wstring> listed = rows(menu);
    ASSERT_EQ(listed.size(), 10u);
    EXPECT_EQ(listed[0], L"1. short");
    const std::wstring& row = listed[9];
    EXPECT_EQ(row.rfind(L"10. WWW", 0), 0u) << to_utf8(row);
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(row.back(), L'\u2026') << to_utf8(row);
    RECT client{};
    GetClientRect(menu.list, &client);
    int width = 0;
    {
        raii::WindowDC dc(menu.list);
        raii::SelectGuard select(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(menu.list, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc.get(), row.c_str(), static_cast<int>(row.size()), &size);
        width = size.cx;
    }
    printf("list %ld px wide, the long row %d px\n", client.right, width);
    EXPECT_LE(width + kQuickMenuRowMargin, client.right);
    // Cut no shorter than needed: less than a "W" and the ellipsis are left.
    EXPECT_GT(width + kQuickMenuRowMargin, client.right - 24);

    RECT item{};
    SendMessageW(menu.list, LB_GETITEMRECT, 9, reinterpret_cast<LPARAM>(&item));
    MapWindowPoints(menu.list, nullptr, reinterpret_cast<POINT*>(&item), 2);
    pump_for(300);
    const gui_test::Pixels shot = gui_test::grab_screen(item);
    int rightmost_ink = -1;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const std::uint32_t v = shot.bgra[static_cast<size_t>(y) * shot.width + x];
            const int luminance = ((v >> 16) & 0xFF) + ((v >> 8) & 0xFF) + (v & 0xFF);
            if (luminance < 3 * 128) rightmost_ink = std::max(rightmost_ink, x);
        }
    printf("the row drawn %d px wide, its last dark pixel at %d\n", shot.width, rightmost_ink);
    EXPECT_GT(rightmost_ink, shot.width - 40) << "the row uses the width";
    // The margin at the right stays clear: a cut row's ellipsis is whole.
    EXPECT_LE(rightmost_ink, shot.width - kQuickMenuRowMargin) << "the text runs into the list's edge";
    menu.hide();
}

}  // namespace
