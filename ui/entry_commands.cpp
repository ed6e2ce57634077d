// Entry commands of the main window.
#include "ui/entry_commands.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <limits>

#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/web_url.h"
#include "store/database.h"
#include "theme/geometry.h"
#include "ui/cards_list.h"
#include "ui/list_model.h"
#include "ui/message_boxes.h"
#include "ui/popup_menu.h"
#include "ui/whole_text.h"

namespace {

// Capacities of the input boxes: the box keeps at least this much room
// beyond the text it starts with, so it never cuts what is there.
constexpr int kImageNameCapacity = 512;
constexpr int kNewEntryCapacity = 8192;

// Command ids of the category menu: category id + 100.
constexpr std::uint64_t kCategoryMenuBase = 100;

// Address menu choices.
constexpr std::uint64_t kAddressOpen = 1;
constexpr std::uint64_t kAddressCopy = 2;

const HistoryEntry* find_entry(const EntryCommandContext& ctx, std::int64_t key) {
    if (!is_entry_key(key) || !ctx.entries) return nullptr;
    for (const HistoryEntry& e : *ctx.entries)
        if (e.id == key) return &e;
    return nullptr;
}

const Snippet* find_template(const EntryCommandContext& ctx, std::int64_t key) {
    if (!is_template_key(key) || !ctx.templates) return nullptr;
    for (const Snippet& s : *ctx.templates)
        if (s.id == -key) return &s;
    return nullptr;
}

CommandResult refreshed() {
    CommandResult r;
    r.refresh = true;
    return r;
}

bool ask(const EntryCommandContext& ctx, const std::wstring& title, const std::wstring& text) {
    return confirm_box(ctx.main_window, title, text, tr(L"action.delete"), true);
}

// A text as the input box starts with: a buffer of at least min_capacity
// characters with room for the whole text and as much again to type.
std::vector<wchar_t> input_buffer(const std::wstring& text, int min_capacity) {
    const std::size_t limit = static_cast<std::size_t>(std::numeric_limits<int>::max() / 2);
    const std::size_t length = std::min(text.size(), limit);
    const std::size_t capacity = std::max<std::size_t>(static_cast<std::size_t>(min_capacity),
                                                       length + static_cast<std::size_t>(min_capacity));
    std::vector<wchar_t> buffer(capacity, L'\0');
    std::copy_n(text.data(), length, buffer.data());
    return buffer;
}

bool ask_text(const EntryCommandContext& ctx, const std::wstring& title, const std::wstring& prompt,
              std::vector<wchar_t>& buffer, bool multi_line) {
    return input_box(ctx.main_window, title, prompt, buffer.data(), static_cast<int>(buffer.size()), multi_line);
}

// The name an image entry shows in the rename box.
std::wstring image_name(const HistoryEntry& entry) {
    if (!entry.custom_title.empty()) return entry.custom_title;
    if (!entry.source_title.empty()) return entry.source_title;
    std::wstring stamp = entry.created_at;
    std::replace(stamp.begin(), stamp.end(), L'T', L' ');
    if (stamp.size() > 16) stamp.resize(16);
    return tr_format(L"card.screenshot", stamp);
}

CommandResult edit_template_row(const EntryCommandContext& ctx, std::int64_t key) {
    const Snippet* found = find_template(ctx, key);
    if (!found || !ctx.edit_template) return {};
    // A copy: the editor's loop dispatches messages, and a refresh of the
    // list replaces the listed records meanwhile.
    Snippet snippet = *found;
    // An edit the store refuses is told, and the editor opens again with
    // what the user wrote instead of dropping it.
    while (std::optional<TemplateEdit> edit = ctx.edit_template(ctx.main_window, snippet)) {
        if (ctx.db->update_snippet(snippet.id, edit->title, edit->body, edit->group)) break;
        show_message(ctx.main_window, tr(L"side.templates"), tr(L"message.need_title_text"));
        snippet.title = edit->title;
        snippet.text = edit->body;
        snippet.grp = edit->group;
    }
    return refreshed();
}

CommandResult rename_image(const EntryCommandContext& ctx, const HistoryEntry& entry) {
    const std::wstring name = image_name(entry);
    std::vector<wchar_t> buffer = input_buffer(name, kImageNameCapacity);
    if (!ask_text(ctx, tr(L"input.image_name"), tr(L"prompt.name"), buffer, false)) return {};
    const std::wstring result = trim(buffer.data());
    // Confirming the name as it was offered changes nothing; it must not
    // freeze the default name into a title of its own.
    if (result == trim(name)) return {};
    if (result.empty() && entry.custom_title.empty()) return {};
    if (!ctx.db->set_custom_title(entry.id, result)) return {};
    return refreshed();
}

CommandResult edit_text(const EntryCommandContext& ctx, const HistoryEntry& listed) {
    // The whole text: a listed entry may hold only its start, or no text
    // yet. An editor opened on less would store less on OK.
    std::optional<HistoryEntry> whole = whole_entry_or_tell(ctx.db, listed, false, ctx.main_window);
    if (!whole) return {};
    const HistoryEntry& entry = *whole;
    // The box takes the whole text and whatever is added to it.
    std::wstring edited = entry.text;
    if (!input_box(ctx.main_window, tr(L"input.edit_entry"), tr(L"prompt.text"), edited, true)) return {};
    const std::wstring result = trim(edited);
    if (result.empty() || result == entry.text) return {};
    if (!ctx.db->replace_entry_text(entry.id, result)) return {};
    return refreshed();
}

}  // namespace

// --- selection -------------------------------------------------------------------------

void read_list_selection(HWND list, EntryCommandContext& ctx) {
    ctx.selected.clear();
    ctx.selected_rows.clear();
    ctx.row_count = 0;
    if (!list) return;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    ctx.row_count = count > 0 ? static_cast<int>(count) : 0;
    const LRESULT n = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    if (n <= 0) return;
    std::vector<int> rows(static_cast<std::size_t>(n));
    const LRESULT got = SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(rows.data()));
    if (got <= 0) return;
    rows.resize(static_cast<std::size_t>(got));
    std::sort(rows.begin(), rows.end());
    for (int row : rows) {
        ctx.selected_rows.push_back(row);
        ctx.selected.push_back(static_cast<std::int64_t>(SendMessageW(list, LB_GETITEMDATA, row, 0)));
    }
}

std::vector<std::int64_t> entry_keys(const std::vector<std::int64_t>& keys) {
    std::vector<std::int64_t> out;
    for (std::int64_t k : keys)
        if (is_entry_key(k)) out.push_back(k);
    return out;
}

std::vector<std::int64_t> template_keys(const std::vector<std::int64_t>& keys) {
    std::vector<std::int64_t> out;
    for (std::int64_t k : keys)
        if (is_template_key(k)) out.push_back(k);
    return out;
}

std::int64_t single_selected_entry(const EntryCommandContext& ctx) {
    return ctx.selected.size() == 1 && is_entry_key(ctx.selected.front()) ? ctx.selected.front() : 0;
}

// --- keep, trash, restore ----------------------------------------------------------------

CommandResult toggle_keep_selected(const EntryCommandContext& ctx) {
    const std::int64_t id = single_selected_entry(ctx);
    if (!id || !ctx.db) return {};
    ctx.db->set_keep(id, !ctx.db->is_kept(id));
    return refreshed();
}

CommandResult restore_selected(const EntryCommandContext& ctx) {
    if (ctx.selected.empty() || !ctx.db) return {};
    if (ctx.selected.size() == 1) {
        const std::int64_t key = ctx.selected.front();
        if (is_template_key(key)) {
            const Snippet* s = find_template(ctx, key);
            if (!s) return {};
            ctx.db->restore_snippet(s->id);
        } else if (is_entry_key(key)) {
            ctx.db->restore_entry(key);
        } else {
            return {};
        }
        return refreshed();
    }
    const std::vector<std::int64_t> ids = entry_keys(ctx.selected);
    if (!ids.empty()) ctx.db->restore_entries(ids);
    for (std::int64_t key : template_keys(ctx.selected)) ctx.db->restore_snippet(-key);
    return refreshed();
}

CommandResult delete_forever_selected(const EntryCommandContext& ctx) {
    // Only the trash purges without the way through the trash.
    if (ctx.selected.empty() || !ctx.db || !ctx.trash_view) return {};
    if (ctx.selected.size() == 1) {
        const std::int64_t key = ctx.selected.front();
        if (is_template_key(key)) {
            const Snippet* s = find_template(ctx, key);
            if (!s) return {};
            ctx.db->purge_snippet(s->id);
        } else if (is_entry_key(key)) {
            ctx.db->purge_entry(key);
        } else {
            return {};
        }
        return refreshed();
    }
    const std::vector<std::int64_t> ids = entry_keys(ctx.selected);
    const std::vector<std::int64_t> tpl = template_keys(ctx.selected);
    if (ids.empty() && tpl.empty()) return {};
    if (!ask(ctx, tr(L"confirm.delete_title"), format_delete_confirmation(ids.size(), tpl.size()))) return {};
    if (!ids.empty()) ctx.db->purge_entries(ids);
    for (std::int64_t key : tpl) ctx.db->purge_snippet(-key);
    return refreshed();
}

CommandResult delete_selected(const EntryCommandContext& ctx) {
    if (ctx.selected.empty() || !ctx.db) return {};
    if (ctx.selected.size() > 1) {
        if (ctx.trash_view) return delete_forever_selected(ctx);
        const std::vector<std::int64_t> ids = entry_keys(ctx.selected);
        const std::vector<std::int64_t> tpl = template_keys(ctx.selected);
        if (ids.empty() && tpl.empty()) return {};
        if (!ask(ctx, tr(L"confirm.delete_title"), format_delete_confirmation(ids.size(), tpl.size()))) return {};
        if (!ids.empty()) ctx.db->trash_entries(ids);
        for (std::int64_t key : tpl) ctx.db->trash_snippet(-key);
        return refreshed();
    }
    const std::int64_t key = ctx.selected.front();
    if (is_template_key(key)) {
        const Snippet* found = find_template(ctx, key);
        if (!found) return {};
        const Snippet s = *found;
        const std::wstring text = ctx.trash_view ? tr_format(L"confirm.del_snippet_forever", s.title)
                                                 : tr_format(L"confirm.del_snippet", s.title);
        if (!ask(ctx, tr(L"side.templates"), text)) return {};
        if (ctx.trash_view)
            ctx.db->purge_snippet(s.id);
        else
            ctx.db->trash_snippet(s.id);
        return refreshed();
    }
    if (!find_entry(ctx, key)) return {};
    const std::wstring text = ctx.trash_view ? tr(L"confirm.delete_entry_forever") : tr(L"confirm.delete_entry");
    if (!ask(ctx, tr(L"confirm.delete_title"), text)) return {};
    if (ctx.trash_view)
        ctx.db->purge_entry(key);
    else
        ctx.db->trash_entry(key);
    return refreshed();
}

// --- categories, slots, pins ---------------------------------------------------------------

CommandResult show_to_category_menu(const EntryCommandContext& ctx) {
    const std::vector<std::int64_t> ids = entry_keys(ctx.selected);
    if (ids.empty() || !ctx.db) return {};
    const std::vector<Category> categories = ctx.db->list_categories();
    if (categories.empty()) {
        show_message(ctx.main_window, tr(L"menu.categories"), tr(L"message.no_categories"));
        return {};
    }
    std::vector<PopupMenuItem> items;
    for (const Category& c : categories)
        PopupMenu::add_item(items, static_cast<std::uint64_t>(c.id) + kCategoryMenuBase, c.name);
    POINT pt{};
    GetCursorPos(&pt);
    const std::uint64_t choice = PopupMenu::track(ctx.main_window, pt.x, pt.y, items, ctx.dark, 0);
    if (choice < kCategoryMenuBase) return {};
    ctx.db->set_entries_category(ids, static_cast<std::int64_t>(choice - kCategoryMenuBase));
    return refreshed();
}

CommandResult remove_selected_from_category(const EntryCommandContext& ctx) {
    const std::int64_t id = single_selected_entry(ctx);
    if (!id || !ctx.db) return {};
    if (!ctx.db->set_entry_category(id, std::nullopt)) return {};
    return refreshed();
}

CommandResult add_selected_to_slots(const EntryCommandContext& ctx) {
    const std::vector<std::int64_t> ids = entry_keys(ctx.selected);
    if (ids.empty() || !ctx.db) return {};
    ctx.db->add_to_slots(ids, 9);
    return refreshed();
}

CommandResult remove_selected_from_slots(const EntryCommandContext& ctx) {
    if (!ctx.db) return {};
    int removed = 0;
    for (std::int64_t id : entry_keys(ctx.selected))
        if (ctx.db->remove_from_slots(id)) ++removed;
    return removed > 0 ? refreshed() : CommandResult{};
}

CommandResult toggle_pin_selected(const EntryCommandContext& ctx) {
    const std::vector<std::int64_t> ids = entry_keys(ctx.selected);
    if (ids.empty() || !ctx.db) return {};
    bool pin = false;
    for (std::int64_t id : ids) {
        const HistoryEntry* e = find_entry(ctx, id);
        if (!e || !e->effective_pinned) pin = true;
    }
    ctx.db->set_pinned_many(ids, pin);
    return refreshed();
}

// --- moves ---------------------------------------------------------------------------------

std::optional<RowMove> plan_row_move(const std::vector<int>& selected_rows, int row_count, int direction) {
    if (selected_rows.empty() || direction == 0) return std::nullopt;
    for (std::size_t i = 1; i < selected_rows.size(); ++i)
        if (selected_rows[i] != selected_rows[i - 1] + 1) return std::nullopt;
    const int k = selected_rows.front();
    const int d = selected_rows.back();
    if (k < 0 || k > d || d >= row_count) return std::nullopt;
    if (direction < 0) {
        if (k == 0) return std::nullopt;
        return RowMove{k - 1, d};
    }
    if (d + 1 == row_count) return std::nullopt;
    return RowMove{d + 1, k};
}

CommandResult move_selected(const EntryCommandContext& ctx, int direction) {
    const std::vector<std::int64_t> ids = entry_keys(ctx.selected);
    if (ids.empty() || !ctx.db || direction == 0) return {};
    const MoveScope scope = move_scope_for_filter(ctx.view_kind, ctx.category_id);
    if (ctx.view_kind == kViewPinned || scope.kind == 5) return {};
    if (ctx.trash_view || ctx.templates_mode || !ctx.search_empty) return {};
    if (ctx.settings && ctx.settings->sort_by_frequency) return refreshed();

    const std::optional<RowMove> move = plan_row_move(ctx.selected_rows, ctx.row_count, direction);
    if (!move) {
        // Rows that are not consecutive are only refreshed; a block at the
        // end of the list stays as it is.
        bool consecutive = !ctx.selected_rows.empty();
        for (std::size_t i = 1; i < ctx.selected_rows.size(); ++i)
            if (ctx.selected_rows[i] != ctx.selected_rows[i - 1] + 1) consecutive = false;
        return consecutive ? CommandResult{} : refreshed();
    }
    const bool pinned_first = !ctx.settings || ctx.settings->pinned_first;
    const bool ok = ctx.view_kind == kViewSlots ? ctx.db->reorder_slots(ids, direction)
                                                : ctx.db->reorder_entries(ids, direction, pinned_first, scope);
    if (!ok) return {};
    CommandResult r;
    r.rows_moved = true;
    r.move_from = move->from;
    r.move_to = move->to;
    r.moved_ids = ids;
    return r;
}

void apply_row_move(HWND list, const CommandResult& result, const std::function<bool(int, int)>& move_row) {
    if (!list || !result.rows_moved) return;
    const LRESULT top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    if (move_row) move_row(result.move_from, result.move_to);
    list_select_keys(list, result.moved_ids);
    if (top >= 0) SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

// --- edit ------------------------------------------------------------------------------------

CommandResult edit_selected(const EntryCommandContext& ctx) {
    if (ctx.selected.size() != 1 || !ctx.db) return {};
    const std::int64_t key = ctx.selected.front();
    if (is_template_key(key)) return edit_template_row(ctx, key);
    const HistoryEntry* found = find_entry(ctx, key);
    if (!found) return {};
    const HistoryEntry entry = *found;
    return entry.is_image ? rename_image(ctx, entry) : edit_text(ctx, entry);
}

void toggle_show_time(bool& window_flag, Settings* settings) {
    window_flag = !window_flag;
    if (settings) settings->show_time = window_flag;
}

// --- new entries -------------------------------------------------------------------------------

NewEntryPreset new_entry_preset_for_category(std::int64_t category_id) {
    ListView view;
    view.view_kind = kViewCategory;
    view.category_id = category_id;
    return new_entry_preset(view);
}

CommandResult new_entry(const EntryCommandContext& ctx, const NewEntryPreset& preset) {
    if (!preset.allowed || !ctx.db) return {};
    std::vector<wchar_t> buffer(kNewEntryCapacity, L'\0');
    if (!ask_text(ctx, tr(L"input.new_entry"), tr(L"prompt.entry_text"), buffer, true)) return {};
    const std::wstring typed = buffer.data();
    if (trim(typed).empty()) return {};
    const std::int64_t id = ctx.db->add_text_entry(typed, preset.category_id, preset.pinned, preset.quick_slot);
    if (id <= 0) return {};
    CommandResult r = refreshed();
    r.clear_search = !ctx.search_empty;
    r.select_entry = id;
    return r;
}

std::optional<HistoryEntry> entry_to_open(const EntryCommandContext& ctx) {
    const HistoryEntry* e = find_entry(ctx, single_selected_entry(ctx));
    if (!e) return std::nullopt;
    // An image is shown from its bytes: read with the text, or refused alike.
    return whole_entry_or_tell(ctx.db, *e, e->is_image, ctx.main_window);
}

// --- small list operations ---------------------------------------------------------------------

void select_row_at(HWND list, POINT screen, bool multiple_selection) {
    if (!list) return;
    POINT pt = screen;
    ScreenToClient(list, &pt);
    const int row = listbox_item_from_point(list, pt);
    if (row < 0) return;
    if (!multiple_selection) {
        SendMessageW(list, LB_SETCURSEL, row, 0);
        return;
    }
    if (SendMessageW(list, LB_GETSEL, row, 0) <= 0) {
        SendMessageW(list, LB_SETSEL, FALSE, -1);
        SendMessageW(list, LB_SETSEL, TRUE, row);
    }
    SendMessageW(list, LB_SETCARETINDEX, row, FALSE);
}

std::wstring total_label_text(std::int64_t live_entries) {
    const std::int64_t n = std::clamp<std::int64_t>(live_entries, 0, std::numeric_limits<std::int32_t>::max());
    return tr_format(L"label.total", n);
}

// --- the address line ------------------------------------------------------------------------------

std::vector<PopupMenuItem> address_menu_items(const std::wstring& address) {
    std::vector<PopupMenuItem> items;
    if (is_web_url(address)) PopupMenu::add_item(items, kAddressOpen, tr(L"action.open"));
    PopupMenu::add_item(items, kAddressCopy, tr(L"action.copy"));
    return items;
}

bool run_address_choice(std::uint64_t choice, const std::wstring& address) {
    if (choice == kAddressOpen) {
        // Only web pages are opened: an address read from another program's
        // clipboard data or window could name a local program or file.
        if (!is_web_url(address)) return false;
        const std::wstring url = trim(address);
        return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr,
                                                       SW_SHOWNORMAL)) > 32;
    }
    if (choice == kAddressCopy) return winutil::set_clipboard_text(address);
    return false;
}
