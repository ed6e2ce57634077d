// WM_COMMAND of the main window: control notifications, toolbar buttons
// and menu commands.
#include "app/app.h"
#include "app/app_ids.h"
#include "app/commands_backup.h"
#include "app/help.h"
#include "app/hotkey_help.h"
#include "app/main_wndproc.h"
#include "capture/watcher.h"
#include "core/settings.h"
#include "ui/dialogs/about_window.h"
#include "ui/dialogs/settings_window.h"
#include "ui/main_window.h"

namespace {

// Command ids of the edit and categories menus.
enum : int {
    kCmdPaste = 1101,
    kCmdCopy = 1102,
    kCmdPasteDelete = 1103,
    kCmdPin = 1104,
    kCmdEdit = 1105,
    kCmdToCategory = 1106,
    kCmdRemoveCategory = 1107,
    kCmdAddSlot = 1108,
    kCmdRemoveSlot = 1109,
    kCmdMoveUp = 1110,
    kCmdMoveDown = 1111,
    kCmdSelectAll = 1112,
    kCmdFind = 1113,
    kCmdDelete = 1114,
    kCmdPasteMultiple = 1115,
    kCmdSnippets = 1116,
    kCmdNewTemplate = 1117,
    kCmdScreenshot = 1118,
    kCmdAddEntry = 1119,
    kCmdAddCategory = 1201,
    kCmdRenameCategory = 1202,
    kCmdPinCategory = 1203,
    kCmdCategoryUp = 1204,
    kCmdCategoryDown = 1205,
    kCmdMergeCategory = 1206,
    kCmdDeleteCategory = 1207,
    kCmdDeleteCategoryWithEntries = 1209,
};

// The commands that act on the main window's lists; false for any other id.
bool run_window_command(MainWindow& mw, int id) {
    switch (id) {
        case kIdPaste:
        case kCmdPaste:
        case kCmdPasteDelete: mw.on_paste_selected(); return true;
        case kIdCopy:
        case kCmdCopy: mw.copy_selected(); return true;
        case kIdPin:
        case kCmdPin: mw.toggle_pin_selected(); return true;
        case kIdDelete:
        case kCmdDelete: mw.delete_selected(); return true;
        case kIdMoveUp:
        case kCmdMoveUp: mw.move_selected_up(); return true;
        case kIdMoveDown:
        case kCmdMoveDown: mw.move_selected_down(); return true;
        case kIdAddEntry:
        case kCmdAddEntry: mw.new_entry_in_current_view(); return true;
        case kCmdEdit: mw.edit_selected(); return true;
        case kCmdToCategory: mw.show_to_category_menu(); return true;
        case kCmdRemoveCategory: mw.remove_selected_from_category(); return true;
        case kCmdAddSlot: mw.add_selected_to_slots(); return true;
        case kCmdRemoveSlot: mw.remove_selected_from_slots(); return true;
        case kCmdSelectAll: mw.select_all(); return true;
        case kCmdFind: mw.focus_search(); return true;
        case kCmdPasteMultiple: mw.on_paste_multiple(); return true;
        case kCmdSnippets: mw.open_templates(); return true;
        case kCmdNewTemplate: mw.new_template(); return true;
        case kCmdAddCategory: mw.new_category(); return true;
        case kCmdRenameCategory:
        case kCmdMergeCategory: mw.rename_category(); return true;
        case kCmdPinCategory: mw.toggle_category_pinned(); return true;
        case kCmdCategoryUp: mw.move_category(-1); return true;
        case kCmdCategoryDown: mw.move_category(+1); return true;
        case kCmdDeleteCategory: mw.delete_category(); return true;
        case kCmdDeleteCategoryWithEntries: mw.delete_category_with_entries(); return true;
        case kCmdShowTime: mw.toggle_show_time(); return true;
        default: return false;
    }
}

// An open settings window shows a change made here at once.
void show_in_settings_window(App& app) {
    if (app.settings_window) app.settings_window->show_settings_state();
}

void set_watching(App& app, bool on) {
    if (app.settings) app.settings->watch_clipboard = on;
    if (app.watcher) app.watcher->set_enabled(on);
    show_in_settings_window(app);
}

void on_watch_box(App& app, HWND box) { set_watching(app, SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED); }

void on_toggle_watch_command(App& app) {
    bool on = !(app.settings && app.settings->watch_clipboard);
    if (app.main_window && app.main_window->watch_box) {
        SendMessageW(app.main_window->watch_box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        InvalidateRect(app.main_window->watch_box, nullptr, TRUE);
    }
    set_watching(app, on);
}

}  // namespace

void on_main_command(App& app, HWND window, WPARAM wparam, LPARAM lparam) {
    const int id = LOWORD(wparam);
    const int code = HIWORD(wparam);
    HWND sender = reinterpret_cast<HWND>(lparam);
    MainWindow* mw = app.main_window.get();

    if (mw && sender) {
        if (sender == mw->search_button) {
            if (code == BN_CLICKED && mw->search) SetFocus(mw->search);
            return;
        }
        if (sender == mw->watch_box) {
            if (code == BN_CLICKED) on_watch_box(app, sender);
            return;
        }
        if (sender == mw->search) {
            if (code == EN_CHANGE) mw->refresh_view(false);
            return;
        }
        if (sender == mw->side) {
            if (code == LBN_SELCHANGE) mw->on_side_selection();
            return;
        }
        if (sender == mw->cards) {
            if (code == LBN_DBLCLK) mw->on_paste_selected();
            if (code == LBN_SELCHANGE) mw->on_selection_changed();
            return;
        }
    }

    switch (id) {
        case kIdClear:
            if (sender) app.clear_history();
            return;
        case kIdPanelToggle:
            if (sender && mw) mw->toggle_category_panel();
            return;
        case kIdFirstMenuButton:
        case kIdFirstMenuButton + 1:
        case kIdFirstMenuButton + 2:
        case kIdFirstMenuButton + 3:
        case kIdFirstMenuButton + 4:
        case kIdLastMenuButton:
            if (sender && code == BN_CLICKED && mw) mw->show_menu(id - kIdFirstMenuButton);
            return;
        case kCmdExportJson: export_backup(app, window); return;
        case kCmdImportJson: import_backup(app, window); return;
        case kCmdClose: app.close_main_window(window); return;
        case kCmdQuit: DestroyWindow(window); return;
        case kCmdTogglePanel:
        case kCmdCollapseCategories:
            if (mw) mw->toggle_category_panel();
            return;
        case kCmdDarkMode:
            app.toggle_dark_mode();
            show_in_settings_window(app);
            return;
        case kCmdWatchClipboard: on_toggle_watch_command(app); return;
        case kIdSettings:
        case kCmdOpenSettings: app.show_settings(); return;
        case kCmdAlwaysOnTop:
            if (mw) mw->toggle_always_on_top();
            show_in_settings_window(app);
            return;
        case kCmdHotkeyHelp:
        case kCmdHotkeyHelp2: show_hotkey_help(window); return;
        case kCmdAbout: show_about_window(window, &app); return;
        case kCmdCheckUpdates: app.check_updates_now(); return;
        case kCmdGuide: open_help(window); return;
        case kCmdLicense: open_license(window); return;
        case kIdScreenshot:
        case kCmdScreenshot: app.take_screenshot(0); return;
        default:
            // The side buttons 201-206 and 221 are clicks of child buttons;
            // the menu commands arrive without a sender.
            if (mw && (id >= 1000 || sender)) run_window_command(*mw, id);
            if (id == kCmdShowTime) show_in_settings_window(app);
            return;
    }
}
