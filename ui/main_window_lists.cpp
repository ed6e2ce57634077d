// The subclass of the two list boxes of the main window.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include "app/app.h"
#include "app/app_ids.h"
#include "core/settings.h"
#include "store/database.h"
#include "theme/geometry.h"
#include "theme/painters.h"
#include "ui/entry_hint.h"
#include "ui/main_window.h"

namespace {

bool key_down(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// A press or double click on no row focuses the list and clears its
// selection; true when it was on no row (the message is then consumed).
bool click_on_empty_area(MainWindow& mw, HWND list, LPARAM lp) {
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    if (listbox_item_from_point(list, pt) >= 0) return false;
    SetFocus(list);
    listbox_clear_selection(list);
    mw.cancel_click_copy();
    return true;
}

// A press on a card arms click-to-copy when the settings ask for it; any
// other press (Ctrl or Shift held, a group header) cancels a pending one.
void arm_on_press(MainWindow& mw, HWND list, LPARAM lp) {
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    int row = listbox_item_from_point(list, pt);
    std::int64_t key = row >= 0 ? static_cast<std::int64_t>(SendMessageW(list, LB_GETITEMDATA, row, 0)) : 0;
    if (is_group_header_key(key)) key = 0;
    const Settings* s = mw.app && mw.app->settings ? mw.app->settings.get() : nullptr;
    if (should_arm_click_copy(click_to_copy_enabled(s), mw.trash_view, key_down(VK_CONTROL), key_down(VK_SHIFT), key))
        mw.arm_click_copy(key);
    else
        mw.cancel_click_copy();
}

// A press on the templates node of the side panel opens or folds it.
bool press_on_templates_node(MainWindow& mw, HWND list, LPARAM lp) {
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    const SidePanelRow* row = mw.panel.row(listbox_item_from_point(list, pt));
    if (!row || row->kind != SideRowKind::TemplatesNode) return false;
    SetFocus(list);
    mw.open_templates_node();
    return true;
}

}  // namespace

void MainWindow::continue_list_texts() {
    Database* db = app ? app->database.get() : nullptr;
    if (!db || !model.has_pending_texts()) {
        if (cards) KillTimer(cards, kListTextsTimer);
        return;
    }
    // A piece of the texts, then the window answers again: a timer's
    // message comes only when no other one waits.
    const bool hinted_pending = hint.shown && model.text_pending(hint.hinted_key);
    if (model.load_pending_texts(*db, GetTickCount64() + kListTextsPieceMs) && cards) {
        if (!model.last_search().empty()) {
            // The texts that arrived are searched too: the rows found so far
            // and those found among them.
            ListPosition old = read_list_position(cards);
            refreshing = true;
            const bool same = model.set_search(model.last_search());
            apply_model_to_list(cards, shown_rows, model, old, same, false);
            refreshing = false;
            if (empty_hint) ShowWindow(empty_hint, model.row_count() == 0 ? SW_SHOW : SW_HIDE);
        }
        InvalidateRect(cards, nullptr, FALSE);
    }
    if (!model.has_pending_texts() && cards) KillTimer(cards, kListTextsTimer);
    // The hinted row's text arrived: the hint shows it.
    if (hinted_pending && hint.shown && !model.text_pending(hint.hinted_key)) show_entry_hint(hint.hinted_key);
}

LRESULT CALLBACK list_subclass_proc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
    auto& mw = *reinterpret_cast<MainWindow*>(ref);
    const bool is_cards = list == mw.cards;
    switch (msg) {
        case WM_ERASEBKGND: {
            RECT rc{};
            GetClientRect(list, &rc);
            fill_rect_color(reinterpret_cast<HDC>(wp), rc, mw.dark_mode() ? 0x2B2B2B : 0xFFFFFF);
            return 1;
        }
        case WM_KEYDOWN:
            if (is_cards) mw.cancel_click_copy();
            if (is_cards && wp == VK_RETURN) {
                mw.on_paste_selected();
                return 0;
            }
            if (is_cards && wp == 'A' && key_down(VK_CONTROL)) {
                SendMessageW(list, LB_SETSEL, TRUE, -1);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
            if (is_cards) {
                if (click_on_empty_area(mw, list, lp)) return 0;
                arm_on_press(mw, list, lp);
                break;
            }
            mw.cancel_click_copy();
            if (press_on_templates_node(mw, list, lp)) return 0;
            break;
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
            mw.cancel_click_copy();
            break;
        case WM_LBUTTONDBLCLK:
            if (is_cards) {
                if (click_on_empty_area(mw, list, lp)) return 0;
                // The second click of a double click pastes; nothing is copied.
                mw.cancel_click_copy();
            }
            break;
        case WM_TIMER:
            if (is_cards && wp == kClickCopyTimer) {
                KillTimer(list, kClickCopyTimer);
                mw.on_click_copy_timer();
                return 0;
            }
            if (is_cards && wp == kListTextsTimer) {
                mw.continue_list_texts();
                return 0;
            }
            if (is_cards && wp == kHintSelectionTimer) {
                mw.check_hint_selection();
                return 0;
            }
            break;
        case LB_SETSEL:
        case LB_SETCURSEL:
        case LB_SELITEMRANGE:
        case LB_SELITEMRANGEEX:
        case LB_DELETESTRING:
        case LB_RESETCONTENT:
            // The selection may have changed without LBN_SELCHANGE.
            if (is_cards) mw.schedule_hint_check();
            break;
        case WM_GETDLGCODE:
            // Enter reaches the cards list as a key press (it pastes).
            if (is_cards) return DefSubclassProc(list, msg, wp, lp) | DLGC_WANTALLKEYS;
            break;
        case WM_MOUSEWHEEL: {
            // The wheel scrolls the list under the pointer, whichever has the focus.
            mw.cancel_click_copy();
            POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (HWND target = mw.list_at_point(pt)) mw.wheel_scroll_list(target, GET_WHEEL_DELTA_WPARAM(wp));
            return 0;
        }
        case WM_NCDESTROY: RemoveWindowSubclass(list, list_subclass_proc, id); break;
        default: break;
    }
    return DefSubclassProc(list, msg, wp, lp);
}
