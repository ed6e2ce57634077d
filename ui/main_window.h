// The object behind the main window (class "QuilletMain"): its child
// controls, their fonts, theme and places, the owner-painted buttons with
// their tooltips, the side-panel collapse, the font size, the language
// switch and the toast.
//
// App owns it; MainWndProc calls init on WM_CREATE, forwards size, draw,
// colour and wheel messages, and calls destroy_popups on WM_DESTROY.
// Interface thread only.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/handles.h"
#include "ui/cards_list.h"
#include "ui/entry_hint.h"
#include "ui/own_popups.h"
#include "ui/list_model.h"
#include "ui/main_window_keys.h"
#include "ui/menu_bar.h"
#include "ui/paste_actions.h"
#include "ui/side_panel.h"
#include "ui/thumbnail_cache.h"

class App;
struct EntryCommandContext;
struct CommandResult;

// Text and background colour of a child control (WM_CTLCOLOR*), none when
// the control keeps the system's colours.
struct ControlColors {
    COLORREF text;
    COLORREF background;
};
bool main_control_colors(UINT message, int control_id, bool toolbar_button, bool dark, ControlColors& out);

// Glyph colour of a toolbar or search button by control id.
COLORREF toolbar_glyph_color(int control_id, bool dark);
// Glyph colour of a disabled toolbar button.
COLORREF toolbar_disabled_glyph_color(bool dark);

// The full text of a child control.
std::wstring get_dlg_item_text(HWND dialog, int id);

// Text measurement on a DC with its selected font (DT_CALCRECT, DT_NOPREFIX):
// the word-wrapped height at the width (at least minimum; the minimum for
// an empty text), the word-wrapped width within 340 pixels, and the
// single-line width (0 for an empty text).
int measure_text_height(HDC dc, const std::wstring& text, int width, int minimum);
int measure_wrapped_width(HDC dc, const std::wstring& text);
int measure_text_width(HDC dc, const std::wstring& text);

// True when GetWindowPlacement succeeds for the window.
bool window_is_placed(HWND window);

class MainWindow {
public:
    MainWindow() = default;
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    void init(HWND window, App* app);
    void create_controls();
    void relayout();
    // Client width the menu bar needs.
    int menu_bar_width();
    // The narrowest client width that keeps the menu bar, the toolbar, the
    // bottom row and the side panel beside a usable cards list whole.
    int min_client_width();
    // Widens a window left narrower than that (after a new language or
    // font size); a minimized or maximized window is left alone.
    void keep_min_width();
    void toggle_category_panel();
    void remember_width();
    void apply_dark_mode(bool dark);
    void toggle_always_on_top();
    void apply_font_size();
    void apply_language();
    void show_button_tooltip(HWND button);
    void hide_button_tooltip();
    // A rectangle in main-window client coordinates, invalidated (with
    // erase) in the cards list; an empty rectangle does nothing.
    void invalidate_child_rect(const RECT& rc);
    void listbox_add(const std::wstring& text, LPARAM item_data);
    void destroy_popups();
    void release_resources();
    // Hides the entry hint on purpose (a screenshot, a press outside): it
    // stays away while the selection it was hidden for stays.
    void hide_entry_hint();

    // The toast over the bottom of the cards list.
    void show_copied_toast();
    void position_toast();
    void hide_toast();

    // Wheel routing: the list under a screen point, and scrolling a list by
    // whole notches.
    HWND list_at_point(POINT screen) const;
    void wheel_scroll_list(HWND list, int delta);

    // WM_CTLCOLOR*: sets the DC's colours and returns the brush, or null
    // when the control keeps the system's colours.
    HBRUSH control_color(UINT message, HDC dc, HWND control);
    // WM_DRAWITEM of the owner-drawn buttons; false for anything else.
    bool draw_item(const DRAWITEMSTRUCT* dis);
    // WM_MEASUREITEM height of a row of the side list or the cards list.
    static int row_height(const MainWindow* self, int control_id, int index);

    // ---- the lists (main_window_view.cpp) ------------------------------------------
    void refresh_view(bool to_top);
    void refresh_list();
    // Reads the next piece of the texts the list shows that are not read
    // yet (the list's timer; ui/main_window_lists.cpp).
    void continue_list_texts();
    // The count of live entries on the total label; the window is laid out
    // again when the text changed (its width follows the text).
    // recount: the store may have changed since the count was read.
    void update_total_label(bool recount = true);
    void refresh_all();
    void build_side_panel();
    void set_view(int kind, std::int64_t category);
    void show_images();
    void show_templates();
    void show_template_group(const std::wstring& name);
    void open_templates();
    void open_templates_node();
    void toggle_templates_node();
    void expand_templates_node();
    void publish_current_category();
    void sync_side_selection();
    std::int64_t selected_category_id() const;
    void on_side_selection();
    void on_selection_changed();
    void set_link_title(std::int64_t id, const std::wstring& title);
    ListView current_view() const;
    bool search_empty() const;
    // WM_DRAWITEM of the two owner-drawn lists; false for anything else.
    bool draw_list_item(const DRAWITEMSTRUCT* dis);

    // ---- entry actions (main_window_actions.cpp) ----------------------------------
    PasteContext paste_context() const;
    EntryCommandContext command_context() const;
    void apply_result(const CommandResult& result);
    void on_paste_selected();
    void on_paste_multiple();
    void paste_selected_plain();
    void paste_selected_transformed(int transform);
    void copy_selected();
    void arm_click_copy(std::int64_t key);
    void cancel_click_copy();
    void on_click_copy_timer();
    void toggle_pin_selected();
    void toggle_keep_selected();
    void delete_selected();
    void restore_selected();
    void delete_forever_selected();
    void move_selected_up();
    void move_selected_down();
    void show_to_category_menu();
    void remove_selected_from_category();
    void add_selected_to_slots();
    void remove_selected_from_slots();
    void edit_selected();
    void new_entry_in_current_view();
    void new_entry_in_category(std::int64_t id);
    void select_all();
    void focus_search();
    // The keyboard focus to the cards list, its caret on the selected row;
    // with none selected the first row is selected (main_window_key_input.cpp).
    void focus_cards_list();
    // Down and Up in the search box move the list's selection, Enter pastes
    // it; true when the key was one of them.
    bool on_search_key(WPARAM virtual_key);
    // The cards' selection as it stands is the user's choice, made with the
    // search text the box holds now (search_step).
    void note_list_choice();
    // The window's own keys (main_window_keys.h) from any child or the
    // window itself; true when the key was one of them.
    bool on_key(WPARAM virtual_key);
    // Esc: hidden as after a paste, the program stays in the tray.
    void hide_to_tray();
    void toggle_show_time();
    void empty_trash();
    bool selected_has_text() const;
    bool selected_is_kept() const;
    bool rows_can_move() const;

    // ---- the menu bar (main_window_menus.cpp) ---------------------------------------
    // Opens menu index (0..5) below its button; a choice comes back to the
    // window as a posted WM_COMMAND.
    void show_menu(int index);
    MenuBarState menu_bar_state() const;

    // ---- categories (main_window_categories.cpp) ----------------------------------
    void new_category();
    void rename_category();
    void toggle_category_pinned();
    void move_category(int direction);
    void delete_category();
    void delete_category_with_entries();

    // ---- templates (main_window_templates.cpp) ------------------------------------
    void new_template();
    void new_template_in_group(const std::wstring& group);
    void new_template_in_current_group();
    void new_template_group();
    void rename_template_group(const std::wstring& old_name);
    void delete_template_group(const std::wstring& name);
    void move_group_templates(const std::wstring& group, const std::wstring& new_group);
    void set_template_group(std::int64_t key, const std::wstring& group);
    void open_selected_entry();

    // ---- the entry hint (entry_hint.cpp) ------------------------------------------
    // Whether the hint shows, and for which row (key): hints on, the main
    // window visible and active (or a menu or the view window opened from
    // the hint running), exactly one row selected, and the hint not hidden
    // on purpose for that selection. The one place that decides: every path
    // below goes through it, and so do show_entry_hint and
    // show_template_hint (a key the rule does not give takes the hint down).
    bool hint_should_show(std::int64_t& key);
    // Shows, moves or takes down the hint as the rule says; rebuild measures
    // a shown hint of the same row again (a moved one is only aligned).
    void update_entry_hint(bool rebuild);
    // The rule after a refresh or a move of rows. (on_selection_changed, the
    // user's change of the selection, first forgets a mark of a hint hidden
    // on purpose.)
    void refresh_hint();
    // A selection changed by the program itself (LB_SETSEL and the like send
    // no LBN_SELCHANGE): the hint is checked a moment later, once for a
    // burst of changes (check_hint_selection).
    void schedule_hint_check();
    void check_hint_selection();
    // The main window stopped being the active window (WM_ACTIVATE,
    // WM_ACTIVATEAPP): the hint goes unless its own view window or menu
    // runs; it is not hidden on purpose, so it comes back with the window.
    void on_main_deactivated();
    // The main window became active: the keyboard goes to the cards list
    // and the hint follows the rule (main_window_key_input.cpp).
    void on_main_activated();
    // Takes the hint down without marking it hidden on purpose.
    void take_down_hint();
    void show_entry_hint(std::int64_t id);
    void show_template_hint(std::int64_t key);
    // Sizes, places and shows the popup level with the row (-1: the list's
    // top) and installs the mouse hook.
    void place_entry_hint(int width, int height, int row);
    void align_entry_hint(std::int64_t id);
    void install_mouse_hook();
    void remove_mouse_hook();
    void scroll_entry_hint(int delta);
    bool hint_url_hit(POINT client) const;
    bool hint_view_button_hit(POINT client) const;
    void open_hinted_entry();
    // The address line's menu at a screen point: open (web addresses) or copy.
    void choose_hint_address(POINT screen);
    HFONT hint_font() const;

    bool dark_mode() const { return dark; }
    bool is_toolbar_button(HWND control) const;
    bool is_menu_button(HWND control) const;
    // Painting of the owner-painted buttons (subclass and WM_DRAWITEM).
    void paint_button(HWND button, HDC dc, bool pressed);
    // The add-entry button is enabled only where the current view takes a
    // new entry (as the edit menu's item); called whenever the list is shown
    // for a view.
    void sync_add_entry_button();

    // ---- fields ----------------------------------------------------------------
    HWND window = nullptr;
    App* app = nullptr;
    HWND cards = nullptr;
    HWND search = nullptr;
    HWND search_button = nullptr;
    HWND side = nullptr;
    HWND watch_box = nullptr;
    HWND total_label = nullptr;
    std::wstring total_text_shown;
    std::int64_t total_count = -1;  // the live entries as last counted
    HWND empty_hint = nullptr;
    HWND tooltip = nullptr;
    HWND hint_popup = nullptr;
    RECT tooltip_rect{};
    bool tooltip_visible = false;
    HWND toast = nullptr;
    bool toast_visible = false;
    std::wstring toast_text;
    RECT toast_rect{};
    raii::Font toast_font;
    raii::Font toast_icon_font;
    // The hint, the button tooltip and the toast in the program's list of
    // popups (what a screenshot takes down).
    std::unique_ptr<OwnPopup> listed_popups;
    std::map<HWND, std::wstring> tooltip_texts;
    std::array<HWND, 11> toolbar_buttons{};
    std::vector<HWND> menu_buttons;
    std::vector<const wchar_t*> menu_keys;
    int top_bar_height = 30;
    bool always_on_top = true;
    bool close_on_paste = true;
    bool tray_on_minimize = false;
    bool categories_collapsed = false;
    int categories_width = 130;
    bool show_time = true;
    bool dark = false;
    bool trash_view = false;
    bool templates_mode = false;
    int view_kind = 0;
    int category_id = -1;
    int expanded_width = 0;
    std::wstring group_filter;
    bool scroll_to_top = false;
    raii::Font menu_font;
    raii::Font small_font;
    raii::Font glyph_font;
    raii::Font tooltip_font;
    raii::Font list_font;
    int font_size = 14;

    // The lists' state: the model of the cards, the rows the cards list
    // shows, the side panel, the thumbnails of image cards, the pending
    // click-to-copy and whether a refresh is under way.
    ListModel model;
    ShownRows shown_rows;
    SidePanel panel;
    ThumbnailCache thumbnails;
    EntryHint hint;
    ClickCopy click_copy;
    bool refreshing = false;
    // The selection the user chose last, with the search text of then
    // (Down and Up in the search box go on from it).
    SearchStep search_step;

    // The owner-painted button under the pointer, if any.
    HWND hovered_button = nullptr;

private:
    void create_toolbar();
    void create_menu_buttons();
    void fill_tooltip_map();
    void register_hint_class();
    std::vector<int> menu_text_widths();
    int total_text_width();
    int watch_text_width();
    // The widest time a text card shows (today or yesterday) in the list font.
    int card_time_width();
    HBRUSH brush_for(COLORREF color);
    void apply_theme_to_controls();
    // Esc and Ctrl+F from every child control (main_window_key_input.cpp).
    void install_key_handling();

    std::map<COLORREF, raii::Brush> brushes_;
    int cards_wheel_remainder_ = 0;
    int side_wheel_remainder_ = 0;
    bool released_ = false;
};

// Subclass procedures of the main window's controls (reference data: the
// MainWindow).
LRESULT CALLBACK flat_button_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK icon_button_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK list_subclass_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK toast_subclass_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK main_keys_subclass_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

// Drawing of the toast over its client rectangle.
struct Toast {
    static void paint(const MainWindow& owner, HDC dc, const RECT& rc);
};
