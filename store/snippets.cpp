// Snippets (reusable texts with placeholders) and their groups.
#include "store/database.h"

#include <initializer_list>

#include <sqlite3.h>

#include "core/text.h"

namespace {

using Guard = std::lock_guard<std::mutex>;

std::vector<Snippet> read_snippets(Statement& s) {
    std::vector<Snippet> out;
    while (s.step() == SQLITE_ROW) {
        Snippet sn;
        sn.id = s.column_int64(0);
        sn.title = s.column_text(1);
        sn.text = s.column_text(2);
        sn.grp = s.column_text(3);
        sn.use_count = s.column_int64(4);
        sn.created_at = s.column_text(5);
        sn.deleted_at = s.column_text(6);
        out.push_back(std::move(sn));
    }
    return out;
}

}  // namespace

std::vector<Snippet> Database::list_snippets() {
    Guard guard(lock_);
    Statement s = cached(
        "SELECT id, title, text, grp, use_count, created_at, deleted_at FROM snippets "
        "WHERE deleted_at IS NULL ORDER BY title ASC");
    return read_snippets(s);
}

std::vector<Snippet> Database::list_trashed_snippets() {
    Guard guard(lock_);
    Statement s = cached(
        "SELECT id, title, text, grp, use_count, created_at, deleted_at FROM snippets "
        "WHERE deleted_at IS NOT NULL ORDER BY deleted_at DESC, id DESC");
    return read_snippets(s);
}

std::int64_t Database::add_snippet(const std::wstring& title, const std::wstring& text,
                                   const std::wstring& group) {
    std::wstring t = trim(title);
    std::wstring g = trim(group);
    if (t.empty() || text.empty()) {
        return -1;
    }
    std::wstring stamp = now_iso_timestamp();
    Guard guard(lock_);
    ensure_sound_locked();
    if (!connection_) {
        return 0;
    }
    {
        Statement find = cached("SELECT id FROM snippets WHERE title=?1 LIMIT 1");
        find.bind_text(1, t);
        if (find.step() == SQLITE_ROW) {
            return 0;
        }
    }
    Statement insert =
        cached("INSERT INTO snippets (title, text, grp, created_at) VALUES (?1, ?2, ?3, ?4)");
    insert.bind_text(1, t).bind_text(2, text).bind_text(3, g).bind_text(4, stamp);
    // A snippet that was not stored has no id.
    if (insert.step() != SQLITE_DONE || sqlite3_changes(connection_) != 1) {
        return 0;
    }
    return last_insert_id();
}

bool Database::update_snippet(std::int64_t id, const std::wstring& title, const std::wstring& text,
                              const std::wstring& group) {
    std::wstring t = trim(title);
    if (t.empty() || text.empty()) {
        return false;
    }
    std::wstring g = trim(group);
    Guard guard(lock_);
    ensure_sound_locked();
    Statement s = cached("UPDATE snippets SET title=?1, text=?2, grp=?3 WHERE id=?4");
    s.bind_text(1, t).bind_text(2, text).bind_text(3, g).bind_int64(4, id);
    return s.run() == SQLITE_DONE;
}

bool Database::set_snippet_group(std::int64_t id, const std::wstring& group) {
    Guard guard(lock_);
    ensure_sound_locked();
    Statement s = cached("UPDATE snippets SET grp=?1 WHERE id=?2");
    s.bind_text(1, group).bind_int64(2, id);
    return s.run() == SQLITE_DONE;
}

bool Database::trash_snippet(std::int64_t id) {
    std::wstring stamp = now_iso_timestamp();
    Guard guard(lock_);
    ensure_sound_locked();
    Statement s = cached("UPDATE snippets SET deleted_at=?1 WHERE id=?2");
    s.bind_text(1, stamp).bind_int64(2, id);
    return s.run() == SQLITE_DONE;
}

bool Database::restore_snippet(std::int64_t id) {
    Guard guard(lock_);
    ensure_sound_locked();
    Statement s = cached("UPDATE snippets SET deleted_at=NULL WHERE id=?1");
    s.bind_int64(1, id);
    return s.run() == SQLITE_DONE;
}

bool Database::purge_snippet(std::int64_t id) {
    Guard guard(lock_);
    ensure_sound_locked();
    Statement s = cached("DELETE FROM snippets WHERE id=?1");
    s.bind_int64(1, id);
    return s.run() == SQLITE_DONE;
}

bool Database::increment_snippet_use_count(std::int64_t id) {
    Guard guard(lock_);
    ensure_sound_locked();
    Statement s = cached("UPDATE snippets SET use_count=use_count+1 WHERE id=?1");
    s.bind_int64(1, id);
    return s.run() == SQLITE_DONE;
}

std::vector<std::wstring> Database::list_snippet_groups() {
    Guard guard(lock_);
    std::vector<std::wstring> out;
    Statement s = cached(
        "SELECT name FROM snippet_groups UNION SELECT grp FROM snippets "
        "WHERE grp <> '' AND deleted_at IS NULL ORDER BY name ASC");
    while (s.step() == SQLITE_ROW) {
        out.push_back(s.column_text(0));
    }
    return out;
}

bool Database::add_snippet_group(const std::wstring& name) {
    std::wstring n = trim(name);
    if (n.empty()) {
        return false;
    }
    Guard guard(lock_);
    ensure_sound_locked();
    for (const char* sql : {"SELECT 1 FROM snippet_groups WHERE name=?1 LIMIT 1",
                            "SELECT 1 FROM snippets WHERE grp=?1 AND deleted_at IS NULL LIMIT 1"}) {
        Statement s = cached(sql);
        s.bind_text(1, n);
        if (s.step() == SQLITE_ROW) {
            return false;
        }
    }
    Statement s = cached("INSERT INTO snippet_groups (name) VALUES (?1)");
    s.bind_text(1, n);
    return s.run() == SQLITE_DONE;
}

bool Database::rename_snippet_group(const std::wstring& old_name, const std::wstring& new_name) {
    std::wstring from = trim(old_name);
    std::wstring to = trim(new_name);
    if (to.empty()) {
        return false;
    }
    Guard guard(lock_);
    ensure_sound_locked();
    auto any_row = [this](const char* sql, std::initializer_list<const std::wstring*> values) {
        Statement s = cached(sql);
        int index = 1;
        for (const std::wstring* v : values) {
            s.bind_text(index++, *v);
        }
        return s.step() == SQLITE_ROW;
    };
    // The old group exists (a row or a live snippet) ...
    if (!any_row("SELECT 1 FROM snippets WHERE grp=?1 AND deleted_at IS NULL "
                 "UNION SELECT 1 FROM snippet_groups WHERE name=?1 LIMIT 1",
                 {&from})) {
        return false;
    }
    // ... and the new name is neither a group row nor another live group.
    if (any_row("SELECT 1 FROM snippet_groups WHERE name=?1 LIMIT 1", {&to})) {
        return false;
    }
    if (any_row("SELECT 1 FROM snippets WHERE grp=?1 AND grp<>?2 AND deleted_at IS NULL LIMIT 1",
                {&to, &from})) {
        return false;
    }
    {
        Statement s = cached("UPDATE snippets SET grp=?1 WHERE grp=?2 AND deleted_at IS NULL");
        s.bind_text(1, to).bind_text(2, from);
        s.run();
    }
    bool has_row = any_row("SELECT name FROM snippet_groups WHERE name=?1 LIMIT 1", {&from});
    Statement s = cached(has_row ? "UPDATE snippet_groups SET name=?1 WHERE name=?2"
                                 : "INSERT INTO snippet_groups (name) VALUES (?1)");
    s.bind_text(1, to);
    if (has_row) {
        s.bind_text(2, from);
    }
    return s.run() == SQLITE_DONE;
}

bool Database::delete_snippet_group(const std::wstring& name) {
    Guard guard(lock_);
    ensure_sound_locked();
    {
        Statement s = cached("UPDATE snippets SET grp='' WHERE grp=?1 AND deleted_at IS NULL");
        s.bind_text(1, name);
        s.run();
    }
    Statement s = cached("DELETE FROM snippet_groups WHERE name=?1");
    s.bind_text(1, name);
    return s.run() == SQLITE_DONE;
}
