// Merging a backup file into the store. The file is read and checked from
// start to end before the store is touched; the merge then runs under the store's mutex
// in one transaction, which is rolled back as a whole when any statement
// fails, so a failed import leaves the store exactly as it was.
#include "store/database.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include <sqlite3.h>

#include "core/json.h"
#include "core/text.h"

namespace {

constexpr std::int64_t kMaxSlots = 9;

}  // namespace

// The steps of one merge; every method runs with the lock held inside the
// import's transaction and returns false when a statement failed.
class BackupImporter {
public:
    explicit BackupImporter(Database& db) : db_(db) {}

    // trimmed_files receives the image files of the entries the history
    // limit removed, to be deleted once the merge is committed.
    bool merge(BackupFileReader& file, BackupIndex& backup, ImportCounts& counts,
               std::vector<std::wstring>& trimmed_files) {
        if (!resolve_categories(backup.entries)) {
            return false;
        }
        // New rows list below every stored one, in the file's order: the
        // file's first entry comes out on top of them, as it was in the
        // store that wrote the file, and the user's own entries, however
        // old, stay above restored ones. Each entry is read from the file
        // again here, one at a time, from the last to the first.
        if (!number("SELECT COALESCE(MIN(sort_order), 1) FROM history", lowest_order_)) {
            return false;
        }
        std::vector<SlotRequest> slots;
        for (std::size_t i = backup.entries.size(); i-- > 0;) {
            ImportedEntry e;
            if (!file.entry_at(backup.entries[i].offset, e)) {
                return false;  // the file changed since it was checked
            }
            e.category_id = backup.entries[i].category_id;
            if (!merge_entry(e, i, counts, slots)) {
                return false;
            }
        }
        // The history limit, as after a capture: what it removes are the
        // oldest unpinned entries, the restored ones first.
        std::int64_t removed = 0;
        trimmed_files = db_.trim_history(&removed);
        if (removed < 0) {
            return false;
        }
        counts.entries_not_kept = static_cast<std::int32_t>(std::min<std::int64_t>(removed, INT32_MAX));
        if (!add_slots(slots)) {
            return false;
        }
        for (std::uint64_t offset : backup.snippets) {
            ImportedSnippet s;
            if (!file.snippet_at(offset, s) || !merge_snippet(s, counts)) {
                return false;
            }
        }
        // After the snippets: a group that a live snippet already gives
        // exists and gets no row of its own, so importing a file twice, or
        // into the store that wrote it, adds nothing.
        for (const std::wstring& name : backup.groups) {
            Statement s = db_.cached(
                "INSERT INTO snippet_groups (name) SELECT ?1 WHERE NOT EXISTS "
                "(SELECT 1 FROM snippet_groups WHERE name=?1) AND NOT EXISTS "
                "(SELECT 1 FROM snippets WHERE grp=?1 AND deleted_at IS NULL)");
            s.bind_text(1, name);
            if (s.run() != SQLITE_DONE) {
                return false;
            }
        }
        counts.skipped = backup.skipped;
        return true;
    }

private:
    enum class Found { kNo, kYes, kError };

    struct SlotRequest {
        std::int32_t order;      // the file's slot_order
        std::size_t position;    // the entry's place in the file
        std::int64_t id;
    };

    bool done(Statement& s) { return s.run() == SQLITE_DONE; }

    bool inserted(Statement& s, std::int64_t& id) {
        if (s.run() != SQLITE_DONE || sqlite3_changes(db_.connection_) != 1) {
            return false;
        }
        id = db_.last_insert_id();
        return id > 0;
    }

    // A single number from a statement without parameters.
    bool number(const std::string& sql, std::int64_t& out) {
        Statement s = db_.cached(sql);
        if (s.step() != SQLITE_ROW) {
            return false;
        }
        out = s.column_int64(0);
        return true;
    }

    // Maps every entry's category name to a category, found or created.
    // The first entry naming a category decides its pinned flag; an
    // existing category is never unpinned by a file.
    bool resolve_categories(std::vector<BackupIndex::Entry>& entries) {
        std::map<std::wstring, std::int64_t> by_name;  // the file's exact text
        std::set<std::int64_t> decided;
        for (BackupIndex::Entry& e : entries) {
            if (e.category.empty()) {
                continue;
            }
            auto known = by_name.find(e.category);
            if (known != by_name.end()) {
                e.category_id = known->second;
                continue;
            }
            std::wstring name = trim(e.category);
            if (name.empty()) {
                continue;  // no category, and the name stays unmapped
            }
            std::int64_t id = 0;
            bool existed = false;
            bool pinned = false;
            {
                Statement find = db_.cached("SELECT id, pinned FROM categories WHERE name=?1");
                find.bind_text(1, name);
                int rc = find.step();
                if (rc == SQLITE_ROW) {
                    id = find.column_int64(0);
                    pinned = find.column_flag(1);
                    existed = true;
                } else if (rc != SQLITE_DONE) {
                    return false;
                }
            }
            if (!existed) {
                std::int64_t order = 0;
                if (!number("SELECT COALESCE(MAX(cat_order),0) FROM categories", order)) {
                    return false;
                }
                Statement add = db_.cached("INSERT INTO categories (name, cat_order) VALUES (?1, ?2)");
                add.bind_text(1, name).bind_int64(2, order + 1);
                if (!inserted(add, id)) {
                    return false;
                }
            }
            if (decided.insert(id).second && e.has_category_pinned) {
                bool want = existed ? (pinned || e.category_pinned) : e.category_pinned;
                if (want != pinned) {
                    Statement set = db_.cached("UPDATE categories SET pinned=?1 WHERE id=?2");
                    set.bind_int(1, want ? 1 : 0).bind_int64(2, id);
                    if (!done(set)) {
                        return false;
                    }
                }
            }
            by_name.emplace(e.category, id);
            e.category_id = id;
        }
        return true;
    }

    // True when the stored image of the entry has exactly these bytes. The
    // image is read piece by piece, never whole.
    bool stored_image_equals(std::int64_t id, const std::vector<std::uint8_t>& bytes) {
        sqlite3_blob* raw = nullptr;
        if (sqlite3_blob_open(db_.connection_, "main", "history", "image", id, 0, &raw) != SQLITE_OK) {
            if (raw) {
                sqlite3_blob_close(raw);
            }
            return false;
        }
        std::unique_ptr<sqlite3_blob, int (*)(sqlite3_blob*)> blob(raw, &sqlite3_blob_close);
        if (static_cast<std::size_t>(sqlite3_blob_bytes(blob.get())) != bytes.size()) {
            return false;
        }
        piece_.resize(kPiece);
        for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
            int n = static_cast<int>(std::min(kPiece, bytes.size() - at));
            if (sqlite3_blob_read(blob.get(), piece_.data(), n, static_cast<int>(at)) != SQLITE_OK ||
                std::memcmp(piece_.data(), bytes.data() + at, static_cast<std::size_t>(n)) != 0) {
                return false;
            }
        }
        return true;
    }

    // The stored entry this one of the file stands for, live or trashed.
    Found find_entry(const ImportedEntry& e, const std::vector<std::uint8_t>& image, std::int64_t& id,
                     bool& trashed) {
        if (e.is_image && !image.empty()) {
            // Time and size in SQL (length() reads no image bytes), then the
            // bytes of each candidate.
            Statement s = db_.cached(
                "SELECT id, deleted_at IS NOT NULL FROM history "
                "WHERE is_image=1 AND created_at=?1 AND length(image)=?2");
            s.bind_text(1, e.created_at).bind_int64(2, static_cast<std::int64_t>(image.size()));
            int rc;
            while ((rc = s.step()) == SQLITE_ROW) {
                std::int64_t candidate = s.column_int64(0);
                if (stored_image_equals(candidate, image)) {
                    id = candidate;
                    trashed = s.column_flag(1);
                    return Found::kYes;
                }
            }
            return rc == SQLITE_DONE ? Found::kNo : Found::kError;
        }
        // An entry whose bitmap was not kept is also found as the image row
        // without bytes that the store writing the file held.
        Statement s = db_.cached(
            e.bitmap_not_kept ? "SELECT id, deleted_at IS NOT NULL FROM history WHERE created_at=?1 AND text=?2 "
                                "AND (is_image=0 OR image IS NULL OR length(image)=0) ORDER BY is_image LIMIT 1"
                              : "SELECT id, deleted_at IS NOT NULL FROM history WHERE is_image=0 AND created_at=?1 "
                                "AND text=?2 LIMIT 1");
        s.bind_text(1, e.created_at).bind_text(2, e.text);
        int rc = s.step();
        if (rc == SQLITE_ROW) {
            id = s.column_int64(0);
            trashed = s.column_flag(1);
            return Found::kYes;
        }
        return rc == SQLITE_DONE ? Found::kNo : Found::kError;
    }

    // Restores and flags a present entry; a flag or category of the file
    // is only ever added, never cleared or replaced. Unchanged rows are not
    // written (an update reads the whole row with its image).
    bool update_present(const ImportedEntry& e, std::int64_t id, bool trashed) {
        if (trashed) {
            Statement s = db_.cached("UPDATE history SET deleted_at=NULL WHERE id=?1");
            s.bind_int64(1, id);
            if (!done(s)) {
                return false;
            }
        }
        if (e.pinned) {
            Statement s = db_.cached("UPDATE history SET pinned=1 WHERE id=?1 AND pinned<>1");
            s.bind_int64(1, id);
            if (!done(s)) {
                return false;
            }
        }
        if (e.keep) {
            Statement s = db_.cached("UPDATE history SET keep=1 WHERE id=?1 AND keep<>1");
            s.bind_int64(1, id);
            if (!done(s)) {
                return false;
            }
        }
        if (e.category_id > 0) {
            Statement s =
                db_.cached("UPDATE history SET category_id=?1 WHERE id=?2 AND category_id IS NULL");
            s.bind_int64(1, e.category_id).bind_int64(2, id);
            if (!done(s)) {
                return false;
            }
        }
        return true;
    }

    bool merge_entry(ImportedEntry& e, std::size_t position, ImportCounts& counts,
                     std::vector<SlotRequest>& slots) {
        // One buffer serves every image of the file.
        if (!decode_base64_strict(e.image_base64, image_) && !e.image_base64.empty()) {
            // Only its head was checked on this reading: its whole text
            // failed the first one, which took the entry for its text.
            if (trim(e.text).empty()) {
                return false;  // the file changed since it was checked
            }
            e.is_image = false;
        }
        std::string().swap(e.image_base64);
        std::int64_t id = 0;
        bool trashed = false;
        Found found = find_entry(e, image_, id, trashed);
        if (found == Found::kError) {
            return false;
        }
        const std::int64_t* category = e.category_id > 0 ? &e.category_id : nullptr;
        if (found == Found::kYes) {
            if (!update_present(e, id, trashed)) {
                return false;
            }
            ++counts.entries_present;
        } else {
            // New rows take the column defaults for everything else (no
            // payload or source); their sort order puts them below every
            // stored entry, in the file's order.
            Statement s = db_.cached(
                e.is_image ? "INSERT INTO history (text, created_at, pinned, category_id, keep, sort_order, "
                             "is_image, image) VALUES (?1, ?2, ?3, ?4, ?5, ?7, 1, ?6)"
                           : "INSERT INTO history (text, created_at, pinned, category_id, keep, sort_order) "
                             "VALUES (?1, ?2, ?3, ?4, ?5, ?7)");
            s.bind_text(1, e.text)
                .bind_text(2, e.created_at)
                .bind_int(3, e.pinned ? 1 : 0)
                .bind_optional(4, category)
                .bind_int(5, e.keep ? 1 : 0)
                .bind_int64(7, lowest_order_ - 1 - static_cast<std::int64_t>(position));
            if (e.is_image) {
                // With the row: an image is never stored apart from its
                // entry. The buffer outlives the step, so SQLite need not
                // copy it.
                int rc = image_.empty() ? sqlite3_bind_null(s.get(), 6)
                                        : sqlite3_bind_blob64(s.get(), 6, image_.data(), image_.size(), SQLITE_STATIC);
                if (rc != SQLITE_OK) {
                    return false;
                }
            }
            if (!inserted(s, id)) {
                return false;
            }
            ++counts.entries_added;
        }
        if (e.slot_order > 0) {
            slots.push_back(SlotRequest{e.slot_order, position, id});
        }
        return true;
    }

    // Appends quick slots after the largest stored order, by the file's
    // slot order (then its entry order), while fewer than nine slots are
    // taken; an entry that has a slot keeps it, and one the history limit
    // removed gets none.
    bool add_slots(std::vector<SlotRequest>& slots) {
        if (slots.empty()) {
            return true;
        }
        std::sort(slots.begin(), slots.end(), [](const SlotRequest& a, const SlotRequest& b) {
            return a.order != b.order ? a.order < b.order : a.position < b.position;
        });
        {
            Statement s = db_.cached("DELETE FROM slot_entries WHERE entry_id NOT IN (SELECT id FROM history)");
            if (!done(s)) {
                return false;
            }
        }
        std::int64_t taken = 0;
        std::int64_t next = 0;
        if (!number("SELECT COUNT(*) FROM slot_entries", taken) ||
            !number("SELECT COALESCE(MAX(slot_order),0) FROM slot_entries", next)) {
            return false;
        }
        ++next;
        for (const SlotRequest& request : slots) {
            if (taken >= kMaxSlots) {
                break;
            }
            const std::int64_t id = request.id;
            {
                Statement has = db_.cached(
                    "SELECT EXISTS (SELECT 1 FROM slot_entries WHERE entry_id=?1) OR "
                    "NOT EXISTS (SELECT 1 FROM history WHERE id=?1)");
                has.bind_int64(1, id);
                if (has.step() != SQLITE_ROW) {
                    return false;
                }
                if (has.column_flag(0)) {
                    continue;
                }
            }
            Statement add = db_.cached("INSERT INTO slot_entries (entry_id, slot_order) VALUES (?1, ?2)");
            add.bind_int64(1, id).bind_int64(2, next);
            if (!done(add)) {
                return false;
            }
            ++next;
            ++taken;
        }
        return true;
    }

    bool merge_snippet(const ImportedSnippet& sn, ImportCounts& counts) {
        std::int64_t id = 0;
        std::wstring stored_text;
        std::wstring stored_group;
        bool trashed = false;
        bool found = false;
        {
            // A live snippet of the title before a trashed one.
            Statement s = db_.cached(
                "SELECT id, text, COALESCE(grp,''), deleted_at IS NOT NULL FROM snippets "
                "WHERE title=?1 ORDER BY (deleted_at IS NULL) DESC, id ASC LIMIT 1");
            s.bind_text(1, sn.title);
            int rc = s.step();
            if (rc == SQLITE_ROW) {
                found = true;
                id = s.column_int64(0);
                stored_text = s.column_text(1);
                stored_group = s.column_text(2);
                trashed = s.column_flag(3);
            } else if (rc != SQLITE_DONE) {
                return false;
            }
        }
        if (!found) {
            Statement s = db_.cached(
                "INSERT INTO snippets (title, text, grp, use_count, created_at) VALUES (?1, ?2, ?3, ?4, ?5)");
            s.bind_text(1, sn.title)
                .bind_text(2, sn.text)
                .bind_text(3, sn.group)
                .bind_int64(4, sn.use_count)
                .bind_text(5, sn.created_at);
            if (!inserted(s, id)) {
                return false;
            }
            ++counts.snippets_added;
            return true;
        }
        if (trashed) {
            Statement s = db_.cached("UPDATE snippets SET deleted_at=NULL WHERE id=?1");
            s.bind_int64(1, id);
            if (!done(s)) {
                return false;
            }
        }
        // A default snippet the user never changed takes the file's version.
        std::optional<std::wstring> body = default_template_text(sn.title);
        if (body && stored_text == *body && (sn.text != stored_text || sn.group != stored_group)) {
            Statement s = db_.cached(
                sn.created_at.empty()
                    ? "UPDATE snippets SET text=?1, grp=?2, use_count=?3 WHERE id=?5"
                    : "UPDATE snippets SET text=?1, grp=?2, use_count=?3, created_at=?4 WHERE id=?5");
            s.bind_text(1, sn.text).bind_text(2, sn.group).bind_int64(3, sn.use_count).bind_int64(5, id);
            if (!sn.created_at.empty()) {
                s.bind_text(4, sn.created_at);
            }
            if (!done(s)) {
                return false;
            }
            ++counts.snippets_replaced;
            return true;
        }
        if (!sn.group.empty() && stored_group.empty()) {
            Statement s = db_.cached("UPDATE snippets SET grp=?1 WHERE id=?2");
            s.bind_text(1, sn.group).bind_int64(2, id);
            if (!done(s)) {
                return false;
            }
        }
        ++counts.snippets_kept;
        return true;
    }

    static constexpr std::size_t kPiece = 64 * 1024;

    Database& db_;
    std::int64_t lowest_order_ = 1;    // the lowest sort order stored before the import
    std::vector<std::uint8_t> image_;  // the entry's decoded image
    std::vector<std::uint8_t> piece_;  // a piece of a stored image
};

ImportCounts Database::import_json(const std::wstring& path) {
    ImportCounts counts;
    // The file is read once to check it and list its elements before the
    // store is touched; the merge then reads the elements again one by one.
    BackupFileReader file;
    BackupIndex index;
    if (!file.open(path)) {
        counts.status = ImportStatus::kUnreadable;
        return counts;
    }
    try {
        index = file.scan();
    } catch (const std::exception&) {  // out of memory
        counts.status = ImportStatus::kFailed;
        return counts;
    }
    if (!index.readable) {
        counts.status = ImportStatus::kUnreadable;
        return counts;
    }

    Guard guard(lock_);
    ImportCounts failed;
    failed.status = ImportStatus::kFailed;
    if (!connection_) {
        return failed;
    }
    if (exec(L"BEGIN IMMEDIATE") != SQLITE_OK) {
        exec(L"ROLLBACK");
        return failed;
    }
    bool ok = false;
    std::vector<std::wstring> trimmed_files;
    try {
        ok = BackupImporter(*this).merge(file, index, counts, trimmed_files);
    } catch (const std::exception&) {
        ok = false;
    }
    if (!run_in_transaction_end(ok)) {
        return failed;
    }
    // Files go only once their rows are gone for good.
    delete_image_files(trimmed_files);
    return counts;
}
