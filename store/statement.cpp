#include "store/statement.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include <sqlite3.h>

#include "core/text.h"

namespace {

// The name under which a connection holds its DamageMark.
constexpr char kDamageMarkKey[] = "quillet.damage";

int refuse_commit_after_damage(void* mark) {
    return static_cast<DamageMark*>(mark)->seen.load() ? 1 : 0;
}

}  // namespace

void attach_damage_mark(sqlite3* db, DamageMark* mark) {
    if (!db || !mark) {
        return;
    }
    mark->seen = false;
    sqlite3_set_clientdata(db, kDamageMarkKey, mark, nullptr);
    sqlite3_commit_hook(db, refuse_commit_after_damage, mark);
}

bool is_damage_code(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

void note_sql_result(sqlite3* db, int rc) {
    if (!db || !is_damage_code(rc)) {
        return;
    }
    if (auto* mark = static_cast<DamageMark*>(sqlite3_get_clientdata(db, kDamageMarkKey))) {
        mark->seen = true;
    }
}

void log_sql_error(const char* message, int rc) {
    // sqlite3_exec can leave the message null (e.g. on a misused handle).
    const char* text = message ? message : sqlite3_errstr(rc);
    if (text) {
        OutputDebugStringA(text);
    }
}

Statement::~Statement() {
    finish();
}

Statement::Statement(Statement&& other) noexcept
    : stmt_(other.stmt_), owned_(other.owned_), prepare_rc_(other.prepare_rc_),
      bind_rc_(other.bind_rc_) {
    other.stmt_ = nullptr;
    other.owned_ = false;
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        finish();
        stmt_ = other.stmt_;
        owned_ = other.owned_;
        prepare_rc_ = other.prepare_rc_;
        bind_rc_ = other.bind_rc_;
        other.stmt_ = nullptr;
        other.owned_ = false;
    }
    return *this;
}

Statement Statement::prepare(sqlite3* db, std::string_view sql) {
    Statement s;
    if (!db) {
        s.prepare_rc_ = SQLITE_MISUSE;
        return s;
    }
    sqlite3_stmt* raw = nullptr;
    s.prepare_rc_ = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
    if (s.prepare_rc_ != SQLITE_OK) {
        note_sql_result(db, s.prepare_rc_);
        if (raw) {
            sqlite3_finalize(raw);
        }
        return s;
    }
    if (!raw) {  // only white space or a comment
        s.prepare_rc_ = SQLITE_MISUSE;
        return s;
    }
    s.stmt_ = raw;
    s.owned_ = true;
    return s;
}

Statement Statement::borrow(sqlite3_stmt* stmt) {
    Statement s;
    s.stmt_ = stmt;
    s.owned_ = false;
    s.prepare_rc_ = stmt ? SQLITE_OK : SQLITE_ERROR;
    return s;
}

int Statement::finish() {
    if (!stmt_) {
        return SQLITE_OK;
    }
    int rc;
    if (owned_) {
        rc = sqlite3_finalize(stmt_);
    } else {
        rc = sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    stmt_ = nullptr;
    owned_ = false;
    bind_rc_ = SQLITE_OK;
    return rc;
}

void Statement::note_bind(int rc) {
    if (rc != SQLITE_OK && bind_rc_ == SQLITE_OK) {
        bind_rc_ = rc;
    }
}

Statement& Statement::bind_text(int index, const std::wstring& value) {
    return bind_utf8(index, to_utf8(value));
}

Statement& Statement::bind_utf8(int index, const std::string& value) {
    if (stmt_) {
        note_bind(sqlite3_bind_text64(stmt_, index, value.c_str(),
                                      static_cast<sqlite3_uint64>(value.size()),
                                      SQLITE_TRANSIENT, SQLITE_UTF8));
    }
    return *this;
}

Statement& Statement::bind_utf8_terminated(int index, const std::string& value) {
    // A NUL inside would end the text early when SQLite measures it.
    if (value.size() > static_cast<std::size_t>(INT_MAX) || std::memchr(value.data(), 0, value.size())) {
        return bind_utf8_view(index, value);
    }
    if (stmt_) {
        note_bind(sqlite3_bind_text(stmt_, index, value.c_str(), -1, SQLITE_STATIC));
    }
    return *this;
}

Statement& Statement::bind_utf8_view(int index, std::string_view value) {
    if (stmt_) {
        note_bind(sqlite3_bind_text64(stmt_, index, value.data(), static_cast<sqlite3_uint64>(value.size()),
                                      SQLITE_STATIC, SQLITE_UTF8));
    }
    return *this;
}

Statement& Statement::bind_bytes(int index, const void* data, std::size_t size) {
    if (stmt_) {
        if (size == 0) {
            note_bind(sqlite3_bind_null(stmt_, index));
        } else {
            note_bind(sqlite3_bind_blob64(stmt_, index, data,
                                          static_cast<sqlite3_uint64>(size), SQLITE_TRANSIENT));
        }
    }
    return *this;
}

Statement& Statement::bind_bytes(int index, const std::string& bytes) {
    return bind_bytes(index, bytes.data(), bytes.size());
}

Statement& Statement::bind_bytes(int index, const std::vector<std::uint8_t>& bytes) {
    return bind_bytes(index, bytes.data(), bytes.size());
}

Statement& Statement::bind_int(int index, int value) {
    if (stmt_) {
        note_bind(sqlite3_bind_int(stmt_, index, value));
    }
    return *this;
}

Statement& Statement::bind_int64(int index, std::int64_t value) {
    if (stmt_) {
        note_bind(sqlite3_bind_int64(stmt_, index, static_cast<sqlite3_int64>(value)));
    }
    return *this;
}

Statement& Statement::bind_null(int index) {
    if (stmt_) {
        note_bind(sqlite3_bind_null(stmt_, index));
    }
    return *this;
}

Statement& Statement::bind_optional(int index, const std::int64_t* value) {
    return value ? bind_int64(index, *value) : bind_null(index);
}

int Statement::step() {
    if (!stmt_) {
        return prepare_rc_ != SQLITE_OK ? prepare_rc_ : SQLITE_MISUSE;
    }
    if (bind_rc_ != SQLITE_OK) {
        return bind_rc_;
    }
    int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        log_sql_error(sqlite3_errmsg(sqlite3_db_handle(stmt_)), rc);
        note_sql_result(sqlite3_db_handle(stmt_), rc);
    }
    return rc;
}

int Statement::run() {
    int rc;
    do {
        rc = step();
    } while (rc == SQLITE_ROW);
    return rc;
}

bool Statement::column_is_null(int column) const {
    return !stmt_ || sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::int64_t Statement::column_int64(int column) const {
    if (!stmt_) {
        return 0;
    }
    return static_cast<std::int64_t>(sqlite3_column_int64(stmt_, column));
}

std::wstring Statement::column_text(int column) const {
    if (!stmt_ || sqlite3_column_type(stmt_, column) == SQLITE_NULL) {
        return {};
    }
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (!text) {
        return {};
    }
    // Converted straight from SQLite's bytes, up to the first NUL as
    // from_utf8 reads: a long text is not copied once more on the way.
    const auto* bytes = reinterpret_cast<const char*>(text);
    std::size_t len = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column));
    if (const void* nul = std::memchr(bytes, 0, len)) {
        len = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes);
    }
    if (len == 0 || len > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    const int need = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(len), nullptr, 0);
    if (need <= 0) {
        return {};
    }
    std::wstring out(static_cast<std::size_t>(need), L'\0');
    const int got = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(len), out.data(), need);
    if (got <= 0) {
        return {};
    }
    out.resize(static_cast<std::size_t>(got));
    return out;
}

bool Statement::column_flag(int column) const {
    if (!stmt_) {
        return false;
    }
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
        return sqlite3_column_int64(stmt_, column) == 1;
    case SQLITE_NULL:
        return false;
    default: {
        const unsigned char* text = sqlite3_column_text(stmt_, column);
        return text && text[0] == '1' && text[1] == 0;
    }
    }
}

void Statement::read_blob(int column, std::string& target) const {
    if (!stmt_) {
        return;
    }
    const void* data = sqlite3_column_blob(stmt_, column);
    int n = sqlite3_column_bytes(stmt_, column);
    if (data && n > 0) {
        target.assign(static_cast<const char*>(data), static_cast<std::size_t>(n));
    }
}

void Statement::read_blob(int column, std::vector<std::uint8_t>& target) const {
    if (!stmt_) {
        return;
    }
    const void* data = sqlite3_column_blob(stmt_, column);
    int n = sqlite3_column_bytes(stmt_, column);
    if (data && n > 0) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        target.assign(p, p + n);
    }
}

void StatementCache::Finalizer::operator()(sqlite3_stmt* s) const {
    sqlite3_finalize(s);
}

StatementCache::~StatementCache() {
    clear();
}

Statement StatementCache::use(sqlite3* db, const std::string& sql) {
    if (!db) {
        return Statement::borrow(nullptr);
    }
    auto it = map_.find(sql);
    if (it == map_.end()) {
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
        note_sql_result(db, rc);
        if (rc != SQLITE_OK || !raw) {
            if (raw) {
                sqlite3_finalize(raw);
            }
            Statement failed = Statement::borrow(nullptr);
            return failed;
        }
        it = map_.emplace(sql, std::unique_ptr<sqlite3_stmt, Finalizer>(raw)).first;
    } else if (sqlite3_stmt_busy(it->second.get())) {
        // Already stepping further up the call chain: use a statement of
        // its own rather than resetting that one.
        return Statement::prepare(db, sql);
    }
    return Statement::borrow(it->second.get());
}

void StatementCache::clear() {
    map_.clear();
}

int write_image_blob(sqlite3* db, std::int64_t id, const std::vector<std::uint8_t>& image) {
    Statement s = Statement::prepare(db, "UPDATE history SET image=?1 WHERE id=?2");
    if (!s) {
        return s.prepare_result();
    }
    s.bind_bytes(1, image).bind_int64(2, id);
    int rc = s.step();
    int fin = s.finish();
    // A failed bind never reached SQLite, so finalize alone would report OK.
    return (rc != SQLITE_DONE && rc != SQLITE_ROW && fin == SQLITE_OK) ? rc : fin;
}
