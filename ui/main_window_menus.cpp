// The drop-down menus of the main window's menu bar.
#include <windows.h>

#include "app/app.h"
#include "core/settings.h"
#include "store/database.h"
#include "ui/main_window.h"
#include "ui/popup_menu.h"

MenuBarState MainWindow::menu_bar_state() const {
    MenuBarState state;
    state.show_time = show_time;
    const Settings* settings = app ? app->settings.get() : nullptr;
    state.watch_clipboard = settings && settings->watch_clipboard;
    state.always_on_top = settings && settings->always_on_top;
    Database* db = app ? app->database.get() : nullptr;
    const std::int64_t id = selected_category_id();
    state.category_entries = db && id > 0 ? db->count_category_entries(id) : 0;
    state.category_selected = id > 0;
    state.can_add_entry = new_entry_preset(current_view()).allowed;
    return state;
}

void MainWindow::show_menu(int index) {
    if (index < 0 || index >= static_cast<int>(menu_buttons.size()) || !window) return;
    HWND button = menu_buttons[static_cast<size_t>(index)];
    RECT rc{};
    if (!button || !GetWindowRect(button, &rc)) return;
    const std::vector<PopupMenuItem> items = menu_bar_items(index, menu_bar_state());
    const std::uint64_t choice = PopupMenu::track(window, rc.left, rc.bottom, items, dark, 0);
    // Posted, so that the command runs once the menu has closed.
    if (choice != 0 && choice <= 0xFFFF)
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(choice), 0), 0);
}
