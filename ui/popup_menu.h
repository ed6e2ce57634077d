// The program's own owner-drawn popup menus.
//
// A menu is a vector of PopupMenuItem handed to PopupMenu::track, which
// shows it at a screen point, runs a nested message loop on the interface
// thread until the user chooses an item or dismisses the menu, and returns
// the chosen command id, or 0. Submenus open beside their item on hover
// (after 250 ms), on a click or with the keyboard.
//
// While the loop runs it handles or drops every WM_KEYDOWN, WM_TIMER,
// WM_MOUSEMOVE and mouse button press and release taken from the thread's
// queue, whatever window it is for; everything else is dispatched. A
// WM_QUIT that arrives closes the menu and is posted again for the outer
// loop.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "ui/own_popups.h"

// One menu entry. A value type: copying copies the children, moving leaves
// the source without children.
struct PopupMenuItem {
    std::wstring label;  // empty for a separator
    uint64_t id = 0;     // returned when chosen; 0 for separators
    bool separator = false;
    bool checked = false;
    bool enabled = true;
    std::vector<PopupMenuItem> children;  // a submenu; such an item is never returned itself
};

// One open menu window: the root menu or an open submenu.
struct PopupMenuLevel {
    HWND window = nullptr;
    const std::vector<PopupMenuItem>* items = nullptr;  // borrowed
    bool dark = false;
    int32_t hot = -1;      // highlighted item, -1 for none
    UINT_PTR timer = 0;    // running hover timer, 0 for none
    int32_t pending = -1;  // item whose submenu the hover timer will open
    RECT rect{};           // the window's rectangle on the screen
};

// A menu entry described by a translation key, looked up by the caller.
struct MenuKeyItem {
    std::wstring key;
    uint32_t id = 0;
    bool separator = false;
};

// The context menu of the trash view: "action.restore" (2),
// "action.delete_forever" (10) and, with the flag, a separator and
// "action.empty_trash" (11).
std::vector<MenuKeyItem> trash_menu_items(bool with_empty_trash);

// A choice of a menu that offers one entry per element of a list, packed as
// index * 256 + command.
struct MenuChoice {
    uint32_t command = 0;  // the low 8 bits
    size_t index = 0;      // the list index, at most the list size
};
MenuChoice unpack_menu_choice(uint64_t value, size_t list_size);

// --- row geometry, the same for measuring, hit testing, painting and
// placing submenus ---------------------------------------------------------

inline constexpr int kMenuPadding = 6;
inline constexpr int kMenuItemHeight = 28;
inline constexpr int kMenuSeparatorHeight = 9;
inline constexpr int kMenuMinWidth = 120;

int menu_row_height(const PopupMenuItem& item);
// 12 pixels more than the sum of the rows.
int menu_height(const std::vector<PopupMenuItem>& items);
// max(120, widest label + 58).
int menu_width(int widest_label);
// Where the label of an item goes in a row of a menu `width` pixels wide
// (row top 0): right of the check mark column when checked, left of the
// submenu arrow when it has children.
RECT menu_label_rect(const PopupMenuItem& item, int width);
// The font of the menu's labels (a stock object, never deleted).
HFONT popup_menu_font();
// The top of the row of item index (client coordinates).
int menu_row_top(const std::vector<PopupMenuItem>& items, size_t index);
// The item whose row holds the client y, -1 for a separator or no row.
int menu_row_at(const std::vector<PopupMenuItem>& items, int y);
// The menu's top-left corner kept on the monitor rectangle: a menu running
// over the right or bottom edge moves to 4 pixels inside it (to the
// monitor's left or top when it is wider or taller than the monitor), and
// never starts left of or above the monitor.
POINT clamp_menu_origin(int x, int y, int width, int height, const RECT& monitor);
// The hot index after Up (step -1) or Down (step +1): from max(hot, 0), at
// most count + 1 steps with wrap-around, the first item that is neither a
// separator nor disabled; hot unchanged when there is none.
int menu_step_hot(const std::vector<PopupMenuItem>& items, int hot, int step);
// True when the item can open a submenu: enabled, with children.
bool opens_submenu(const PopupMenuItem& item);

// --- colours -----------------------------------------------------------------------

struct PopupMenuColors {
    COLORREF background;
    COLORREF separator;
    COLORREF hot_fill;
    COLORREF text;
    COLORREF disabled_text;
    COLORREF border;
};
const PopupMenuColors& popup_menu_colors(bool dark);

// --- the menu ----------------------------------------------------------------------------

class PopupMenu {
public:
    static void add_separator(std::vector<PopupMenuItem>& items);
    static void add_item(std::vector<PopupMenuItem>& items, uint64_t id, const std::wstring& label);
    static void add_check_item(std::vector<PopupMenuItem>& items, uint64_t id, const std::wstring& label,
                               bool checked);
    static void append(std::vector<PopupMenuItem>& items, PopupMenuItem item);

    // Shows the menu with its top-left corner at the screen point (its
    // bottom-left corner with placement 1) and returns the chosen command
    // id, or 0. The items must outlive the call.
    static uint64_t track(HWND owner, int x, int y, const std::vector<PopupMenuItem>& items, bool dark,
                          int placement);
    static uint64_t track_at(HWND owner, int x, int y, const std::vector<PopupMenuItem>& items, bool dark);

    // Paints a level into the DC (double-buffered).
    static void paint_level(HDC dc, const RECT& client, const PopupMenuLevel& view);

    ~PopupMenu();
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;

private:
    PopupMenu(HWND owner, bool dark) : owner_(owner), dark_(dark), listed_([this] { return take_down(); }) {}

    bool open_level(const std::vector<PopupMenuItem>* items, int x, int y, int placement, POINT monitor_point);
    int item_at(const PopupMenuLevel& level, POINT screen) const;
    int level_at(POINT screen) const;
    void open_submenu(size_t level, int item);
    void close_top_level();
    void close_levels_above(size_t level);
    bool levels_alive() const;
    void close_all();
    // Destroys the level windows (the loop then ends by itself); true when
    // one was on screen.
    bool take_down();
    void redraw(const PopupMenuLevel& level) const;

    // The handlers of the loop; each returns true when the menu ends.
    bool on_key_down(WPARAM key);
    void on_timer(HWND window, WPARAM id);
    void on_mouse_move();
    bool on_button_down();
    uint64_t run();

    HWND owner_;
    bool dark_;
    // A deque, so that the levels the windows point at never move.
    std::deque<PopupMenuLevel> levels_;
    uint64_t result_ = 0;
    bool quit_ = false;
    int quit_code_ = 0;
    // Listed while the menu runs, so that a screenshot takes it down.
    OwnPopup listed_;
};

// The window class of the level windows.
inline constexpr wchar_t kPopupMenuClass[] = L"QuilletPopupMenu";

// The window procedure of the level windows (class kPopupMenuClass).
LRESULT CALLBACK PopupMenuWndProc(HWND window, UINT msg, WPARAM wp, LPARAM lp);

// Registers the class once per process; an existing class counts as success.
bool register_popup_menu_class();
