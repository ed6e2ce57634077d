// Building the seven pages of the settings window: every control at its
// place, filled from the settings, themed, and listed for its page.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "app/app.h"
#include "app/autostart.h"
#include "core/handles.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "theme/controls.h"
#include "ui/dialogs/hotkey_chip.h"
#include "ui/dialogs/hotkey_recorder.h"
#include "ui/dialogs/settings_layout.h"
#include "ui/dialogs/settings_pages.h"
#include "ui/dialogs/settings_values.h"
#include "ui/dialogs/settings_window.h"

// Creates the controls of one page after another on the settings window.
class SettingsPageBuilder {
public:
    SettingsPageBuilder(SettingsWindow& s, const Settings& settings)
        : s_(s), settings_(settings), dark_(settings.dark_mode), instance_(GetModuleHandleW(nullptr)) {}

    static constexpr int x = kSettingsColumnX;

    void on_page(int page) { page_ = page; }
    int lowest_bottom() const { return lowest_; }

    HWND heading(int y, const wchar_t* key) {
        HWND h = child(L"STATIC", tr(key), 0, x, y, kSettingsColumnWidth, kSettingsHeadingHeight, 0);
        font(h, s_.heading_font.get());
        return h;
    }

    HWND text(int left, int y, int w, int h, const std::wstring& t) {
        return child(L"STATIC", t, 0, left, y, w, h, 0);
    }

    HWND check(int y, int id, const wchar_t* key, bool checked) {
        HWND c = child(L"BUTTON", tr(key), WS_TABSTOP | BS_CHECKBOX, x, y, kSettingsCheckWidth, kSettingsCheckHeight,
                       id);
        SendMessageW(c, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        install_toggle_switch(c, dark_);
        s_.check_boxes.push_back(c);
        return c;
    }

    HWND edit(int left, int y, int w, int id, const std::wstring& t) {
        HWND e =
            CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", t.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                            left, y, w, 24, s_.window, menu(id), instance_, nullptr);
        add(e);
        theme_framed_control(e, dark_);
        s_.edits.push_back(e);
        return e;
    }

    HWND labelled_edit(int y, int id, const wchar_t* key, int w, const std::wstring& t) {
        text(x, y + 2, kSettingsLabelWidth, kSettingsLabelHeight, tr(key));
        return edit(x + kSettingsFieldOffset, y, w, id, t);
    }

    HWND hotkey_field(int y, int id, const wchar_t* key, const std::wstring& hotkey) {
        text(x, y + 2, kSettingsLabelWidth, kSettingsLabelHeight, tr(key));
        HWND f = child(kHotkeyFieldClass, L"", WS_TABSTOP, x + kSettingsFieldOffset, y, kSettingsHotkeyFieldWidth,
                       kSettingsHotkeyFieldHeight, id);
        SendMessageW(f, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(hotkey.c_str()));
        hotkey_field_set_dark(f, dark_);
        hotkey_field_set_validator(f, make_hotkey_validator(s_.window, &settings_, id));
        // While it records, the program's own hotkeys let its keys through.
        App* app = s_.app;
        hotkey_field_set_recording_hook(f, [app](bool recording) {
            if (app) recording ? app->suspend_hotkeys() : app->resume_hotkeys();
        });
        s_.hotkey_fields.push_back(f);
        return f;
    }

    HWND combo(int left, int y, int w, int drop, int id, const std::vector<std::wstring>& items, int selected) {
        HWND c = child(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, left, y, w, drop, id);
        for (const std::wstring& item : items) SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        SendMessageW(c, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
        theme_combo_box(c, dark_);
        s_.edits.push_back(c);
        return c;
    }

    HWND sound_choice(int y, int id, const wchar_t* key, int value) {
        text(x + kSettingsSoundLabelOffset, y + 3, kSettingsSoundLabelWidth, kSettingsLabelHeight, tr(key));
        return combo(x + kSettingsSoundComboOffset, y, kSettingsSoundComboWidth, 180, id,
                     {tr(L"sound.notification"), tr(L"sound.asterisk"), tr(L"sound.question"), tr(L"sound.error")},
                     sound_index(value));
    }

    HWND up_down(int id, HWND buddy, int low, int high, int position) {
        HWND u = CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                                 WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS |
                                     UDS_NOTHOUSANDS,
                                 0, 0, 0, 0, s_.window, menu(id), instance_, nullptr);
        // The up-down writes its clamped position into the edit; the edit
        // keeps showing the stored value, which may lie outside the range.
        const std::wstring shown = window_text(buddy);
        SendMessageW(u, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
        SendMessageW(u, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
        SendMessageW(u, UDM_SETPOS32, 0, static_cast<LPARAM>(position));
        SetWindowTextW(buddy, shown.c_str());
        add(u);
        theme_up_down_control(u, dark_);
        s_.edits.push_back(u);
        return u;
    }

    // The label, the edit and the browse button of a folder; the button
    // grows with its text and the edit gives way.
    HWND folder_row(int y, int edit_id, const wchar_t* label_key, const std::wstring& folder, int button_id,
                    const wchar_t* button_key) {
        const SettingsFolderRow row = settings_folder_row(y, regular_text_width(tr(button_key)));
        text(row.label.left, row.label.top, row.label.right - row.label.left, row.label.bottom - row.label.top,
             tr(label_key));
        HWND e = edit(row.edit.left, row.edit.top, row.edit.right - row.edit.left, edit_id, folder);
        button(row.button.left, row.button.top, row.button.right - row.button.left, row.button.bottom - row.button.top,
               button_id, button_key);
        return e;
    }

    HWND button(int left, int y, int w, int h, int id, const wchar_t* key) {
        HWND b = child(L"BUTTON", tr(key), WS_TABSTOP | BS_PUSHBUTTON, left, y, w, h, id);
        theme_button(b, dark_, false);
        s_.buttons.push_back(b);
        return b;
    }

private:
    int regular_text_width(const std::wstring& t) const {
        HDC dc = GetDC(s_.window);
        if (!dc) return 0;
        SIZE size{};
        {
            raii::SelectGuard use_font(dc, s_.regular_font.get());
            GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &size);
        }
        ReleaseDC(s_.window, dc);
        return size.cx;
    }

    static HMENU menu(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

    void font(HWND w, HFONT f) { SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE); }

    void add(HWND w) {
        if (!w) return;
        if (page_ >= 0) s_.page_controls[static_cast<size_t>(page_)].push_back(w);
        font(w, s_.regular_font.get());
        RECT rc{};
        GetWindowRect(w, &rc);
        MapWindowPoints(nullptr, s_.window, reinterpret_cast<POINT*>(&rc), 2);
        lowest_ = std::max(lowest_, static_cast<int>(rc.bottom));
    }

    HWND child(const wchar_t* cls, const std::wstring& t, DWORD style, int left, int y, int w, int h, int id) {
        HWND c = CreateWindowExW(0, cls, t.c_str(), WS_CHILD | WS_VISIBLE | style, left, y, w, h, s_.window, menu(id),
                                 instance_, nullptr);
        add(c);
        return c;
    }

    SettingsWindow& s_;
    const Settings& settings_;
    bool dark_;
    HINSTANCE instance_;
    int page_ = -1;
    int lowest_ = 0;
};

namespace {

using B = SettingsPageBuilder;
constexpr int x = B::x;

void build_window_page(B& b, const Settings& s, SettingsWindow& w) {
    b.heading(88, L"nav.window");
    b.check(112, kSetAlwaysOnTop, L"win.always_on_top", s.always_on_top);
    b.check(138, kSetCloseOnPaste, L"win.close_on_paste", s.close_on_paste);
    b.check(164, kSetHideOnCopy, L"win.hide_on_copy", s.hide_on_copy);
    b.check(190, kSetClickToCopy, L"win.click_to_copy", s.click_to_copy);
    b.check(216, kSetTrayOnMinimize, L"win.tray_on_minimize", s.tray_on_minimize);
    b.check(242, kSetStartInTray, L"win.start_in_tray", s.start_in_tray);
    b.heading(274, L"win.appearance");
    b.check(298, kSetDarkMode, L"view.dark_mode", s.dark_mode);
    HWND font_edit = b.labelled_edit(324, kSetFontSize, L"win.font_size", 70, std::to_wstring(s.font_size));
    w.font_up_down = b.up_down(kSetHotkeySnippets, font_edit, 10, 18, s.font_size);
    b.text(x, 384, kSettingsColumnWidth, kSettingsHintHeight, tr(L"win.font_hint"));
    b.heading(406, L"win.categories");
    b.text(x, 430, kSettingsColumnWidth, kSettingsHintHeight, tr(L"win.hide_categories_hint"));
    const wchar_t* const keys[] = {L"side.pinned", L"side.slots",     L"side.none",
                                   L"side.trash",  L"side.templates", L"side.images"};
    for (int i = 0; i < 6; ++i) {
        const int id = kSetHidePinned + i;
        b.check(452 + 26 * i, id, keys[i], (s.categories_hidden & hidden_view_bit(id)) != 0);
    }
}

void build_clipboard_page(B& b, const Settings& s, SettingsWindow& w) {
    b.heading(88, L"nav.clipboard");
    b.text(x, 114, kSettingsLabelWidth, kSettingsLabelHeight, tr(L"settings.language_label"));
    std::vector<std::wstring> names;
    int selected = 0;
    for (const std::wstring& code : available_languages()) {
        if (code == s.language) selected = static_cast<int>(w.language_codes.size());
        w.language_codes.push_back(code);
        names.push_back(language_display_name(code));
    }
    HWND languages =
        b.combo(x + kSettingsFieldOffset, 112, kSettingsLanguageComboWidth, 200, kSetLanguage, names, selected);
    for (size_t i = 0; i < w.language_codes.size(); ++i)
        SendMessageW(languages, CB_SETITEMDATA, i, static_cast<LPARAM>(i));
    b.check(142, kSetWatch, L"clipboard.watch", s.watch_clipboard);
    b.check(168, kSetSoundOnCopy, L"clipboard.sound_copy", s.sound_on_copy);
    b.check(194, kSetSoundOnPaste, L"clipboard.sound_paste", s.sound_on_paste);
    b.sound_choice(220, kSetSoundCopyId, L"clipboard.sound_copy_label", s.sound_copy_id);
    b.sound_choice(246, kSetSoundPasteId, L"clipboard.sound_paste_label", s.sound_paste_id);
    b.heading(278, L"clipboard.app_filter");
    b.combo(x + kSettingsFilterLabelWidth, 304, kSettingsFilterComboWidth, 240, kSetFilterMode,
            {tr(L"clipboard.filter_all"), tr(L"clipboard.filter_only"), tr(L"clipboard.filter_except")},
            app_filter_index_from_mode(s.app_filter_mode));
    b.text(x, 304, kSettingsFilterLabelWidth, kSettingsLabelHeight, tr(L"clipboard.filter_mode"));
    b.text(x, 336, kSettingsColumnWidth, kSettingsLabelHeight, tr(L"clipboard.exe_list"));
    b.edit(x, 358, 490, kSetFilterList, s.app_filter_list);
}

void build_storage_page(B& b, const Settings& s) {
    b.heading(88, L"nav.storage");
    b.check(112, kSetShowTime, L"view.show_time", s.show_time);
    b.check(138, kSetShowHints, L"storage.show_hints", s.show_hints);
    b.check(164, kSetShowCategory, L"storage.show_category", s.show_category);
    b.check(190, kSetSortByFrequency, L"storage.sort_freq", s.sort_by_frequency);
    b.check(216, kSetPinnedFirst, L"storage.pinned_first", s.pinned_first);
    b.check(242, kSetRepeatOnCopy, L"storage.repeat_copies", s.repeat_on_copy);
    b.text(x, 276, kSettingsScrollLabelWidth, kSettingsLabelHeight, tr(L"storage.scroll_lines"));
    b.combo(x + 264, 274, 70, 160, kSetScrollLines, {L"1", L"2", L"3", L"4"}, scroll_lines_index(s.scroll_lines));
    HWND ttl = b.labelled_edit(304, kSetTtlDays, L"storage.ttl", 70, std::to_wstring(s.ttl_days));
    HWND trash = b.labelled_edit(334, kSetTrashHours, L"storage.trash_hours", 70, std::to_wstring(s.trash_hours));
    b.text(x, 364, kSettingsColumnWidth, kSettingsHintHeight, tr(L"storage.trash_hint"));
    b.up_down(kSetTrashHours, ttl, 0, 3650, s.ttl_days);
    b.up_down(kSetFilterMode, trash, 0, 168, s.trash_hours);
}

void build_startup_page(B& b, const Settings& s) {
    b.heading(88, L"nav.startup");
    b.check(112, kSetAutostart, L"startup.autostart", is_autostart_enabled());
    b.heading(144, L"hotkeys.title");
    b.hotkey_field(168, kSetHotkeyOpen, L"startup.hotkey_open", s.hotkey);
    b.hotkey_field(198, kSetHotkeyPlain, L"startup.hotkey_plain", s.plain_hotkey);
}

void build_templates_page(B& b, const Settings& s) {
    b.heading(88, L"side.templates");
    b.hotkey_field(112, kSetHotkeySnippets, L"templates.hotkey", s.snippets_hotkey);
    b.text(x, 142, kSettingsColumnWidth, kSettingsTemplatesHintHeight,
           tr(L"templates.hint") + L"\r\n" + tr(L"templates.hint_vars"));
}

void build_advanced_page(B& b, const Settings& s) {
    b.heading(88, L"advanced.updates");
    b.check(112, kSetCheckUpdates, L"advanced.check_updates", s.check_updates);
    b.text(x, 142, kSettingsColumnWidth, kSettingsHintHeight, tr(L"advanced.check_updates_hint"));
    b.heading(164, L"advanced.backup");
    b.button(x, 188, kSettingsBackupButtonWidth, 26, kSetExport, L"advanced.export");
    b.button(x + kSettingsBackupButtonWidth + 10, 188, kSettingsBackupButtonWidth, 26, kSetImport, L"advanced.import");
    // The folder row as on the screenshots page, so that the browse button
    // stays inside the window.
    b.folder_row(222, kSetBackupFolder, L"settings.backup_folder", s.backup_folder, kSetBackupBrowse,
                 L"settings.backup_browse");
}

void build_screenshots_page(B& b, const Settings& s) {
    b.heading(88, L"nav.screenshots");
    b.check(112, kSetShotEditor, L"screenshot.show_editor", s.screenshot_editor_enabled);
    b.check(138, kSetShotCopies, L"screenshot.done_copies", s.screenshot_copy_to_clipboard);
    b.check(164, kSetShotAutosave, L"screenshot.autosave", s.screenshot_autosave);
    b.check(190, kSetClipImagesAutosave, L"screenshot.clip_autosave", s.clipboard_images_autosave);
    b.heading(222, L"hotkeys.title");
    b.hotkey_field(246, kSetHotkeyRegion, L"screenshot.hotkey_area", s.screenshot_hotkey);
    b.hotkey_field(276, kSetHotkeyWindow, L"screenshot.hotkey_window", s.screenshot_window_hotkey);
    b.hotkey_field(306, kSetHotkeyFull, L"screenshot.hotkey_full", s.screenshot_full_hotkey);
    b.folder_row(336, kSetShotFolder, L"screenshot.folder", s.screenshot_folder, kSetShotBrowse,
                 L"screenshot.browse");
    b.text(x, 368, kSettingsColumnWidth, kSettingsEditorHintHeight,
           tr(L"screenshot.editor_hint1") + L"\r\n" + tr(L"screenshot.editor_hint2") + L"\r\n" +
               tr(L"screenshot.editor_hint3"));
}

}  // namespace

void SettingsWindow::build_pages() {
    if (!window || !app || !app->settings) return;
    building = true;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    register_hotkey_field_class(instance);
    page_list = create_page_list(*this, instance);
    language_codes.clear();
    for (auto& controls : page_controls) controls.clear();

    const Settings& s = *app->settings;
    SettingsPageBuilder b(*this, s);
    b.on_page(2);
    build_window_page(b, s, *this);
    b.on_page(0);
    build_clipboard_page(b, s, *this);
    b.on_page(1);
    build_storage_page(b, s);
    b.on_page(3);
    build_startup_page(b, s);
    b.on_page(4);
    build_templates_page(b, s);
    b.on_page(5);
    build_advanced_page(b, s);
    b.on_page(6);
    build_screenshots_page(b, s);

    size_window(b.lowest_bottom());
    b.on_page(-1);
    RECT client{};
    GetClientRect(window, &client);
    b.button(client.right - 24 - kSettingsCloseButtonWidth, client.bottom - 52, kSettingsCloseButtonWidth, 32,
             kSetClose, L"action.close");

    const int shown = page >= 0 && page < kSettingsPageCount ? page : 0;
    SendMessageW(page_list, LB_SETCURSEL, static_cast<WPARAM>(shown), 0);
    show_page(shown);
    building = false;
}
