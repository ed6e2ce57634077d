// The history store: the program's only door to its SQLite file.
//
// One Database object owns the connection. Every public operation holds the
// object's mutex from its first statement to its last (file deletions
// included), and taking it first replaces a file that an earlier statement
// found damaged; operations marked "lock held" are private helpers that take
// no lock. Failures are reported by results (0, false, -1, empty lists); SQL
// errors are also written to the debugger output.
#pragma once

#include <atomic>
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
#include "store/write_log.h"

struct sqlite3;

// 'text' with every single quote doubled, between single quotes.
std::wstring sql_quote(const std::wstring& text);
// The file: URI that opens path read-only in SQLite (SQLITE_OPEN_URI);
// with immutable, SQLite also reads no log and makes no file beside it.
std::string sqlite_file_uri(const std::wstring& path, bool immutable);
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
    // The history entries of that file that could not be read: 0 when
    // every row was saved, -1 when some did not read but their number is
    // unknown. The old file's row count is taken from its indexes (each
    // holds one entry per row), the largest count that still reads; with
    // no readable index, any damaged page met in the rows counts as -1.
    std::int64_t unread_entries() const { return unread_entries_; }
    // How many times a damaged file was set aside and replaced, at open
    // (which also runs SQLite's quick check) and afterwards.
    int replacements() const { return replacements_; }
    // A statement that met SQLITE_CORRUPT marks the connection: the next
    // operation (before any statement of its own) sets the file and its
    // log aside unchanged, makes a fresh store and copies every row that
    // still reads into it, as at open. True when that happened now.
    bool recover_if_damaged();
    // Runs SQLite's quick check on the open store and acts on damage as
    // above; also tries again to set aside a damaged file that could not
    // be moved before. True when a damaged file was replaced now.
    bool check_integrity();
    // True while the store is a damaged file that could not be set aside
    // (another program holds it or its log without delete sharing): it is
    // then kept where it is, unchanged, and only read.
    bool damaged_file_kept() const { return damaged_kept_; }
    // True when the file (or its folder) takes no writes: the store was
    // opened read-only and lists what the file holds.
    bool read_only() const { return read_only_; }
    const std::wstring& path() const { return path_; }

    // ---- storing entries ------------------------------------------------
    // A captured item (see NewEntry). Image bytes that winutil::image_bytes_keepable
    // refuses are not stored: the item is then a text entry (nothing when
    // its text is too short). Returns the id of the stored or bumped entry,
    // 0 when nothing was stored. failed, when given, tells the two zeros apart: it
    // is set when there was something to store and the write did not reach
    // the file (store not open, locked by another program, read-only, full),
    // and cleared otherwise. busy, when given, is set when the write failed
    // only because another connection held the store past the busy time-out
    // (kBusyTimeoutMs): the same write may succeed later. The entry's
    // copied_at, when set, is its time stamp (a capture that waited for the
    // store keeps the time it was copied); otherwise the time of the write.
    std::int64_t add_entry(const NewEntry& entry, bool* failed = nullptr, bool* busy = nullptr);
    // What became of one item of add_entries: as add_entry's id, failed and busy.
    struct CapturedWrite {
        std::int64_t id = 0;
        bool failed = false;
        bool busy = false;
    };
    // Several captured items, oldest first, in one transaction, each by
    // add_entry's rules (the bump of an equal text, the trim, image bytes
    // refused) and each kept or undone on its own. Items are taken until
    // budget_ms have passed in the store (at least one), so that a caller
    // on the interface thread is held only that long. One result per item
    // taken, in order; when the store could not be written at all, one
    // result for the first item (failed, busy as for add_entry).
    std::vector<CapturedWrite> add_entries(const std::vector<const NewEntry*>& entries, double budget_ms);
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
    // The quick slots in their order, each entry in its own place: one whose
    // row or long text does not read stays there without its text
    // (text_state NotRead), so that slot n is always the n-th.
    std::vector<HistoryEntry> list_slot_entries();

    // ---- lists as the main window and the quick menu read them (queries.cpp) --
    // Where the store's writes stood when a list was read: history rows
    // written since are told by history_writes_since.
    using WriteMark = ::WriteMark;
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
    // when the store cannot tell (the mark is from another connection,
    // another connection has committed to the file since, or too many rows
    // were written since), and then nothing is known.
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
    std::int64_t store_captured_entry(const NewEntry& entry, bool* failed, bool* busy);
    // One captured item inside a write transaction (lock held): the bump of
    // an equal text entry, or the insert and the trim (the trimmed rows'
    // image files in trimmed). The id, or 0 when the write failed (busy set
    // when another connection held the store).
    std::int64_t write_captured_unlocked(const NewEntry& entry, const std::string& flat, bool text_entry,
                                         bool is_image, const std::vector<std::uint8_t>& image,
                                         std::vector<std::wstring>& trimmed, bool* busy);

    // The object's mutex. Taking it first acts on a damage mark left by an
    // earlier operation, so that no operation runs on a file known to be
    // damaged.
    class StoreLock {
    public:
        explicit StoreLock(Database& owner) : owner_(owner) {}
        void lock();
        void unlock() { mutex_.unlock(); }

    private:
        std::mutex mutex_;
        Database& owner_;
    };
    using Guard = std::lock_guard<StoreLock>;

    // Set-up (constructor only, before the object is shared).
    void open();
    // read_only: through a file: URI with mode=ro (immutable too when
    // asked: nothing beside the file is made or read).
    int open_connection(bool read_only = false, bool immutable = false);
    // After a failed set-up of a file that exists: opens it read-only when
    // that reads (a read-only file or folder). True when it does.
    bool open_read_only();
    // The damaged file stays where it is and is read only (see
    // damaged_file_kept).
    void keep_damaged_file();
    void close_connection();
    int set_up_schema();  // SQLITE_OK, or the first failing set-up code
    // Renames the file and its log and journal aside, all of them or none.
    bool move_damaged_file_aside();
    // Damaged files (salvage.cpp, lock held): SQLITE_OK when the quick check
    // finds the file sound; the set-aside, fresh store and copy of what reads
    // (salvage: the file was a database); the copy itself, by table.
    int quick_check();
    int run_quick_check();
    bool replace_damaged_store(bool salvage);
    bool recover_unlocked();
    // Copies what reads of the set-aside file; sets unread_entries_.
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
    // pinned; returns their image files for deletion by the caller. With
    // removed: how many were deleted, -1 when the delete failed.
    std::vector<std::wstring> trim_history(std::int64_t* removed = nullptr);
    void remove_orphan_slots();
    bool set_pinned_unlocked(std::int64_t id, bool pinned);
    std::vector<std::wstring> image_paths_where(const std::wstring& condition);
    // Deletes the history rows of the condition (a statement's WHERE part
    // made of fixed text and quoted values) with their quick slots and
    // image files; returns how many there were.
    int delete_history_where(const std::wstring& condition);
    int load_entry_details(HistoryEntry& entry, Payload payload);
    // The rows of a statement over list_row_columns(), in its order.
    std::vector<HistoryEntry> read_entries(Statement& rows, std::size_t expected, Payload payload);
    bool add_to_slot_unlocked(std::int64_t id, int max_slots);
    bool entry_is_live(std::int64_t id);
    bool run_in_transaction_end(bool ok);

    // The history rows written, as the list readers ask for them (set on
    // every list read of a connection, with the file's data version).
    void hook_write_log();  // lock held
    WriteLog write_log_;
    sqlite3* connection_ = nullptr;
    DamageMark damage_;  // the connection's (reset with each connection)
    StoreLock lock_{*this};
    std::wstring path_;
    StatementCache cache_;
    bool open_ok_ = false;
    std::wstring damaged_path_;
    std::int64_t saved_entries_ = -1;
    std::int64_t unread_entries_ = 0;
    std::atomic<int> replacements_{0};
    std::atomic<bool> damaged_kept_{false};
    std::atomic<bool> read_only_{false};
};
