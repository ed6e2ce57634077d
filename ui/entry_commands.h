// The main window's commands on history entries and templates other than
// pasting and copying: keep, pin, file into a category or take out of it,
// give or take quick slots, move up or down, edit, delete, restore and
// delete for good in the trash, add a new text entry; plus the small list
// operations (the row under the pointer before a context menu, the total
// label's text) and the address line's open-or-copy choice.
//
// The commands are plain functions over an EntryCommandContext that the
// main window fills for each call (the store, its window, the view, the
// selection and the listed records). They call the store and the modal
// boxes and return what the main window has to do afterwards: refresh the
// list, select a new entry, or move one row in place. Interface thread only.
//
// Every record a command needs across a modal box or menu is copied before
// the box opens: the box's loop dispatches messages, and a refresh of the
// list replaces the listed records meanwhile.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/records.h"
#include "ui/list_model.h"

class Database;
struct Settings;
struct PopupMenuItem;

// A template as the template editor returns it when saved.
struct TemplateEdit {
    std::wstring title;
    std::wstring body;
    std::wstring group;
};

// Opens the template editor for a template; the edited fields when it was
// saved, none when it was cancelled.
using TemplateEditor = std::function<std::optional<TemplateEdit>(HWND owner, const Snippet& snippet)>;

// What a command acts on.
struct EntryCommandContext {
    Database* db = nullptr;
    const Settings* settings = nullptr;  // sort_by_frequency, pinned_first
    HWND main_window = nullptr;    // owner of every box and menu
    bool dark = false;
    // The view (ViewKind of ui/list_model.h) and its category.
    std::int32_t view_kind = 0;
    std::int64_t category_id = -1;
    bool trash_view = false;
    bool templates_mode = false;
    bool search_empty = true;  // the search box holds no text
    // The selected rows: their keys and list indexes, in list order, and the
    // number of rows of the list.
    std::vector<std::int64_t> selected;
    std::vector<int> selected_rows;
    int row_count = 0;
    const std::vector<HistoryEntry>* entries = nullptr;  // the listed entries
    const std::vector<Snippet>* templates = nullptr;     // the listed templates
    TemplateEditor edit_template;                        // the template editor (edit of a template row)
};

// Reads the selection of a multiple-selection list box into the context:
// keys (item data), row indexes and the row count.
void read_list_selection(HWND list, EntryCommandContext& ctx);

// What the main window does after a command.
struct CommandResult {
    bool refresh = false;            // refresh_view(0)
    bool clear_search = false;       // empty the search box first (before the refresh)
    std::int64_t select_entry = 0;   // after the refresh: select this entry and scroll to it
    // A one-place move done in the store: move the list row move_from to
    // move_to without a rebuild, then select moved_ids (apply_row_move).
    bool rows_moved = false;
    int move_from = -1;
    int move_to = -1;
    std::vector<std::int64_t> moved_ids;
};

// The keys above 0; the template keys (below 0, above the group headers).
std::vector<std::int64_t> entry_keys(const std::vector<std::int64_t>& keys);
std::vector<std::int64_t> template_keys(const std::vector<std::int64_t>& keys);
// The positive key of the only selected row, else 0.
std::int64_t single_selected_entry(const EntryCommandContext& ctx);

CommandResult toggle_keep_selected(const EntryCommandContext& ctx);
CommandResult restore_selected(const EntryCommandContext& ctx);
CommandResult delete_forever_selected(const EntryCommandContext& ctx);
CommandResult delete_selected(const EntryCommandContext& ctx);
CommandResult show_to_category_menu(const EntryCommandContext& ctx);
CommandResult remove_selected_from_category(const EntryCommandContext& ctx);
CommandResult add_selected_to_slots(const EntryCommandContext& ctx);
CommandResult remove_selected_from_slots(const EntryCommandContext& ctx);
CommandResult toggle_pin_selected(const EntryCommandContext& ctx);
// direction -1 up, +1 down.
CommandResult move_selected(const EntryCommandContext& ctx, int direction);
CommandResult edit_selected(const EntryCommandContext& ctx);

// Flips the window's show-time flag and Settings show_time (not saved);
// the caller refreshes.
void toggle_show_time(bool& window_flag, Settings* settings);

// --- moves ----------------------------------------------------------------------------

// Where the one neighbouring row goes for a move of the selected rows
// (list indexes in list order) in a list of row_count rows: up, the row
// above them to the last selected index; down, the row below them to the
// first. None for no rows, rows that are not consecutive, the top row moved
// up, the bottom row moved down, or direction 0.
struct RowMove {
    int from = -1;
    int to = -1;
};
std::optional<RowMove> plan_row_move(const std::vector<int>& selected_rows, int row_count, int direction);

// Step after a successful move: with redrawing off, move_row(from, to)
// moves the row (list box, shown rows and model together), the moved ids
// are selected again with the caret on the first, the top row is kept, and
// the list is redrawn. The caller sets its refreshing flag around the call
// and re-evaluates the entry hint afterwards.
void apply_row_move(HWND list, const CommandResult& result, const std::function<bool(int, int)>& move_row);

// --- new entries -------------------------------------------------------------------------

// The preset of a view is new_entry_preset (ui/list_model.h); the add
// command of a category row uses new_entry_preset_for_category.
NewEntryPreset new_entry_preset_for_category(std::int64_t category_id);

// Asks for the text and stores it with the preset. The result selects the
// new entry.
CommandResult new_entry(const EntryCommandContext& ctx, const NewEntryPreset& preset);

// The single selected listed entry (a copy) with its whole text and, for an
// image, its bytes, for the view dialog; nothing, the user told, when they
// cannot be read.
std::optional<HistoryEntry> entry_to_open(const EntryCommandContext& ctx);

// --- small list operations -------------------------------------------------------------

// Before a list's context menu: the row under the screen point becomes the
// selection. In a multiple-selection list (the cards) an unselected row
// becomes the only selected row and a selected one keeps the whole
// selection, the caret moves there; otherwise LB_SETCURSEL. Nothing for no
// list or no row.
void select_row_at(HWND list, POINT screen, bool multiple_selection);

// tr_format("label.total", n) with n limited to 0..2147483647.
std::wstring total_label_text(std::int64_t live_entries);

// --- the address line of the entry hint ----------------------------------------------

// Its menu: "action.open" (1) only for a web address (http or https), then
// "action.copy" (2).
std::vector<PopupMenuItem> address_menu_items(const std::wstring& address);
// Carries out a choice of that menu: 1 opens a web address in the system's
// browser (nothing for any other address), 2 puts the address on the
// clipboard as an ordinary copy. True when something was done.
bool run_address_choice(std::uint64_t choice, const std::wstring& address);
