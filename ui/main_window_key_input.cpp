// The main window's own keys (main_window_keys.h): a subclass on every
// child control and the window itself, so they work wherever the focus is;
// the keys of the search box; where the keyboard goes when the window
// becomes active.
#include "ui/main_window_keys.h"

#include <windows.h>
#include <commctrl.h>

#include "app/app_ids.h"
#include "ui/cards_list.h"
#include "ui/list_model.h"
#include "ui/main_window.h"

namespace {

constexpr UINT_PTR kKeySubclassId = 6;

bool key_down(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// The characters TranslateMessage makes of Esc, Ctrl+F and Enter.
constexpr WPARAM kEscapeChar = 0x1B;
constexpr WPARAM kCtrlFChar = 0x06;
constexpr WPARAM kEnterChar = 0x0D;

std::int64_t row_key(HWND list, int row) {
    return static_cast<std::int64_t>(SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(row), 0));
}

// A group header of the templates is no row to paste.
bool selectable_row(HWND list, int row) { return !is_group_header_key(row_key(list, row)); }

int row_count(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); }

void select_only(HWND list, int row) {
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    SendMessageW(list, LB_SETSEL, TRUE, row);
    SendMessageW(list, LB_SETCARETINDEX, static_cast<WPARAM>(row), FALSE);
}

// The row the selection stands on: the caret's row when it is selected,
// else the first selected row; -1 with nothing selected.
int chosen_row(HWND list) {
    if (list_selected_count(list) <= 0) return -1;
    const int caret = static_cast<int>(SendMessageW(list, LB_GETCARETINDEX, 0, 0));
    if (caret >= 0 && SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(caret), 0) > 0) return caret;
    int first = -1;
    SendMessageW(list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&first));
    return first;
}

BOOL CALLBACK install_on_child(HWND child, LPARAM owner) {
    SetWindowSubclass(child, main_keys_subclass_proc, kKeySubclassId, static_cast<DWORD_PTR>(owner));
    return TRUE;
}

}  // namespace

void MainWindow::install_key_handling() {
    if (window) EnumChildWindows(window, install_on_child, reinterpret_cast<LPARAM>(this));
}

bool MainWindow::on_key(WPARAM virtual_key) {
    switch (main_key_action(static_cast<unsigned>(virtual_key), key_down(VK_CONTROL), key_down(VK_SHIFT),
                            key_down(VK_MENU))) {
        case MainKeyAction::Hide: hide_to_tray(); return true;
        case MainKeyAction::FocusSearch: focus_search(); return true;
        case MainKeyAction::None: return false;
    }
    return false;
}

void MainWindow::focus_cards_list() {
    if (!cards || !IsWindowVisible(cards) || !IsWindowEnabled(cards)) return;
    const int count = row_count(cards);
    if (count > 0) {
        if (list_selected_count(cards) == 0) {
            // Nothing selected: the first row, so that Enter pastes at once.
            const int row = search_step_row(count, -1, 1, [&](int r) { return selectable_row(cards, r); });
            if (row >= 0) {
                select_only(cards, row);
                note_list_choice();
            }
        } else {
            const int caret = static_cast<int>(SendMessageW(cards, LB_GETCARETINDEX, 0, 0));
            if (caret < 0 || SendMessageW(cards, LB_GETSEL, static_cast<WPARAM>(caret), 0) <= 0) {
                int first = -1;
                SendMessageW(cards, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&first));
                if (first >= 0) SendMessageW(cards, LB_SETCARETINDEX, static_cast<WPARAM>(first), FALSE);
            }
        }
    }
    if (GetFocus() != cards) SetFocus(cards);
}

void MainWindow::on_main_activated() {
    focus_cards_list();
    // Decided once the activation is complete (the window in front is then
    // this one).
    schedule_hint_check();
}

bool MainWindow::on_search_key(WPARAM virtual_key) {
    if (key_down(VK_CONTROL) || key_down(VK_MENU) || key_down(VK_SHIFT)) return false;
    if (virtual_key == VK_RETURN) {
        on_paste_selected();
        return true;
    }
    if (virtual_key != VK_DOWN && virtual_key != VK_UP) return false;
    if (!cards) return true;
    const std::wstring text = get_dlg_item_text(window, kIdSearch);
    // From the row the user chose, while the text it was chosen with stands
    // (a change of the text forgets the choice, see MainWndProc); the first
    // key after the text changed starts at the top of the rows it lists.
    const int selected = chosen_row(cards);
    const int from = search_step_from(selected, selected >= 0 ? row_key(cards, selected) : 0, search_step, text);
    const int row = search_step_row(row_count(cards), from, virtual_key == VK_DOWN ? 1 : -1,
                                    [&](int r) { return selectable_row(cards, r); });
    if (row < 0) return true;
    cancel_click_copy();
    select_only(cards, row);
    // The user's choice, as a key in the list itself would be.
    note_list_choice();
    on_selection_changed();
    return true;
}

void MainWindow::note_list_choice() {
    if (!cards) return;
    const int row = chosen_row(cards);
    search_step = SearchStep{get_dlg_item_text(window, kIdSearch), row >= 0 ? row_key(cards, row) : 0};
}

void MainWindow::hide_to_tray() {
    if (!window) return;
    cancel_click_copy();
    // Not hidden on purpose: the hint comes back with the window.
    take_down_hint();
    hide_button_tooltip();
    ShowWindow(window, SW_HIDE);
}

LRESULT CALLBACK main_keys_subclass_proc(HWND control, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
    auto& mw = *reinterpret_cast<MainWindow*>(ref);
    switch (msg) {
        case WM_KEYDOWN:
            if (mw.on_key(wp)) return 0;
            if (control == mw.search && mw.on_search_key(wp)) return 0;
            break;
        case WM_CHAR:
            // Neither character means anything to the controls: the edit
            // would take them as text, the lists as a search prefix.
            if (wp == kEscapeChar || wp == kCtrlFChar) return 0;
            // Enter pasted from the search box; the edit would only beep.
            if (control == mw.search && wp == kEnterChar) return 0;
            break;
        case WM_NCDESTROY: RemoveWindowSubclass(control, main_keys_subclass_proc, id); break;
        default: break;
    }
    return DefSubclassProc(control, msg, wp, lp);
}
