// The main window's own keys (main_window_keys.h): a subclass on every
// child control and the window itself, so they work wherever the focus is.
#include "ui/main_window_keys.h"

#include <windows.h>
#include <commctrl.h>

#include "ui/main_window.h"

namespace {

constexpr UINT_PTR kKeySubclassId = 6;

bool key_down(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// The characters TranslateMessage makes of Esc and Ctrl+F.
constexpr WPARAM kEscapeChar = 0x1B;
constexpr WPARAM kCtrlFChar = 0x06;

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

void MainWindow::hide_to_tray() {
    if (!window) return;
    cancel_click_copy();
    hide_entry_hint();
    hide_button_tooltip();
    ShowWindow(window, SW_HIDE);
}

LRESULT CALLBACK main_keys_subclass_proc(HWND control, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
    auto& mw = *reinterpret_cast<MainWindow*>(ref);
    switch (msg) {
        case WM_KEYDOWN:
            if (mw.on_key(wp)) return 0;
            break;
        case WM_CHAR:
            // Neither character means anything to the controls: the edit
            // would take them as text, the lists as a search prefix.
            if (wp == kEscapeChar || wp == kCtrlFChar) return 0;
            break;
        case WM_NCDESTROY: RemoveWindowSubclass(control, main_keys_subclass_proc, id); break;
        default: break;
    }
    return DefSubclassProc(control, msg, wp, lp);
}
