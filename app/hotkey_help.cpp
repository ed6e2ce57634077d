#include "app/hotkey_help.h"

#include "app/app.h"
#include "app/hotkey_text.h"
#include "core/i18n.h"
#include "core/settings.h"

std::vector<InfoRow> hotkey_help_rows(const Settings* settings) {
    std::wstring history = L"Ctrl+Shift+V";
    if (settings) {
        const HotkeyBinding binding = parse_hotkey(settings->hotkey);
        history = hotkey_display_text(binding.modifiers, binding.key);
    }
    std::vector<InfoRow> rows = {
        {history, tr(L"hotkey.open_history")},
        {L"Ctrl+Shift+Alt+V", tr(L"hotkey.quick_menu")},
        {L"Enter", tr(L"hotkey.paste_selected")},
        {L"Ctrl+F", tr(L"hotkey.search")},
        {L"Ctrl+Shift+1..9", tr(L"hotkey.quick_slots")},
        {L"Esc", tr(L"hotkey.close")},
    };
    if (settings) {
        rows.push_back({settings->plain_hotkey, tr(L"hotkey.paste_plain")});
        rows.push_back({settings->snippets_hotkey, tr(L"hotkey.snippets")});
    }
    return rows;
}

void show_hotkey_help(HWND owner) {
    const Settings* settings = g_app ? g_app->settings.get() : nullptr;
    show_info_window(owner, g_app, tr(L"hotkeys.title"), hotkey_help_rows(settings), nullptr);
}
