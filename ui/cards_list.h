// The cards list box (list box 101) as the list model fills it: putting the
// rows in with redrawing off, keeping the selection and the top row across
// a refresh, and the selection queries of the commands.
//
// MainWindow::refresh_list, in this order:
//   cancel click-to-copy, update the total label;
//   ListPosition old = read_list_position(cards);  take and clear scroll_to_top;
//   refreshing = true;
//   bool same = load_list(model, db, settings, view, search text, &thumbnails);
//   apply_model_to_list(cards, shown_rows, model, old, same, scroll_to_top);
//   (shown_rows: the ShownRows the main window keeps beside the list)
//   refreshing = false; empty hint shown when the model has no rows;
//   re-evaluate the entry hint.
// The main window's list box has no LBS_HASSTRINGS: a row is its key (the
// item data) and is drawn from the model, so the list box holds no text.
// apply_rows_to_list fills a list box with LBS_HASSTRINGS with the rows'
// texts instead.
// WM_MEASUREITEM runs inside LB_ADDSTRING and LB_INSERTSTRING and asks
// card_row_height(&model, index): the rows given must be the model's, which
// already holds every row then.
//
// Interface thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/list_model.h"

// Timer of the cards list window that reads the next piece of the list's
// texts (MainWindow::continue_list_texts).
inline constexpr UINT_PTR kListTextsTimer = 19524;

// What a refresh keeps of the list: the selected keys, the top row and its key.
struct ListPosition {
    int top_index = 0;
    std::int64_t top_key = 0;   // 0 when there is no top row
    std::vector<std::int64_t> selected;
};
ListPosition read_list_position(HWND list);

// How to turn the rows a list box shows into new rows with few changes:
// the rows to delete (old indexes, highest first) and the rows to insert
// (new indexes, lowest first); every other row stays as it is, in order.
// full is set when refilling the whole list is simpler (many changes, or
// keys that are not unique).
struct ListEdit {
    bool full = false;
    std::vector<int> deletions;
    std::vector<int> insertions;
};
ListEdit plan_list_edit(const std::vector<ListRow>& shown, const std::vector<ListRow>& rows);

// Puts the rows into the list box: with redrawing off, only the rows that
// changed since the last call are deleted and inserted (plan_list_edit; the
// whole list is refilled when shown does not match the list box); then the
// old selection is selected again, the top row set (new_top_row), redrawing
// turned back on and the list invalidated. shown holds the rows the list
// box shows and is updated; the list box must be changed through these
// functions only.
void apply_rows_to_list(HWND list, std::vector<ListRow>& shown, const std::vector<ListRow>& rows,
                        const ListPosition& old, bool same_view, bool scroll_to_top);

// What a list box without texts shows of a row: its key, its bits and, for
// the rows whose height or drawing follows from their text (templates,
// group headers), a fingerprint of the text. An entry row's card is drawn
// from the model whatever its text, and its height follows from its bits.
struct ShownRow {
    std::int64_t key = 0;
    bool is_image = false;
    bool in_group = false;
    std::uint64_t text_print = 0;
    bool operator==(const ShownRow&) const = default;
};
using ShownRows = std::vector<ShownRow>;
ShownRows shown_rows_of(const ListModel& model);
ListEdit plan_list_edit(const ShownRows& shown, const ShownRows& rows);

// apply_rows_to_list for a list box without LBS_HASSTRINGS: the model's
// rows go in as their keys.
void apply_model_to_list(HWND list, ShownRows& shown, const ListModel& model, const ListPosition& old,
                         bool same_view, bool scroll_to_top);

// --- selection ----------------------------------------------------------------------

// The keys of the selected rows, in list order.
std::vector<std::int64_t> list_selected_keys(HWND list);
int list_selected_count(HWND list);
// The key when exactly one row is selected, else 0.
std::int64_t list_single_selected_key(HWND list);
// That key when it is not negative, else 0.
std::int64_t list_selected_entry_id(HWND list);
// Clears the selection and selects every row whose key is in the set, the
// caret on the first of them.
void list_select_keys(HWND list, const std::vector<std::int64_t>& keys);
// The first row with the key, or -1.
int list_row_of_key(HWND list, std::int64_t key);
// For an id above 0: clears the selection, selects its row with the caret
// and shows it with up to four rows above it. False when it is not listed.
bool list_select_entry(HWND list, std::int64_t id);

// Moves one row of the list box (text, key), of shown and of the model
// (bits and the record behind it) to another index; equal or out-of-range
// indexes do nothing.
bool move_list_row(HWND list, std::vector<ListRow>& shown, ListModel& model, int from, int to);
bool move_list_row(HWND list, ShownRows& shown, ListModel& model, int from, int to);
