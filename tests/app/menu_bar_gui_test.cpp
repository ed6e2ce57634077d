// The menu bar of a running App: each of the six buttons opens its menu
// below it, every item is chosen with the keyboard, and its command reaches
// the main window and does its work (checked in the store, on the
// clipboard or in the window's state). Items whose windows come with other
// parts of the program are checked as far as the command's arrival.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/app_ids.h"
#include "capture/watcher.h"
#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/app/ui_driver.h"
#include "tests/theme/gui_support.h"
#include "ui/cards_list.h"
#include "ui/main_window.h"
#include "ui/dialogs/about_window.h"
#include "ui/dialogs/info_window.h"
#include "ui/dialogs/settings_window.h"
#include "ui/menu_bar.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using namespace app_test;
using namespace ui_driver;

bool listed(const std::vector<HistoryEntry>& list, std::int64_t id) {
    return std::any_of(list.begin(), list.end(), [&](const HistoryEntry& e) { return e.id == id; });
}

std::optional<HistoryEntry> entry_of(Database& db, std::int64_t id) {
    for (const HistoryEntry& e : db.list_entries(L"everything", false, false))
        if (e.id == id) return e;
    return std::nullopt;
}

std::optional<Category> category_of(Database& db, std::int64_t id) {
    for (const Category& c : db.list_categories())
        if (c.id == id) return c;
    return std::nullopt;
}

int category_position(Database& db, std::int64_t id) {
    std::vector<Category> cats = db.list_categories();
    for (size_t i = 0; i < cats.size(); ++i)
        if (cats[i].id == id) return static_cast<int>(i);
    return -1;
}

bool topmost(HWND w) { return (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

class MenuBar : public testing::Test {
protected:
    void SetUp() override {
        run = std::make_unique<RunningApp>([](Settings& s) {
            s.watch_clipboard = false;  // the test's own clipboard writes are not recorded
            s.close_on_paste = false;
            s.tray_on_minimize = true;
        });
        ASSERT_TRUE(run->start());
        wnd = run->window();
        mw = run->app->main_window.get();
        db = run->app->database.get();
        ASSERT_TRUE(wnd && mw && db);
        alpha = db->add_category(L"Alpha");
        beta = db->add_category(L"Beta");
        first = db->add_text_entry(L"first entry", std::nullopt, false, false);
        second = db->add_text_entry(L"second entry", std::nullopt, false, false);
        ASSERT_TRUE(alpha > 0 && beta > 0 && first > 0 && second > 0);
        mw->refresh_all();
        SetWindowPos(wnd, HWND_TOPMOST, 20, 20, 640, 480, SWP_SHOWWINDOW);
        // The pointer stays clear of the menus: hovering would move their
        // highlight while the keys do.
        gui_test::move_pointer(
            POINT{GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2});
        pump(200);
    }
    void TearDown() override { run.reset(); }

    // The window as each case starts from: shown, the "all" view, no search,
    // the older entry selected.
    void reset() {
        if (!IsWindowVisible(wnd)) ShowWindow(wnd, SW_SHOW);
        SetWindowTextW(mw->search, L"");
        mw->set_view(kViewAll, -1);
        pump(50);
        list_select_entry(mw->cards, first);
    }
    void select_category(std::int64_t id) {
        ASSERT_TRUE(choose_side_category(*mw, id));
        ASSERT_EQ(mw->selected_category_id(), id);
    }
    // Opens menu index with a push of its button and runs the steps.
    bool open_menu(int index, const std::vector<Step>& steps) {
        HWND button = GetDlgItem(wnd, kIdFirstMenuButton + index);
        if (!button) return false;
        return run_with_steps(GetCurrentThreadId(), steps, [&] { SendMessageW(button, BM_CLICK, 0, 0); });
    }

    std::unique_ptr<RunningApp> run;
    HWND wnd = nullptr;
    MainWindow* mw = nullptr;
    Database* db = nullptr;
    std::int64_t alpha = 0, beta = 0, first = 0, second = 0;
};

// Closes a window that a menu command opens, as its close box would.
Step close_window(const wchar_t* cls) {
    return {cls, [](HWND w) {
                PostMessageW(w, WM_CLOSE, 0, 0);
                return true;
            }};
}
// Leaves the capture overlay with Esc.
Step leave_overlay() {
    return {L"QuilletCaptureOverlay", [](HWND w) {
                press_key(w, VK_ESCAPE);
                return true;
            }};
}

// One item of a menu chosen by keyboard: what is set up first, what the
// command asks for, and what it must have done.
struct ItemCase {
    int menu;
    int id;
    std::function<void()> prepare;
    std::vector<Step> then;  // the windows the command opens
    std::function<void()> check;
};

TEST_F(MenuBar, EveryItemRunsItsCommand) {
    CommandRecorder recorder(wnd);
    const bool dark_before = mw->dark;
    const bool collapsed_before = mw->categories_collapsed;
    const bool top_before = topmost(wnd);
    const bool times_before = mw->show_time;
    std::int64_t added = 0;
    const std::vector<Step> page_answer =
        machine_has_browser() ? std::vector<Step>{} : std::vector<Step>{confirm_answer(true)};
    const std::vector<ItemCase> cases = {
        // File
        {kMenuFile, 1001, nullptr, {cancel_file_dialog()}, nullptr},
        {kMenuFile, 1002, nullptr, {cancel_file_dialog()}, nullptr},
        {kMenuFile, 1003, nullptr, {}, [&] { EXPECT_FALSE(IsWindowVisible(wnd)) << "closed to the tray"; }},
        // Edit
        {kMenuEdit, 1119, nullptr, {input_answer(L"Новая запись из меню")},
         [&] {
             for (const HistoryEntry& e : db->list_entries(L"all", false, true))
                 if (e.text == L"Новая запись из меню") added = e.id;
             EXPECT_GT(added, 0);
         }},
        {kMenuEdit, 1101, [&] { winutil::set_clipboard_text(L"before"); }, {},
         [&] { EXPECT_TRUE(pump_until([] { return winutil::get_clipboard_text() == L"first entry"; }, 3000)); }},
        {kMenuEdit, 1102, [&] { winutil::set_clipboard_text(L"before"); }, {},
         [&] { EXPECT_EQ(winutil::get_clipboard_text(), L"first entry"); }},
        {kMenuEdit, 1118, nullptr, {leave_overlay()}, nullptr},
        {kMenuEdit, 1103, [&] { winutil::set_clipboard_text(L"before"); }, {},
         [&] {
             EXPECT_TRUE(pump_until([] { return winutil::get_clipboard_text() == L"first entry"; }, 3000));
             EXPECT_TRUE(listed(db->list_entries(L"all", false, true), first)) << "nothing is deleted";
         }},
        {kMenuEdit, 1115,
         [&] {
             winutil::set_clipboard_text(L"before");
             list_select_keys(mw->cards, {first, second});
         },
         {},
         [&] {
             EXPECT_TRUE(pump_until(
                 [] {
                     const std::wstring t = winutil::get_clipboard_text();
                     return t.find(L"first entry") != std::wstring::npos &&
                            t.find(L"second entry") != std::wstring::npos;
                 },
                 3000));
         }},
        {kMenuEdit, 1111, [&] { list_select_entry(mw->cards, second); }, {},
         [&] { EXPECT_GT(list_row_of_key(mw->cards, second), list_row_of_key(mw->cards, first)); }},
        {kMenuEdit, 1110, [&] { list_select_entry(mw->cards, second); }, {},
         [&] { EXPECT_LT(list_row_of_key(mw->cards, second), list_row_of_key(mw->cards, first)); }},
        {kMenuEdit, 1112, nullptr, {},
         [&] {
             EXPECT_EQ(SendMessageW(mw->cards, LB_GETSELCOUNT, 0, 0), SendMessageW(mw->cards, LB_GETCOUNT, 0, 0));
         }},
        {kMenuEdit, 1113, nullptr, {}, [&] { EXPECT_EQ(GetFocus(), mw->search); }},
        {kMenuEdit, 1104, nullptr, {}, [&] { EXPECT_TRUE(listed(db->list_entries(L"pinned", false, true), first)); }},
        {kMenuEdit, 1105, nullptr, {input_answer(L"first entry, edited")},
         [&] { EXPECT_EQ(entry_of(*db, first)->text, L"first entry, edited"); }},
        {kMenuEdit, 1106, nullptr, {menu_choice(static_cast<std::uint64_t>(beta) + 100)},
         [&] { EXPECT_EQ(entry_of(*db, first)->category_id, beta); }},
        {kMenuEdit, 1107, nullptr, {}, [&] { EXPECT_FALSE(entry_of(*db, first)->category_id.has_value()); }},
        {kMenuEdit, 1108, nullptr, {}, [&] { EXPECT_TRUE(listed(db->list_slot_entries(), first)); }},
        {kMenuEdit, 1109, nullptr, {}, [&] { EXPECT_FALSE(listed(db->list_slot_entries(), first)); }},
        {kMenuEdit, 1116, nullptr, {}, [&] { EXPECT_TRUE(mw->templates_mode); }},
        {kMenuEdit, 1114, nullptr, {confirm_answer(true)},
         [&] { EXPECT_TRUE(listed(db->list_entries(L"trash", false, true), first)); }},
        // Categories, with a category chosen in the side panel
        {kMenuCategories, 1201, nullptr, {input_answer(L"  Работа  ")},
         [&] {
             std::vector<Category> cats = db->list_categories();
             EXPECT_TRUE(std::any_of(cats.begin(), cats.end(), [](const Category& c) { return c.name == L"Работа"; }));
         }},
        {kMenuCategories, 1202, [&] { select_category(alpha); }, {input_answer(L"Альфа")},
         [&] { EXPECT_EQ(category_of(*db, alpha)->name, L"Альфа"); }},
        {kMenuCategories, 1203, [&] { select_category(alpha); }, {},
         [&] { EXPECT_TRUE(category_of(*db, alpha)->pinned); }},
        {kMenuCategories, 1205, [&] { select_category(alpha); }, {},
         [&] { EXPECT_GT(category_position(*db, alpha), category_position(*db, beta)); }},
        {kMenuCategories, 1204, [&] { select_category(alpha); }, {},
         [&] { EXPECT_LT(category_position(*db, alpha), category_position(*db, beta)); }},
        {kMenuCategories, 1206, [&] { select_category(alpha); }, {input_answer(L"Alpha")},
         [&] { EXPECT_EQ(category_of(*db, alpha)->name, L"Alpha") << "the same box as rename"; }},
        {kMenuCategories, 1209,
         [&] {
             db->set_entry_category(second, beta);
             mw->refresh_all();
             select_category(beta);
         },
         {confirm_answer(true)},
         [&] {
             EXPECT_FALSE(category_of(*db, beta).has_value());
             EXPECT_TRUE(listed(db->list_entries(L"trash", false, true), second));
         }},
        {kMenuCategories, 1207, [&] { select_category(alpha); }, {confirm_answer(true)},
         [&] { EXPECT_FALSE(category_of(*db, alpha).has_value()); }},
        {kMenuCategories, 1208, nullptr, {},
         [&] { EXPECT_NE(mw->categories_collapsed, collapsed_before); }},
        // View
        {kMenuView, 1301, nullptr, {}, [&] { EXPECT_NE(mw->show_time, times_before); }},
        {kMenuView, 1302, nullptr, {}, [&] { EXPECT_EQ(mw->categories_collapsed, collapsed_before) << "back again"; }},
        {kMenuView, 1303, nullptr, {},
         [&] {
             EXPECT_NE(mw->dark, dark_before);
             EXPECT_EQ(run->app->settings->dark_mode, mw->dark);
         }},
        // Settings
        {kMenuSettings, 1401, nullptr, {},
         [&] {
             EXPECT_TRUE(run->app->settings->watch_clipboard);
             EXPECT_EQ(SendMessageW(mw->watch_box, BM_GETCHECK, 0, 0), BST_CHECKED);
         }},
        {kMenuSettings, 1402, nullptr, {}, [&] { EXPECT_NE(topmost(wnd), top_before); }},
        {kMenuSettings, 1403, nullptr, {close_window(kInfoWindowClass)}, nullptr},
        {kMenuSettings, 1404, nullptr, {close_window(kSettingsWindowClass)}, nullptr},
        // Help
        // With no help pages beside the test program and no browser on the
        // machine, the guide and the licence end in the program's message.
        {kMenuHelp, 1505, nullptr, page_answer, nullptr},
        // No update server answers here: the check ends in the information window.
        {kMenuHelp, 1504, nullptr, {close_window(kInfoWindowClass)}, nullptr},
        {kMenuHelp, 1501, nullptr, {close_window(kAboutWindowClass)}, nullptr},
        {kMenuHelp, 1506, nullptr, page_answer, nullptr},
        {kMenuHelp, 1502, nullptr, {close_window(kInfoWindowClass)}, nullptr},
        // Quit ends the program: last.
        {kMenuFile, 1004, nullptr, {}, [&] { EXPECT_FALSE(IsWindow(wnd)); }},
    };
    std::vector<std::vector<int>> seen_ids(kMenuBarMenuCount);
    for (const ItemCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "menu " << c.menu << ", item " << c.id);
        reset();
        if (c.prepare) c.prepare();
        recorder.take();
        std::vector<Step> steps{menu_choice(static_cast<std::uint64_t>(c.id))};
        steps.insert(steps.end(), c.then.begin(), c.then.end());
        EXPECT_TRUE(open_menu(c.menu, steps)) << "the menu and each window the command opens were answered";
        EXPECT_EQ(recorder.take(), std::vector<int>{c.id}) << "the choice reached the window as its command";
        if (c.check) c.check();
        seen_ids[static_cast<size_t>(c.menu)].push_back(c.id);
        if (!IsWindow(wnd)) break;
    }
    // Every item of every menu was chosen once.
    for (int m = 0; m < kMenuBarMenuCount; ++m) {
        std::vector<int> ids;
        for (const PopupMenuItem& it : menu_bar_items(m, MenuBarState{true, true, true, 1}))
            if (!it.separator) ids.push_back(static_cast<int>(it.id));
        std::sort(ids.begin(), ids.end());
        std::sort(seen_ids[static_cast<size_t>(m)].begin(), seen_ids[static_cast<size_t>(m)].end());
        EXPECT_EQ(seen_ids[static_cast<size_t>(m)], ids) << "menu " << m;
    }
}

// The menu opens under its button; Esc closes it and posts nothing.
TEST_F(MenuBar, MenuOpensBelowItsButtonAndEscPostsNothing) {
    CommandRecorder recorder(wnd);
    for (int index = 0; index < kMenuBarMenuCount; ++index) {
        SCOPED_TRACE(index);
        HWND button = GetDlgItem(wnd, kIdFirstMenuButton + index);
        ASSERT_TRUE(button);
        const RECT b = gui_test::window_rect(button);
        RECT menu_rect{};
        Step look{kMenuClass, [&](HWND menu) {
                      menu_rect = gui_test::window_rect(menu);
                      press_key(menu, VK_ESCAPE);
                      return true;
                  }};
        EXPECT_TRUE(run_with_steps(GetCurrentThreadId(), {look}, [&] { SendMessageW(button, BM_CLICK, 0, 0); }));
        EXPECT_EQ(menu_rect.left, b.left);
        EXPECT_EQ(menu_rect.top, b.bottom);
        EXPECT_TRUE(recorder.take().empty());
    }
}

// The categories menu shows the state of the category chosen in the side
// panel: its count of entries, or the disabled item for none.
TEST_F(MenuBar, CategoriesMenuFollowsTheSelectedCategory) {
    for (int i = 0; i < 3; ++i) db->set_entry_category(i == 0 ? first : second, alpha);
    mw->refresh_all();
    struct Case {
        std::int64_t category;  // 0: a row that is no category
        const wchar_t* label_key;
        bool enabled;           // the item deleting with the entries
    } cases[] = {{alpha, nullptr, true}, {beta, L"action.delete_category_with_entries_empty", false},
                 {0, L"action.delete_category_with_entries_empty", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.category);
        if (c.category)
            select_category(c.category);
        else
            mw->set_view(kViewAll, -1);
        std::wstring label;
        bool enabled = !c.enabled;
        std::vector<std::uint64_t> category_items_enabled;  // of rename, pin, up, down, merge, delete
        Step look{kMenuClass, [&](HWND menu) {
                      const PopupMenuLevel* level = menu_level(menu);
                      if (!level || !level->items) return false;
                      for (const PopupMenuItem& it : *level->items) {
                          if (it.id == 1209) {
                              label = it.label;
                              enabled = it.enabled;
                          }
                          if (it.id >= 1202 && it.id <= 1207 && it.enabled) category_items_enabled.push_back(it.id);
                      }
                      // A disabled item cannot be chosen.
                      if (!c.enabled && choose_menu_item(menu, 1209)) return false;
                      if (!c.category && (choose_menu_item(menu, 1202) || choose_menu_item(menu, 1207))) return false;
                      press_key(menu, VK_ESCAPE);
                      return true;
                  }};
        EXPECT_TRUE(open_menu(kMenuCategories, {look}));
        EXPECT_EQ(enabled, c.enabled);
        if (c.category) {
            EXPECT_EQ(category_items_enabled, (std::vector<std::uint64_t>{1202, 1203, 1204, 1205, 1206, 1207}));
        } else {
            EXPECT_TRUE(category_items_enabled.empty()) << "no category selected: nothing to rename or delete";
        }
        EXPECT_EQ(label, c.label_key ? tr(c.label_key) : tr_format(L"action.delete_category_with_entries", 2));
    }
}

// "Add entry" of the edit menu is enabled only in the views that take a
// new entry: in the templates, trash and images views it is disabled and
// cannot be chosen, so it never is a command that does nothing.
TEST_F(MenuBar, AddEntryIsDisabledWhereItAddsNothing) {
    struct Case {
        const char* view;
        std::function<void()> show;
        bool enabled;
    } cases[] = {
        {"all", [&] { mw->set_view(kViewAll, -1); }, true},
        {"pinned", [&] { mw->set_view(kViewPinned, -1); }, true},
        {"a category", [&] { select_category(alpha); }, true},
        {"templates", [&] { mw->show_templates(); }, false},
        {"trash", [&] { mw->set_view(kViewTrash, -1); }, false},
        {"images", [&] { mw->show_images(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        c.show();
        pump(50);
        const std::int64_t before = db->count_entries();
        bool enabled = !c.enabled, chosen = false;
        Step look{kMenuClass, [&](HWND menu) {
                      const PopupMenuLevel* level = menu_level(menu);
                      if (!level || !level->items) return false;
                      for (const PopupMenuItem& it : *level->items)
                          if (it.id == 1119) enabled = it.enabled;
                      if (!c.enabled) chosen = choose_menu_item(menu, 1119);
                      if (!chosen) press_key(menu, VK_ESCAPE);
                      return true;
                  }};
        EXPECT_TRUE(open_menu(kMenuEdit, {look}));
        EXPECT_EQ(enabled, c.enabled);
        EXPECT_EQ(mw->menu_bar_state().can_add_entry, c.enabled);
        EXPECT_FALSE(chosen) << "a disabled item was chosen";
        EXPECT_EQ(db->count_entries(), before);
    }
}

// The view and settings menus check what the window and the settings say.
TEST_F(MenuBar, ChecksFollowTheWindowAndTheSettings) {
    for (bool on : {false, true}) {
        SCOPED_TRACE(on);
        mw->show_time = on;
        run->app->settings->watch_clipboard = on;
        run->app->settings->always_on_top = !on;
        std::vector<std::pair<std::uint64_t, bool>> checks;
        Step look{kMenuClass, [&](HWND menu) {
                      const PopupMenuLevel* level = menu_level(menu);
                      if (!level || !level->items) return false;
                      for (const PopupMenuItem& it : *level->items)
                          if (it.checked) checks.emplace_back(it.id, true);
                      press_key(menu, VK_ESCAPE);
                      return true;
                  }};
        EXPECT_TRUE(open_menu(kMenuView, {look}));
        EXPECT_TRUE(open_menu(kMenuSettings, {look}));
        std::vector<std::pair<std::uint64_t, bool>> expected;
        if (on) expected.emplace_back(1301, true);
        expected.emplace_back(on ? 1401 : 1402, true);
        EXPECT_EQ(checks, expected);
    }
}

// Category commands act on a category row only: with a template group's
// row chosen in the side panel (whose item data lies beyond the category
// range) they do nothing, even when a category with the id that data would
// give exists.
TEST_F(MenuBar, CategoryCommandsIgnoreRowsThatAreNoCategory) {
    run->app->settings->snippet_panel_collapsed = false;
    std::int64_t last = beta;
    while (last < 990) last = db->add_category(L"C" + std::to_wstring(last + 1));
    ASSERT_EQ(last, 990);
    mw->refresh_all();
    const auto& rows = mw->panel.rows();
    int group_row = -1;
    for (size_t i = 0; i < rows.size() && group_row < 0; ++i)
        if (rows[i].kind == SideRowKind::TemplateGroup) group_row = static_cast<int>(i);
    ASSERT_GE(group_row, 0);
    ASSERT_EQ(rows[static_cast<size_t>(group_row)].data, 1000) << "the first group's row";
    SendMessageW(mw->side, LB_SETCURSEL, static_cast<WPARAM>(group_row), 0);
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kIdSide, LBN_SELCHANGE), reinterpret_cast<LPARAM>(mw->side));
    ASSERT_EQ(mw->selected_category_id(), -1);
    const std::vector<Category> before = db->list_categories();

    // Any box that opens is counted and cancelled.
    std::atomic<bool> stop{false};
    std::atomic<int> boxes{0};
    const DWORD ui = GetCurrentThreadId();
    std::thread closer([&] {
        while (!stop) {
            for (const wchar_t* cls : {kInputBoxClass, kConfirmBoxClass})
                if (HWND box = newest_window(ui, cls)) {
                    ++boxes;
                    press_button(GetDlgItem(box, 2));
                    wait_gone(box);
                }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    for (int id : {1202, 1203, 1204, 1205, 1206, 1207, 1209}) {
        SCOPED_TRACE(id);
        SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        pump(100);
    }
    stop = true;
    closer.join();
    EXPECT_EQ(boxes.load(), 0) << "no command asked anything";
    const std::vector<Category> after = db->list_categories();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].id, before[i].id);
        EXPECT_EQ(after[i].name, before[i].name);
        EXPECT_EQ(after[i].pinned, before[i].pinned);
    }
}

// A click of the mouse on a menu-bar button opens its menu.
TEST_F(MenuBar, AMouseClickOnAButtonOpensItsMenu) {
    SetForegroundWindow(wnd);
    pump(100);
    HWND button = GetDlgItem(wnd, kIdFirstMenuButton + kMenuView);
    ASSERT_TRUE(button);
    const POINT at = gui_test::rect_center(gui_test::window_rect(button));
    gui_test::move_pointer(at);
    pump(200);
    std::vector<std::uint64_t> ids;
    Step look{kMenuClass, [&](HWND menu) {
                  if (const PopupMenuLevel* level = menu_level(menu); level && level->items)
                      for (const PopupMenuItem& it : *level->items) ids.push_back(it.id);
                  press_key(menu, VK_ESCAPE);
                  return true;
              }};
    EXPECT_TRUE(run_with_steps(GetCurrentThreadId(), {look}, [&] {
        INPUT clicks[2] = {};
        clicks[0].type = clicks[1].type = INPUT_MOUSE;
        clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, clicks, sizeof(INPUT));
    }));
    EXPECT_EQ(ids, (std::vector<std::uint64_t>{1301, 1302, 0, 1303}));
}

}  // namespace
