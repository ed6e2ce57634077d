// The main window's geometry as plain arithmetic: where every control goes
// for a client size, the side-panel collapse, the button tooltip, the toast
// and wheel scrolling. Nothing here touches a window.
#pragma once

#include <windows.h>

#include <vector>

// The fonts of the main window's controls: the menu bar, the search box,
// the side panel, the watch switch and the empty-list hint 14 pixels, the
// total label 11, the button tooltips and the toast 12 (all weight 400).
// The cards follow the font-size setting.
inline constexpr int kMainMenuFontSize = 14;
inline constexpr int kMainSmallFontSize = 11;
inline constexpr int kMainTooltipFontSize = 12;
inline constexpr int kMainToastFontSize = 12;

// The language keys of the menu-bar buttons, in the order of their menus.
inline constexpr const wchar_t* kMainMenuKeys[] = {L"menu.file", L"menu.edit",     L"menu.categories",
                                                   L"menu.view", L"menu.settings", L"menu.help"};

// Width of a menu-bar button for its measured text width.
int menu_button_width(int text_width);

// Client width the menu bar needs: 10 + each button's width + 1, + 12.
int menu_bar_width(const std::vector<int>& text_widths);

struct MainLayoutInput {
    int client_w = 0;
    int client_h = 0;
    int top_bar_height = 30;
    bool collapsed = false;
    int categories_width = 130;
    std::vector<int> menu_text_widths;  // one per menu-bar button
    int total_text_width = -1;          // below 0: no DC to measure with
    int watch_text_width = -1;          // the watch switch's label; below 0: not measured
    int cards_min_width = 0;            // see cards_min_width()
};

// The narrowest cards list whose text cards keep 120 pixels of their text
// beside a time of the given measured width, with the list's scroll bar.
int cards_min_width(int time_width, int scroll_bar_width);

// Width of the watch switch for its label's measured width: the switch,
// its gap and the label, at least 210.
int watch_box_width(int text_width);

struct MainLayout {
    std::vector<RECT> menu_buttons;
    RECT search{};
    RECT search_button{};
    bool side_visible = false;
    RECT side{};
    RECT cards{};
    RECT empty_hint{};
    RECT watch_box{};
    RECT total_label{};
};

MainLayout compute_main_layout(const MainLayoutInput& in);

// The narrowest client width that keeps every control whole: the menu
// bar, the toolbar (6 pixels on either side), the bottom row (the watch
// switch, 8 pixels, the total label) and the side panel (unless collapsed)
// beside the narrowest cards list; client_w of the input is not read.
int main_min_client_width(const MainLayoutInput& in);

// One icon button or separator of the toolbar row, at y = top bar height.
struct ToolbarSlot {
    int id;         // control id; 0 for a separator
    wchar_t glyph;  // symbol-font glyph; 0 for a separator
    int x;
};
// In creation order: 201, 202, 220, 221, 203, |, 205, 206, |, 204, 207, |,
// 209, |, 208.
const std::vector<ToolbarSlot>& toolbar_slots();

// The side-panel collapse (button 209): the window's new left edge and
// width, and the remembered expanded width.
struct PanelToggleInput {
    RECT window{};            // the window rectangle before the change
    bool collapsing = false;  // true when the panel is being hidden
    int categories_width = 130;
    int expanded_width = 0;  // remembered width with the panel open
    int min_width = 0;       // outer width for the menu bar's client width
    RECT work{};             // work area of the nearest monitor
};
struct PanelToggleResult {
    int x = 0;
    int width = 0;
    int expanded_width = 0;
};
PanelToggleResult compute_panel_toggle(const PanelToggleInput& in);

// Width to remember as the expanded width: the window's width, plus the
// side-panel width (when not negative) while collapsed.
int expanded_width_for(int window_width, bool collapsed, int categories_width);

// The tooltip under a button (both in main-window client coordinates).
RECT tooltip_rect(const RECT& button, int text_width, int client_w);

// The toast over the bottom of the cards list (list rectangle in
// main-window client coordinates).
RECT toast_rect(const RECT& list, int text_width);

// Wheel scrolling by whole notches: the remainder kept for the list and the
// number of notches to scroll (both truncated toward zero).
struct WheelStep {
    int remainder = 0;
    int notches = 0;
};
WheelStep wheel_step(int remainder, int delta);

// New top index after n notches of `lines` rows each (limited to 1..4).
int wheel_top_index(int top, int notches, int lines, int count);

// The list font size: 10..18.
int clamp_font_size(int size);

// The view the main window opens with, from the stored settings.
struct RestoredView {
    bool templates_mode = false;
    int view_kind = 0;
    int category_id = -1;
};
RestoredView restore_view(bool last_templates, int last_filter, int last_cat_id);
