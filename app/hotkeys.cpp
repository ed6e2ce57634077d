// Registration of the global hotkeys, changing a binding, the quick slots
// and the plain-text paste.
#include "app/hotkeys.h"

#include <thread>

#include "app/app.h"
#include "app/app_ids.h"
#include "app/tray_icon.h"
#include "capture/clipboard.h"
#include "capture/watcher.h"
#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/winutil.h"
#include "store/database.h"
#include "ui/main_window.h"
#include "ui/paste_actions.h"

namespace {

constexpr unsigned kModAlt = MOD_ALT, kModControl = MOD_CONTROL, kModShift = MOD_SHIFT;
const wchar_t kRegionFallback[] = L"ctrl+shift+alt+p";

bool register_binding(HWND window, int id, const HotkeyBinding& b) {
    return window && b.bound() && RegisterHotKey(window, id, b.modifiers, b.key) != FALSE;
}

// Tries Ctrl+Shift+Alt+P for the region screenshot; on success the binding
// and the setting take it.
bool register_region_fallback(App& app, HWND window) {
    HotkeyBinding fallback = parse_hotkey(kRegionFallback);
    if (!register_binding(window, kHotkeyRegionShot, fallback)) return false;
    app.region_shot_binding = fallback;
    if (app.settings) app.settings->screenshot_hotkey = kRegionFallback;
    return true;
}

enum class Rebound { Unchanged, Unbound, Registered, NotRegistered };

// Rebinds one configurable hotkey. An empty text unbinds it (and is
// stored); a text without a key changes nothing.
Rebound rebind(App& app, int id, HotkeyBinding& binding, std::wstring* setting, const std::wstring& text) {
    HWND window = app.main_window_handle();
    HotkeyBinding parsed = parse_hotkey(text);
    if (!text.empty() && !parsed.bound()) return Rebound::Unchanged;
    if (binding.bound() && window) UnregisterHotKey(window, id);
    binding = parsed;
    if (setting) *setting = text;
    if (text.empty()) return Rebound::Unbound;
    return register_binding(window, id, binding) ? Rebound::Registered : Rebound::NotRegistered;
}

bool succeeded(Rebound r) { return r == Rebound::Unbound || r == Rebound::Registered; }

void quick_slot_paste_thread(HWND target) {
    Sleep(60);
    if (target) winutil::bring_to_front(target);
    winutil::wait_modifiers_released(1200);
    Sleep(30);
    winutil::send_ctrl_v();
}

void plain_paste_thread() {
    winutil::wait_modifiers_released(1200);
    winutil::repaste_clipboard_text();
}

}  // namespace

void App::register_hotkeys(HWND window) {
    register_binding(window, history_hotkey_id, history_binding);
    RegisterHotKey(window, quick_menu_hotkey_id, kModControl | kModShift | kModAlt, 'V');
    register_binding(window, kHotkeyPlainPaste, plain_binding);
    register_binding(window, kHotkeySnippets, snippets_binding);
    if (region_shot_binding.bound() && !register_binding(window, kHotkeyRegionShot, region_shot_binding)) {
        if (register_region_fallback(*this, window) && tray_icon)
            tray_icon->show_balloon(tr(L"tray.screenshots"), tr(L"tray.screenshot_hotkey_busy"));
    }
    register_binding(window, kHotkeyWindowShot, window_shot_binding);
    register_binding(window, kHotkeyFullShot, full_shot_binding);
    for (int n = 1; n <= 9; ++n)
        RegisterHotKey(window, first_slot_hotkey_id + n - 1, kModControl | kModShift, static_cast<UINT>('0' + n));
}

void App::unregister_hotkeys(HWND window) {
    for (int id = 0; id < 50; ++id) UnregisterHotKey(window, id);
}

bool App::set_main_hotkey(const std::wstring& text) {
    return succeeded(rebind(*this, history_hotkey_id, history_binding, settings ? &settings->hotkey : nullptr, text));
}

bool App::set_plain_hotkey(const std::wstring& text) {
    return succeeded(
        rebind(*this, kHotkeyPlainPaste, plain_binding, settings ? &settings->plain_hotkey : nullptr, text));
}

bool App::set_snippets_hotkey(const std::wstring& text) {
    return succeeded(
        rebind(*this, kHotkeySnippets, snippets_binding, settings ? &settings->snippets_hotkey : nullptr, text));
}

bool App::set_screenshot_hotkeys(int mode, const std::wstring& text) {
    HWND window = main_window_handle();
    if (!window) return false;
    int id = mode == 0 ? kHotkeyRegionShot : mode == 1 ? kHotkeyWindowShot : kHotkeyFullShot;
    HotkeyBinding& binding = mode == 0 ? region_shot_binding : mode == 1 ? window_shot_binding : full_shot_binding;
    std::wstring* setting = nullptr;
    if (settings)
        setting = mode == 0   ? &settings->screenshot_hotkey
                  : mode == 1 ? &settings->screenshot_window_hotkey
                              : &settings->screenshot_full_hotkey;
    Rebound r = rebind(*this, id, binding, setting, text);
    // A region hotkey that is taken falls back to Ctrl+Shift+Alt+P.
    if (r == Rebound::NotRegistered && mode == 0) return register_region_fallback(*this, window);
    return succeeded(r);
}

void App::on_quick_slot(int n) {
    if (!database || n < 1) return;
    std::vector<HistoryEntry> slots = database->list_slot_entries();
    if (static_cast<int>(slots.size()) < n) return;
    const HistoryEntry& entry = slots[static_cast<size_t>(n - 1)];
    if (watcher) watcher->remember_own_text(entry.text);
    // The whole entry or nothing: Ctrl+V would paste what was on the
    // clipboard before, so nothing is sent and no use is counted.
    if (!put_entry_on_clipboard(entry, watcher.get())) return;
    database->increment_use_count(entry.id);

    if (settings && settings->sound_on_paste) winutil::play_paste_sound(settings->sound_paste_id);

    HWND target = paste_target;
    if (target && (!IsWindow(target) || target == main_window_handle())) target = nullptr;
    std::thread(quick_slot_paste_thread, target).detach();
}

void App::start_plain_text_paste() { std::thread(plain_paste_thread).detach(); }

std::vector<std::pair<std::wstring, std::wstring>> hotkey_help_rows(const Settings* settings) {
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    if (!settings) {
        rows.emplace_back(L"Ctrl+Shift+V", tr(L"hotkey.open_history"));
    } else if (HotkeyBinding b = parse_hotkey(settings->hotkey); b.bound()) {
        rows.emplace_back(hotkey_display_text(b.modifiers, b.key), tr(L"hotkey.open_history"));
    }
    rows.emplace_back(L"Ctrl+Shift+Alt+V", tr(L"hotkey.quick_menu"));
    rows.emplace_back(L"Enter", tr(L"hotkey.paste_selected"));
    rows.emplace_back(L"Ctrl+F", tr(L"hotkey.search"));
    rows.emplace_back(L"Ctrl+Shift+1..9", tr(L"hotkey.quick_slots"));
    rows.emplace_back(L"Esc", tr(L"hotkey.close"));
    if (settings) {
        if (parse_hotkey(settings->plain_hotkey).bound())
            rows.emplace_back(settings->plain_hotkey, tr(L"hotkey.paste_plain"));
        if (parse_hotkey(settings->snippets_hotkey).bound())
            rows.emplace_back(settings->snippets_hotkey, tr(L"hotkey.snippets"));
    }
    return rows;
}
