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
// While the hotkeys are suspended only the binding changes: resuming
// registers it with the others.
Rebound rebind(App& app, int id, HotkeyBinding& binding, std::wstring* setting, const std::wstring& text) {
    HWND window = app.main_window_handle();
    HotkeyBinding parsed = parse_hotkey(text);
    if (!text.empty() && !parsed.bound()) return Rebound::Unchanged;
    if (binding.bound() && window) UnregisterHotKey(window, id);
    binding = parsed;
    if (setting) *setting = text;
    if (text.empty()) return Rebound::Unbound;
    if (app.hotkeys_suspended) return Rebound::Registered;
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
    RegisterHotKey(window, quick_menu_hotkey_id, kQuickMenuModifiers, kQuickMenuKey);
    register_binding(window, kHotkeyPlainPaste, plain_binding);
    register_binding(window, kHotkeySnippets, snippets_binding);
    if (region_shot_binding.bound() && !register_binding(window, kHotkeyRegionShot, region_shot_binding)) {
        if (register_region_fallback(*this, window) && tray_icon)
            tray_icon->show_balloon(tr(L"tray.screenshots"), tr(L"tray.screenshot_hotkey_busy"));
    }
    register_binding(window, kHotkeyWindowShot, window_shot_binding);
    register_binding(window, kHotkeyFullShot, full_shot_binding);
    for (int n = 1; n <= 9; ++n)
        RegisterHotKey(window, first_slot_hotkey_id + n - 1, kQuickSlotModifiers, static_cast<UINT>('0' + n));
}

void App::unregister_hotkeys(HWND window) {
    for (int id = 0; id < 50; ++id) UnregisterHotKey(window, id);
}

void App::suspend_hotkeys() {
    if (hotkeys_suspended) return;
    hotkeys_suspended = true;
    if (HWND window = main_window_handle()) unregister_hotkeys(window);
}

void App::resume_hotkeys() {
    if (!hotkeys_suspended) return;
    hotkeys_suspended = false;
    if (HWND window = main_window_handle()) register_hotkeys(window);
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
    // The whole entry or nothing: Ctrl+V would paste what was on the
    // clipboard before, so nothing is sent and no use is counted. A slot
    // whose text did not read is refused and told, as a paste from the list.
    if (!write_entry_to_clipboard(entry, database.get(), watcher.get(), nullptr)) return;
    database->increment_use_count(entry.id);

    if (settings && settings->sound_on_paste) winutil::play_paste_sound(settings->sound_paste_id);

    HWND target = paste_target;
    if (target && (!IsWindow(target) || target == main_window_handle())) target = nullptr;
    std::thread(quick_slot_paste_thread, target).detach();
}

void App::start_plain_text_paste() { std::thread(plain_paste_thread).detach(); }
