#include "core/settings.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>
#include <variant>

#include "core/handles.h"
#include "core/ini_text.h"
#include "core/i18n.h"
#include "core/text.h"

namespace {

constexpr const wchar_t* kSection = L"Settings";
// Values are read through a buffer of this many characters, the last for
// the terminating zero: a longer value is cut.
constexpr size_t kValueBuffer = 4096;
// A settings file larger than this is not read.
constexpr long long kMaxFileBytes = 512LL * 1024 * 1024;

using Member = std::variant<bool Settings::*, int Settings::*, int64_t Settings::*,
                            std::wstring Settings::*>;

struct Field {
    const wchar_t* key;
    Member member;
    std::optional<int> missing_int;  // missing-key value when it differs from the default
};

// Declaration order.
const Field kFields[] = {
    {L"watch_clipboard", &Settings::watch_clipboard, {}},
    {L"dark_mode", &Settings::dark_mode, {}},
    {L"always_on_top", &Settings::always_on_top, {}},
    {L"close_on_paste", &Settings::close_on_paste, {}},
    {L"hide_on_copy", &Settings::hide_on_copy, {}},
    {L"click_to_copy", &Settings::click_to_copy, {}},
    {L"tray_on_minimize", &Settings::tray_on_minimize, {}},
    {L"start_in_tray", &Settings::start_in_tray, {}},
    {L"show_time", &Settings::show_time, {}},
    {L"show_hints", &Settings::show_hints, {}},
    {L"show_category", &Settings::show_category, {}},
    {L"sort_by_frequency", &Settings::sort_by_frequency, {}},
    {L"pinned_first", &Settings::pinned_first, {}},
    {L"repeat_on_copy", &Settings::repeat_on_copy, {}},
    {L"sound_on_copy", &Settings::sound_on_copy, {}},
    {L"sound_on_paste", &Settings::sound_on_paste, {}},
    {L"sound_copy_id", &Settings::sound_copy_id, {}},
    {L"sound_paste_id", &Settings::sound_paste_id, {}},
    {L"ttl_days", &Settings::ttl_days, {}},
    {L"trash_hours", &Settings::trash_hours, {}},
    {L"categories_width", &Settings::categories_width, {}},
    {L"categories_collapsed", &Settings::categories_collapsed, {}},
    {L"snippet_panel_collapsed", &Settings::snippet_panel_collapsed, {}},
    {L"categories_hidden", &Settings::categories_hidden, {}},
    {L"font_size", &Settings::font_size, {}},
    {L"scroll_lines", &Settings::scroll_lines, {}},
    {L"window_x", &Settings::window_x, {}},
    {L"window_y", &Settings::window_y, {}},
    {L"window_w", &Settings::window_w, 576},
    {L"window_h", &Settings::window_h, 783},
    {L"last_view_filter", &Settings::last_view_filter, {}},
    {L"last_view_cat_id", &Settings::last_view_cat_id, {}},
    {L"last_view_templates", &Settings::last_view_templates, {}},
    {L"hotkey", &Settings::hotkey, {}},
    {L"plain_hotkey", &Settings::plain_hotkey, {}},
    {L"snippets_hotkey", &Settings::snippets_hotkey, {}},
    {L"screenshot_hotkey", &Settings::screenshot_hotkey, {}},
    {L"screenshot_window_hotkey", &Settings::screenshot_window_hotkey, {}},
    {L"screenshot_full_hotkey", &Settings::screenshot_full_hotkey, {}},
    {L"screenshot_editor_enabled", &Settings::screenshot_editor_enabled, {}},
    {L"screenshot_copy_to_clipboard", &Settings::screenshot_copy_to_clipboard, {}},
    {L"screenshot_autosave", &Settings::screenshot_autosave, {}},
    {L"clipboard_images_autosave", &Settings::clipboard_images_autosave, {}},
    {L"screenshot_folder", &Settings::screenshot_folder, {}},
    {L"backup_folder", &Settings::backup_folder, {}},
    {L"screenshot_color", &Settings::screenshot_color, {}},
    {L"screenshot_thickness", &Settings::screenshot_thickness, {}},
    {L"app_filter_mode", &Settings::app_filter_mode, {}},
    {L"app_filter_list", &Settings::app_filter_list, {}},
    {L"language", &Settings::language, {}},
    {L"snippet_collapsed_groups", &Settings::snippet_collapsed_groups, {}},
    {L"check_updates", &Settings::check_updates, {}},
    {L"last_update_check", &Settings::last_update_check, {}},
};

const wchar_t* const kLoadOrder[] = {
    L"watch_clipboard", L"dark_mode", L"always_on_top", L"close_on_paste", L"hide_on_copy",
    L"click_to_copy", L"tray_on_minimize", L"start_in_tray", L"show_time", L"show_hints",
    L"show_category", L"sort_by_frequency", L"pinned_first", L"repeat_on_copy",
    L"sound_on_copy", L"sound_on_paste", L"sound_copy_id", L"sound_paste_id",
    L"categories_collapsed", L"snippet_panel_collapsed", L"categories_hidden", L"ttl_days",
    L"trash_hours", L"categories_width", L"font_size", L"scroll_lines", L"window_x",
    L"window_y", L"window_w", L"window_h", L"last_view_filter", L"last_view_cat_id",
    L"last_view_templates", L"hotkey", L"plain_hotkey", L"snippets_hotkey",
    L"screenshot_hotkey", L"screenshot_window_hotkey", L"screenshot_full_hotkey",
    L"screenshot_editor_enabled", L"screenshot_copy_to_clipboard", L"screenshot_autosave",
    L"clipboard_images_autosave", L"screenshot_folder", L"backup_folder",
    L"screenshot_color", L"screenshot_thickness", L"app_filter_mode", L"app_filter_list",
    L"language", L"snippet_collapsed_groups", L"check_updates", L"last_update_check",
};

const wchar_t* const kSaveOrder[] = {
    L"watch_clipboard", L"dark_mode", L"always_on_top", L"close_on_paste", L"hide_on_copy",
    L"click_to_copy", L"tray_on_minimize", L"start_in_tray", L"show_time", L"show_hints",
    L"show_category", L"sort_by_frequency", L"pinned_first", L"repeat_on_copy",
    L"sound_on_copy", L"sound_on_paste", L"sound_copy_id", L"sound_paste_id",
    L"categories_collapsed", L"snippet_panel_collapsed", L"categories_hidden", L"ttl_days",
    L"trash_hours", L"categories_width", L"font_size", L"scroll_lines", L"hotkey",
    L"plain_hotkey", L"snippets_hotkey", L"screenshot_hotkey", L"screenshot_window_hotkey",
    L"screenshot_full_hotkey", L"screenshot_editor_enabled", L"screenshot_copy_to_clipboard",
    L"screenshot_autosave", L"clipboard_images_autosave", L"screenshot_folder",
    L"backup_folder", L"screenshot_color", L"screenshot_thickness", L"app_filter_mode",
    L"app_filter_list", L"language", L"snippet_collapsed_groups", L"window_x", L"window_y",
    L"window_w", L"window_h", L"last_view_filter", L"last_view_cat_id",
    L"last_view_templates", L"check_updates", L"last_update_check",
};

static_assert(std::size(kLoadOrder) == std::size(kFields), "every field is loaded");
static_assert(std::size(kSaveOrder) == std::size(kFields), "every field is saved");

const Field* find_field(std::wstring_view key) {
    for (const Field& f : kFields)
        if (key == f.key) return &f;
    return nullptr;
}

bool is_c_space(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// Decimal digits with an optional sign, like strtol in base 10; the value
// must lie within [lo, hi].
bool parse_decimal(const std::wstring& text, int64_t lo, int64_t hi, int64_t& out) {
    size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    // Magnitude limit: |lo| for negative numbers, hi otherwise.
    uint64_t limit = negative ? uint64_t(0) - static_cast<uint64_t>(lo) : static_cast<uint64_t>(hi);
    uint64_t value = 0;
    bool any = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        uint64_t digit = static_cast<uint64_t>(text[i] - L'0');
        if (value > (limit - digit) / 10) return false;
        value = value * 10 + digit;
        any = true;
    }
    if (!any) return false;
    out = negative ? static_cast<int64_t>(uint64_t(0) - value) : static_cast<int64_t>(value);
    return true;
}

bool parse_bool(const std::wstring& text) { return text == L"true" || text == L"1"; }

enum class FileRead { read, missing, unreadable };

// The whole file: read, missing, or there but not readable (held by
// another program without read sharing, a read error, too big).
FileRead read_whole_file(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    raii::Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::missing
                                                                              : FileRead::unreadable;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > kMaxFileBytes)
        return FileRead::unreadable;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!ReadFile(file.get(), bytes.data() + done, want, &got, nullptr) || got == 0) {
            // Less than the whole file is no file to build on.
            bytes.clear();
            return FileRead::unreadable;
        }
        done += got;
    }
    return FileRead::read;
}

}  // namespace

bool write_settings_file(const std::wstring& path, const std::string& bytes,
                         const std::function<void(SettingsWriteStep)>& after_step) {
    auto done = [&](SettingsWriteStep step) {
        if (after_step) after_step(step);
    };
    const std::wstring temp = path + L".new";
    {
        raii::Handle file(CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        done(SettingsWriteStep::create_temporary);
        DWORD written = 0;
        bool ok = bytes.size() <= 0xFFFFFFFFu &&
                  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
        if (ok) done(SettingsWriteStep::write);
        // On the disk before it replaces the old file: after a power loss
        // the name holds the old settings or the new ones, never an empty
        // or short file.
        ok = ok && FlushFileBuffers(file.get());
        if (!ok) {
            file.reset();
            DeleteFileW(temp.c_str());
            return false;
        }
        done(SettingsWriteStep::flush);
    }
    if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        return false;
    }
    done(SettingsWriteStep::replace);
    return true;
}

bool parse_settings_int(const std::wstring& text, int& out) {
    int64_t v = 0;
    if (!parse_decimal(text, INT32_MIN, INT32_MAX, v)) return false;
    out = static_cast<int>(v);
    return true;
}

bool parse_settings_int64(const std::wstring& text, int64_t& out) {
    return parse_decimal(text, INT64_MIN, INT64_MAX, out);
}

SettingsFileState Settings::load(const std::wstring& path) {
    const Settings defaults;
    std::string bytes;
    std::map<std::wstring, std::wstring> stored;
    const FileRead state = read_whole_file(path, bytes);
    if (state == FileRead::read) stored = ini_section_values(decode_ini(bytes).text, kSection);
    std::string().swap(bytes);
    auto read_value = [&](const wchar_t* key, const std::wstring& fallback) {
        const auto it = stored.find(key);  // the keys are lower case already
        if (it == stored.end()) return fallback;
        std::wstring value = it->second;
        if (value.size() > kValueBuffer - 1) value.resize(kValueBuffer - 1);
        return value;
    };
    for (const wchar_t* key : kLoadOrder) {
        const Field& f = *find_field(key);
        if (auto m = std::get_if<bool Settings::*>(&f.member)) {
            this->**m = parse_bool(read_value(key, defaults.**m ? L"true" : L"false"));
        } else if (auto m = std::get_if<int Settings::*>(&f.member)) {
            int missing = f.missing_int ? *f.missing_int : defaults.**m;
            int v = missing;
            if (!parse_settings_int(read_value(key, std::to_wstring(missing)), v)) v = missing;
            this->**m = v;
        } else if (auto m = std::get_if<int64_t Settings::*>(&f.member)) {
            int64_t missing = defaults.**m;
            int64_t v = missing;
            if (!parse_settings_int64(read_value(key, std::to_wstring(missing)), v)) v = missing;
            this->**m = v;
        } else if (auto m = std::get_if<std::wstring Settings::*>(&f.member)) {
            this->**m = read_value(key, defaults.**m);
        }
    }
    if (sound_copy_id < 1 || sound_copy_id > 4) sound_copy_id = 2;
    if (sound_paste_id < 1 || sound_paste_id > 4) sound_paste_id = 1;
    font_size = std::clamp(font_size, 10, 18);
    scroll_lines = std::clamp(scroll_lines, 1, 4);
    screenshot_thickness = std::clamp(screenshot_thickness, 1, 24);
    // The code becomes part of a file path.
    if (!is_safe_language_code(language)) language = L"en";
    return state == FileRead::unreadable ? SettingsFileState::unreadable : SettingsFileState::ok;
}

SettingsFileState Settings::save(const std::wstring& path) const {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    for (const wchar_t* key : kSaveOrder) values.emplace_back(key, get_as_text(key, std::wstring()));
    // A missing or empty file is made in UTF-16; an existing one keeps its
    // encoding, every other line and section, and is not written at all
    // when nothing in it changes. One that is there but cannot be read is
    // never replaced: the new file would hold less than it.
    std::string old_bytes;
    const FileRead state = read_whole_file(path, old_bytes);
    if (state == FileRead::unreadable) return SettingsFileState::unreadable;
    const bool exists = state == FileRead::read;
    IniText ini;
    if (exists && !old_bytes.empty()) ini = decode_ini(old_bytes);
    ini.text = ini_with_values(ini.text, kSection, values);
    const std::string bytes = encode_ini(ini);
    if (exists && bytes == old_bytes) return SettingsFileState::ok;
    return write_settings_file(path, bytes) ? SettingsFileState::ok : SettingsFileState::not_written;
}

void Settings::set_from_text(const std::wstring& key, const std::wstring& text) {
    const Field* f = find_field(key);
    if (!f) return;
    if (auto m = std::get_if<bool Settings::*>(&f->member)) {
        this->**m = parse_bool(text);
    } else if (auto m = std::get_if<int Settings::*>(&f->member)) {
        int v = 0;
        if (parse_settings_int(text, v)) this->**m = v;
    } else if (auto m = std::get_if<int64_t Settings::*>(&f->member)) {
        int64_t v = 0;
        if (parse_settings_int64(text, v)) this->**m = v;
    } else if (auto m = std::get_if<std::wstring Settings::*>(&f->member)) {
        this->**m = text;
    }
}

std::wstring Settings::get_as_text(const std::wstring& key, const std::wstring& fallback) const {
    const Field* f = find_field(key);
    if (!f) return fallback;
    if (auto m = std::get_if<bool Settings::*>(&f->member)) return this->**m ? L"true" : L"false";
    if (auto m = std::get_if<int Settings::*>(&f->member)) return std::to_wstring(this->**m);
    if (auto m = std::get_if<int64_t Settings::*>(&f->member)) return std::to_wstring(this->**m);
    if (auto m = std::get_if<std::wstring Settings::*>(&f->member)) return this->**m;
    return fallback;
}

std::vector<std::wstring> Settings::app_filter_items() const {
    std::vector<std::wstring> items;
    size_t start = 0;
    for (;;) {
        size_t end = app_filter_list.find(L';', start);
        std::wstring piece = trim(app_filter_list.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (!piece.empty()) items.push_back(std::move(piece));
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    return items;
}

std::vector<std::wstring> Settings::keys() {
    std::vector<std::wstring> out;
    for (const Field& f : kFields) out.emplace_back(f.key);
    return out;
}
