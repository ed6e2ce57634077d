// Categories: user-named folders for history entries.
#include "store/database.h"

#include <cstdlib>

#include <sqlite3.h>

#include "core/text.h"

namespace {
using Guard = std::lock_guard<std::mutex>;
}

std::vector<Category> Database::list_categories() {
    Guard guard(lock_);
    std::vector<Category> out;
    Statement s = cached("SELECT id, name, pinned, cat_order FROM categories ORDER BY cat_order ASC, id ASC");
    while (s.step() == SQLITE_ROW) {
        Category c;
        c.id = s.column_int64(0);
        c.name = s.column_text(1);
        c.pinned = s.column_flag(2);
        c.cat_order = s.column_int64(3);
        out.push_back(std::move(c));
    }
    return out;
}

std::int64_t Database::add_category(const std::wstring& name) {
    std::wstring n = trim(name);
    if (n.empty()) {
        return -1;
    }
    Guard guard(lock_);
    ensure_sound_locked();
    if (!connection_) {
        return 0;
    }
    {
        Statement find = cached("SELECT id FROM categories WHERE name=?1");
        find.bind_text(1, n);
        if (find.step() == SQLITE_ROW) {
            return find.column_int64(0);
        }
    }
    std::int64_t order = query_int64("SELECT COALESCE(MAX(cat_order),0) FROM categories", 0) + 1;
    Statement insert = cached("INSERT INTO categories (name, cat_order) VALUES (?1, ?2)");
    insert.bind_text(1, n).bind_int64(2, order);
    // Only a row this statement inserted has an id to report.
    if (insert.step() != SQLITE_DONE || sqlite3_changes(connection_) != 1) {
        return 0;
    }
    return last_insert_id();
}

bool Database::rename_category(std::int64_t id, const std::wstring& name) {
    std::wstring n = trim(name);
    if (n.empty()) {
        return false;
    }
    Guard guard(lock_);
    ensure_sound_locked();
    Statement s = cached("UPDATE categories SET name=?1 WHERE id=?2");
    s.bind_text(1, n).bind_int64(2, id);
    // A name used by another category is refused by the table.
    return s.run() == SQLITE_DONE;
}

bool Database::set_category_pinned(std::int64_t id, bool pinned) {
    Guard guard(lock_);
    ensure_sound_locked();
    Statement s = cached("UPDATE categories SET pinned=?1 WHERE id=?2");
    s.bind_int(1, pinned ? 1 : 0).bind_int64(2, id);
    return s.run() == SQLITE_DONE;
}

bool Database::toggle_category_pinned(std::int64_t id) {
    Guard guard(lock_);
    ensure_sound_locked();
    bool was_pinned;
    {
        Statement s = cached("SELECT pinned FROM categories WHERE id=?1");
        s.bind_int64(1, id);
        if (s.step() != SQLITE_ROW) {
            return false;
        }
        was_pinned = s.column_flag(0);
    }
    Statement s = cached("UPDATE categories SET pinned=?1 WHERE id=?2");
    s.bind_int(1, was_pinned ? 0 : 1).bind_int64(2, id);
    return s.run() == SQLITE_DONE;
}

bool Database::move_category(std::int64_t id, int direction) {
    Guard guard(lock_);
    ensure_sound_locked();
    std::int64_t own;
    {
        Statement s = cached("SELECT cat_order FROM categories WHERE id=?1");
        s.bind_int64(1, id);
        if (s.step() != SQLITE_ROW) {
            return false;
        }
        own = s.column_int64(0);
    }
    std::int64_t other_id;
    std::int64_t other_order;
    {
        Statement s = cached(direction == -1
                                 ? "SELECT id, cat_order FROM categories WHERE cat_order<?1 "
                                   "ORDER BY cat_order DESC LIMIT 1"
                                 : "SELECT id, cat_order FROM categories WHERE cat_order>?1 "
                                   "ORDER BY cat_order ASC LIMIT 1");
        s.bind_int64(1, own);
        if (s.step() != SQLITE_ROW) {
            return false;
        }
        other_id = s.column_int64(0);
        other_order = s.column_int64(1);
    }
    for (auto [target, order] : {std::pair{id, other_order}, std::pair{other_id, own}}) {
        Statement s = cached("UPDATE categories SET cat_order=?1 WHERE id=?2");
        s.bind_int64(1, order).bind_int64(2, target);
        s.run();
    }
    return true;
}

int Database::count_category_entries(std::int64_t id) {
    Guard guard(lock_);
    Statement s = cached("SELECT COUNT(*) FROM history WHERE category_id=?1 AND deleted_at IS NULL");
    s.bind_int64(1, id);
    return s.step() == SQLITE_ROW ? static_cast<int>(s.column_int64(0)) : 0;
}

bool Database::delete_category(std::int64_t id) {
    Guard guard(lock_);
    ensure_sound_locked();
    std::wstring n = join_ids({id});
    exec(L"UPDATE history SET category_id=NULL WHERE category_id=" + n);
    exec(L"DELETE FROM categories WHERE id=" + n);
    return true;
}

int Database::delete_category_with_entries(std::int64_t id) {
    std::wstring stamp = now_iso_timestamp();
    Guard guard(lock_);
    ensure_sound_locked();
    std::wstring n = join_ids({id});
    Rows counted = query(L"SELECT COUNT(*) FROM history WHERE category_id=" + n +
                         L" AND deleted_at IS NULL");
    int count = (counted.empty() || counted[0].empty()) ? 0 : _wtoi(counted[0][0].c_str());
    exec(L"DELETE FROM slot_entries WHERE entry_id IN (SELECT id FROM history WHERE category_id=" + n +
         L" AND deleted_at IS NULL)");
    exec(L"UPDATE history SET deleted_at=" + sql_quote(stamp) + L" WHERE category_id=" + n +
         L" AND deleted_at IS NULL");
    exec(L"UPDATE history SET category_id=NULL WHERE category_id=" + n);
    exec(L"DELETE FROM categories WHERE id=" + n);
    return count;
}
