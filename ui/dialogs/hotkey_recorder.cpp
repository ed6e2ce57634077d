#include "ui/dialogs/hotkey_recorder.h"

#include "app/hotkey_text.h"
#include "app/hotkeys.h"
#include "core/i18n.h"
#include "core/settings.h"

namespace {

void clear_pending(HotkeyField& field) {
    field.pending_modifiers = 0;
    field.pending_key = 0;
}

// A refused combination: the message says why, and the field goes on
// recording, so that the next combination needs no new click.
HotkeyKeyResult refuse(HotkeyField& field, std::wstring message) {
    clear_pending(field);
    field.message = std::move(message);
    return HotkeyKeyResult::Repaint;
}

// A completed combination: checked, then taken (recording ends) or refused.
HotkeyKeyResult finish_combination(HotkeyField& field, unsigned vk, unsigned held) {
    const unsigned modifiers = held | field.pending_modifiers;
    const std::wstring candidate = hotkey_to_string(modifiers, vk);
    if (candidate.find(L"??") != std::wstring::npos) return refuse(field, tr(L"hotkey_field.unsupported"));
    // A key that types, held with nothing that stops it typing, would be
    // taken away from every program.
    if (is_typing_key(vk) && (modifiers & (MOD_CONTROL | MOD_ALT)) == 0)
        return refuse(field, tr(L"hotkey_field.unsupported"));
    // The field's own hotkey pressed again, however its text is written.
    const HotkeyBinding current = parse_hotkey(field.hotkey);
    if (current.bound() && current == parse_hotkey(candidate)) {
        hotkey_stop_recording(field);
        field.message.clear();
        return HotkeyKeyResult::Repaint;
    }
    std::wstring refused = field.validator ? field.validator(candidate) : std::wstring();
    if (!refused.empty()) return refuse(field, std::move(refused));
    hotkey_stop_recording(field);
    field.message.clear();
    field.hotkey = candidate;
    return HotkeyKeyResult::Changed;
}

}  // namespace

void hotkey_start_recording(HotkeyField& field) {
    field.recording = true;
    field.message.clear();
    clear_pending(field);
}

void hotkey_stop_recording(HotkeyField& field) {
    field.recording = false;
    clear_pending(field);
}

bool is_typing_key(unsigned vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return true;
    switch (vk) {
        case VK_SPACE: case VK_RETURN: case VK_TAB: case VK_BACK: case VK_DELETE:
        case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
        case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
        case VK_CLEAR:  // the keypad's 5 without Num Lock
            return true;
        default: break;
    }
    if (vk >= VK_NUMPAD0 && vk <= VK_DIVIDE) return true;    // keypad digits and operators
    if (vk >= VK_OEM_1 && vk <= VK_OEM_3) return true;       // ; = , - . / `
    if (vk >= VK_OEM_4 && vk <= VK_OEM_8) return true;       // [ \ ] ' and the eighth
    return vk == VK_OEM_102;                                 // the key beside the left Shift
}

HotkeyKeyResult hotkey_key_down(HotkeyField& field, unsigned vk, bool repeat, unsigned held) {
    if (!field.recording) {
        if (vk != VK_RETURN && vk != VK_SPACE) return HotkeyKeyResult::Ignored;
        hotkey_start_recording(field);
        return HotkeyKeyResult::Repaint;
    }
    if (repeat) return HotkeyKeyResult::Ignored;
    if (vk == VK_ESCAPE) {
        hotkey_stop_recording(field);
        return HotkeyKeyResult::Repaint;
    }
    // Tab and Shift+Tab move on between the controls and are never recorded.
    if (vk == VK_TAB && (held & (MOD_CONTROL | MOD_ALT)) == 0) {
        hotkey_stop_recording(field);
        return (held & MOD_SHIFT) ? HotkeyKeyResult::FocusPrevious : HotkeyKeyResult::FocusNext;
    }
    // Taken on its release, the only event Windows sends for it.
    if (vk == VK_SNAPSHOT) return HotkeyKeyResult::Ignored;
    if (is_modifier_key(vk)) {
        // A new combination begins: its keys show in place of a refusal.
        field.message.clear();
        field.pending_modifiers = held;
        field.pending_key = 0;
        return HotkeyKeyResult::Repaint;
    }
    // Alone they clear; with a modifier held (seen pressed or not) they are
    // part of a combination.
    if ((vk == VK_BACK || vk == VK_DELETE) && (field.pending_modifiers | held) == 0) {
        field.hotkey.clear();
        field.message.clear();
        hotkey_stop_recording(field);
        return HotkeyKeyResult::Changed;
    }
    if (vk == VK_F12) return refuse(field, tr(L"hotkey_field.reserved_f12"));
    if (vk == 0) return refuse(field, tr(L"hotkey_field.unsupported"));
    return finish_combination(field, vk, held);
}

HotkeyKeyResult hotkey_key_up(HotkeyField& field, unsigned vk, unsigned held) {
    if (!field.recording) return HotkeyKeyResult::Ignored;
    if (vk == VK_SNAPSHOT) return finish_combination(field, vk, held);
    if (!is_modifier_key(vk)) return HotkeyKeyResult::Ignored;
    field.pending_modifiers = held;
    return HotkeyKeyResult::Repaint;
}

const std::array<HotkeySlot, 6>& hotkey_slots() {
    static const std::array<HotkeySlot, 6> slots = {{
        {1010, &Settings::hotkey, L"startup.hotkey_open"},
        {1018, &Settings::plain_hotkey, L"startup.hotkey_plain"},
        {1024, &Settings::snippets_hotkey, L"templates.hotkey"},
        {1033, &Settings::screenshot_hotkey, L"screenshot.hotkey_area"},
        {1034, &Settings::screenshot_window_hotkey, L"screenshot.hotkey_window"},
        {1035, &Settings::screenshot_full_hotkey, L"screenshot.hotkey_full"},
    }};
    return slots;
}

HotkeyValidator make_hotkey_validator_with(const Settings* settings, int own_id, HotkeyProbe probe) {
    return [settings, own_id, probe = std::move(probe)](const std::wstring& candidate) -> std::wstring {
        const HotkeyBinding wanted = parse_hotkey(candidate);
        if (!wanted.bound()) return {};
        if (settings) {
            for (const HotkeySlot& slot : hotkey_slots()) {
                if (slot.id == own_id) continue;
                const std::wstring& stored = settings->*slot.setting;
                if (!stored.empty() && parse_hotkey(stored) == wanted)
                    return tr(L"hotkey_field.busy_own") + L" " + tr(slot.label_key);
            }
        }
        if (is_fixed_hotkey(wanted)) return tr(L"hotkey_field.busy_other");
        if (probe && !probe(wanted.modifiers, wanted.key)) return tr(L"hotkey_field.busy_other");
        return {};
    };
}

HotkeyValidator make_hotkey_validator(HWND window, const Settings* settings, int own_id) {
    return make_hotkey_validator_with(settings, own_id, [window](unsigned modifiers, unsigned key) {
        if (!RegisterHotKey(window, kHotkeyProbeId, modifiers, key)) return false;
        UnregisterHotKey(window, kHotkeyProbeId);
        return true;
    });
}
