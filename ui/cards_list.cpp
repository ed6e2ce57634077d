#include "ui/cards_list.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace {

// Messages sent once per row go straight to the list box's own procedure:
// the main window subclasses its lists, and under Wine each pass through a
// subclass asks the server for the window's property (tens of microseconds,
// seconds over ten thousand rows). No subclass acts on these messages.
class DirectCalls {
public:
    explicit DirectCalls(HWND list)
        : list_(list), proc_(reinterpret_cast<WNDPROC>(GetClassLongPtrW(list, GCLP_WNDPROC))) {}
    LRESULT operator()(UINT msg, WPARAM wp, LPARAM lp) const {
        return proc_ ? CallWindowProcW(proc_, list_, msg, wp, lp) : SendMessageW(list_, msg, wp, lp);
    }

private:
    HWND list_;
    WNDPROC proc_;
};

std::int64_t key_at(const DirectCalls& call, int row) { return static_cast<std::int64_t>(call(LB_GETITEMDATA, row, 0)); }
std::int64_t key_at(HWND list, int row) { return static_cast<std::int64_t>(SendMessageW(list, LB_GETITEMDATA, row, 0)); }

int count_of(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); }

template <class Row>
ListEdit plan_edit(const std::vector<Row>& shown, const std::vector<Row>& rows) {
    ListEdit edit;
    std::unordered_map<std::int64_t, int> old_index;
    old_index.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (!old_index.emplace(shown[i].key, static_cast<int>(i)).second) {
            edit.full = true;
            return edit;
        }
    // The new rows that are unchanged old rows, as (new index, old index).
    std::vector<std::pair<int, int>> same;
    std::unordered_set<std::int64_t> new_keys;
    new_keys.reserve(rows.size());
    for (std::size_t j = 0; j < rows.size(); ++j) {
        if (!new_keys.insert(rows[j].key).second) {
            edit.full = true;
            return edit;
        }
        auto it = old_index.find(rows[j].key);
        if (it != old_index.end() && shown[it->second] == rows[j]) same.emplace_back(static_cast<int>(j), it->second);
    }
    // The longest run of them whose old order is kept stays in place.
    std::vector<int> tails;       // index into `same` of the smallest tail of each length
    std::vector<int> parent(same.size(), -1);
    for (std::size_t k = 0; k < same.size(); ++k) {
        const int value = same[k].second;
        auto pos = std::lower_bound(tails.begin(), tails.end(), value,
                                    [&](int t, int v) { return same[static_cast<std::size_t>(t)].second < v; });
        if (pos != tails.begin()) parent[k] = *(pos - 1);
        if (pos == tails.end())
            tails.push_back(static_cast<int>(k));
        else
            *pos = static_cast<int>(k);
    }
    std::vector<char> keep_old(shown.size(), 0), keep_new(rows.size(), 0);
    for (int k = tails.empty() ? -1 : tails.back(); k >= 0; k = parent[static_cast<std::size_t>(k)]) {
        keep_new[static_cast<std::size_t>(same[static_cast<std::size_t>(k)].first)] = 1;
        keep_old[static_cast<std::size_t>(same[static_cast<std::size_t>(k)].second)] = 1;
    }
    for (int i = static_cast<int>(shown.size()) - 1; i >= 0; --i)
        if (!keep_old[static_cast<std::size_t>(i)]) edit.deletions.push_back(i);
    for (std::size_t j = 0; j < rows.size(); ++j)
        if (!keep_new[j]) edit.insertions.push_back(static_cast<int>(j));
    // Beyond this many single changes one refill is cheaper.
    constexpr std::size_t kMaxEdits = 64;
    if (edit.deletions.size() + edit.insertions.size() > kMaxEdits &&
        edit.deletions.size() + edit.insertions.size() > rows.size() / 2) {
        edit.full = true;
        edit.deletions.clear();
        edit.insertions.clear();
    }
    return edit;
}

std::uint64_t fingerprint(const std::wstring& text) {
    std::uint64_t h = 1469598103934665603ULL;
    for (wchar_t c : text) h = (h ^ static_cast<std::uint64_t>(c)) * 1099511628211ULL;
    return h | 1;
}

// The edit that brings the list box from shown to rows: a refill when the
// list box does not hold as many rows as shown says.
template <class Row>
ListEdit edit_for(HWND list, const std::vector<Row>& shown, const std::vector<Row>& rows) {
    if (static_cast<std::size_t>(count_of(list)) != shown.size()) {
        ListEdit edit;
        edit.full = true;
        return edit;
    }
    return plan_edit(shown, rows);
}

bool changes_rows(const ListEdit& edit) { return edit.full || !edit.deletions.empty() || !edit.insertions.empty(); }

// After the rows are in: the old selection again, the top row, and
// redrawing back on when it was turned off.
void finish_list_edit(HWND list, const ListPosition& old, int top, bool changes) {
    list_select_keys(list, old.selected);
    SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    if (changes) SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

}  // namespace

ListPosition read_list_position(HWND list) {
    ListPosition pos;
    if (!list) return pos;
    pos.selected = list_selected_keys(list);
    pos.top_index = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    if (pos.top_index >= 0 && pos.top_index < count_of(list)) pos.top_key = key_at(list, pos.top_index);
    return pos;
}

ListEdit plan_list_edit(const std::vector<ListRow>& shown, const std::vector<ListRow>& rows) {
    return plan_edit(shown, rows);
}

ListEdit plan_list_edit(const ShownRows& shown, const ShownRows& rows) { return plan_edit(shown, rows); }

void apply_rows_to_list(HWND list, std::vector<ListRow>& shown, const std::vector<ListRow>& rows,
                        const ListPosition& old, bool same_view, bool scroll_to_top) {
    if (!list) return;
    const ListEdit edit = edit_for(list, shown, rows);
    const bool changes = changes_rows(edit);
    if (changes) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    if (edit.full) {
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        std::size_t chars = 0;
        for (const ListRow& r : rows) chars += r.text.size() + 1;
        SendMessageW(list, LB_INITSTORAGE, rows.size(), chars * sizeof(wchar_t));
        for (const ListRow& r : rows) {
            LRESULT i = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(r.text.c_str()));
            if (i >= 0) SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(i), static_cast<LPARAM>(r.key));
        }
    } else {
        for (int i : edit.deletions) SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
        // Inserted lowest first, each row lands at its final index, and the
        // row WM_MEASUREITEM asks for by that index is the one inserted.
        for (int j : edit.insertions) {
            const ListRow& r = rows[static_cast<std::size_t>(j)];
            LRESULT i = SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(j), reinterpret_cast<LPARAM>(r.text.c_str()));
            if (i >= 0) SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(i), static_cast<LPARAM>(r.key));
        }
    }
    shown = rows;
    finish_list_edit(list, old, new_top_row(same_view, scroll_to_top, old.top_index, old.top_key, rows), changes);
}

ShownRows shown_rows_of(const ListModel& model) {
    ShownRows rows;
    rows.reserve(model.row_count());
    for (std::size_t i = 0; i < model.row_count(); ++i) {
        const int row = static_cast<int>(i);
        const std::int64_t key = model.row_key(row);
        rows.push_back(ShownRow{key, model.row_is_image(row), model.row_in_group(row),
                                is_entry_key(key) ? 0 : fingerprint(model.row_text(row))});
    }
    return rows;
}

void apply_model_to_list(HWND list, ShownRows& shown, const ListModel& model, const ListPosition& old,
                         bool same_view, bool scroll_to_top) {
    if (!list) return;
    const DirectCalls call(list);
    ShownRows rows = shown_rows_of(model);
    const ListEdit edit = edit_for(list, shown, rows);
    const bool changes = changes_rows(edit);
    if (changes) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    // Without LBS_HASSTRINGS the "string" of LB_ADDSTRING is the item data.
    if (edit.full) {
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        call(LB_INITSTORAGE, rows.size(), 0);
        for (const ShownRow& r : rows) call(LB_ADDSTRING, 0, static_cast<LPARAM>(r.key));
    } else {
        for (int i : edit.deletions) call(LB_DELETESTRING, static_cast<WPARAM>(i), 0);
        for (int j : edit.insertions)
            call(LB_INSERTSTRING, static_cast<WPARAM>(j), static_cast<LPARAM>(rows[static_cast<std::size_t>(j)].key));
    }
    shown = std::move(rows);
    finish_list_edit(list, old, new_top_row(same_view, scroll_to_top, old.top_index, old.top_key, shown), changes);
}

std::vector<std::int64_t> list_selected_keys(HWND list) {
    std::vector<std::int64_t> keys;
    const int n = list_selected_count(list);
    if (n <= 0) return keys;
    std::vector<int> rows(static_cast<std::size_t>(n));
    const int got = static_cast<int>(SendMessageW(list, LB_GETSELITEMS, n, reinterpret_cast<LPARAM>(rows.data())));
    if (got <= 0) return keys;
    rows.resize(static_cast<std::size_t>(got));
    std::sort(rows.begin(), rows.end());
    keys.reserve(rows.size());
    const DirectCalls call(list);
    for (int r : rows) keys.push_back(key_at(call, r));
    return keys;
}

int list_selected_count(HWND list) {
    if (!list) return 0;
    LRESULT n = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    return n > 0 ? static_cast<int>(n) : 0;
}

std::int64_t list_single_selected_key(HWND list) {
    std::vector<std::int64_t> keys = list_selected_keys(list);
    return keys.size() == 1 ? keys.front() : 0;
}

std::int64_t list_selected_entry_id(HWND list) {
    std::int64_t key = list_single_selected_key(list);
    return key >= 0 ? key : 0;
}

void list_select_keys(HWND list, const std::vector<std::int64_t>& keys) {
    if (!list) return;
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    if (keys.empty()) return;
    std::unordered_set<std::int64_t> wanted(keys.begin(), keys.end());
    int first = -1;
    const int n = count_of(list);
    const DirectCalls call(list);
    for (int i = 0; i < n; ++i) {
        if (!wanted.count(key_at(call, i))) continue;
        call(LB_SETSEL, TRUE, i);
        if (first < 0) first = i;
    }
    if (first >= 0) SendMessageW(list, LB_SETCARETINDEX, first, FALSE);
}

int list_row_of_key(HWND list, std::int64_t key) {
    if (!list) return -1;
    const int n = count_of(list);
    const DirectCalls call(list);
    for (int i = 0; i < n; ++i)
        if (key_at(call, i) == key) return i;
    return -1;
}

bool list_select_entry(HWND list, std::int64_t id) {
    if (id <= 0) return false;
    const int row = list_row_of_key(list, id);
    if (row < 0) return false;
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    SendMessageW(list, LB_SETSEL, TRUE, row);
    SendMessageW(list, LB_SETCARETINDEX, row, FALSE);
    SendMessageW(list, LB_SETTOPINDEX, std::max(row - 4, 0), 0);
    return true;
}

bool move_list_row(HWND list, std::vector<ListRow>& shown, ListModel& model, int from, int to) {
    const int n = count_of(list);
    if (!list || from == to || from < 0 || to < 0 || from >= n || to >= n) return false;
    if (static_cast<std::size_t>(n) != model.row_count() || shown.size() != model.row_count()) return false;
    const std::int64_t key = key_at(list, from);
    if (!model.move_row(from, to)) return false;
    const std::wstring text = model.row_text(to);
    // The model already holds the row at its new index, so WM_MEASUREITEM
    // of the insertion sees the right row.
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(from), 0);
    LRESULT i = SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(to), reinterpret_cast<LPARAM>(text.c_str()));
    if (i >= 0) SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(i), static_cast<LPARAM>(key));
    shown = model.rows();
    return true;
}

bool move_list_row(HWND list, ShownRows& shown, ListModel& model, int from, int to) {
    const int n = count_of(list);
    if (!list || from == to || from < 0 || to < 0 || from >= n || to >= n) return false;
    if (static_cast<std::size_t>(n) != model.row_count() || shown.size() != model.row_count()) return false;
    const std::int64_t key = key_at(list, from);
    if (!model.move_row(from, to)) return false;
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(from), 0);
    SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(to), static_cast<LPARAM>(key));
    ShownRow row = shown[static_cast<std::size_t>(from)];
    shown.erase(shown.begin() + from);
    shown.insert(shown.begin() + to, row);
    return true;
}
