// The entry hint over a running main window: it follows the selection
// (real clicks on the cards), shows an image entry's picture with its view
// button, is rebuilt when a link title arrives, scrolls a long text, hides
// on a press in another program's window (the mouse hook) and stays on a
// press inside the main window or the hint, and keeps open while the view
// window it opened runs.
#include "ui/entry_hint.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "app/app_ids.h"
#include "capture/posted_text.h"
#include "core/i18n.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/app/view_test_images.h"
#include "tests/theme/gui_support.h"
#include "theme/geometry.h"
#include "ui/cards_list.h"
#include "ui/dialogs/settings_window.h"
#include "ui/dialogs/view_dialog.h"
#include "ui/entry_commands.h"
#include "ui/popup_menu.h"
#include "ui/main_window.h"

namespace {

using gui_test::text_of;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using namespace app_test;

void send_button(DWORD down, DWORD up) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = down;
    in[1].mi.dwFlags = up;
    SendInput(1, &in[0], sizeof(INPUT));
    Sleep(40);
    SendInput(1, &in[1], sizeof(INPUT));
}

// A real left click at a screen point (from any thread).
void click_at(POINT screen) {
    gui_test::move_pointer(screen);
    send_button(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
}

WPARAM wheel(int delta) { return static_cast<WPARAM>(static_cast<WORD>(static_cast<SHORT>(delta))) << 16; }

POINT row_center(HWND list, int row) {
    RECT rc{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rc));
    POINT p{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ClientToScreen(list, &p);
    return p;
}

// Clicks a row on a helper thread while this thread pumps, until the
// condition holds.
bool click_and_wait(POINT screen, const std::function<bool()>& done, DWORD ms = 3000) {
    std::thread t([screen] { click_at(screen); });
    const bool ok = pump_until(done, ms);
    t.join();
    pump(100);
    return ok;
}

class EntryHintWindow : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(running.start());
        mw = running.app->main_window.get();
        db = running.app->database.get();
        ASSERT_TRUE(mw && db && mw->hint_popup);
        // Far enough from the left edge for the hint to go left of the
        // window, and clear of the helper program's window at (40, 40).
        SetWindowPos(running.window(), HWND_TOPMOST, 900, 120, 620, 520, SWP_SHOWWINDOW);
        SetForegroundWindow(running.window());
        pump(200);
    }
    bool hint_visible() const { return IsWindowVisible(mw->hint_popup) && mw->hint.shown; }
    // The hint shows the single selected row, or nothing for none or several.
    ::testing::AssertionResult hint_matches_selection() const {
        const int count = static_cast<int>(SendMessageW(mw->cards, LB_GETSELCOUNT, 0, 0));
        if (count != 1) {
            if (hint_visible()) return ::testing::AssertionFailure() << count << " rows selected, hint shown";
            return ::testing::AssertionSuccess();
        }
        int row = -1;
        SendMessageW(mw->cards, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&row));
        const auto key = static_cast<std::int64_t>(SendMessageW(mw->cards, LB_GETITEMDATA, row, 0));
        if (!hint_visible()) return ::testing::AssertionFailure() << "row " << row << " selected, no hint";
        if (mw->hint.hinted_key != key)
            return ::testing::AssertionFailure() << "selected " << key << ", hint of " << mw->hint.hinted_key;
        return ::testing::AssertionSuccess();
    }

    RunningApp running;
    MainWindow* mw = nullptr;
    Database* db = nullptr;
};

TEST_F(EntryHintWindow, FollowsTheSelectionOfRealClicks) {
    const std::int64_t a = db->add_text_entry(L"First entry\r\nwith a second line", std::nullopt, false, false);
    const std::int64_t b = db->add_text_entry(L"Second entry", std::nullopt, false, false);
    ASSERT_TRUE(a > 0 && b > 0);
    mw->refresh_all();
    pump(200);
    const int row_a = mw->model.row_of_key(a), row_b = mw->model.row_of_key(b);
    ASSERT_GE(row_a, 0);

    ASSERT_TRUE(click_and_wait(row_center(mw->cards, row_a), [&] { return hint_visible(); }));
    EXPECT_EQ(mw->hint.hinted_key, a);
    EXPECT_EQ(text_of(mw->hint_popup).rfind(L"First entry \nwith a second line\n", 0), 0u) << "body, LF, meta";
    // Left of the main window, level with the row.
    RECT hint = gui_test::window_rect(mw->hint_popup), main = gui_test::window_rect(running.window());
    EXPECT_EQ(hint.right, main.left - 8);
    RECT item{};
    SendMessageW(mw->cards, LB_GETITEMRECT, row_a, reinterpret_cast<LPARAM>(&item));
    RECT list = gui_test::window_rect(mw->cards);
    POINT list_top{list.left, list.top};
    ScreenToClient(running.window(), &list_top);
    EXPECT_EQ(hint.top, main.top + list_top.y + item.top - 8);
    // The main window keeps the activation: the hint is never activated.
    EXPECT_EQ(GetForegroundWindow(), running.window());

    ASSERT_TRUE(click_and_wait(row_center(mw->cards, row_b), [&] { return mw->hint.hinted_key == b; }));
    EXPECT_TRUE(hint_visible());
    EXPECT_EQ(text_of(mw->hint_popup).rfind(L"Second entry\n", 0), 0u);

    // Two rows selected: hidden.
    SendMessageW(mw->cards, LB_SETSEL, TRUE, row_a);
    mw->on_selection_changed();
    EXPECT_FALSE(hint_visible());
    EXPECT_EQ(mw->hint.mouse_hook.get(), nullptr) << "the hook lives only while the hint is shown";

    // Hints off: hidden at the next selection change.
    running.app->settings->show_hints = false;
    list_select_entry(mw->cards, a);
    mw->on_selection_changed();
    EXPECT_FALSE(hint_visible());
}

TEST_F(EntryHintWindow, ImageEntryShowsItsPictureAndTheViewButton) {
    const std::int64_t id = db->add_entry({.image = view_test::gradient_png(600, 400), .source_app = L"mspaint.exe",
        .is_image = true});
    ASSERT_GT(id, 0);
    const std::int64_t text = db->add_text_entry(L"a text", std::nullopt, false, false);
    mw->show_images();
    pump(200);
    const int row = mw->model.row_of_key(id);
    ASSERT_GE(row, 0);
    ASSERT_TRUE(click_and_wait(row_center(mw->cards, row), [&] { return hint_visible(); }));
    ASSERT_NE(mw->hint.bitmap, nullptr);
    EXPECT_EQ(mw->hint.bitmap_size.cx, 300);   // 600 x 400 fitted into 340 x 200
    EXPECT_EQ(mw->hint.bitmap_size.cy, 200);
    EXPECT_TRUE(mw->hint.body.empty());
    pump(200);
    EXPECT_FALSE(IsRectEmpty(&mw->hint.view_button_rect)) << "painted with its view button";
    EXPECT_EQ(mw->hint.previews.made_count(), 1u);

    // Shown again: the preview is not made again.
    mw->hide_entry_hint();
    mw->on_selection_changed();
    EXPECT_TRUE(hint_visible());
    EXPECT_EQ(mw->hint.previews.made_count(), 1u);
    pump(200);
    ASSERT_FALSE(IsRectEmpty(&mw->hint.view_button_rect));

    // A real click on the view button opens the view window; the hint stays.
    RECT b = mw->hint.view_button_rect;
    POINT at{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    ClientToScreen(mw->hint_popup, &at);
    const DWORD ui = GetCurrentThreadId();
    std::atomic<bool> done{false}, dialog_seen{false}, hint_kept{false}, view_still_open{false};
    std::thread t([&] {
        click_at(at);
        std::vector<HWND> found = gui_test::wait_for_windows(ui, kViewDialogClass, 1);
        if (!found.empty()) {
            dialog_seen = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            // A press inside the view window leaves the hint too.
            click_at(gui_test::rect_center(gui_test::window_rect(found[0])));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            // Under the window, a link title for the entry rebuilds the hint
            // and a search change rebuilds the list the hint was made from.
            post_text_message(running.window(), WM_LINK_TITLE, static_cast<WPARAM>(id), L"Arrived meanwhile");
            PostMessageW(running.window(), WM_COMMAND, MAKEWPARAM(kIdSearch, EN_CHANGE),
                         reinterpret_cast<LPARAM>(mw->search));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            view_still_open = IsWindowVisible(found[0]) != FALSE;
            hint_kept = IsWindowVisible(mw->hint_popup) != FALSE;
            PostMessageW(found[0], WM_CLOSE, 0, 0);
        }
        done = true;
    });
    pump_until([&] { return done.load(); }, 10000);
    t.join();
    pump(200);
    EXPECT_TRUE(dialog_seen);
    EXPECT_TRUE(hint_kept);
    EXPECT_TRUE(view_still_open);
    EXPECT_TRUE(hint_visible());
    EXPECT_EQ(mw->hint.hinted_key, id) << "the hint still knows its entry after the list was rebuilt";
    EXPECT_NE(mw->model.find_entry(id), nullptr);
    EXPECT_FALSE(mw->hint.busy);
    (void)text;
}

TEST_F(EntryHintWindow, HidesOnAPressInAnotherProgramOnly) {
    const std::int64_t id = db->add_text_entry(L"Hinted text", std::nullopt, false, false);
    mw->refresh_all();
    pump(100);
    ASSERT_TRUE(list_select_entry(mw->cards, id));
    mw->on_selection_changed();
    ASSERT_TRUE(hint_visible());
    ASSERT_NE(mw->hint.mouse_hook.get(), nullptr);

    // A press in a child control of the main window (the search box) and
    // one on the selected row itself: the hint stays.
    POINT search = gui_test::rect_center(gui_test::window_rect(mw->search));
    click_and_wait(search, [] { return false; }, 400);
    EXPECT_TRUE(hint_visible()) << "a press inside the main window";
    click_and_wait(row_center(mw->cards, mw->model.row_of_key(id)), [] { return false; }, 400);
    EXPECT_TRUE(hint_visible()) << "a press on the selected row";
    // A press inside the hint itself.
    click_and_wait(gui_test::rect_center(gui_test::window_rect(mw->hint_popup)), [] { return false; }, 400);
    EXPECT_TRUE(hint_visible()) << "a press inside the hint";

    // Another program's window beside the main window, which is active
    // again: the hook hides the hint on a press in it, before that window
    // takes the activation.
    Helper other;
    ASSERT_TRUE(other.start(L"window QuilletHintTestOther"));
    pump(300);
    SetForegroundWindow(running.window());
    pump(200);
    mw->on_selection_changed();
    ASSERT_TRUE(hint_visible());
    HWND other_window = FindWindowW(L"QuilletHintTestOther", nullptr);
    ASSERT_NE(other_window, nullptr);
    POINT inside = gui_test::rect_center(gui_test::window_rect(other_window));
    ASSERT_TRUE(click_and_wait(inside, [&] { return !hint_visible(); }));
    EXPECT_EQ(mw->hint.mouse_hook.get(), nullptr);
    // Hidden on purpose: back in the main window with the same row selected
    // (a list refresh, the activation), the hint stays away until the user
    // selects a row.
    SetForegroundWindow(running.window());
    pump(300);
    mw->refresh_view(false);
    pump(200);
    EXPECT_FALSE(hint_visible()) << "hidden by a press outside";
    ASSERT_EQ(list_selected_entry_id(mw->cards), id);
    mw->on_selection_changed();
    EXPECT_TRUE(hint_visible()) << "the user's selection brings it back";
}

// Clicks the address line of the shown hint and answers its menu with the
// keys; the menu's height (its item count) and whether the hint stayed are
// given back.
struct AddressMenu {
    int height = 0;
    bool hint_kept = false;
};
AddressMenu use_address_menu(MainWindow* mw, const std::vector<UINT>& keys) {
    AddressMenu out;
    pump(200);
    const RECT a = mw->hint.address_rect;
    if (IsRectEmpty(&a)) return out;
    POINT at{(a.left + a.right) / 2, (a.top + a.bottom) / 2};
    ClientToScreen(mw->hint_popup, &at);
    const DWORD ui = GetCurrentThreadId();
    std::atomic<bool> done{false};
    std::thread t([&] {
        click_at(at);
        std::vector<HWND> menus = gui_test::wait_for_windows(ui, L"QuilletPopupMenu", 1, 15000);
        if (!menus.empty()) {
            const RECT r = gui_test::window_rect(menus[0]);
            out.height = r.bottom - r.top;
            out.hint_kept = IsWindowVisible(mw->hint_popup) != FALSE;
            // Keys that reach the menu before its loop runs are dropped
            // with the press that opened it: the keys go again while the
            // menu is still open.
            for (int attempt = 0; attempt < 5 && IsWindowVisible(menus[0]); ++attempt) {
                for (UINT vk : keys) {
                    gui_test::post_key(menus[0], vk);
                    std::this_thread::sleep_for(std::chrono::milliseconds(80));
                }
                gui_test::wait_until([&] { return !IsWindowVisible(menus[0]); }, 1000);
            }
        }
        // The menu runs its own loop on the test's thread: one still open
        // (a key lost, or a menu slower than the wait under load) is closed,
        // or the test would wait in that loop for ever.
        for (int i = 0; i < 20; ++i) {
            const std::vector<HWND> open = gui_test::thread_windows(ui, L"QuilletPopupMenu");
            if (open.empty()) break;
            for (HWND w : open) gui_test::post_key(w, VK_ESCAPE);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        done = true;
    });
    // Longer than the thread can take: its click must be dispatched here.
    pump_until([&] { return done.load(); }, 40000);
    t.join();
    pump(100);
    return out;
}

// The clipboard's text; the program's own reader may hold the clipboard
// open for a moment after a write, so opening is tried for a while.
std::wstring clipboard_text() {
    std::wstring text;
    bool open = false;
    for (int i = 0; i < 200 && !(open = OpenClipboard(nullptr) != FALSE); ++i) pump(10);
    if (!open) return text;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            text = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

TEST_F(EntryHintWindow, AddressLineOffersOpenOnlyForWebAddresses) {
    const std::int64_t web = db->add_text_entry(L"https://example.org/page", std::nullopt, false, false);
    // A browser page whose address, as another program gave it, names a local program.
    const std::int64_t local = db->add_entry({.text = L"some words from a page", .source_app = L"browser.exe",
        .page_title = L"Page", .page_url = L"C:\\Windows\\notepad.exe", .is_browser = true});
    ASSERT_TRUE(web > 0 && local > 0);
    mw->refresh_all();
    pump(100);

    ASSERT_TRUE(list_select_entry(mw->cards, web));
    mw->on_selection_changed();
    ASSERT_TRUE(hint_visible());
    AddressMenu m = use_address_menu(mw, {VK_ESCAPE});
    EXPECT_EQ(m.height, menu_height(address_menu_items(L"https://example.org/page")));
    EXPECT_EQ(address_menu_items(L"https://example.org/page").size(), 2u) << "open and copy";
    EXPECT_TRUE(m.hint_kept);
    EXPECT_TRUE(hint_visible()) << "the menu's press did not hide the hint";
    EXPECT_FALSE(mw->hint.busy);

    ASSERT_TRUE(list_select_entry(mw->cards, local));
    mw->on_selection_changed();
    ASSERT_TRUE(hint_visible());
    EXPECT_EQ(mw->hint.address, L"C:\\Windows\\notepad.exe");
    // Only "copy": Down takes it, Enter chooses it.
    m = use_address_menu(mw, {VK_DOWN, VK_RETURN});
    EXPECT_EQ(m.height, menu_height(address_menu_items(L"C:\\Windows\\notepad.exe")));
    EXPECT_EQ(address_menu_items(L"C:\\Windows\\notepad.exe").size(), 1u);
    EXPECT_TRUE(pump_until([] { return clipboard_text() == L"C:\\Windows\\notepad.exe"; }, 3000))
        << "clipboard: " << std::string(clipboard_text().begin(), clipboard_text().end());
}

TEST_F(EntryHintWindow, RebuiltWhenALinkTitleArrives) {
    const std::int64_t id = db->add_text_entry(L"https://example.org/page", std::nullopt, false, false);
    const std::int64_t other = db->add_text_entry(L"https://example.org/other", std::nullopt, false, false);
    mw->refresh_all();
    pump(100);
    ASSERT_TRUE(list_select_entry(mw->cards, id));
    mw->on_selection_changed();
    ASSERT_TRUE(hint_visible());
    EXPECT_EQ(text_of(mw->hint_popup).find(L"Fetched title"), std::wstring::npos);
    EXPECT_FALSE(mw->hint.address.empty());
    // A title for another entry changes only that listed entry.
    ASSERT_TRUE(post_text_message(running.window(), WM_LINK_TITLE, static_cast<WPARAM>(other), L"Other title"));
    pump(200);
    EXPECT_EQ(text_of(mw->hint_popup).find(L"Other title"), std::wstring::npos);
    EXPECT_EQ(mw->model.find_entry(other)->link_title, L"Other title");
    // The hinted entry's title appears in the hint at once.
    ASSERT_TRUE(post_text_message(running.window(), WM_LINK_TITLE, static_cast<WPARAM>(id), L"Fetched title"));
    pump(200);
    EXPECT_NE(text_of(mw->hint_popup).find(tr(L"card.name") + L"Fetched title"), std::wstring::npos);
    EXPECT_TRUE(hint_visible());
}

TEST_F(EntryHintWindow, LongTextScrollsTenPixelsANotch) {
    std::wstring text;
    for (int i = 0; i < 60; ++i) text += L"Line number " + std::to_wstring(i) + L"\n";
    const std::int64_t id = db->add_text_entry(text, std::nullopt, false, false);
    mw->refresh_all();
    pump(100);
    ASSERT_TRUE(list_select_entry(mw->cards, id));
    mw->on_selection_changed();
    ASSERT_TRUE(hint_visible());
    ASSERT_TRUE(mw->hint.layout.scroll);
    EXPECT_LE(mw->hint.layout.total_height, 300);
    EXPECT_EQ(mw->hint.layout.wrap_width, mw->hint.layout.width - 34) << "wrapped 10 pixels narrower";
    SendMessageW(mw->hint_popup, WM_MOUSEWHEEL, wheel(-240), 0);
    EXPECT_EQ(mw->hint.scroll, 20);
    SendMessageW(mw->hint_popup, WM_MOUSEWHEEL, wheel(-60), 0);
    EXPECT_EQ(mw->hint.scroll, 20) << "half a notch waits";
    SendMessageW(mw->hint_popup, WM_MOUSEWHEEL, wheel(-60), 0);
    EXPECT_EQ(mw->hint.scroll, 30);
    SendMessageW(mw->hint_popup, WM_MOUSEWHEEL, wheel(120 * 10), 0);
    EXPECT_EQ(mw->hint.scroll, 0);
    SendMessageW(mw->hint_popup, WM_MOUSEWHEEL, wheel(-120 * 200), 0);
    EXPECT_EQ(mw->hint.scroll, mw->hint.layout.content_height - mw->hint.layout.visible_body_height);
}

TEST_F(EntryHintWindow, FontSizeChangeRebuildsTheShownHint) {
    const std::int64_t id = db->add_text_entry(L"Some words that make a line of text in the hint", std::nullopt,
                                               false, false);
    mw->refresh_all();
    pump(100);
    ASSERT_TRUE(list_select_entry(mw->cards, id));
    mw->on_selection_changed();
    ASSERT_TRUE(hint_visible());
    const RECT before = gui_test::window_rect(mw->hint_popup);
    running.app->settings->font_size = 18;
    mw->apply_font_size();
    pump(100);
    const RECT after = gui_test::window_rect(mw->hint_popup);
    EXPECT_TRUE(hint_visible());
    EXPECT_GT(after.right - after.left, before.right - before.left);
    EXPECT_GT(after.bottom - after.top, before.bottom - before.top);
}

TEST_F(EntryHintWindow, ShowingAndHidingLeavesNoGdiObjects) {
    const std::int64_t text = db->add_text_entry(L"text entry", std::nullopt, false, false);
    const std::int64_t image = db->add_entry({.image = view_test::gradient_png(200, 150),
        .source_app = L"mspaint.exe", .is_image = true});
    mw->refresh_all();
    pump(100);
    auto cycle = [&](std::int64_t id) {
        list_select_entry(mw->cards, id);
        mw->on_selection_changed();
        UpdateWindow(mw->hint_popup);
        mw->hide_entry_hint();
    };
    cycle(text);
    mw->show_images();
    pump(100);
    cycle(image);
    pump(100);
    const DWORD before = gui_test::gdi_object_count();
    for (int i = 0; i < 30; ++i) cycle(image);
    mw->set_view(0, -1);
    pump(100);
    for (int i = 0; i < 30; ++i) cycle(text);
    pump(100);
    EXPECT_LE(gui_test::gdi_object_count(), before + 2);
    EXPECT_EQ(mw->hint.previews.made_count(), 1u) << "one picture for the one image entry";
}

TEST_F(EntryHintWindow, TemplateHintShowsItsTextAndTime) {
    mw->show_templates();
    pump(200);
    const std::vector<Snippet>& listed = mw->model.templates();
    ASSERT_FALSE(listed.empty()) << "the seeded templates";
    const std::int64_t key = -listed.front().id;
    const int row = mw->model.row_of_key(key);
    ASSERT_GE(row, 0);
    SendMessageW(mw->cards, LB_SETSEL, FALSE, -1);
    SendMessageW(mw->cards, LB_SETSEL, TRUE, row);
    SendMessageW(mw->cards, LB_SETCARETINDEX, row, FALSE);
    mw->on_selection_changed();
    ASSERT_TRUE(hint_visible());
    EXPECT_EQ(mw->hint.hinted_key, key) << "the signed key";
    EXPECT_TRUE(mw->hint.address.empty());
    EXPECT_EQ(mw->hint.meta.rfind(tr(L"card.created"), 0), 0u);
}

TEST_F(EntryHintWindow, FollowsEveryChangeOfTheSelection) {
    std::vector<std::int64_t> ids;
    for (int i = 0; i < 5; ++i)
        ids.push_back(db->add_text_entry(L"Entry number " + std::to_wstring(i), std::nullopt, false, false));
    mw->refresh_all();
    pump(200);
    auto row_of = [&](std::int64_t id) { return mw->model.row_of_key(id); };
    struct Step {
        const char* what;
        std::function<void()> act;
    } steps[] = {
        {"selected by the program", [&] { list_select_entry(mw->cards, ids[0]); }},
        {"a right click's selection", [&] { select_row_at(mw->cards, row_center(mw->cards, row_of(ids[2])), true); }},
        {"the Down key",
         [&] {
             SetFocus(mw->cards);
             std::thread t([] {
                 INPUT in[2] = {};
                 in[0].type = in[1].type = INPUT_KEYBOARD;
                 in[0].ki.wVk = in[1].ki.wVk = VK_DOWN;
                 in[1].ki.dwFlags = KEYEVENTF_KEYUP;
                 SendInput(2, in, sizeof(INPUT));
             });
             t.join();
             pump(300);
         }},
        {"a real click", [&] { click_and_wait(row_center(mw->cards, row_of(ids[4])), [] { return false; }, 400); }},
        {"Ctrl+A", [&] { mw->select_all(); }},
        {"one row again", [&] { list_select_keys(mw->cards, {ids[1]}); }},
        {"the selection cleared", [&] { listbox_clear_selection(mw->cards); }},
        {"another view and back",
         [&] {
             list_select_entry(mw->cards, ids[3]);
             mw->show_images();
             pump(100);
             mw->set_view(0, -1);
         }},
        {"the selected row deleted",
         [&] {
             list_select_entry(mw->cards, ids[1]);
             pump(100);
             // Its confirmation box answered with its Delete button.
             const DWORD ui = GetCurrentThreadId();
             std::thread answer([ui] {
                 std::vector<HWND> boxes = gui_test::wait_for_windows(ui, L"QuilletConfirmBox", 1, 5000);
                 if (!boxes.empty())
                     PostMessageW(boxes[0], WM_COMMAND, MAKEWPARAM(1, BN_CLICKED),
                                  reinterpret_cast<LPARAM>(GetDlgItem(boxes[0], 1)));
             });
             mw->delete_selected();
             answer.join();
             SetForegroundWindow(running.window());
             pump(200);
             EXPECT_EQ(mw->model.row_of_key(ids[1]), -1) << "deleted";
         }},
    };
    for (const Step& step : steps) {
        step.act();
        pump(150);
        EXPECT_TRUE(hint_matches_selection()) << step.what;
    }
}

TEST_F(EntryHintWindow, ARightClickOnAnotherCardNeverLeavesTheHintOfTheFirst) {
    const std::int64_t a = db->add_text_entry(L"The first card", std::nullopt, false, false);
    const std::int64_t b = db->add_text_entry(L"The second card", std::nullopt, false, false);
    mw->refresh_all();
    pump(200);
    ASSERT_TRUE(click_and_wait(row_center(mw->cards, mw->model.row_of_key(a)), [&] { return hint_visible(); }));
    ASSERT_EQ(mw->hint.hinted_key, a);
    const POINT at = row_center(mw->cards, mw->model.row_of_key(b));
    const DWORD ui = GetCurrentThreadId();
    std::atomic<bool> done{false}, menu_seen{false}, stale_meanwhile{false};
    std::thread t([&] {
        gui_test::move_pointer(at);
        send_button(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
        std::vector<HWND> menus = gui_test::wait_for_windows(ui, L"QuilletPopupMenu", 1, 10000);
        if (!menus.empty()) {
            menu_seen = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            stale_meanwhile = IsWindowVisible(mw->hint_popup) && mw->hint.hinted_key == a;
        }
        for (int i = 0; i < 20; ++i) {
            const std::vector<HWND> open = gui_test::thread_windows(ui, L"QuilletPopupMenu");
            if (open.empty()) break;
            for (HWND w : open) gui_test::post_key(w, VK_ESCAPE);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        done = true;
    });
    pump_until([&] { return done.load(); }, 20000);
    t.join();
    pump(200);
    EXPECT_TRUE(menu_seen);
    EXPECT_FALSE(stale_meanwhile) << "the hint of the card selected before, over the menu";
    EXPECT_EQ(list_selected_entry_id(mw->cards), b);
    EXPECT_FALSE(hint_visible() && mw->hint.hinted_key == a);
}

TEST_F(EntryHintWindow, HidesWhenTheMainWindowStopsBeingActive) {
    const std::int64_t id = db->add_text_entry(L"Hinted text", std::nullopt, false, false);
    mw->refresh_all();
    pump(100);
    auto show = [&] {
        SetForegroundWindow(running.window());
        pump(100);
        list_select_entry(mw->cards, id);
        mw->on_selection_changed();
        return hint_visible();
    };
    // Another program's window comes to the front.
    ASSERT_TRUE(show());
    Helper other;
    ASSERT_TRUE(other.start(L"window QuilletHintTestFront"));
    HWND front = FindWindowW(L"QuilletHintTestFront", nullptr);
    ASSERT_NE(front, nullptr);
    SetForegroundWindow(front);
    EXPECT_TRUE(pump_until([&] { return !hint_visible(); }, 2000)) << "another program in front";
    // A window Wine does not know takes the focus (an X program under a
    // window manager): the main window is told it is no longer active, and
    // there is no foreground window to ask about.
    ASSERT_TRUE(show());
    SendMessageW(running.window(), WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
    EXPECT_FALSE(hint_visible()) << "WM_ACTIVATE without a window taking over";
    ASSERT_TRUE(show());
    SendMessageW(running.window(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_FALSE(hint_visible()) << "WM_ACTIVATEAPP";
    // The program's own settings window.
    ASSERT_TRUE(show());
    running.app->show_settings();
    ASSERT_TRUE(running.app->settings_window && running.app->settings_window->window);
    pump(300);
    EXPECT_FALSE(hint_visible()) << "the settings window in front";
    // Selecting in the main window behind it, by the program, brings no hint over it.
    listbox_clear_selection(mw->cards);
    list_select_entry(mw->cards, id);
    pump(200);
    EXPECT_FALSE(hint_visible()) << "a selection changed while the settings window is in front";
    DestroyWindow(running.app->settings_window->window);
    pump(200);
}

TEST_F(EntryHintWindow, StaysUnderTheViewWindowItOpened) {
    const std::int64_t id = db->add_entry({.image = view_test::gradient_png(300, 200), .source_app = L"mspaint.exe",
        .is_image = true});
    mw->show_images();
    pump(200);
    ASSERT_TRUE(list_select_entry(mw->cards, id));
    mw->on_selection_changed();
    ASSERT_TRUE(hint_visible());
    const DWORD ui = GetCurrentThreadId();
    std::atomic<bool> seen{false}, below{false}, visible{false};
    std::thread t([&] {
        std::vector<HWND> found = gui_test::wait_for_windows(ui, kViewDialogClass, 1, 10000);
        if (!found.empty()) {
            seen = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            visible = IsWindowVisible(mw->hint_popup) != FALSE;
            // The hint comes after the view window in the z-order.
            for (HWND w = GetWindow(found[0], GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
                if (w == mw->hint_popup) below = true;
            PostMessageW(found[0], WM_CLOSE, 0, 0);
        }
    });
    mw->open_hinted_entry();
    t.join();
    pump(200);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(visible) << "the hint stays while its view window runs";
    EXPECT_TRUE(below) << "under the view window";
    EXPECT_TRUE(GetWindowLongW(mw->hint_popup, GWL_EXSTYLE) & WS_EX_TOPMOST) << "top-most again afterwards";
}

}  // namespace
