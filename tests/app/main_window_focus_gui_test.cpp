// The keyboard of the main window from the moment it becomes active: the
// history hotkey, the tray, another window taken away and a click on the
// frame all leave the focus on the cards list (its caret on the selected
// row, else the first row selected); in the search box Down and Up move the
// list's selection and Enter pastes it. Driven with real key input
// (SendInput) into a running App, the paste landing in another process's
// edit box.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/app_ids.h"
#include "app/main_wndproc.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/theme/gui_support.h"
#include "tests/ui/edit_target_client.h"
#include "theme/geometry.h"
#include "ui/cards_list.h"
#include "ui/main_window.h"

namespace {

using namespace app_test;

// Real key presses, dispatched here (the hotkey and the paste included).
void press(std::initializer_list<WORD> held, WORD key) {
    press_keys(held, key);
    pump(120);
}

int caret_of(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCARETINDEX, 0, 0)); }

std::vector<int> selected_rows(HWND list) {
    const int n = list_selected_count(list);
    std::vector<int> rows(static_cast<size_t>(n > 0 ? n : 0));
    if (n > 0) SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(rows.data()));
    return rows;
}

class MainWindowFocus : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.start());
        wnd = run.window();
        mw = run.app->main_window.get();
        db = run.app->database.get();
        ASSERT_TRUE(wnd && mw && db);
        SetWindowPos(wnd, nullptr, 900, 120, 620, 520, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The texts added, oldest first; the list shows them newest first.
    void add_texts(const std::vector<std::wstring>& texts) {
        for (const std::wstring& t : texts) ASSERT_GT(db->add_text_entry(t, std::nullopt, false, false), 0);
        mw->refresh_all();
        pump(100);
        ASSERT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), static_cast<LRESULT>(texts.size()));
    }
    std::wstring row_text(int row) const {
        const HistoryEntry* e = mw->model.find_entry(mw->model.row_key(row));
        return e ? e->text : L"<no entry>";
    }
    // The user is in the target window, the history hidden in the tray.
    void user_in_target() {
        ShowWindow(wnd, SW_HIDE);
        pump(100);
        target.bring_to_front();
        ASSERT_EQ(GetForegroundWindow(), target.window);
        // Wine reads the keyboard's state again when the X focus moves: keys
        // pressed before that would count as released.
        pump(400);
    }
    // The history on screen beside the target window, which stays active.
    void show_behind_target() {
        ShowWindow(wnd, SW_SHOWNOACTIVATE);
        pump(300);
        ASSERT_EQ(GetForegroundWindow(), target.window);
    }
    // Ctrl+Shift+V on the keyboard: the history comes to the front.
    void history_hotkey() {
        press({VK_CONTROL, VK_SHIFT}, 'V');
        ASSERT_TRUE(pump_until([&] { return IsWindowVisible(wnd) && GetForegroundWindow() == wnd; }, 5000))
            << "the history hotkey did not bring the window in front: visible " << IsWindowVisible(wnd)
            << ", in front " << GetForegroundWindow() << " (the window " << wnd << ", the target " << target.window
            << ")";
        pump(150);
    }

    RunningApp run;
    gui_test::EditTarget target{L"QuilletFocusTarget"};
    HWND wnd = nullptr;
    MainWindow* mw = nullptr;
    Database* db = nullptr;
};

// The history hotkey, Down, Down and Enter typed on the keyboard: the third
// row is pasted into the window that was in front.
TEST_F(MainWindowFocus, HistoryHotkeyThenDownDownEnterPastesTheThirdRow) {
    add_texts({L"oldest row", L"third row from the top", L"second row", L"newest row"});
    ASSERT_TRUE(target.edit);
    user_in_target();
    history_hotkey();
    EXPECT_EQ(GetFocus(), mw->cards) << "the keyboard is on the cards list";
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{0}) << "nothing was selected: the first row is";
    EXPECT_EQ(caret_of(mw->cards), 0);
    press({}, VK_DOWN);
    press({}, VK_DOWN);
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{2});
    const std::wstring third = row_text(2);
    EXPECT_EQ(third, L"third row from the top");
    press({}, VK_RETURN);
    EXPECT_TRUE(pump_until([&] { return target.text() == third; }, 8000))
        << "the target holds " << target.text().size() << " characters";
    EXPECT_FALSE(IsWindowVisible(wnd)) << "hidden after the paste";
}

// Ctrl+F, a word typed, Down and Enter: the first match is pasted, even
// when the row selected before is a match too (the first Down after the
// text changed starts at the top); Up and Down go on from there.
TEST_F(MainWindowFocus, CtrlFTypingDownEnterPastesTheFirstMatch) {
    add_texts({L"apple pie", L"banana bread", L"pear and apple tart", L"cherry jam", L"apple crumble"});
    user_in_target();
    history_hotkey();
    // The newest row, "apple crumble", is selected and matches.
    ASSERT_EQ(selected_rows(mw->cards), std::vector<int>{0});
    press({VK_CONTROL}, 'F');
    ASSERT_EQ(GetFocus(), mw->search);
    for (WORD k : {WORD('A'), WORD('P'), WORD('P'), WORD('L'), WORD('E')}) press({}, k);
    ASSERT_EQ(gui_test::text_of(mw->search), L"apple");
    ASSERT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 3) << "three rows hold the word";
    // Down and Up move the list's selection; the focus stays in the box.
    press({}, VK_DOWN);
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{0});
    press({}, VK_DOWN);
    press({}, VK_DOWN);
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{2});
    press({}, VK_DOWN);
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{2}) << "stays on the last row";
    press({}, VK_UP);
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{1});
    EXPECT_EQ(GetFocus(), mw->search);
    EXPECT_EQ(mw->hint.hinted_key, mw->model.row_key(1)) << "the hint follows the keys";
    // Another letter: the next Down starts at the first match again.
    press({}, VK_BACK);
    press({}, 'E');
    press({}, VK_DOWN);
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{0});
    const std::wstring first = row_text(0);
    EXPECT_EQ(first, L"apple crumble");
    press({}, VK_RETURN);
    EXPECT_TRUE(pump_until([&] { return target.text() == first; }, 8000))
        << "the target holds " << target.text().size() << " characters";
    EXPECT_EQ(gui_test::text_of(mw->search), L"apple") << "Enter typed nothing into the box";
}

// The row the user picked, with the keys in the list or a click, is where
// Down and Up in the search box go on from: row 3 picked, Ctrl+F then Down
// selects row 4 and Up row 3, then row 2. Once the search text changes the
// next Down starts at the top of the rows it lists.
TEST_F(MainWindowFocus, SearchBoxKeysGoOnFromThePickedRow) {
    add_texts({L"row f", L"row e", L"row d", L"row c", L"row b", L"row a"});
    user_in_target();
    history_hotkey();
    ASSERT_EQ(selected_rows(mw->cards), std::vector<int>{0});
    // Row 3 picked with the keys in the list.
    press({}, VK_DOWN);
    press({}, VK_DOWN);
    press({}, VK_DOWN);
    ASSERT_EQ(selected_rows(mw->cards), std::vector<int>{3});
    press({VK_CONTROL}, 'F');
    ASSERT_EQ(GetFocus(), mw->search);
    press({}, VK_DOWN);
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{4}) << "Down goes on from the picked row";
    press({}, VK_UP);
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{3});
    press({}, VK_UP);
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{2});
    EXPECT_EQ(GetFocus(), mw->search);
    // A letter every row holds: the same rows, but the text changed since
    // row 2 was chosen, so Down starts at the top.
    press({}, 'R');
    ASSERT_EQ(gui_test::text_of(mw->search), L"r");
    ASSERT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 6);
    press({}, VK_DOWN);
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{0}) << "the text changed: from the top";
    // Row 4 picked with a click while that text stands: Up goes on from it.
    RECT item{};
    ASSERT_NE(SendMessageW(mw->cards, LB_GETITEMRECT, 4, reinterpret_cast<LPARAM>(&item)), LB_ERR);
    MapWindowPoints(mw->cards, nullptr, reinterpret_cast<POINT*>(&item), 2);
    gui_test::left_click_at(gui_test::rect_center(item));
    ASSERT_TRUE(pump_until([&] { return selected_rows(mw->cards) == std::vector<int>{4}; }, 3000));
    press({VK_CONTROL}, 'F');
    ASSERT_EQ(GetFocus(), mw->search);
    press({}, VK_UP);
    EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{3}) << "Up goes on from the clicked row";
    const std::wstring fourth = row_text(3);
    EXPECT_EQ(fourth, L"row d");
    press({}, VK_RETURN);
    EXPECT_TRUE(pump_until([&] { return target.text() == fourth; }, 8000))
        << "the target holds " << target.text().size() << " characters";
}

// However the window becomes active, the keyboard goes to the cards list,
// its caret on the selected row (or the first row, selected, when none is).
TEST_F(MainWindowFocus, EveryWayOfBecomingActiveFocusesTheCards) {
    add_texts({L"one", L"two", L"three", L"four"});
    struct Way {
        const char* name;
        int selected;  // the row selected before, -1 for none
        std::function<void()> activate;
    } ways[] = {
        {"the history hotkey", -1, [&] { history_hotkey(); }},
        {"the history hotkey, a row selected", 2, [&] { history_hotkey(); }},
        {"the tray icon", 3, [&] { SendMessageW(wnd, WM_TRAYICON, 0, WM_LBUTTONUP); }},
        {"a second start", -1, [&] { SendMessageW(wnd, WM_SHOW_MAIN, 0, 0); }},
        {"taken back from another window", 1,
         [&] {
             show_behind_target();
             SetForegroundWindow(wnd);
         }},
        {"a click on its frame", 2,
         [&] {
             show_behind_target();
             const RECT r = gui_test::window_rect(wnd);
             RECT client{};
             GetClientRect(wnd, &client);
             MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
             // The title bar, clear of its buttons.
             gui_test::left_click_at(POINT{r.left + 60, (r.top + client.top) / 2});
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        listbox_clear_selection(mw->cards);
        if (way.selected >= 0) {
            SendMessageW(mw->cards, LB_SETSEL, TRUE, way.selected);
            SendMessageW(mw->cards, LB_SETCARETINDEX, 0, FALSE);  // the caret elsewhere
        }
        user_in_target();
        way.activate();
        EXPECT_TRUE(pump_until([&] { return GetForegroundWindow() == wnd; }, 5000));
        pump(200);
        EXPECT_EQ(GetFocus(), mw->cards);
        const int row = way.selected >= 0 ? way.selected : 0;
        EXPECT_EQ(selected_rows(mw->cards), std::vector<int>{row});
        EXPECT_EQ(caret_of(mw->cards), row) << "the caret on the selected row";
    }
    // The frame itself handed the focus hands it on.
    SetFocus(wnd);
    EXPECT_EQ(GetFocus(), mw->cards);
}

}  // namespace
