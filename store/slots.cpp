// Quick slots: up to nine history entries bound to the slot hotkeys. Slot n
// is the n-th live slotted entry by slot_order (see list_slot_entries).
#include "store/database.h"

#include <sqlite3.h>

namespace {
using Guard = std::lock_guard<std::mutex>;
}

bool Database::entry_is_live(std::int64_t id) {
    Statement s = cached("SELECT 1 FROM history WHERE id=?1 AND deleted_at IS NULL");
    s.bind_int64(1, id);
    return s.step() == SQLITE_ROW;
}

bool Database::add_to_slot_unlocked(std::int64_t id, int max_slots) {
    {
        Statement s = cached("SELECT 1 FROM slot_entries WHERE entry_id=?1");
        s.bind_int64(1, id);
        if (s.step() == SQLITE_ROW) {
            return false;
        }
    }
    // Only a live entry can hold a slot; rows left by deleted entries would
    // take places nobody sees.
    if (!entry_is_live(id)) {
        return false;
    }
    remove_orphan_slots();
    std::int64_t count = query_int64("SELECT COUNT(*) FROM slot_entries", 0);
    bool inserted;
    {
        Statement s = cached("INSERT INTO slot_entries (entry_id, slot_order) VALUES (?1, ?2)");
        s.bind_int64(1, id).bind_int64(2, count + 1);
        inserted = s.run() == SQLITE_DONE;
    }
    std::vector<std::int64_t> beyond;
    {
        Statement s = cached(
            "SELECT entry_id FROM slot_entries ORDER BY slot_order ASC, entry_id ASC LIMIT -1 OFFSET ?1");
        s.bind_int64(1, max_slots < 0 ? 0 : max_slots);
        while (s.step() == SQLITE_ROW) {
            beyond.push_back(s.column_int64(0));
        }
    }
    for (std::int64_t extra : beyond) {
        Statement s = cached("DELETE FROM slot_entries WHERE entry_id=?1");
        s.bind_int64(1, extra);
        s.run();
    }
    return inserted;
}

bool Database::add_to_slot(std::int64_t id, int max_slots) {
    Guard guard(lock_);
    ensure_sound_locked();
    return add_to_slot_unlocked(id, max_slots);
}

int Database::add_to_slots(const std::vector<std::int64_t>& ids, int max_slots) {
    if (ids.empty() || max_slots <= 0) {
        return 0;
    }
    Guard guard(lock_);
    ensure_sound_locked();
    remove_orphan_slots();
    std::int64_t before = query_int64("SELECT COUNT(*) FROM slot_entries", 0);
    for (std::int64_t id : ids) {
        {
            Statement s = cached("SELECT 1 FROM slot_entries WHERE entry_id=?1");
            s.bind_int64(1, id);
            if (s.step() == SQLITE_ROW) {
                continue;  // keeps its place
            }
        }
        if (!entry_is_live(id)) {
            continue;
        }
        std::int64_t count = query_int64("SELECT COUNT(*) FROM slot_entries", 0);
        Statement s = cached("INSERT INTO slot_entries (entry_id, slot_order) VALUES (?1, ?2)");
        s.bind_int64(1, id).bind_int64(2, count + 1);
        s.run();
    }
    {
        Statement cut = cached(
            "DELETE FROM slot_entries WHERE entry_id NOT IN (SELECT entry_id FROM slot_entries "
            "ORDER BY slot_order ASC, entry_id ASC LIMIT ?1)");
        cut.bind_int64(1, max_slots);
        cut.run();
    }
    std::int64_t after = query_int64("SELECT COUNT(*) FROM slot_entries", 0);
    return after > before ? static_cast<int>(after - before) : 0;
}

bool Database::remove_from_slots(std::int64_t id) {
    Guard guard(lock_);
    ensure_sound_locked();
    Statement s = cached("DELETE FROM slot_entries WHERE entry_id=?1");
    s.bind_int64(1, id);
    return s.run() == SQLITE_DONE && sqlite3_changes(connection_) > 0;
}
