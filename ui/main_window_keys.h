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
// a list of count rows: from the row `from` (-1 when there is none, see
// search_step_from) the next row in the key's direction that can be
// selected, staying on from at either end; without from, the first row that
// can be selected. -1 when no row can be.
int search_step_row(int count, int from, int step, const std::function<bool(int)>& selectable);

// The selection the user chose last (a click or a key in the list, a Down
// or Up in the search box, the first row given to an empty selection): the
// search text the box held then and the key of the row the selection stands
// on. Forgotten whenever the search text changes.
struct SearchStep {
    std::wstring text;
    std::int64_t key = 0;
};

// Where Down or Up in the search box starts: the row the list's selection
// stands on (selected_row, its key selected_key; -1 and 0 for none) when
// that selection is the one chosen while the box held the text it holds
// now; otherwise -1, so that the key starts at the top of the rows the new
// text lists.
int search_step_from(int selected_row, std::int64_t selected_key, const SearchStep& chosen, const std::wstring& text);
