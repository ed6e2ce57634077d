// The context menus of the main window's cards list and side panel as item
// lists, built from the state they depend on. app/commands_menus.cpp reads
// the state, shows the list and runs the choice; the lists themselves are
// plain values with their texts looked up in the current language.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/popup_menu.h"

struct SidePanelRow;

// Codes of the choices that carry a list index (index * 256 + code).
inline constexpr std::uint32_t kCodeSetGroup = 50;
inline constexpr std::uint32_t kCodeMoveGroup = 60;

// An item labelled with the text of a language key.
PopupMenuItem menu_item(const std::wstring& key, std::uint64_t id);
PopupMenuItem menu_separator();

// What the menu on a row of the cards list depends on.
struct CardsMenuState {
    bool trash_view = false;
    bool templates_mode = false;
    int view_kind = 0;           // the main window's view kind
    int selected = 0;            // rows selected
    bool has_text = false;       // the selected entry has text
    bool is_kept = false;        // the selected entry is kept forever
    bool rows_can_move = false;  // the rows of this view can be moved
};

// The menu on a history row (the trash and templates variants included).
std::vector<PopupMenuItem> history_menu_items(const CardsMenuState& state);

// The menu on an empty area of the cards list; empty when there is none.
std::vector<PopupMenuItem> cards_area_menu_items(bool templates_mode, bool trash_view, int view_kind,
                                                 std::int64_t category_id);

// The menu on a template row: its group and the store's groups fill the
// "move to group" submenu.
std::vector<PopupMenuItem> template_menu_items(const std::vector<std::wstring>& groups, const std::wstring& group,
                                               int selected);

// The menu of a template group (a header row of the cards list, or a group
// row of the side panel with side set).
std::vector<PopupMenuItem> group_menu_items(const std::vector<std::wstring>& groups, const std::wstring& group,
                                            bool side);

// The menu on a side panel row; empty when the row has none. The group
// list serves group rows, the name and entry count category rows.
std::vector<PopupMenuItem> side_menu_items(const SidePanelRow& row, const std::vector<std::wstring>& groups,
                                           const std::wstring& category_name, int category_entries);
