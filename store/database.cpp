// Connection, schema creation and migration, default snippets, back-fills
// and the statement primitives of the history store.
#include "store/database.h"

#include <windows.h>

#include <cstring>

#include <sqlite3.h>

#include "core/handles.h"
#include "core/text.h"

namespace {

// Every column added to `history` after its first layout, in order.
const wchar_t* const kHistoryColumns[] = {
    L"rtf TEXT DEFAULT ''",
    L"html TEXT DEFAULT ''",
    L"image BLOB DEFAULT NULL",
    L"source_app TEXT DEFAULT ''",
    L"source_title TEXT DEFAULT ''",
    L"source_url TEXT DEFAULT ''",
    L"orig_text TEXT DEFAULT ''",
    L"is_image INTEGER NOT NULL DEFAULT 0",
    L"is_browser_page INTEGER NOT NULL DEFAULT 0",
    L"custom_title TEXT DEFAULT ''",
    L"image_path TEXT DEFAULT ''",
    L"cat_pin_override INTEGER NOT NULL DEFAULT 0",
    L"link_title TEXT DEFAULT ''",
    L"keep INTEGER NOT NULL DEFAULT 0",
    // 1: image_path is a file the user saved; the store never deletes it.
    L"image_user_file INTEGER NOT NULL DEFAULT 0",
};

// The default snippet groups and titles (Russian: "Letters", "Documents",
// "Letter", "Document heading").
const wchar_t kGroupLetters[] = L"\u041F\u0438\u0441\u044C\u043C\u0430";
const wchar_t kGroupDocuments[] = L"\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B";
const wchar_t kTitleLetter[] = L"\u041F\u0438\u0441\u044C\u043C\u043E";
const wchar_t kTitleHeading[] =
    L"\u0417\u0430\u0433\u043E\u043B\u043E\u0432\u043E\u043A "
    L"\u0434\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u0430";
const wchar_t kBodyLetter[] =
    L"\u0417\u0434\u0440\u0430\u0432\u0441\u0442\u0432\u0443\u0439\u0442\u0435, {user}!\n\n"
    L"\u041D\u0430\u043F\u0440\u0430\u0432\u043B\u044F\u0435\u043C \u0432\u0430\u043C "
    L"\u043F\u0438\u0441\u044C\u043C\u043E \u043E\u0442 {date}.\n\n"
    L"\u0421 \u0443\u0432\u0430\u0436\u0435\u043D\u0438\u0435\u043C, ...";
const wchar_t kBodyHeading[] =
    L"\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442 "
    L"\u043F\u043E\u0434\u0433\u043E\u0442\u043E\u0432\u043B\u0435\u043D {date} "
    L"\u043F\u043E\u043B\u044C\u0437\u043E\u0432\u0430\u0442\u0435\u043B\u0435\u043C {user}.";

// True for a non-empty file that does not start with the SQLite header. It
// is found before SQLite touches the file or its log.
bool lacks_database_header(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    static const char kHeader[16] = "SQLite format 3";  // with its NUL
    char head[16] = {};
    DWORD got = 0;
    BOOL read = ReadFile(h, head, sizeof(head), &got, nullptr);
    CloseHandle(h);
    if (!read || got == 0) {
        return false;  // an empty file is an empty database
    }
    return got < sizeof(head) || std::memcmp(head, kHeader, sizeof(head)) != 0;
}

bool file_exists(const std::wstring& path) {
    DWORD attrs = GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool file_is_empty(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeHigh == 0 &&
           data.nFileSizeLow == 0;
}

bool marked_read_only(const std::wstring& path) {
    const DWORD attrs = GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY);
}

// True when no open handle of another program forbids renaming the file:
// it opens for deletion (with every sharing allowed, so that the rename
// that follows is not refused by this handle).
bool can_be_moved(const std::wstring& path) {
    const raii::Handle h(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(h);
}

}  // namespace

// ---- text functions ---------------------------------------------------------

std::string sqlite_file_uri(const std::wstring& path, bool immutable) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    const std::string bytes = to_utf8(path);
    // "C:\x" is "file:///C:/x"; "\\server\share" is "file:////server/share".
    if (bytes.size() >= 2 && bytes[1] == ':') {
        uri += "///";
    } else if (bytes.rfind("\\\\", 0) == 0) {
        uri += "//";
    }
    for (unsigned char c : bytes) {
        if (c == '\\') {
            uri += '/';
        } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                   (c != 0 && std::strchr("-._~/:", c))) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    uri += immutable ? "?mode=ro&immutable=1" : "?mode=ro";
    return uri;
}

std::wstring sql_quote(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size() + 2);
    out += L'\'';
    for (wchar_t c : text) {
        if (c == L'\'') {
            out += L'\'';
        }
        out += c;
    }
    out += L'\'';
    return out;
}

std::wstring join_ids(const std::vector<std::int64_t>& ids) {
    std::wstring out;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i) {
            out += L',';
        }
        out += std::to_wstring(ids[i]);
    }
    return out;
}

std::optional<std::wstring> default_template_text(const std::wstring& title) {
    if (title == kTitleLetter) {
        return std::wstring(kBodyLetter);
    }
    if (title == kTitleHeading) {
        return std::wstring(kBodyHeading);
    }
    return std::nullopt;
}

// ---- construction -------------------------------------------------------------

Database::Database(const std::wstring& path) : path_(path) {
    open();
}

Database::~Database() {
    close_connection();
}

int Database::open_connection(bool read_only, bool immutable) {
    sqlite3* db = nullptr;
    int rc = read_only ? sqlite3_open_v2(sqlite_file_uri(path_, immutable).c_str(), &db,
                                         SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr)
                       : sqlite3_open(to_utf8(path_).c_str(), &db);
    if (rc != SQLITE_OK) {
        if (db) {
            sqlite3_close(db);
        }
        connection_ = nullptr;
        return rc;
    }
    connection_ = db;
    attach_damage_mark(db, &damage_);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return SQLITE_OK;
}

void Database::close_connection() {
    cache_.clear();
    if (connection_) {
        if (damage_.seen) {
            // A damaged file is left as it is: its log is not written into it.
            sqlite3_db_config(connection_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        }
        sqlite3_close(connection_);
        connection_ = nullptr;
    }
}

Probe Database::probe_read_only() {
    close_connection();
    // A read-only folder cannot take the log's index beside the file: the
    // file is then read as it is (immutable), which is all it can be.
    for (const bool immutable : {false, true}) {
        if (open_connection(true, immutable) == SQLITE_OK) {
            const int check = quick_check();
            if (check == SQLITE_OK) {
                return Probe::Sound;
            }
            if (is_damage_code(check)) {
                return Probe::Damaged;
            }
        }
        close_connection();
    }
    return Probe::Failed;
}

OpenFacts Database::probe_file() {
    OpenFacts facts;
    if (!file_exists(path_)) {
        facts.file = FileKind::Absent;
    } else {
        // Found before SQLite touches the file or its log.
        facts.file = lacks_database_header(path_) ? FileKind::NotDatabase : FileKind::Database;
    }
    if (facts.file == FileKind::NotDatabase) {
        return facts;
    }
    // A file marked read-only is never opened for writing (Windows refuses
    // it; some file systems would not).
    if (facts.file == FileKind::Database && marked_read_only(path_)) {
        facts.read_only = probe_read_only();
        if (facts.read_only != Probe::Failed) {
            return facts;
        }
    }
    if (open_connection() != SQLITE_OK) {
        close_connection();
        facts.read_write = Probe::Failed;
        return facts;
    }
    // A file damaged inside fails the quick check, before anything is
    // written to it; one whose header or schema is broken fails in the
    // first statements.
    int setup = quick_check();
    if (setup == SQLITE_OK) {
        setup = sqlite3_db_readonly(connection_, "main") == 1 ? SQLITE_READONLY : set_up_schema();
    }
    if (setup == SQLITE_OK) {
        facts.read_write = Probe::Sound;
    } else if (is_damage_code(setup)) {
        facts.read_write = Probe::Damaged;
    } else {
        facts.read_write = Probe::Failed;
        // A file or folder that takes no writes: its rows are listed.
        if (file_exists(path_)) {
            facts.read_only = probe_read_only();
        }
    }
    return facts;
}

void Database::open() {
    const OpenFacts facts = probe_file();
    carry_out(decide_open(facts), facts);
}

void Database::carry_out(OpenPlan plan, OpenFacts facts) {
    switch (plan) {
    case OpenPlan::ReadWrite:
        read_only_ = false;
        open_ok_ = true;
        finish_set_up();
        return;
    case OpenPlan::ReadOnly:
        read_only_ = true;
        open_ok_ = true;
        return;
    case OpenPlan::SetAsideAndSalvage:
    case OpenPlan::SetAsideFresh:
        if (!set_aside(plan == OpenPlan::SetAsideAndSalvage)) {
            facts.held = true;
            carry_out(decide_open(facts), facts);
        }
        return;
    case OpenPlan::KeepReadingDamaged:
        keep_damaged_file(true);
        return;
    case OpenPlan::WaitForHeldFile:
        keep_damaged_file(false);
        return;
    case OpenPlan::Closed:
        close_connection();
        open_ok_ = false;
        return;
    }
}

void Database::finish_set_up() {
    if (!connection_ || read_only_) {
        return;
    }
    seed_default_snippets();
    exec(L"UPDATE history SET is_image=1 WHERE is_image=0 AND image IS NOT NULL AND length(image) > 0");
    backfill_source_urls();
}

bool Database::move_damaged_file_aside() {
    std::wstring stamp = now_iso_timestamp();
    for (wchar_t& c : stamp) {
        if (c == L':') {
            c = L'-';  // not allowed in file names
        }
    }
    std::wstring base = path_ + L".damaged-" + stamp;
    std::wstring target = base;
    for (int n = 2; n < 1000 && (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES ||
                                 GetFileAttributesW((target + L"-wal").c_str()) !=
                                     INVALID_FILE_ATTRIBUTES);
         ++n) {
        target = base + L"-" + std::to_wstring(n);
    }
    // The log and journal belong to the file: moved without them, the file
    // loses the rows only they hold, and a fresh database beside them would
    // take them for its own. They go first (a file that stays behind still
    // finds nothing that is not its own), and only when every one of them
    // can be moved now: another program may hold one open without delete
    // sharing.
    std::vector<std::wstring> moving;
    for (const wchar_t* suffix : {L"-wal", L"-journal"}) {
        const std::wstring file = path_ + suffix;
        // An empty one holds nothing (opening the file made it).
        if (file_exists(file) && !(file_is_empty(file) && DeleteFileW(file.c_str()))) {
            moving.push_back(suffix);
        }
    }
    moving.push_back(L"");
    for (const std::wstring& suffix : moving) {
        if (!can_be_moved(path_ + suffix)) {
            return false;
        }
    }
    std::vector<std::wstring> moved;
    for (const std::wstring& suffix : moving) {
        // Never overwrite: MoveFileExW without MOVEFILE_REPLACE_EXISTING.
        if (!MoveFileExW((path_ + suffix).c_str(), (target + suffix).c_str(), 0)) {
            for (const std::wstring& back : moved) {
                MoveFileExW((target + back).c_str(), (path_ + back).c_str(), 0);
            }
            return false;
        }
        moved.push_back(suffix);
    }
    damaged_path_ = target;
    // The log's index is rebuilt from the log by whoever reads it.
    DeleteFileW((path_ + L"-shm").c_str());
    return true;
}

int Database::set_up_schema() {
    int first = exec(L"PRAGMA journal_mode=WAL");
    if (is_damage_code(first)) {
        return first;
    }
    exec(L"PRAGMA foreign_keys=ON");
    int cat = exec(L"CREATE TABLE IF NOT EXISTS categories (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                   L"name TEXT NOT NULL UNIQUE,pinned INTEGER NOT NULL DEFAULT 0,"
                   L"cat_order INTEGER NOT NULL DEFAULT 0)");
    int hist = exec(L"CREATE TABLE IF NOT EXISTS history (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                    L"text TEXT NOT NULL,created_at TEXT NOT NULL,pinned INTEGER NOT NULL DEFAULT 0,"
                    L"category_id INTEGER REFERENCES categories(id),"
                    L"sort_order INTEGER NOT NULL DEFAULT 0,deleted_at TEXT,"
                    L"use_count INTEGER NOT NULL DEFAULT 0)");
    exec(L"CREATE TABLE IF NOT EXISTS slot_entries (entry_id INTEGER PRIMARY KEY,"
         L"slot_order INTEGER NOT NULL DEFAULT 0)");
    // Migration: a column that exists already makes its ALTER fail, which
    // is logged and ignored; older layouts gain the missing columns.
    for (const wchar_t* column : kHistoryColumns) {
        exec(std::wstring(L"ALTER TABLE history ADD COLUMN ") + column);
    }
    exec(L"CREATE TABLE IF NOT EXISTS snippets (id INTEGER PRIMARY KEY AUTOINCREMENT,"
         L"title TEXT NOT NULL,text TEXT NOT NULL,grp TEXT DEFAULT '' ,created_at TEXT NOT NULL,"
         L"use_count INTEGER NOT NULL DEFAULT 0,deleted_at TEXT)");
    exec(L"ALTER TABLE snippets ADD COLUMN grp TEXT DEFAULT ''");
    exec(L"ALTER TABLE snippets ADD COLUMN deleted_at TEXT DEFAULT NULL");
    exec(L"CREATE TABLE IF NOT EXISTS snippet_groups (name TEXT PRIMARY KEY)");
    for (int rc : {first, cat, hist}) {
        if (rc != SQLITE_OK) {
            return rc;
        }
    }
    create_indexes();
    return SQLITE_OK;
}

void Database::create_indexes() {
    // Indexes hold no data of their own; older builds read the file as
    // before. sort_order serves MAX(sort_order) and the list order.
    exec(L"CREATE INDEX IF NOT EXISTS history_sort_order ON history(sort_order)");
    // The backup import finds entries by their time stamp (with the text or
    // the image) and snippets by title.
    exec(L"CREATE INDEX IF NOT EXISTS history_created_at ON history(created_at)");
    exec(L"CREATE INDEX IF NOT EXISTS snippets_title ON snippets(title)");
    // A capture looks for an equal live text by its first characters, and
    // the trim visits only the rows without their own pin, category by
    // category; both stay small however many entries are pinned.
    exec(L"CREATE INDEX IF NOT EXISTS history_live_text ON history(substr(text,1,64)) "
         L"WHERE deleted_at IS NULL AND is_image=0");
    exec(L"CREATE INDEX IF NOT EXISTS history_unpinned ON history(category_id, cat_pin_override, sort_order) "
         L"WHERE pinned=0");
    // The lists read their rows' small columns (the texts come later, row
    // by row) and the total counts the live rows from this index alone,
    // never from records that carry long texts and images.
    exec(L"CREATE INDEX IF NOT EXISTS history_list_rows ON history(deleted_at, is_image, sort_order, pinned, "
         L"category_id, cat_pin_override, use_count, keep, is_browser_page, created_at)");
}

void Database::seed_default_snippets() {
    Rows groups = query(L"SELECT count(*) FROM snippet_groups");
    Rows live = query(L"SELECT count(*) FROM snippets WHERE deleted_at IS NULL");
    if (groups.empty() || groups[0].empty() || live.empty() || live[0].empty()) {
        return;
    }
    if (groups[0][0] != L"0" || live[0][0] != L"0") {
        return;
    }
    exec(L"INSERT INTO snippet_groups (name) VALUES (" + sql_quote(kGroupLetters) + L")");
    exec(L"INSERT INTO snippet_groups (name) VALUES (" + sql_quote(kGroupDocuments) + L")");
    struct Seed {
        const wchar_t* title;
        const wchar_t* group;
    };
    for (const Seed& s : {Seed{kTitleLetter, kGroupLetters}, Seed{kTitleHeading, kGroupDocuments}}) {
        exec(L"INSERT INTO snippets (title, text, grp, created_at) VALUES (" + sql_quote(s.title) +
             L", " + sql_quote(*default_template_text(s.title)) + L", " + sql_quote(s.group) +
             L", " + sql_quote(now_iso_timestamp()) + L")");
    }
}

void Database::backfill_source_urls() {
    // Rows without HTML can never yield an address; leaving them out gives
    // the same result without reading them.
    Statement rows = Statement::prepare(
        connection_,
        "SELECT id, html FROM history WHERE html IS NOT NULL AND (source_url='' OR source_url IS NULL)");
    if (!rows) {
        return;
    }
    std::vector<std::pair<std::int64_t, std::wstring>> found;
    while (rows.step() == SQLITE_ROW) {
        if (sqlite3_column_type(rows.get(), 0) != SQLITE_INTEGER) {
            continue;  // an id that does not parse
        }
        std::int64_t id = rows.column_int64(0);
        std::wstring url = html_source_url(rows.column_text(1));
        if (!url.empty() && id > 0) {
            found.emplace_back(id, url);
        }
    }
    rows.finish();
    for (const auto& [id, url] : found) {
        Statement up = Statement::prepare(connection_, "UPDATE history SET source_url=?1 WHERE id=?2");
        up.bind_text(1, url).bind_int64(2, id);
        up.run();
    }
}

// ---- primitives -----------------------------------------------------------------

int Database::exec(const std::wstring& sql) {
    if (!connection_) {
        return SQLITE_MISUSE;
    }
    char* message = nullptr;
    int rc = sqlite3_exec(connection_, to_utf8(sql).c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        log_sql_error(message, rc);
        note_sql_result(connection_, rc);
    }
    if (message) {
        sqlite3_free(message);
    }
    return rc;
}

Database::Rows Database::query(const std::wstring& sql) {
    Rows rows;
    Statement s = Statement::prepare(connection_, to_utf8(sql));
    if (!s) {
        return rows;
    }
    while (s.step() == SQLITE_ROW) {
        int n = sqlite3_column_count(s.get());
        std::vector<std::wstring> row;
        row.reserve(static_cast<std::size_t>(n));
        for (int c = 0; c < n; ++c) {
            row.push_back(s.column_text(c));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::int64_t Database::last_insert_id() {
    return connection_ ? static_cast<std::int64_t>(sqlite3_last_insert_rowid(connection_)) : 0;
}

Statement Database::cached(const std::string& sql) {
    return cache_.use(connection_, sql);
}

std::int64_t Database::query_int64(const std::string& sql, std::int64_t fallback) {
    Statement s = cached(sql);
    if (s.step() != SQLITE_ROW || s.column_is_null(0)) {
        return fallback;
    }
    return s.column_int64(0);
}

bool Database::image_equals(std::int64_t id, const std::vector<std::uint8_t>& bytes) {
    Statement s = cached("SELECT image FROM history WHERE id=?1");
    if (!s) {
        return false;
    }
    s.bind_int64(1, id);
    if (s.step() != SQLITE_ROW) {
        return false;
    }
    const void* data = sqlite3_column_blob(s.get(), 0);
    int n = sqlite3_column_bytes(s.get(), 0);
    if (n < 0 || static_cast<std::size_t>(n) != bytes.size()) {
        return false;
    }
    return n == 0 || (data && std::memcmp(data, bytes.data(), bytes.size()) == 0);
}

bool Database::run_in_transaction_end(bool ok) {
    if (ok && exec(L"COMMIT") == SQLITE_OK) {
        return true;
    }
    exec(L"ROLLBACK");
    return false;
}
