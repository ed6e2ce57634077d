// The cards list box (list box 101) as the list model fills it: putting the
// rows in with redrawing off, keeping the selection and the top row across
// a refresh, and the selection queries of the commands.
//
// MainWindow::refresh_list, in this order:
//   cancel click-to-copy, update the total label;
//   ListPosition old = read_list_position(cards);  take and clear scroll_to_top;
//   refreshing = true;
//   bool same = load_list(model, db, settings, view, search text, &thumbnails);
//              (a search change: model.set_search(search text) instead)
//   apply_rows_to_list(cards, shown_rows, model.rows(), old, same, scroll_to_top);
//   (shown_rows: a std::vector<ListRow> the main window keeps beside the list)
//   refreshing = false; empty hint shown when model.rows() is empty;
//   re-evaluate the entry hint.
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
