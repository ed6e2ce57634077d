// Which keys the main window answers itself.
#include "ui/main_window_keys.h"

#include <windows.h>

MainKeyAction main_key_action(unsigned virtual_key, bool ctrl, bool shift, bool alt) {
    if (alt) return MainKeyAction::None;
    if (virtual_key == VK_ESCAPE && !ctrl) return MainKeyAction::Hide;
    if (virtual_key == 'F' && ctrl && !shift) return MainKeyAction::FocusSearch;
    return MainKeyAction::None;
}

int search_step_row(int count, int from, int step, const std::function<bool(int)>& selectable) {
    if (count <= 0) return -1;
    const auto can = [&](int row) { return !selectable || selectable(row); };
    if (from < 0 || from >= count) {
        for (int row = 0; row < count; ++row)
            if (can(row)) return row;
        return -1;
    }
    for (int row = from + (step < 0 ? -1 : 1); row >= 0 && row < count; row += step < 0 ? -1 : 1)
        if (can(row)) return row;
    return from;
}

int search_step_from(int selected_row, std::int64_t selected_key, const SearchStep& chosen, const std::wstring& text) {
    if (selected_row < 0 || selected_key == 0) return -1;
    if (selected_key != chosen.key || text != chosen.text) return -1;
    return selected_row;
}
