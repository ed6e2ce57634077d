// The quick menu (window class "QuilletQuickMenu"): a small topmost list of
// the first ten live text entries that opens at the mouse pointer on the
// quick-menu hotkey. Choosing an entry puts it on the clipboard with its
// stored formats, hides the menu, brings back the window that was in front
// when the menu was filled and injects Ctrl+V there 50 ms later.
//
// How App uses it (interface thread):
//   after the main window exists:  quick_menu.create(instance, main, {&db, &settings, &watcher});
//   hotkey 11:                     quick_menu.populate(); quick_menu.show_at_cursor();
//   font size changed:             quick_menu.set_font_size(settings.font_size);
//   shutdown:                      quick_menu.release() (the destructor does it too).
// The menu keeps pointers to the services; they must outlive it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/handles.h"
#include "store/records.h"
#include "ui/own_popups.h"

class ClipboardWatcher;
class Database;
struct Settings;

inline constexpr const wchar_t* kQuickMenuClass = L"QuilletQuickMenu";
inline constexpr int kQuickMenuListId = 1;
inline constexpr std::size_t kQuickMenuMaxEntries = 10;
inline constexpr int kQuickMenuMaxHeight = 480;
// The room a row's text leaves inside the list's width: the list box draws
// a row's text a pixel or two in from each side.
inline constexpr int kQuickMenuRowMargin = 4;

// --- sizes and row texts (pure) ------------------------------------------------------

// 10..18; 14 without settings.
int quick_menu_font_size(const Settings* settings);
// 400 below 15, else size * 24 + 64.
int quick_menu_width(int font_size);
// The font's tmHeight + 14, at least 28; 40 without a font.
int quick_menu_item_height(int font_height, bool has_font);
// min(edges + item_height * rows + 2, 480), but room for one row at least
// (edges + item_height + 2); edges is 2 * SM_CYEDGE.
int quick_menu_height(int edges, int item_height, int rows);

// "n. " + the text (its first kRowTextLimit characters, one fewer when the
// cut would split a surrogate pair) with every CR and LF a blank; a row
// wider than the available width is "n. " + the longest prefix of the text
// + "…" that is at most that wide (never splitting a surrogate pair).
// width_of measures a text with the menu's font.
std::wstring quick_menu_row_text(int number, const std::wstring& text, int available,
                                 const std::function<int(const std::wstring&)>& width_of);

// The paste target after the menu is filled: the foreground window, unless
// it is a window of this process (the open menu itself, the main window),
// when the previous target is kept.
HWND quick_menu_target(HWND foreground, HWND previous);

// --- the menu -----------------------------------------------------------------------

struct QuickMenuServices {
    Database* db = nullptr;
    const Settings* settings = nullptr;
    ClipboardWatcher* watcher = nullptr;
};

class QuickMenu {
public:
    QuickMenu() = default;
    ~QuickMenu();
    QuickMenu(const QuickMenu&) = delete;
    QuickMenu& operator=(const QuickMenu&) = delete;

    // Registers the class once, creates the hidden popup and its list box
    // (id 1) with the list font. False when the popup cannot be created.
    bool create(HINSTANCE instance, HWND main_window, const QuickMenuServices& services);
    // Remembers the paste target and fills the list from the store.
    void populate();
    // Shows the popup with its top-left corner at the pointer, topmost, the
    // keyboard focus in the list.
    void show_at_cursor();
    void hide();
    // Pastes the listed entry at the index; nothing out of range.
    void on_activate(int index);
    // A new list font for the size (10..18); nothing when unchanged.
    void set_font_size(int size);
    // Deletes the font and the listed entries, destroys the popup.
    void release();

    // Window procedure handlers.
    LRESULT on_size();
    void on_deactivate();
    LRESULT on_erase_background(HDC dc);
    // Esc hides, Enter activates the selected row; true when handled.
    bool on_key(WPARAM key);
    void on_command(WPARAM wp);
    LRESULT on_list_color(HDC dc);
    void activate_selected();

    bool dark() const;
    int width() const { return quick_menu_width(font_size); }
    int height() const;

    // ---- fields ----------------------------------------------------------------
    HWND window = nullptr;
    HWND list = nullptr;
    HWND main = nullptr;
    QuickMenuServices services;
    std::vector<HistoryEntry> entries;
    HWND target = nullptr;
    raii::Font font;
    int font_size = 14;
    int item_height = 40;

    // The listed rows, each fitted to the list's width with "…".
    void fill_rows();
    // The width a row's text may take in the list as it is sized now.
    int row_text_room() const;

    // In the program's list of popups while the menu exists.
    std::unique_ptr<OwnPopup> listed;

private:
    void measure_item_height();
    void resize_popup();
};

LRESULT CALLBACK quick_menu_proc(HWND, UINT, WPARAM, LPARAM);
