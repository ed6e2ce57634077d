// What the settings window's controls change: each change is applied to
// the program at once and the settings file is written after it.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <optional>

#include "app/app.h"
#include "app/autostart.h"
#include "app/commands_backup.h"
#include "capture/watcher.h"
#include "core/handles.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "store/database.h"
#include "theme/controls.h"
#include "theme/dark_mode.h"
#include "ui/dialogs/hotkey_chip.h"
#include "ui/dialogs/settings_values.h"
#include "ui/dialogs/settings_window.h"
#include "ui/main_window.h"
#include "ui/modal_loop.h"

namespace {

constexpr WORD kEditChanged = EN_CHANGE;      // 0x0300, also sent by the hotkey fields
constexpr WORD kEditLostFocus = EN_KILLFOCUS;  // 0x0200

// The common item dialog's class (shobjidl.h's CLSID_FileOpenDialog), given
// here so that no GUID library is needed for it.
constexpr CLSID kFileOpenDialogClass = {0xDC1C5A9C, 0xE88A, 0x4DDE, {0xA5, 0xA1, 0x60, 0xF8, 0x2A, 0x20, 0xAE, 0xF7}};

bool is_check_box(int id) {
    switch (id) {
        case kSetWatch: case kSetDarkMode: case kSetAlwaysOnTop: case kSetCloseOnPaste: case kSetTrayOnMinimize:
        case kSetStartInTray: case kSetShowTime: case kSetSortByFrequency: case kSetAutostart: case kSetSoundOnCopy:
        case kSetSoundOnPaste: case kSetHideOnCopy: case kSetRepeatOnCopy: case kSetShowHints: case kSetShowCategory:
        case kSetShotEditor: case kSetShotCopies: case kSetShotAutosave: case kSetClipImagesAutosave:
        case kSetPinnedFirst: case kSetCheckUpdates: case kSetClickToCopy:
            return true;
        default: return id >= kSetHidePinned && id <= kSetHideImages;
    }
}

bool is_push_button(int id) {
    return id == kSetExport || id == kSetImport || id == kSetClose || id == kSetShotBrowse || id == kSetBackupBrowse;
}

bool is_edit_or_hotkey(int id) {
    switch (id) {
        case kSetHotkeyOpen: case kSetHotkeyPlain: case kSetHotkeySnippets: case kSetHotkeyRegion:
        case kSetHotkeyWindow: case kSetHotkeyFull: case kSetTtlDays: case kSetTrashHours: case kSetFilterList:
        case kSetFontSize: case kSetShotFolder: case kSetBackupFolder:
            return true;
        default: return false;
    }
}

bool is_combo(int id) {
    return id == kSetFilterMode || id == kSetScrollLines || id == kSetSoundCopyId || id == kSetSoundPasteId ||
           id == kSetLanguage;
}

// The toggles whose label area is repainted with its background first.
bool repaint_before(int id) {
    return (id >= kSetWatch && id <= kSetAutostart) || id == kSetClipImagesAutosave || id == kSetCheckUpdates;
}

bool checked(HWND control) { return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// What the switch with the id shows for the settings; none for an id that
// is no switch.
std::optional<bool> switch_value(const Settings& s, int id) {
    switch (id) {
        case kSetWatch: return s.watch_clipboard;
        case kSetDarkMode: return s.dark_mode;
        case kSetAlwaysOnTop: return s.always_on_top;
        case kSetCloseOnPaste: return s.close_on_paste;
        case kSetTrayOnMinimize: return s.tray_on_minimize;
        case kSetStartInTray: return s.start_in_tray;
        case kSetShowTime: return s.show_time;
        case kSetSortByFrequency: return s.sort_by_frequency;
        case kSetAutostart: return is_autostart_enabled();
        case kSetSoundOnCopy: return s.sound_on_copy;
        case kSetSoundOnPaste: return s.sound_on_paste;
        case kSetHideOnCopy: return s.hide_on_copy;
        case kSetRepeatOnCopy: return s.repeat_on_copy;
        case kSetShowHints: return s.show_hints;
        case kSetShowCategory: return s.show_category;
        case kSetShotEditor: return s.screenshot_editor_enabled;
        case kSetShotCopies: return s.screenshot_copy_to_clipboard;
        case kSetShotAutosave: return s.screenshot_autosave;
        case kSetClipImagesAutosave: return s.clipboard_images_autosave;
        case kSetPinnedFirst: return s.pinned_first;
        case kSetCheckUpdates: return s.check_updates;
        case kSetClickToCopy: return s.click_to_copy;
        default:
            if (int bit = hidden_view_bit(id)) return (s.categories_hidden & bit) != 0;
            return std::nullopt;
    }
}

int combo_selection(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

void redraw_control(HWND w) {
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

// The folder chooser of shell32: for systems without the item dialog.
bool browse_for_folder(HWND owner, std::wstring& out, const wchar_t* title_key) {
    const std::wstring title = tr(title_key);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item) return false;
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(item, path) && path[0];
    CoTaskMemFree(item);
    if (ok) out = path;
    return ok;
}

}  // namespace

bool pick_folder(HWND owner, const std::wstring& initial, std::wstring& out, const wchar_t* title_key) {
    out.clear();
    // The dialog runs its own message loop: the clipboard poll waits for it.
    ModalLoopScope modal;
    raii::ComInit com(COINIT_APARTMENTTHREADED);
    raii::ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(kFileOpenDialogClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IFileOpenDialog),
                                dialog.put_void())) ||
        !dialog)
        return browse_for_folder(owner, out, title_key);
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    const std::wstring title = tr(title_key);
    dialog->SetTitle(title.c_str());
    if (!initial.empty()) {
        raii::ComPtr<IShellItem> start;
        if (SUCCEEDED(SHCreateItemFromParsingName(initial.c_str(), nullptr, __uuidof(IShellItem), start.put_void())) &&
            start)
            dialog->SetFolder(start.get());
    }
    if (FAILED(dialog->Show(owner))) return false;
    raii::ComPtr<IShellItem> result;
    if (FAILED(dialog->GetResult(result.put())) || !result) return false;
    PWSTR path = nullptr;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return false;
    out = path;
    CoTaskMemFree(path);
    return !out.empty();
}

void SettingsWindow::on_command(int id, int code, HWND control) {
    if (building || !app || !app->settings) return;
    if (id == kSetPageList) {
        if (code == LBN_SELCHANGE) {
            const LRESULT selection = SendMessageW(page_list, LB_GETCURSEL, 0, 0);
            if (selection != LB_ERR) show_page(static_cast<int>(selection));
        }
        return;
    }
    if (is_check_box(id)) {
        if (code == 0 && repaint_before(id) && control)
            RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
        on_toggle(id, control && checked(control));
        return;
    }
    if (is_push_button(id)) {
        on_click(id);
        return;
    }
    if (is_edit_or_hotkey(id)) {
        if (code == kEditChanged) on_edit_change(id, control);
        if (code == kEditLostFocus && id == kSetTtlDays && ttl_changed) apply_retention(true);
        if (code == kEditLostFocus && id == kSetTrashHours && trash_changed) apply_retention(false);
        return;
    }
    if (is_combo(id) && code == CBN_SELCHANGE) on_combo_change(id, control);
}

LRESULT SettingsWindow::on_notify(const NMHDR* header) {
    if (building || !header || !app || !app->settings) return 0;
    if (header->idFrom == static_cast<UINT_PTR>(kSetHotkeySnippets) && header->code == UDN_DELTAPOS &&
        header->hwndFrom == font_up_down) {
        const auto* change = reinterpret_cast<const NMUPDOWN*>(header);
        app->settings->font_size = font_size_from_step(change->iPos, change->iDelta);
        if (app->main_window) app->main_window->apply_font_size();
        save_settings();
    }
    return 0;
}

void SettingsWindow::on_toggle(int id, bool on) {
    Settings& s = *app->settings;
    MainWindow* mw = app->main_window.get();
    switch (id) {
        case kSetWatch:
            s.watch_clipboard = on;
            if (app->watcher) app->watcher->set_enabled(on);
            if (mw && mw->watch_box) {
                SendMessageW(mw->watch_box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
                InvalidateRect(mw->watch_box, nullptr, TRUE);
            }
            break;
        case kSetDarkMode:
            app->apply_dark_mode(on);
            apply_dark_mode_to_controls(on);
            break;
        case kSetAlwaysOnTop:
            // The main window follows the box, whatever state it was in.
            s.always_on_top = on;
            if (mw && mw->always_on_top != on) mw->toggle_always_on_top();
            break;
        case kSetCloseOnPaste:
            s.close_on_paste = on;
            if (mw) mw->close_on_paste = on;
            break;
        case kSetTrayOnMinimize:
            s.tray_on_minimize = on;
            if (mw) mw->tray_on_minimize = on;
            break;
        case kSetStartInTray: s.start_in_tray = on; break;
        case kSetShowTime:
            s.show_time = on;
            if (mw) {
                mw->show_time = on;
                mw->refresh_view(false);
            }
            break;
        case kSetSortByFrequency:
            s.sort_by_frequency = on;
            if (mw) mw->refresh_view(false);
            break;
        case kSetAutostart: {
            set_autostart(on);
            // The box shows what the registry holds now.
            const bool now = is_autostart_enabled();
            if (HWND box = GetDlgItem(window, kSetAutostart))
                SendMessageW(box, BM_SETCHECK, now ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        }
        case kSetSoundOnCopy: s.sound_on_copy = on; break;
        case kSetSoundOnPaste: s.sound_on_paste = on; break;
        case kSetHideOnCopy: s.hide_on_copy = on; break;
        case kSetRepeatOnCopy: s.repeat_on_copy = on; break;
        case kSetShowHints: s.show_hints = on; break;
        case kSetShowCategory:
            s.show_category = on;
            if (mw) mw->refresh_view(false);
            break;
        case kSetShotEditor: s.screenshot_editor_enabled = on; break;
        case kSetShotCopies: s.screenshot_copy_to_clipboard = on; break;
        case kSetShotAutosave: s.screenshot_autosave = on; break;
        case kSetClipImagesAutosave: s.clipboard_images_autosave = on; break;
        case kSetPinnedFirst:
            s.pinned_first = on;
            if (mw) mw->refresh_view(false);
            break;
        case kSetCheckUpdates: s.check_updates = on; break;
        case kSetClickToCopy: s.click_to_copy = on; break;
        default:
            if (int bit = hidden_view_bit(id)) {
                s.categories_hidden = with_hidden_bit(s.categories_hidden, bit, on);
                if (mw) mw->refresh_all();
            }
            break;
    }
    save_settings();
}

void SettingsWindow::on_click(int id) {
    switch (id) {
        case kSetExport: export_backup(*app, window); return;
        case kSetImport: import_backup(*app, window); return;
        case kSetClose: DestroyWindow(window); return;
        case kSetShotBrowse:
            browse_folder(kSetShotFolder, L"screenshot.folder_picker", &app->settings->screenshot_folder);
            return;
        case kSetBackupBrowse:
            browse_folder(kSetBackupFolder, L"settings.backup_picker", &app->settings->backup_folder);
            return;
        default: return;
    }
}

void SettingsWindow::browse_folder(int edit_id, const wchar_t* title_key, std::wstring* setting) {
    HWND edit = GetDlgItem(window, edit_id);
    std::wstring initial = window_text(edit);
    if (initial.size() > MAX_PATH) initial.resize(MAX_PATH);
    std::wstring chosen;
    if (!pick_folder(window, initial, chosen, title_key)) return;
    // Setting the edit's text sends EN_CHANGE, which stores the path too.
    *setting = chosen;
    if (window && edit) SetWindowTextW(edit, chosen.c_str());
    save_settings();
}

void SettingsWindow::on_edit_change(int id, HWND control) {
    Settings& s = *app->settings;
    // The sender's own handle: 1012, 1013 and 1024 also name an up-down.
    const std::wstring text = window_text(control);
    switch (id) {
        case kSetHotkeyOpen: app->set_main_hotkey(text); break;
        case kSetHotkeyPlain: app->set_plain_hotkey(text); break;
        case kSetHotkeySnippets: app->set_snippets_hotkey(text); break;
        case kSetHotkeyRegion: app->set_screenshot_hotkeys(0, text); break;
        case kSetHotkeyWindow: app->set_screenshot_hotkeys(1, text); break;
        case kSetHotkeyFull: app->set_screenshot_hotkeys(2, text); break;
        case kSetTtlDays:
            // Stored now; the purge waits until the edit loses the focus, so
            // that "3" on the way to "365" deletes nothing.
            if (std::optional<int> n = ttl_days_from_text(text); n && *n != s.ttl_days) {
                s.ttl_days = *n;
                ttl_changed = true;
            }
            break;
        case kSetTrashHours:
            if (std::optional<int> n = trash_hours_from_text(text); n && *n != s.trash_hours) {
                s.trash_hours = *n;
                trash_changed = true;
            }
            break;
        case kSetFilterList: s.app_filter_list = text; break;
        case kSetFontSize:
            if (std::optional<int> n = font_size_from_text(text)) {
                s.font_size = *n;
                if (app->main_window) app->main_window->apply_font_size();
            }
            break;
        case kSetShotFolder: s.screenshot_folder = text; break;
        case kSetBackupFolder: s.backup_folder = text; break;
        default: return;
    }
    save_settings();
}

void SettingsWindow::apply_retention(bool ttl) {
    (ttl ? ttl_changed : trash_changed) = false;
    if (!app || !app->settings || !app->database) return;
    const int deleted = ttl ? app->database->delete_entries_older_than(app->settings->ttl_days)
                            : app->database->purge_trash_older_than(app->settings->trash_hours);
    if (deleted > 0 && app->main_window) app->main_window->refresh_view(false);
}

void SettingsWindow::on_combo_change(int id, HWND control) {
    Settings& s = *app->settings;
    const int selection = combo_selection(control);
    switch (id) {
        case kSetFilterMode: s.app_filter_mode = app_filter_mode_from_index(selection); break;
        case kSetScrollLines: s.scroll_lines = choice_from_index(selection); break;
        case kSetSoundCopyId: s.sound_copy_id = choice_from_index(selection); break;
        case kSetSoundPasteId: s.sound_paste_id = choice_from_index(selection); break;
        case kSetLanguage: on_language_change(control); return;
        default: return;
    }
    save_settings();
}

void SettingsWindow::on_language_change(HWND combo) {
    const int selection = combo_selection(combo);
    if (selection < 0) return;
    const LRESULT index = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(selection), 0);
    if (index < 0 || static_cast<size_t>(index) >= language_codes.size()) return;
    const std::wstring code = language_codes[static_cast<size_t>(index)];
    if (code.empty()) return;
    set_language(code);
    app->settings->set_from_text(L"language", code);
    save_settings();
    if (app->main_window) app->main_window->apply_language();
    PostMessageW(window, WM_SETTINGS_REBUILD, 0, 0);
}

void SettingsWindow::show_settings_state() {
    if (!window || !app || !app->settings) return;
    const Settings& s = *app->settings;
    for (HWND box : check_boxes) {
        const std::optional<bool> on = switch_value(s, GetDlgCtrlID(box));
        if (!on || checked(box) == *on) continue;
        SendMessageW(box, BM_SETCHECK, *on ? BST_CHECKED : BST_UNCHECKED, 0);
        RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
    }
    // The switches keep their theme in their user data (non-zero for dark).
    const bool shown_dark = !check_boxes.empty() && GetWindowLongPtrW(check_boxes.front(), GWLP_USERDATA) != 0;
    if (shown_dark != s.dark_mode) apply_dark_mode_to_controls(s.dark_mode);
}

void SettingsWindow::apply_dark_mode_to_controls(bool on) {
    for (HWND w : check_boxes) {
        SetWindowLongPtrW(w, GWLP_USERDATA, on ? 1 : 0);
        redraw_control(w);
    }
    for (HWND w : edits) {
        SetWindowLongPtrW(w, GWLP_USERDATA, on ? 1 : 0);
        redraw_control(w);
    }
    for (HWND w : hotkey_fields) hotkey_field_set_dark(w, on);
    for (HWND w : buttons) {
        const LONG_PTR bits = GetWindowLongPtrW(w, GWLP_USERDATA);
        SetWindowLongPtrW(w, GWLP_USERDATA, (bits & ~kButtonDarkBit) | (on ? kButtonDarkBit : 0));
        redraw_control(w);
    }
    apply_dark_title_bar(window, on);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}
