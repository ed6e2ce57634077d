// The history store: the program's only door to its SQLite file.
//
// One Database object owns the connection. Every public operation holds the
// object's mutex from its first statement to its last (file deletions
// included); operations marked "lock held" are private helpers that take no
// lock. Failures are reported by results (0, false, -1, empty lists); SQL
// errors are also written to the debugger output.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/import.h"
#include "store/records.h"
#include "store/statement.h"

struct sqlite3;

// 'text' with every single quote doubled, between single quotes.
std::wstring sql_quote(const std::wstring& text);
// The ids as decimal numbers joined by "," ("" for none).
std::wstring join_ids(const std::vector<std::int64_t>& ids);
// The body of one of the two default snippets by its title; none otherwise.
std::optional<std::wstring> default_template_text(const std::wstring& title);

// Deletes path when it names an existing file (not a folder) whose name ends
// in ".png" in any case; anything else is left alone.
void delete_image_file(const std::wstring& path);
void delete_image_files(const std::vector<std::wstring>& paths);

// The new order of 'order' after moving the selected ids one place
// (direction -1 up, +1 down) as one block past their nearest unselected
// neighbour of the same class; 'order' unchanged when no such move exists.
std::vector<std::int64_t> reorder_ids(const std::vector<std::int64_t>& order,
                                      const std::vector<std::int32_t>& classes,
                                      const std::vector<std::int64_t>& selected,
                                      int direction);
// The move scope of a main-window view (0 all, 1 pinned, 2 slots, 3 none,
// 4 trash, 5 category, 6 images).
MoveScope move_scope_for_filter(int view_kind, std::int64_t category_id);
// The keys above 0 (positive true) or below 0 (positive false), in order.
std::vector<std::int64_t> filter_keys_by_sign(const std::vector<std::int64_t>& keys, bool positive);

class Database {
public:
    // How long a statement waits for another connection's lock before it
    // fails with SQLITE_BUSY: short, as the interface thread writes.
    static constexpr int kBusyTimeoutMs = 100;

    explicit Database(const std::wstring& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // ---- state of the file --------------------------------------------
    // False when the database could not be opened or set up.
    bool is_open() const { return open_ok_; }
    // True when the file at the path was damaged or not a database and was
    // renamed aside (to damaged_file_path()) before a fresh one was made.
    bool recovered_damaged_file() const { return !damaged_path_.empty(); }
    const std::wstring& damaged_file_path() const { return damaged_path_; }
    // The history entries copied from the damaged file into the fresh store
    // at its last replacement; -1 when the damaged file was no database to
    // read from (or nothing was replaced).
    std::int64_t saved_entries() const { return saved_entries_; }
    // How many times a damaged file was set aside and replaced, at open
    // (which also runs SQLite's quick check) and afterwards.
    int replacements() const { return replacements_; }
    // After a statement met SQLITE_CORRUPT: the file (with its log) is set
    // aside unchanged, a fresh store made, and every row that still reads
    // copied into it, as at open. True when that happened now.
    bool recover_if_damaged();
    const std::wstring& path() const { return path_; }

    // ---- storing entries ------------------------------------------------
    // A captured item. Image bytes that winutil::image_bytes_keepable
    // refuses are not stored: the item is then a text entry (nothing when
    // its text is too short). Returns the id of the stored or bumped entry,
    // 0 when nothing was stored. failed, when given, tells the two zeros apart: it
    // is set when there was something to store and the write did not reach
    // the file (store not open, locked by another program, read-only, full),
    // and cleared otherwise. busy, when given, is set when the write failed
    // only because another connection held the store past the busy time-out
    // (kBusyTimeoutMs): the same write may succeed later. copied_at, when
    // given, is the entry's time stamp (a capture that waited for the store
    // keeps the time it was copied); otherwise the time of the write.
    std::int64_t add_entry(const std::wstring& text, const std::string& rtf,
                           const std::string& html, const std::vector<std::uint8_t>& image,
                           const std::wstring& source_app, bool is_image, bool repeat,
                           std::optional<std::int64_t> category_id,
                           const std::wstring& source_title, const std::wstring& source_url,
                           bool is_browser_page, bool* failed = nullptr, bool* busy = nullptr,
                           const std::wstring* copied_at = nullptr);
    // A typed-in entry; optionally given a quick slot. 0 when not stored.
    std::int64_t add_text_entry(const std::wstring& text, std::optional<std::int64_t> category_id,
                                bool pinned, bool quick_slot);
    // The PNG file of an image entry. The store deletes it with the entry,
    // unless user_file says the user saved it there himself.
    bool set_image_path(std::int64_t id, const std::wstring& path, bool user_file = false);
    bool set_link_title(std::int64_t id, const std::wstring& title);

    // ---- simple updates and reads --------------------------------------
    bool set_entry_text(std::int64_t id, const std::wstring& text);
    bool set_custom_title(std::int64_t id, const std::wstring& title);
    bool increment_use_count(std::int64_t id);
    bool set_entry_category(std::int64_t id, std::optional<std::int64_t> category_id);
    int set_entries_category(const std::vector<std::int64_t>& ids,
                             std::optional<std::int64_t> category_id);
    bool set_keep(std::int64_t id, bool keep);
    bool is_kept(std::int64_t id);
    bool trash_entry(std::int64_t id);
    int trash_entries(const std::vector<std::int64_t>& ids);
    bool restore_entry(std::int64_t id);
    int restore_entries(const std::vector<std::int64_t>& ids);
    std::int64_t count_entries();

    // ---- pins ------------------------------------------------------------
    // Number of entries updated; 0 for an empty list or when rolled back.
    int set_pinned_many(const std::vector<std::int64_t>& ids, bool pinned);

    // ---- deletion and retention -----------------------------------------
    bool purge_entry(std::int64_t id);
    int purge_entries(const std::vector<std::int64_t>& ids);
    int empty_trash();
    int purge_trash_older_than(std::int64_t hours);
    int delete_entries_older_than(std::int64_t days);
    int clear_history();

    // ---- lists and moves --------------------------------------------------
    // View keys: "all", "images", "none", "cat:<id>", "pinned", "trash",
    // "slots"; any other key lists every row.
    // What a list reads of each entry: everything, or everything but the
    // RTF, HTML and image bytes (the entries then come with
    // payload_deferred set, and load_payload reads the bytes of one when
    // they are needed).
    enum class Payload { Full, Deferred };
    std::vector<HistoryEntry> list_entries(const std::wstring& view, bool sort_by_use,
                                           bool pinned_first, Payload payload = Payload::Full);
    // Reads the RTF, HTML and image bytes of an entry listed without them
    // and clears payload_deferred; an entry that has them is left as it is.
    // False when the entry is gone or could not be read (it is unchanged).
    bool load_payload(HistoryEntry& entry);
    std::vector<HistoryEntry> list_slot_entries();

    // ---- lists as the main window and the quick menu read them (queries.cpp) --
    // Where the store's writes stood when a list was read: history rows
    // written since are told by history_writes_since.
    struct WriteMark {
        std::uint64_t epoch = 0;     // 0: no mark
        std::uint64_t rows = 0;      // history rows written (inserted, updated, deleted) so far
        std::uint64_t others = 0;    // rows of the other tables written so far
        bool operator==(const WriteMark&) const = default;
    };
    // The rows of a view in list_entries' order, without their texts and
    // the fields stored after the payload (text left empty; read them with
    // read_list_texts), and the mark of the store's writes they reflect.
    std::vector<HistoryEntry> list_entry_rows(const std::wstring& view, bool sort_by_use, bool pinned_first,
                                              WriteMark* mark);
    // For the ids in order: the whole text and the fields stored after the
    // payload (source, titles), given to each as an entry of that id, until
    // the clock passes deadline_ms (GetTickCount64; 0 for none). The text
    // comes as SQLite's UTF-8 bytes (valid during the call; the entry's
    // text empty), or, for a text of 1 MiB or more, converted in the
    // entry's text (the bytes empty); text_state Whole. An id no longer
    // stored, or whose text cannot be read, is given with no text and
    // text_state NotRead. The number of ids done.
    std::size_t read_list_texts(const std::vector<std::int64_t>& ids, std::uint64_t deadline_ms,
                                const std::function<void(HistoryEntry&, std::string_view utf8)>& each);
    // The ids of the history rows written since the mark, each once; false
    // when the store cannot tell (the mark is from another connection, or
    // too many rows were written since), and then nothing is known.
    bool history_writes_since(const WriteMark& mark, std::vector<std::int64_t>& ids, bool* others_written);
    // The first rows of a view in list_entries' order with their details,
    // each text cut to at most text_limit UTF-16 units (text_state Start
    // when cut, else Whole); payload deferred.
    std::vector<HistoryEntry> list_first_entries(const std::wstring& view, bool sort_by_use, bool pinned_first,
                                                 std::size_t count, std::size_t text_limit);
    // Reads the whole text of an entry listed without it (its text not read
    // yet, or only its start) and sets text_state Whole; true when it has
    // its whole text now. False, the entry as it was, when the row is gone
    // or cannot be read.
    bool load_whole_text(HistoryEntry& entry);
    // Reads at most the first limit UTF-16 units of an entry listed without
    // its text or with a shorter start (text_state Start when the text is
    // longer still, else Whole); true when the entry holds that start now.
    bool load_text_start(HistoryEntry& entry, std::size_t limit);
    bool reorder_entries(const std::vector<std::int64_t>& selected, int direction,
                         bool pinned_first, const MoveScope& scope);
    bool reorder_slots(const std::vector<std::int64_t>& selected, int direction);

    // ---- categories -------------------------------------------------------
    std::vector<Category> list_categories();
    // Finds or creates by trimmed name: the id; -1 for an empty name, 0 when
    // the category could not be created.
    std::int64_t add_category(const std::wstring& name);
    bool rename_category(std::int64_t id, const std::wstring& name);
    bool set_category_pinned(std::int64_t id, bool pinned);
    bool toggle_category_pinned(std::int64_t id);
    bool move_category(std::int64_t id, int direction);
    int count_category_entries(std::int64_t id);
    bool delete_category(std::int64_t id);
    int delete_category_with_entries(std::int64_t id);

    // ---- snippets and groups ----------------------------------------------
    std::vector<Snippet> list_snippets();
    std::vector<Snippet> list_trashed_snippets();
    // The new id; -1 for an empty title or text; 0 when the title is taken
    // or the snippet could not be stored.
    std::int64_t add_snippet(const std::wstring& title, const std::wstring& text,
                             const std::wstring& group);
    bool update_snippet(std::int64_t id, const std::wstring& title, const std::wstring& text,
                        const std::wstring& group);
    bool set_snippet_group(std::int64_t id, const std::wstring& group);
    bool trash_snippet(std::int64_t id);
    bool restore_snippet(std::int64_t id);
    bool purge_snippet(std::int64_t id);
    bool increment_snippet_use_count(std::int64_t id);
    std::vector<std::wstring> list_snippet_groups();
    bool add_snippet_group(const std::wstring& name);
    bool rename_snippet_group(const std::wstring& old_name, const std::wstring& new_name);
    bool delete_snippet_group(const std::wstring& name);

    // ---- quick slots --------------------------------------------------------
    int add_to_slots(const std::vector<std::int64_t>& ids, int max_slots);
    bool add_to_slot(std::int64_t id, int max_slots);
    bool remove_from_slots(std::int64_t id);

    // ---- JSON backup (export.cpp, import_merge.cpp) -------------------------
    // Writes the live store to path as a backup file: through a temporary
    // file beside it that replaces path only once it is complete. The number
    // of entry objects written; -1 when the store is not open, a read fails
    // or the file cannot be written completely, and then an earlier file at
    // path is left as it was.
    int export_json(const std::wstring& path);
    // Merges a backup file into the store in one transaction: entries,
    // categories, quick slots, groups and snippets already there are
    // recognised, not duplicated. Any failure rolls the whole merge back.
    ImportCounts import_json(const std::wstring& path);

    // ---- hand edits (entry_edit.cpp) ------------------------------------------
    // Replaces an entry's text and clears its RTF and HTML. True when a row
    // was changed; false for an empty text or an unknown id.
    bool replace_entry_text(std::int64_t id, const std::wstring& text);

private:
    friend class BackupExporter;
    friend class BackupImporter;

    using Rows = std::vector<std::vector<std::wstring>>;

    // The writing of add_entry, once (it is tried again in a fresh store
    // when the file turned out damaged).
    std::int64_t store_captured_entry(const std::wstring& text, const std::string& rtf,
                                      const std::string& html, const std::vector<std::uint8_t>& image,
                                      const std::wstring& source_app, bool is_image, bool repeat,
                                      std::optional<std::int64_t> category_id,
                                      const std::wstring& source_title, const std::wstring& source_url,
                                      bool is_browser_page, bool* failed, bool* busy,
                                      const std::wstring* copied_at);

    // Set-up (constructor only, before the object is shared).
    void open();
    int open_connection();
    void close_connection();
    int set_up_schema();  // SQLITE_OK, or the first failing set-up code
    bool move_damaged_file_aside();
    // Damaged files (salvage.cpp, lock held): SQLITE_OK when the quick check
    // finds the file sound; the set-aside, fresh store and copy of what reads
    // (salvage: the file was a database); the copy itself, by table.
    int quick_check();
    int run_quick_check();
    bool replace_damaged_store(bool salvage);
    bool recover_unlocked();
    std::int64_t salvage_rows(const std::wstring& from);
    void seed_default_snippets();
    void backfill_source_urls();
    void create_indexes();

    // Statement primitives (lock held).
    int exec(const std::wstring& sql);
    Rows query(const std::wstring& sql);
    std::int64_t last_insert_id();
    Statement cached(const std::string& sql);
    std::int64_t query_int64(const std::string& sql, std::int64_t fallback);
    bool image_equals(std::int64_t id, const std::vector<std::uint8_t>& bytes);

    // Entry helpers (lock held).
    std::int64_t next_sort_order();
    // Deletes the entries beyond the newest 200 that are not effectively
    // pinned; returns their image files for deletion by the caller.
    std::vector<std::wstring> trim_history();
    void remove_orphan_slots();
    bool set_pinned_unlocked(std::int64_t id, bool pinned);
    std::vector<std::wstring> image_paths_where(const std::wstring& condition);
    int load_entry_details(HistoryEntry& entry, Payload payload);
    // The rows of a statement over list_row_columns(), in its order.
    std::vector<HistoryEntry> read_entries(Statement& rows, std::size_t expected, Payload payload);
    bool add_to_slot_unlocked(std::int64_t id, int max_slots);
    bool entry_is_live(std::int64_t id);
    bool run_in_transaction_end(bool ok);

    // The history rows written, as the list readers ask for them (queries.cpp;
    // SQLite's update hook, set on the first list read of a connection).
    struct WriteLog {
        sqlite3* hooked = nullptr;
        std::uint64_t epoch = 0;
        std::uint64_t base = 0;              // rows written before ids[0]
        std::vector<std::int64_t> ids;
        std::uint64_t others = 0;
    };
    void hook_write_log();  // lock held
    WriteMark write_mark() const;  // lock held
    static void on_row_written(void* self, int op, const char* db, const char* table, long long rowid);
    WriteLog write_log_;
    sqlite3* connection_ = nullptr;
    std::mutex lock_;
    std::wstring path_;
    StatementCache cache_;
    bool open_ok_ = false;
    std::wstring damaged_path_;
    std::int64_t saved_entries_ = -1;
    int replacements_ = 0;
};
