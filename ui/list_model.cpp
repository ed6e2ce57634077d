#include "ui/list_model.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "store/database.h"
#include "ui/thumbnail_cache.h"

namespace {


// One "%d" of scanf: blanks skipped, an optional sign, at least one digit.
// False when no digit follows or the value does not fit an int.
bool scan_int(const std::wstring& s, std::size_t& pos, int& out) {
    while (pos < s.size() && (s[pos] == L' ' || s[pos] == L'\t' || s[pos] == L'\n' || s[pos] == L'\r' ||
                              s[pos] == L'\v' || s[pos] == L'\f'))
        ++pos;
    bool negative = false;
    if (pos < s.size() && (s[pos] == L'+' || s[pos] == L'-')) {
        negative = s[pos] == L'-';
        ++pos;
    }
    std::size_t start = pos;
    long long value = 0;
    while (pos < s.size() && s[pos] >= L'0' && s[pos] <= L'9') {
        value = value * 10 + (s[pos] - L'0');
        if (value > 2147483648LL) return false;
        ++pos;
    }
    if (pos == start) return false;
    if (negative) value = -value;
    if (value > 2147483647LL || value < -2147483648LL) return false;
    out = static_cast<int>(value);
    return true;
}

bool scan_literal(const std::wstring& s, std::size_t& pos, wchar_t c) {
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

}  // namespace

// --- views and keys ---------------------------------------------------------

std::wstring view_key_for(const ListView& view) {
    if (view.templates_mode) return L"templates";
    switch (view.view_kind) {
        case kViewPinned: return L"pinned";
        case kViewSlots: return L"slots";
        case kViewNone: return L"none";
        case kViewTrash: return L"trash";
        case kViewCategory: return L"cat:" + std::to_wstring(view.category_id);
        case kViewImages: return L"images";
        default: return L"all";
    }
}

NewEntryPreset new_entry_preset(const ListView& view) {
    NewEntryPreset p;
    if (view.templates_mode) return p;
    switch (view.view_kind) {
        case kViewAll:
        case kViewNone:
            p.allowed = true;
            break;
        case kViewPinned:
            p.allowed = p.pinned = true;
            break;
        case kViewSlots:
            p.allowed = p.quick_slot = true;
            break;
        case kViewCategory:
            if (view.category_id > 0) {
                p.allowed = true;
                p.category_id = view.category_id;
            }
            break;
        default:
            break;
    }
    return p;
}

RowKeyKind row_key_kind(std::int64_t key) {
    if (key > 0) return RowKeyKind::Entry;
    if (key == 0) return RowKeyKind::None;
    if (key > kGroupHeaderKey) return RowKeyKind::Template;
    return RowKeyKind::GroupHeader;
}

// --- row texts ----------------------------------------------------------------

std::wstring entry_row_text(const HistoryEntry& entry, bool slots_view, const std::wstring& image_word) {
    const wchar_t* marker = kNoMarker;
    if (slots_view || entry.effective_pinned)
        marker = kPinMarker;
    else if (entry.keep)
        marker = kKeepMarker;
    const std::wstring& text = entry.is_image && entry.text.empty() ? image_word : entry.text;
    const std::size_t n = pair_safe_length(text, kRowTextLimit);
    std::wstring row(marker);
    const std::size_t start = row.size();
    row.append(text, 0, n);
    for (std::size_t i = start; i < row.size(); ++i)
        if (row[i] == L'\r' || row[i] == L'\n') row[i] = L' ';
    return row;
}

std::wstring template_row_text(const Snippet& snippet) { return snippet.title + L"\n" + snippet.text; }

std::wstring group_header_text(const std::wstring& name, bool named, const std::wstring& ungrouped_label) {
    return std::wstring(kGroupRowPrefix) + (named ? name : ungrouped_label);
}

TemplateGroups collect_template_groups(const std::vector<Snippet>& templates,
                                       const std::vector<std::wstring>& store_groups) {
    TemplateGroups out;
    for (const std::wstring& name : store_groups) {
        if (out.by_group.count(name)) continue;
        out.names.push_back(name);
        out.by_group[name];
    }
    std::vector<std::wstring> extra;
    for (const Snippet& s : templates) {
        if (s.grp.empty()) {
            out.ungrouped.push_back(s);
            continue;
        }
        auto it = out.by_group.find(s.grp);
        if (it == out.by_group.end()) {
            extra.push_back(s.grp);
            it = out.by_group.emplace(s.grp, std::vector<Snippet>{}).first;
        }
        it->second.push_back(s);
    }
    std::sort(extra.begin(), extra.end());
    out.names.insert(out.names.end(), extra.begin(), extra.end());
    for (auto& [name, list] : out.by_group)
        std::stable_sort(list.begin(), list.end(), [](const Snippet& a, const Snippet& b) { return a.title < b.title; });
    return out;
}

std::optional<CreatedStamp> parse_created_at(const std::wstring& text) {
    CreatedStamp st;
    std::size_t pos = 0;
    if (!scan_int(text, pos, st.year) || !scan_literal(text, pos, L'-') || !scan_int(text, pos, st.month) ||
        !scan_literal(text, pos, L'-') || !scan_int(text, pos, st.day) || !scan_literal(text, pos, L'T') ||
        !scan_int(text, pos, st.hour) || !scan_literal(text, pos, L':') || !scan_int(text, pos, st.minute))
        return std::nullopt;
    return st;
}

std::wstring format_created_at(const std::wstring& created_at) {
    auto st = parse_created_at(created_at);
    if (!st) return created_at;
    wchar_t buf[96];
    std::swprintf(buf, 96, L"%02d.%02d.%04d %02d:%02d", st->day, st->month, st->year, st->hour, st->minute);
    return buf;
}

std::wstring strip_group_prefix(const std::wstring& row_text) {
    const std::wstring prefix = kGroupRowPrefix;
    if (row_text.compare(0, prefix.size(), prefix) == 0) return row_text.substr(prefix.size());
    return row_text;
}

std::wstring group_name_from_label(const std::wstring& label) {
    // "(Без группы)": the template editor's choice for no group.
    if (label == L"(\u0411\u0435\u0437 \u0433\u0440\u0443\u043f\u043f\u044b)") return L"";
    return label;
}

ListLabels current_list_labels() { return ListLabels{tr(L"card.image"), tr(L"side.ungrouped")}; }

// --- the model ----------------------------------------------------------------

bool ListModel::note_view(const std::wstring& key, bool templates) {
    bool same = last_view_key_ == key && last_search_ == search_.lowered() && last_was_templates_ == templates;
    last_view_key_ = key;
    last_search_ = search_.lowered();
    last_was_templates_ = templates;
    return same;
}

void ListModel::take_text(HistoryEntry& entry, Held& held, HistoryEntry& from) {
    held.folded = fold_for_search(from.text);
    const std::size_t n = pair_safe_length(from.text, kListedTextLimit);
    if (n < from.text.size()) {
        entry.text.assign(from.text, 0, n);
        entry.text_state = TextState::Start;
    } else {
        entry.text = std::move(from.text);
        entry.text_state = TextState::Whole;
    }
    if (!held.loaded && pending_ > 0) --pending_;
    held.loaded = true;
}

void ListModel::take_folded(HistoryEntry& entry, Held& held, FoldedText&& text) {
    held.folded = std::move(text.folded);
    entry.text_state = text.start.size() < text.units ? TextState::Start : TextState::Whole;
    entry.text = std::move(text.start);
    if (!held.loaded && pending_ > 0) --pending_;
    held.loaded = true;
}

void ListModel::take_history_view(const ListView& view, const std::wstring& search, const ListLabels& labels) {
    view_ = view;
    view_.templates_mode = false;
    view_.group_filter.clear();
    labels_ = labels;
    search_.set_text(search);
}

void ListModel::index_history(std::vector<Snippet> trashed_templates) {
    search_.forget_matches();
    templates_.clear();
    if (view_.view_kind == kViewTrash) templates_ = std::move(trashed_templates);
    store_groups_.clear();
    search_.forget_templates();
    reindex();
}

bool ListModel::set_history(const ListView& view, const std::wstring& search, std::vector<HistoryEntry> entries,
                            std::vector<Snippet> trashed_templates, const ListLabels& labels) {
    take_history_view(view, search, labels);
    entries_ = std::move(entries);
    held_.assign(entries_.size(), Held{});
    pending_ = entries_.size();
    for (HistoryEntry& e : entries_) {
        HistoryEntry whole;
        whole.text = std::move(e.text);
        take_text(e, held_[static_cast<std::size_t>(&e - entries_.data())], whole);
    }
    std::vector<HistoryEntry>().swap(spare_entries_);
    std::vector<Held>().swap(spare_held_);
    store_ = nullptr;
    index_history(std::move(trashed_templates));
    bool same = note_view(view_key_for(view_), false);
    rebuild_rows();
    return same;
}

bool ListModel::set_templates(const ListView& view, const std::wstring& search, std::vector<Snippet> live_templates,
                              std::vector<std::wstring> store_groups, const ListLabels& labels) {
    view_ = view;
    view_.templates_mode = true;
    view_.view_kind = kViewAll;
    view_.category_id = -1;
    labels_ = labels;
    search_.set_text(search);
    // The entries' texts wait for the way back.
    if (!entries_.empty()) {
        spare_entries_ = std::move(entries_);
        spare_held_ = std::move(held_);
    }
    entries_.clear();
    held_.clear();
    pending_ = 0;
    store_query_.clear();
    search_.forget_matches();
    templates_ = std::move(live_templates);
    store_groups_ = std::move(store_groups);
    search_.forget_templates();
    reindex();
    bool same = note_view(L"templates", true);
    rebuild_rows();
    return same;
}

bool ListModel::set_search(const std::wstring& search) {
    search_.set_text(search);
    bool same = last_search_ == search_.lowered();
    last_search_ = search_.lowered();
    rebuild_rows();
    return same;
}

void ListModel::release_records() {
    // The rows keep their texts.
    for (ListRow& r : rows_)
        if (is_entry_key(r.key) && r.text.empty()) {
            auto it = entry_index_.find(r.key);
            if (it != entry_index_.end())
                r.text = entry_row_text(entries_[it->second], view_.view_kind == kViewSlots, labels_.image_word);
        }
    std::vector<HistoryEntry>().swap(entries_);
    std::vector<Held>().swap(held_);
    std::vector<HistoryEntry>().swap(spare_entries_);
    std::vector<Held>().swap(spare_held_);
    pending_ = 0;
    store_ = nullptr;
    search_.release();
    std::vector<Snippet>().swap(templates_);
    std::vector<std::wstring>().swap(store_groups_);
    entry_index_.clear();
}

void ListModel::set_categories(const std::vector<Category>& categories) {
    category_names_.clear();
    for (const Category& c : categories) category_names_[c.id] = c.name;
}

std::vector<std::int64_t> ListModel::entry_ids() const {
    std::vector<std::int64_t> ids;
    ids.reserve(entries_.size());
    for (const HistoryEntry& e : entries_) ids.push_back(e.id);
    return ids;
}

void ListModel::reindex() {
    entry_index_.clear();
    entry_index_.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) entry_index_.emplace(entries_[i].id, i);
}

void ListModel::rebuild_rows() {
    rows_.clear();
    if (view_.templates_mode)
        build_template_rows();
    else
        build_history_rows();
}

void ListModel::build_history_rows() {
    rows_.reserve(entries_.size() + templates_.size());
    const std::vector<std::uint32_t> found =
        search_.match_entries(entries_.size(), [&](std::size_t i) -> std::string_view { return held_[i].folded; });
    for (std::uint32_t i : found) {
        const HistoryEntry& e = entries_[i];
        rows_.push_back(ListRow{std::wstring(), e.id, e.is_image, false});
    }
    if (view_.view_kind != kViewTrash) return;
    for (std::size_t i = 0; i < templates_.size(); ++i) {
        const Snippet& s = templates_[i];
        if (!search_.template_matches(templates_, i)) continue;
        rows_.push_back(ListRow{kTrashedTemplatePrefix + template_row_text(s), -s.id, false, false});
    }
}

void ListModel::build_template_rows() {
    auto matches = [&](const Snippet& s) { return template_matches_search(search_.lowered(), s); };
    if (!view_.group_filter.empty()) {
        const bool named = view_.group_filter != std::wstring(1, kUngroupedFilter);
        TemplateGroups groups = collect_template_groups(templates_, store_groups_);
        rows_.push_back(ListRow{group_header_text(view_.group_filter, named, labels_.ungrouped),
                                named ? kGroupHeaderKey : kUngroupedHeaderKey, false, false});
        const std::vector<Snippet>* list = &groups.ungrouped;
        if (named) {
            auto it = groups.by_group.find(view_.group_filter);
            static const std::vector<Snippet> none;
            list = it == groups.by_group.end() ? &none : &it->second;
        }
        for (const Snippet& s : *list)
            if (matches(s)) rows_.push_back(ListRow{template_row_text(s), -s.id, false, true});
        return;
    }
    rows_.reserve(templates_.size());
    for (std::size_t i = 0; i < templates_.size(); ++i) {
        const Snippet& s = templates_[i];
        if (!search_.template_matches(templates_, i)) continue;
        rows_.push_back(ListRow{template_row_text(s), -s.id, false, false});
    }
}

std::vector<ListRow> ListModel::rows() const {
    std::vector<ListRow> out = rows_;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (is_entry_key(out[i].key) && out[i].text.empty()) out[i].text = row_text(static_cast<int>(i));
    return out;
}

std::int64_t ListModel::row_key(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < rows_.size() ? rows_[row].key : 0;
}

std::wstring ListModel::row_text(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return std::wstring();
    const ListRow& r = rows_[row];
    if (is_entry_key(r.key) && r.text.empty()) {
        auto it = entry_index_.find(r.key);
        if (it != entry_index_.end())
            return entry_row_text(entries_[it->second], view_.view_kind == kViewSlots, labels_.image_word);
    }
    return r.text;
}

bool ListModel::row_is_image(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < rows_.size() && rows_[row].is_image;
}

bool ListModel::row_in_group(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < rows_.size() && rows_[row].in_group;
}

int ListModel::row_of_key(std::int64_t key) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].key == key) return static_cast<int>(i);
    return -1;
}

const HistoryEntry* ListModel::find_entry(std::int64_t id) const {
    if (id <= 0) return nullptr;
    auto it = entry_index_.find(id);
    return it == entry_index_.end() ? nullptr : &entries_[it->second];
}

int ListModel::entry_position(std::int64_t id) const {
    auto it = entry_index_.find(id);
    return it == entry_index_.end() ? -1 : static_cast<int>(it->second);
}

const HistoryEntry* ListModel::find_image_entry(std::int64_t id) const {
    const HistoryEntry* e = find_entry(id);
    return e && e->is_image ? e : nullptr;
}

const Snippet* ListModel::find_template(std::int64_t key) const {
    if (!is_template_key(key)) return nullptr;
    for (const Snippet& s : templates_)
        if (s.id == -key) return &s;
    return nullptr;
}

bool ListModel::entry_is_pinned(std::int64_t id) const {
    const HistoryEntry* e = find_entry(id);
    return e && e->effective_pinned;
}

bool ListModel::selected_has_text(std::int64_t single_key) const {
    const HistoryEntry* e = find_entry(single_key);
    // A text not read yet may have text: the whole-text read tells.
    return e && !e->is_image && (e->text_state == TextState::NotRead || !e->text.empty());
}

bool ListModel::text_pending(std::int64_t id) const {
    auto it = entry_index_.find(id);
    return it != entry_index_.end() && !held_[it->second].loaded;
}

bool ListModel::selected_is_kept(std::int64_t single_key) const {
    const HistoryEntry* e = find_entry(single_key);
    return e && e->keep;
}

int ListModel::count_templates_in_group(const std::wstring& group) const {
    if (!view_.templates_mode) return 0;
    return static_cast<int>(
        std::count_if(templates_.begin(), templates_.end(), [&](const Snippet& s) { return s.grp == group; }));
}

bool ListModel::move_row(int from, int to) {
    const int n = static_cast<int>(rows_.size());
    if (from == to || from < 0 || to < 0 || from >= n || to >= n) return false;
    const std::int64_t moved_key = rows_[from].key;
    const std::int64_t target_key = rows_[to].key;
    ListRow row = std::move(rows_[from]);
    rows_.erase(rows_.begin() + from);
    rows_.insert(rows_.begin() + to, std::move(row));
    int ef = entry_position(moved_key), et = entry_position(target_key);
    if (moved_key > 0 && target_key > 0 && ef >= 0 && et >= 0 && ef != et) {
        HistoryEntry e = std::move(entries_[ef]);
        entries_.erase(entries_.begin() + ef);
        entries_.insert(entries_.begin() + et, std::move(e));
        Held h = std::move(held_[ef]);
        held_.erase(held_.begin() + ef);
        held_.insert(held_.begin() + et, std::move(h));
        search_.forget_matches();
        reindex();
    }
    return true;
}

bool ListModel::set_link_title(std::int64_t id, const std::wstring& title) {
    auto it = entry_index_.find(id);
    if (it == entry_index_.end()) return false;
    entries_[it->second].link_title = title;
    return true;
}

// --- the store ------------------------------------------------------------------

namespace {

std::wstring store_query_key(const ListView& view, const Settings& settings) {
    return view_key_for(view) + (settings.sort_by_frequency ? L"|use" : L"|order") +
           (settings.pinned_first ? L"|pinned" : L"|mixed");
}

}  // namespace

bool ListModel::store_unchanged(Database& db, const ListView& view, const Settings& settings) {
    if (store_ != &db || view.templates_mode || store_query_ != store_query_key(view, settings)) return false;
    std::vector<std::int64_t> written;
    bool others = true;
    Database::WriteMark mark;
    mark.epoch = store_epoch_;
    mark.rows = store_rows_;
    mark.others = store_others_;
    return db.history_writes_since(mark, written, &others) && written.empty() && !others;
}

bool ListModel::load_history(Database& db, const Settings& settings, const ListView& view, const std::wstring& search,
                             std::vector<Snippet> trashed_templates, const ListLabels& labels,
                             std::uint64_t deadline_ms) {
    // What the store wrote since the held texts were read: those are read again.
    std::vector<std::int64_t> written;
    bool known = false;
    if (store_ == &db) {
        Database::WriteMark mark;
        mark.epoch = store_epoch_;
        mark.rows = store_rows_;
        mark.others = store_others_;
        known = db.history_writes_since(mark, written, nullptr);
    }
    Database::WriteMark now;
    std::vector<HistoryEntry> rows =
        db.list_entry_rows(view_key_for(view), settings.sort_by_frequency, settings.pinned_first, &now);

    // The held texts by id: the current list's, then the spare ones.
    std::unordered_map<std::int64_t, std::pair<bool, std::size_t>> old;  // spare?, index
    if (known) {
        old.reserve(entries_.size() + spare_entries_.size());
        for (std::size_t i = 0; i < spare_entries_.size(); ++i)
            if (spare_held_[i].loaded) old[spare_entries_[i].id] = {true, i};
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (held_[i].loaded) old[entries_[i].id] = {false, i};
        for (std::int64_t id : written) old.erase(id);
    }
    std::vector<Held> held(rows.size());
    std::vector<char> taken_current(entries_.size(), 0), taken_spare(spare_entries_.size(), 0);
    std::size_t pending = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto it = old.find(rows[i].id);
        if (it == old.end()) {
            ++pending;
            continue;
        }
        const auto [spare, k] = it->second;
        HistoryEntry& from = spare ? spare_entries_[k] : entries_[k];
        Held& from_held = spare ? spare_held_[k] : held_[k];
        HistoryEntry& to = rows[i];
        to.text = std::move(from.text);
        to.text_state = from.text_state;
        to.source_app = std::move(from.source_app);
        to.source_title = std::move(from.source_title);
        to.source_url = std::move(from.source_url);
        to.custom_title = std::move(from.custom_title);
        to.link_title = std::move(from.link_title);
        held[i] = std::move(from_held);
        (spare ? taken_spare : taken_current)[k] = 1;
    }
    // What the new list does not hold of the current one is kept aside.
    std::vector<HistoryEntry> spare_entries;
    std::vector<Held> spare_held;
    if (known) {
        for (std::size_t k = 0; k < entries_.size(); ++k)
            if (!taken_current[k] && held_[k].loaded && !std::binary_search(written.begin(), written.end(), entries_[k].id)) {
                spare_entries.push_back(std::move(entries_[k]));
                spare_held.push_back(std::move(held_[k]));
            }
    }
    spare_entries_ = std::move(spare_entries);
    spare_held_ = std::move(spare_held);

    take_history_view(view, search, labels);
    entries_ = std::move(rows);
    held_ = std::move(held);
    pending_ = pending;
    store_ = &db;
    store_epoch_ = now.epoch;
    store_rows_ = now.rows;
    store_others_ = now.others;
    store_query_ = store_query_key(view_, settings);
    index_history(std::move(trashed_templates));
    load_pending_texts(db, deadline_ms);
    const bool same = note_view(view_key_for(view_), false);
    rebuild_rows();
    return same;
}

bool ListModel::load_pending_texts(Database& db, std::uint64_t deadline_ms) {
    if (pending_ == 0) return false;
    std::vector<std::int64_t> ids;
    ids.reserve(pending_);
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (!held_[i].loaded) ids.push_back(entries_[i].id);
    const std::size_t done = db.read_list_texts(ids, deadline_ms, [&](HistoryEntry& read, std::string_view utf8) {
        auto it = entry_index_.find(read.id);
        if (it == entry_index_.end()) return;
        HistoryEntry& e = entries_[it->second];
        Held& h = held_[it->second];
        if (h.loaded) return;
        search_.text_arrived(static_cast<std::uint32_t>(it->second));
        if (read.text_state == TextState::NotRead) {
            // Gone from the store, or its text unreadable: the entry stays
            // without a text (a use of it reads the store again and is told
            // there), and no search finds it.
            h.loaded = true;
            if (pending_ > 0) --pending_;
            return;
        }
        e.source_app = std::move(read.source_app);
        e.source_title = std::move(read.source_title);
        e.source_url = std::move(read.source_url);
        e.custom_title = std::move(read.custom_title);
        e.link_title = std::move(read.link_title);
        if (read.text.empty())
            take_folded(e, h, fold_utf8_text(utf8, kListedTextLimit));
        else
            take_text(e, h, read);
    });
    // An id the store no longer has counts as read (with no text).
    if (done == ids.size()) pending_ = 0;
    return done > 0;
}

bool load_list(ListModel& model, Database& db, const Settings& settings, const ListView& view,
               const std::wstring& search, ThumbnailCache* thumbnails) {
    const ListLabels labels = current_list_labels();
    bool same = false;
    if (view.templates_mode) {
        same = model.set_templates(view, search, db.list_snippets(), db.list_snippet_groups(), labels);
    } else if (model.store_unchanged(db, view, settings)) {
        // Nothing new in the store: the held records are filtered again (the
        // texts not read yet are searched as they arrive).
        same = model.set_search(search);
    } else {
        std::vector<Snippet> trashed;
        if (view.view_kind == kViewTrash) trashed = db.list_trashed_snippets();
        same = model.load_history(db, settings, view, search, std::move(trashed), labels,
                                  GetTickCount64() + kListTextsPieceMs);
        if (thumbnails) {
            thumbnails->prune(model.entry_ids());
            thumbnails->set_source([&db](std::int64_t id) {
                HistoryEntry e;
                e.id = id;
                e.payload_deferred = true;
                db.load_payload(e);
                return std::move(e.image);
            });
        }
        model.set_categories(db.list_categories());
    }
    return same;
}
