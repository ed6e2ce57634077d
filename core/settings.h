// The user's preferences and the remembered window state, kept in an INI
// file with one section "Settings" and one key per field (the key is the
// field's name).
//
// In the file: bools as "true" / "false" (read as true for "true" or "1"),
// numbers in decimal, texts unchanged. A missing key, or a number that does
// not parse, reads as the field's missing-key value (its default, except
// window_w 576 and window_h 783). A new file is created as UTF-16 so that
// texts outside the ANSI code page survive; an older file in the ANSI code
// page becomes UTF-16 when a value does not fit it exactly.
//
// Used on the interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What a load or save found of the settings file.
enum class SettingsFileState {
    ok,           // read, or missing (the defaults); written, or unchanged
    unreadable,   // there, but held by another program, unreadable or too big
    not_written,  // the new file could not be written
};

struct Settings {
    bool watch_clipboard = true;
    bool dark_mode = false;
    bool always_on_top = true;
    bool close_on_paste = true;
    bool hide_on_copy = false;
    bool click_to_copy = true;
    bool tray_on_minimize = false;
    bool start_in_tray = false;
    bool show_time = true;
    bool show_hints = true;
    bool show_category = true;
    bool sort_by_frequency = false;
    bool pinned_first = true;
    bool repeat_on_copy = false;
    bool sound_on_copy = false;
    bool sound_on_paste = false;
    int sound_copy_id = 2;         // 1..4 at load, else 2
    int sound_paste_id = 1;        // 1..4 at load, else 1
    int ttl_days = 0;              // 0 = keep for ever
    int trash_hours = 24;          // 0 = never purge
    int categories_width = 130;
    bool categories_collapsed = false;
    bool snippet_panel_collapsed = true;
    int categories_hidden = 0;     // bit mask of hidden side-panel views
    int font_size = 14;            // 10..18 at load
    int scroll_lines = 1;          // 1..4 at load
    int window_x = -1;             // negative = not yet placed
    int window_y = -1;
    int window_w = 620;            // missing key: 576
    int window_h = 440;            // missing key: 783
    int last_view_filter = 0;
    int last_view_cat_id = -1;     // -1 = none
    bool last_view_templates = false;
    std::wstring hotkey = L"ctrl+shift+v";
    std::wstring plain_hotkey = L"ctrl+shift+alt+u";
    std::wstring snippets_hotkey = L"ctrl+shift+alt+s";
    std::wstring screenshot_hotkey = L"prtscr";
    std::wstring screenshot_window_hotkey = L"alt+prtscr";
    std::wstring screenshot_full_hotkey = L"shift+prtscr";
    bool screenshot_editor_enabled = true;
    bool screenshot_copy_to_clipboard = true;
    bool screenshot_autosave = false;
    bool clipboard_images_autosave = false;
    std::wstring screenshot_folder;     // empty = the default image folder
    std::wstring backup_folder;
    int screenshot_color = 0;
    int screenshot_thickness = 3;       // 1..24 at load
    std::wstring app_filter_mode = L"all";  // "all", "whitelist", "blacklist"
    std::wstring app_filter_list;       // application names separated by ";"
    std::wstring language = L"en";      // a safe language code at load, else "en"
    std::wstring snippet_collapsed_groups;
    bool check_updates = true;
    int64_t last_update_check = 0;      // seconds since 1970 (UTC); 0 = never

    // Reads every key from the file, in one read of it (a missing file, or
    // one that cannot be read: every missing-key value), then applies the
    // limits above. ok, or unreadable for a file that is there but could
    // not be read whole.
    SettingsFileState load(const std::wstring& path);

    // Writes every key; creates the file as UTF-16 first when it is missing.
    // The file is read once and written once, whole (core/ini_text.h keeps
    // its other lines as they are; write_settings_file); a save that
    // changes nothing in it does not write. A file that is there but cannot
    // be read is left as it is (unreadable); not_written when the new file
    // could not be written (the old one is unchanged).
    SettingsFileState save(const std::wstring& path) const;

    // Sets the field named by key (exact, case-sensitive) from its file
    // form, without limits. A number that does not parse, or a key that
    // names no field, changes nothing.
    void set_from_text(const std::wstring& key, const std::wstring& text);

    // The field's value in its file form; fallback for an unknown key.
    std::wstring get_as_text(const std::wstring& key, const std::wstring& fallback) const;

    // app_filter_list split at ";", each piece trimmed, empty pieces dropped.
    std::vector<std::wstring> app_filter_items() const;

    // Every key, in declaration order.
    static std::vector<std::wstring> keys();
};

// The steps of write_settings_file, in their order.
enum class SettingsWriteStep { create_temporary, write, flush, replace };

// Writes the bytes as the file at path by way of a file beside it (path +
// ".new"), written whole and flushed to the disk before it takes the old
// file's place, so that neither a crash nor a power loss leaves a short
// settings file. after_step, when given, is called after each step that
// succeeded. False when a step failed: the file beside it is removed and
// the old file is as it was.
bool write_settings_file(const std::wstring& path, const std::string& bytes,
                         const std::function<void(SettingsWriteStep)>& after_step = {});

// Number parsing of the settings file: leading white space, an optional
// sign, then decimal digits up to the first other character. False when no
// digit is found or the value does not fit.
bool parse_settings_int(const std::wstring& text, int& out);
bool parse_settings_int64(const std::wstring& text, int64_t& out);
