#include "ui/dialogs/hotkey_recorder.h"

#include "app/hotkey_text.h"
#include "core/i18n.h"
#include "core/settings.h"

namespace {

void clear_pending(HotkeyField& field) {
    field.pending_modifiers = 0;
    field.pending_key = 0;
}

// A completed combination: checked, then taken or refused.
HotkeyKeyResult finish_combination(HotkeyField& field, unsigned vk, unsigned held) {
    const std::wstring candidate = hotkey_to_string(held | field.pending_modifiers, vk);
    field.recording = false;
    clear_pending(field);
    if (candidate.find(L"??") != std::wstring::npos) {
        field.message = tr(L"hotkey_field.unsupported");
        return HotkeyKeyResult::Repaint;
    }
    // The field's own hotkey pressed again, however its text is written.
    const HotkeyBinding current = parse_hotkey(field.hotkey);
    if (current.bound() && current == parse_hotkey(candidate)) {
        field.message.clear();
        return HotkeyKeyResult::Repaint;
    }
    field.message = field.validator ? field.validator(candidate) : std::wstring();
    if (!field.message.empty()) return HotkeyKeyResult::Repaint;
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
    if (is_modifier_key(vk)) {
        field.pending_modifiers = held;
        field.pending_key = 0;
        return HotkeyKeyResult::Repaint;
    }
    if ((vk == VK_BACK || vk == VK_DELETE) && field.pending_modifiers == 0) {
        field.hotkey.clear();
        field.message.clear();
        hotkey_stop_recording(field);
        return HotkeyKeyResult::Changed;
    }
    if (vk == VK_F12) {
        field.message = tr(L"hotkey_field.reserved_f12");
        return HotkeyKeyResult::Repaint;
    }
    if (vk == 0) {
        field.message = tr(L"hotkey_field.unsupported");
        return HotkeyKeyResult::Repaint;
    }
    return finish_combination(field, vk, held);
}

HotkeyKeyResult hotkey_key_up(HotkeyField& field, unsigned vk, unsigned held) {
    if (!field.recording || !is_modifier_key(vk)) return HotkeyKeyResult::Ignored;
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
