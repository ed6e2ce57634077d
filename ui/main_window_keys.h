// The keys the main window answers wherever its keyboard focus is (the
// hotkey overview lists them): Esc hides the window to the tray, Ctrl+F
// focuses the search box. Enter in the cards list pastes
// (list_subclass_proc); in the search box Down and Up move the list's
// selection and Enter pastes it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum class MainKeyAction {
    None,
    Hide,         // Esc: hidden as after a paste; the program stays in the tray
    FocusSearch,  // Ctrl+F: the search box takes the focus, its text selected
};

// The action of a key press with the modifiers held.
MainKeyAction main_key_action(unsigned virtual_key, bool ctrl, bool shift, bool alt);

// The row that Down (step +1) or Up (step -1) in the search box selects in
// a list of count rows: from the row the previous such key chose (from; -1
// when there is none, or the search text changed since) the next row in
// the key's direction that can be selected, staying on from at either
// end; without from, the first row that can be selected. -1 when no row
// can be.
int search_step_row(int count, int from, int step, const std::function<bool(int)>& selectable);

// What the last Down or Up in the search box chose: the search text it was
// pressed with and the key of the row it selected.
struct SearchStep {
    std::wstring text;
    std::int64_t key = 0;
};
