// The store's recovery step: SQLite's quick check, the set-aside of a
// damaged file and the fresh store that replaces it, a file kept where it
// is while another program holds it, and the retries of what waits.
#include "store/database.h"

#include <atomic>
#include <string>

#include <sqlite3.h>

namespace {

// Tests only (Database::limit_fresh_store_pages).
std::atomic<unsigned> g_fresh_store_pages{0};

}  // namespace

void Database::limit_fresh_store_pages(unsigned pages) {
    g_fresh_store_pages = pages;
}

int Database::quick_check() {
    // The check reads every page once: through a memory map that costs
    // one system call per chunk instead of one per page.
    exec(L"PRAGMA mmap_size=1073741824");
    const int rc = run_quick_check();
    exec(L"PRAGMA mmap_size=0");
    return rc;
}

int Database::run_quick_check() {
    Statement check = Statement::prepare(connection_, "PRAGMA quick_check");
    if (!check) {
        return check.prepare_result();
    }
    bool sound = true;
    int rows = 0;
    int rc;
    while ((rc = check.step()) == SQLITE_ROW) {
        ++rows;
        if (check.column_text(0) != L"ok") {
            sound = false;
        }
    }
    if (rc != SQLITE_DONE) {
        return rc;
    }
    return sound && rows > 0 ? SQLITE_OK : SQLITE_CORRUPT;
}

bool Database::set_aside(bool salvage) {
    if (connection_) {
        // Closing must not write the log into the damaged file.
        sqlite3_db_config(connection_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    }
    close_connection();
    if (!move_damaged_file_aside()) {
        return false;
    }
    damaged_kept_ = false;
    read_only_ = false;
    salvage_wanted_ = salvage;
    salvage_waiting_ = false;
    saved_entries_ = -1;
    unread_entries_ = 0;
    ++replacements_;
    fill_fresh_store();
    return true;
}

bool Database::fill_fresh_store() {
    const bool was_waiting = salvage_waiting_;
    if (open_connection() == SQLITE_OK) {
        if (const unsigned pages = g_fresh_store_pages) {
            exec(L"PRAGMA max_page_count=" + std::to_wstring(pages));
        }
        std::int64_t saved = -1;
        std::int64_t unread = 0;
        if (set_up_schema() == SQLITE_OK && (!salvage_wanted_ || salvage_rows(damaged_path_, saved, unread))) {
            saved_entries_ = saved;
            unread_entries_ = unread;
            salvage_waiting_ = false;
            open_ok_ = true;
            finish_set_up();
            ++news_;
            return true;
        }
    }
    // Nothing is written until the fresh store takes the copy whole: the
    // entries stay in the set-aside file meanwhile.
    close_connection();
    open_ok_ = false;
    salvage_waiting_ = true;
    if (!was_waiting) {
        ++news_;
    }
    return false;
}

void Database::keep_damaged_file(bool is_database) {
    close_connection();
    if (!damaged_kept_ || kept_is_database_ != is_database) {
        ++news_;
    }
    damaged_kept_ = true;
    kept_is_database_ = is_database;
    read_only_ = false;
    open_ok_ = false;
    if (!is_database) {
        return;  // nothing in it to list
    }
    // Read as it is, and closed without a checkpoint, so that neither the
    // file nor its log changes until it can be set aside.
    if (open_connection(true) == SQLITE_OK) {
        sqlite3_db_config(connection_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        read_only_ = true;
        open_ok_ = true;
    } else {
        close_connection();
    }
}

bool Database::ensure_sound_locked(bool retry) {
    const int replaced = replacements_;
    const bool waiting = salvage_waiting_;
    OpenFacts facts;
    facts.read_write = Probe::Damaged;
    if (damaged_kept_) {
        // Another program held the file: it may have let go since.
        if (retry) {
            facts.file = kept_is_database_ ? FileKind::Database : FileKind::NotDatabase;
            carry_out(decide_open(facts), facts);
        }
    } else if (salvage_waiting_) {
        if (retry) {
            fill_fresh_store();
        }
    } else if (connection_ && damage_.seen) {
        facts.file = FileKind::Database;
        carry_out(decide_open(facts), facts);
    }
    return replacements_ != replaced || (waiting && !salvage_waiting_);
}

bool Database::recover_if_damaged() {
    Guard guard(lock_);
    return ensure_sound_locked(false);
}

bool Database::ensure_sound() {
    Guard guard(lock_);
    return ensure_sound_locked();
}

bool Database::check_integrity() {
    Guard guard(lock_);
    if (ensure_sound_locked()) {
        return true;
    }
    if (damaged_kept_ || salvage_waiting_ || !connection_) {
        return false;
    }
    // Pages kept from earlier reads would hide what changed in the file.
    sqlite3_db_release_memory(connection_);
    if (!is_damage_code(quick_check())) {
        return false;
    }
    damage_.seen = true;
    return ensure_sound_locked(false);
}
