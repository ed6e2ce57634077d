// The six drop-down menus of the main window's menu bar (file, edit,
// categories, view, settings, help), built as item vectors for PopupMenu.
//
// The button with control id 210 + i opens menu i (MainWindow::show_menu);
// a chosen item's id comes back to the main window as a WM_COMMAND, which
// app/main_commands.cpp carries out. Building a menu is a pure function of
// what the window shows and what the settings say, so the items, their
// check marks and their enabled states can be checked without a window.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/popup_menu.h"

inline constexpr int kMenuBarMenuCount = 6;

// Indexes of the menus (button id - 210).
inline constexpr int kMenuFile = 0;
inline constexpr int kMenuEdit = 1;
inline constexpr int kMenuCategories = 2;
inline constexpr int kMenuView = 3;
inline constexpr int kMenuSettings = 4;
inline constexpr int kMenuHelp = 5;

// What the menus show beside their fixed items.
struct MenuBarState {
    bool show_time = true;        // the cards show their times (view menu)
    bool watch_clipboard = true;  // Settings watch_clipboard (settings menu)
    bool always_on_top = true;    // Settings always_on_top (settings menu)
    // Live entries of the category selected in the side panel; 0 or less
    // when no category is selected or it holds none (categories menu).
    std::int64_t category_entries = 0;
    // A category is selected in the side panel: the items that act on it
    // (rename, pin, move, merge, delete) are enabled only then.
    bool category_selected = false;
    // The current view takes a new entry (edit menu's "add entry"): not in
    // the templates, trash and images views.
    bool can_add_entry = true;
};

// The items of menu index (0..5) with their translated labels; empty for
// any other index.
std::vector<PopupMenuItem> menu_bar_items(int index, const MenuBarState& state);
