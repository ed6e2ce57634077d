// The keys the main window answers wherever its keyboard focus is (the
// hotkey overview lists them): Esc hides the window to the tray, Ctrl+F
// focuses the search box. Enter in the cards list pastes
// (list_subclass_proc).
#pragma once

enum class MainKeyAction {
    None,
    Hide,         // Esc: hidden as after a paste; the program stays in the tray
    FocusSearch,  // Ctrl+F: the search box takes the focus, its text selected
};

// The action of a key press with the modifiers held.
MainKeyAction main_key_action(unsigned virtual_key, bool ctrl, bool shift, bool alt);
