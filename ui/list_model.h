// The cards list's model: which records a view shows, the text, row key
// and flags of every row, the search filter, and the small queries on the
// rows that the commands use. It takes records (vectors of HistoryEntry
// and Snippet, the categories, the search text) and gives rows, so it is
// tested without a window. load_list, load_history and
// load_pending_texts read the store; ui/cards_list.h puts the rows into the
// list box.
//
// The incremental search over the entries' folded texts is
// IncrementalSearch (ui/list_search.h); the model keeps the folded texts
// beside its entries and builds the rows from what the search matches.
//
// How the main window uses it (interface thread):
//   refresh_list:    load_list(model, db, settings, view, search text, &thumbnails)
//                    -> same_view, then apply_model_to_list (ui/cards_list.h);
//   a search change: the same refresh; when the store wrote nothing since,
//                    only the held records are filtered again;
//   texts not read:  load_pending_texts(db, deadline) on a timer, then the
//                    list is redrawn (with a search, filtered again: the
//                    texts that arrived are searched);
//   WM_MEASUREITEM:  card_row_height(model, index) (ui/card_draw.h);
//   commands:        find_entry, find_template, row_is_image, ...
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/records.h"
#include "ui/list_search.h"

class Database;
class ThumbnailCache;
struct Settings;

// --- views -------------------------------------------------------------------

// The main window's history views (signed 32-bit). Templates are a mode of
// their own beside these (ListView::templates_mode).
enum ViewKind : std::int32_t {
    kViewAll = 0,
    kViewPinned = 1,
    kViewSlots = 2,
    kViewNone = 3,
    kViewTrash = 4,
    kViewCategory = 5,
    kViewImages = 6,
};

// The one-character group filter that selects the templates without a group.
inline constexpr wchar_t kUngroupedFilter = L'\x1E';

// What the cards list shows.
struct ListView {
    bool templates_mode = false;
    std::int32_t view_kind = kViewAll;   // kViewAll in templates mode
    std::int64_t category_id = -1;       // view kCategory only; -1 otherwise
    std::wstring group_filter;           // templates mode: empty = all, a name, or kUngroupedFilter
};

// The store's view key: "all", "pinned", "slots", "none", "trash", "images",
// "cat:<id>" for a category view; "templates" in templates mode.
std::wstring view_key_for(const ListView& view);

// How the add-entry command files a typed-in entry in the view: views 0
// and 3 plain, view 1 pinned, view 2 into a quick slot, view 5 into its
// category (an id above 0); nothing is added in the trash and images views,
// in view 5 without a category and in templates mode (allowed false).
struct NewEntryPreset {
    bool allowed = false;
    bool pinned = false;
    bool quick_slot = false;
    std::optional<std::int64_t> category_id;
};
NewEntryPreset new_entry_preset(const ListView& view);

// --- row keys ----------------------------------------------------------------

// Item data of a cards-list row: above 0 a history entry id, below 0 and
// above kGroupHeaderKey minus a template id, kGroupHeaderKey and below a
// group header on which no command acts.
inline constexpr std::int64_t kGroupHeaderKey = -(std::int64_t{1} << 62);              // 0xC000000000000000
inline constexpr std::int64_t kUngroupedHeaderKey = static_cast<std::int64_t>(0xBFFFFF0000000000ULL);

enum class RowKeyKind { None, Entry, Template, GroupHeader };

RowKeyKind row_key_kind(std::int64_t key);
inline bool is_entry_key(std::int64_t key) { return key > 0; }
inline bool is_template_key(std::int64_t key) { return key < 0 && key > kGroupHeaderKey; }
inline bool is_group_header_key(std::int64_t key) { return key <= kGroupHeaderKey; }

// --- rows --------------------------------------------------------------------

// One row of the cards list.
struct ListRow {
    std::wstring text;       // the list box's string
    std::int64_t key = 0;    // the list box's item data
    bool is_image = false;   // an image entry
    bool in_group = false;   // a template listed under a group header
    bool operator==(const ListRow&) const = default;
};

// Longest entry text a row shows.
inline constexpr std::size_t kRowTextLimit = 8192;

// Row markers of history entries.
inline constexpr const wchar_t* kPinMarker = L"\U0001F4CC ";   // pin and a blank
inline constexpr const wchar_t* kKeepMarker = L"\u2605  ";      // star and two blanks
inline constexpr const wchar_t* kNoMarker = L"     ";           // five blanks
// Prefix of a group header row, and of a deleted template in the trash.
inline constexpr const wchar_t* kGroupRowPrefix = L"GRP\t";
inline constexpr const wchar_t* kTrashedTemplatePrefix = L"[tpl] ";

// Marker + text of a history entry: the pin marker in the slots view or
// for an effectively pinned entry, else the star for a kept one, else five
// blanks; the text is the entry's (image_word for an image without text),
// every CR and LF a blank, cut to kRowTextLimit units (one less when the cut
// would split a surrogate pair).
std::wstring entry_row_text(const HistoryEntry& entry, bool slots_view, const std::wstring& image_word);

// Title + LF + body.
std::wstring template_row_text(const Snippet& snippet);

// "GRP\t" + the group name, or + ungrouped_label for the templates without one.
std::wstring group_header_text(const std::wstring& name, bool named, const std::wstring& ungrouped_label);

// The templates sorted into their groups.
struct TemplateGroups {
    // The store's group list first, then the names only templates carry, in
    // code-unit order.
    std::vector<std::wstring> names;
    // Each group's templates (non-empty group names only), sorted by title
    // in code-unit order; every name of `names` has an entry.
    std::map<std::wstring, std::vector<Snippet>> by_group;
    // The templates without a group, in the given order.
    std::vector<Snippet> ungrouped;
};
TemplateGroups collect_template_groups(const std::vector<Snippet>& templates,
                                       const std::vector<std::wstring>& store_groups);

// A "created_at" stamp read as "%d-%d-%dT%d:%d". All five numbers must be
// read; a stamp cut short does not count.
struct CreatedStamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};
std::optional<CreatedStamp> parse_created_at(const std::wstring& created_at);

// "%02d.%02d.%04d %02d:%02d" (day, month, year, hour, minute) of the stamp;
// the text unchanged when it cannot be read whole.
std::wstring format_created_at(const std::wstring& created_at);

// The row text without a leading "GRP\t".
std::wstring strip_group_prefix(const std::wstring& row_text);

// The empty group name for the template editor's no-group label, the label
// itself otherwise.
std::wstring group_name_from_label(const std::wstring& label);

// The row the list should show at the top after a refresh: 0 when told to
// scroll to the top, when the old top index is 0 or less, the view changed
// or the list is empty; else the first row whose key is the old top key, or
// min(old top index, row count - 1). Row is any row with a key (ListRow,
// the cards list's ShownRow).
template <class Row = ListRow>
int new_top_row(bool same_view, bool scroll_to_top, int old_top_index, std::int64_t old_top_key,
                const std::vector<Row>& rows) {
    if (scroll_to_top || old_top_index <= 0 || !same_view || rows.empty()) return 0;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].key == old_top_key) return static_cast<int>(i);
    return std::min(old_top_index, static_cast<int>(rows.size()) - 1);
}

// --- the model ---------------------------------------------------------------

// Longest start of an entry's text that a listed entry holds (the card's
// line, the hint and the rows are made from it; the whole text stays in
// the store and text_state tells whether the entry holds it whole).
inline constexpr std::size_t kListedTextLimit = 512;

// Texts the rows need from the language files.
struct ListLabels {
    std::wstring image_word;   // tr("card.image")
    std::wstring ungrouped;    // tr("side.ungrouped")
};
ListLabels current_list_labels();

class ListModel {
public:
    // History view: the store's rows of the view and, in the trash view, the
    // deleted templates (most recently deleted first; ignored otherwise).
    // The entries' texts are the whole texts: each is kept as its start (at
    // most kListedTextLimit units, text_state Start when cut) and, for the
    // search, in its folded form.
    // Returns whether the view and the search are those of the previous
    // rebuild.
    bool set_history(const ListView& view, const std::wstring& search, std::vector<HistoryEntry> entries,
                     std::vector<Snippet> trashed_templates, const ListLabels& labels);

    // Templates mode: the live templates (ordered by title) and the store's
    // group list.
    bool set_templates(const ListView& view, const std::wstring& search, std::vector<Snippet> live_templates,
                       std::vector<std::wstring> store_groups, const ListLabels& labels);

    // A new search over the records already held (no store read; an entry
    // whose text is not read yet matches no search until it arrives: the
    // search is then applied again, and only the texts read since and the
    // last matches are looked at). Returns same_view as above (false
    // whenever the search changed).
    bool set_search(const std::wstring& search);

    // Drops the held records (entries, templates, groups and their folded
    // texts) but keeps the rows the list box shows.
    void release_records();

    // The category names shown on the cards.
    void set_categories(const std::vector<Category>& categories);

    // ---- the store (load_list) ----------------------------------------------------
    // Reads the view from the store: the rows in order, the texts of entries
    // held already kept unless the store wrote them since, the others read
    // until deadline_ms of GetTickCount64 (the rest by load_pending_texts;
    // a search finds among them once they are read). Returns same_view.
    bool load_history(Database& db, const Settings& settings, const ListView& view, const std::wstring& search,
                      std::vector<Snippet> trashed_templates, const ListLabels& labels, std::uint64_t deadline_ms);
    // Whether entries are listed whose texts are not read yet (their rows
    // show no text until then).
    bool has_pending_texts() const { return pending_ > 0; }
    // Reads texts of such entries in list order until the deadline (0: all).
    // True when some were read; the rows keep their places, and a search is
    // applied to the texts read by set_search (or a rebuild).
    bool load_pending_texts(Database& db, std::uint64_t deadline_ms);
    // Whether the listed entry's text is still to be read by the list.
    bool text_pending(std::int64_t id) const;
    // Whether the store wrote nothing since this view was read.
    bool store_unchanged(Database& db, const ListView& view, const Settings& settings);

    // ---- state ----------------------------------------------------------------
    // Every row with its text (made for the caller).
    std::vector<ListRow> rows() const;
    const std::vector<HistoryEntry>& entries() const { return entries_; }
    const std::vector<Snippet>& templates() const { return templates_; }
    const std::map<std::int64_t, std::wstring>& category_names() const { return category_names_; }
    const ListView& view() const { return view_; }
    const std::wstring& last_view_key() const { return last_view_key_; }
    // The search as the rows were filtered by (lower-cased).
    const std::wstring& last_search() const { return last_search_; }
    bool last_was_templates() const { return last_was_templates_; }
    std::vector<std::int64_t> entry_ids() const;

    // ---- row queries ------------------------------------------------------------
    std::size_t row_count() const { return rows_.size(); }
    // The row's key, text (as entry_row_text, template_row_text or
    // group_header_text make it), bits; 0, empty and false out of range.
    std::int64_t row_key(int row) const;
    std::wstring row_text(int row) const;
    bool row_is_image(int row) const;
    bool row_in_group(int row) const;
    // The first row with the key, or -1.
    int row_of_key(std::int64_t key) const;

    // ---- record lookups ---------------------------------------------------------
    // The listed entry of the id (ids above 0), or null. Its text is the
    // start the cards and the hint show (text_state: not read yet, that
    // start, or whole).
    const HistoryEntry* find_entry(std::int64_t id) const;
    // Its index among the listed entries, or -1.
    int entry_position(std::int64_t id) const;
    // The listed entry of the id when it is an image (non-negative ids), or null.
    const HistoryEntry* find_image_entry(std::int64_t id) const;
    // The listed template whose id is -key (keys below 0 and above the
    // group headers), or null.
    const Snippet* find_template(std::int64_t key) const;
    // The effective pin flag of a listed entry; false when not listed.
    bool entry_is_pinned(std::int64_t id) const;
    // The single selected key is a listed entry that is not an image and has text.
    bool selected_has_text(std::int64_t single_key) const;
    // The keep flag of the single selected listed entry.
    bool selected_is_kept(std::int64_t single_key) const;
    // In templates mode, how many listed templates have exactly that group; 0 otherwise.
    int count_templates_in_group(const std::wstring& group) const;

    // ---- changes -------------------------------------------------------------------
    // Moves one row to another index (key and bits) and the record behind
    // it to the place of the record behind the row it lands on.
    // Equal or out-of-range indexes do nothing; false then.
    bool move_row(int from, int to);
    // Replaces the link title of a listed entry (the fetched page title).
    bool set_link_title(std::int64_t id, const std::wstring& title);

private:
    // What the model holds of an entry beside the record: its folded text
    // and whether its text was read.
    struct Held {
        std::string folded;
        bool loaded = false;
    };
    void rebuild_rows();
    void build_history_rows();
    void build_template_rows();
    void reindex();
    bool note_view(const std::wstring& key, bool templates);
    void take_text(HistoryEntry& entry, Held& held, HistoryEntry& from);
    void take_folded(HistoryEntry& entry, Held& held, FoldedText&& text);
    // set_history and load_history: the view, labels and search of a
    // history list, and once its entries are in, the rest made anew.
    void take_history_view(const ListView& view, const std::wstring& search, const ListLabels& labels);
    void index_history(std::vector<Snippet> trashed_templates);

    ListView view_;
    ListLabels labels_;
    // The search and what it matched last (ui/list_search.h); the folded
    // texts it scans are held_'s.
    IncrementalSearch search_;
    std::vector<HistoryEntry> entries_;
    std::vector<Held> held_;   // beside entries_
    std::size_t pending_ = 0;  // entries whose text is not read
    // The entries of the previous list that the current one does not hold,
    // kept for a switch back (one view deep).
    std::vector<HistoryEntry> spare_entries_;
    std::vector<Held> spare_held_;
    std::vector<Snippet> templates_;
    std::vector<std::wstring> store_groups_;
    // Rows: the text of entry rows is made when asked for (row_text).
    std::vector<ListRow> rows_;
    std::map<std::int64_t, std::wstring> category_names_;
    std::unordered_map<std::int64_t, std::size_t> entry_index_;
    // The store the entries were read from, what it had written then, and
    // the query.
    const Database* store_ = nullptr;
    std::uint64_t store_epoch_ = 0, store_rows_ = 0, store_others_ = 0;
    std::wstring store_query_;
    std::wstring last_view_key_;
    std::wstring last_search_;
    bool last_was_templates_ = false;
};

// Reads the store for the view and rebuilds the model: in templates mode
// the live templates and the groups; otherwise the view's rows with the
// settings' sort_by_frequency and pinned_first (ListModel::load_history:
// the texts of the first rows are read for kListTextsPieceMs, with a search
// or without; the rest is read by load_pending_texts, and a search finds
// among them as they arrive), the trashed templates in the trash view and
// the categories for the card names. When the store wrote nothing since the
// same view was read, only the search is applied to the held records.
// Entries are listed without their RTF, HTML and image bytes
// (payload_deferred) and with at most the start of their text (text_state):
// whatever needs the whole text or the payload of a listed entry takes it
// through read_whole_entry (ui/whole_text.h), which reads the store or
// refuses. A cache given here gets the store as the source of its
// thumbnails' bytes, after the thumbnails of entries no longer listed are
// dropped. Returns same_view.
bool load_list(ListModel& model, Database& db, const Settings& settings, const ListView& view,
               const std::wstring& search, ThumbnailCache* thumbnails);
// The milliseconds of texts the first read of a list takes before the
// window goes on (the rest follows in pieces of that length).
inline constexpr std::uint64_t kListTextsPieceMs = 30;
