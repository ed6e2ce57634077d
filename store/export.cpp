// Writing the whole live store to a JSON backup file.
//
// The store is read in one read transaction under the store's mutex and the
// file is written as it is read, one entry at a time, so that only one
// image is in memory at once. The bytes are those JsonValue::to_string
// prints for the whole document. They go to a temporary file beside the
// target, which replaces the target only when every byte has been written:
// a failed export never destroys an earlier backup.
#include "store/export.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <system_error>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include <sqlite3.h>

#include "core/handles.h"
#include "core/i18n.h"
#include "core/json.h"
#include "core/text.h"
#include "store/database.h"
#include "store/sql_text.h"

namespace {

// A temporary file beside the target that takes the target's place on
// commit(); without a successful commit it is deleted.
class BackupFile {
public:
    explicit BackupFile(const std::wstring& target) : target_(target) {}
    ~BackupFile() {
        wait_for_early_flush();
        if (file_) {
            file_.reset();
        }
        if (!temp_.empty() && !committed_) {
            DeleteFileW(temp_.c_str());
        }
    }
    BackupFile(const BackupFile&) = delete;
    BackupFile& operator=(const BackupFile&) = delete;

    bool open() {
        // A folder, or a file marked read-only, is not replaced.
        DWORD attrs = GetFileAttributesW(target_.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES &&
            (attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
            return false;
        }
        remove_backup_leftovers(target_);
        const DWORD pid = GetCurrentProcessId();
        const ULONGLONG tick = GetTickCount64();
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::wstring name = backup_temp_name(target_, pid, tick, static_cast<unsigned>(attempt));
            HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                file_.reset(h);
                temp_ = name;
                return true;
            }
            if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
                return false;
            }
        }
        return false;
    }

    void write(std::string_view bytes) {
        while (!bytes.empty()) {
            std::size_t n = std::min(bytes.size(), kBuffer - used_);
            std::memcpy(buffer_.get() + used_, bytes.data(), n);
            used_ += n;
            bytes.remove_prefix(n);
            if (used_ == kBuffer) {
                flush();
            }
        }
    }

    // Room for n bytes (at most kBuffer) at the end of the buffer, to be
    // filled and then taken with wrote(n).
    char* room(std::size_t n) {
        if (kBuffer - used_ < n) {
            flush();
        }
        return buffer_.get() + used_;
    }
    void wrote(std::size_t n) { used_ += n; }

    // Every byte on disk, the handle closed, the target replaced.
    bool commit() {
        const bool early_ok = wait_for_early_flush();
        if (!flush() || !early_ok || !FlushFileBuffers(file_.get())) {
            return false;
        }
        if (!CloseHandle(file_.release())) {
            return false;
        }
        if (!MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return false;
        }
        committed_ = true;
        return true;
    }

    static constexpr std::size_t kBuffer = 1u << 20;

private:
    bool flush() {
        std::size_t done = 0;
        while (ok_ && done < used_) {
            DWORD wrote = 0;
            if (!WriteFile(file_.get(), buffer_.get() + done, static_cast<DWORD>(used_ - done), &wrote, nullptr) ||
                wrote == 0) {
                ok_ = false;
            }
            done += wrote;
        }
        unflushed_ += done;
        used_ = 0;
        if (ok_ && unflushed_ >= kFlushEarlyAt) {
            flush_early();
        }
        return ok_;
    }

    // Puts what is written so far on disk while the export goes on, so
    // that the flush of commit() finds little left to do.
    void flush_early() {
        if (early_.valid()) {
            if (early_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                return;  // the last one is still at work
            }
            if (!early_.get()) {
                ok_ = false;
                return;
            }
        }
        unflushed_ = 0;
        HANDLE h = file_.get();
        try {
            early_ = std::async(std::launch::async, [h] { return FlushFileBuffers(h) != FALSE; });
        } catch (const std::system_error&) {
            // flushed by commit() alone
        }
    }

    bool wait_for_early_flush() {
        return !early_.valid() || early_.get();
    }

    std::wstring target_;
    std::wstring temp_;
    raii::Handle file_;
    // The bytes not yet handed to WriteFile; its size does not change the
    // time of a write by much, and 1 MiB keeps the export small.
    std::unique_ptr<char[]> buffer_{new char[kBuffer]};
    std::size_t used_ = 0;
    static constexpr std::size_t kFlushEarlyAt = 32u << 20;
    std::size_t unflushed_ = 0;  // bytes written since the last early flush began
    std::future<bool> early_;
    bool ok_ = true;
    bool committed_ = false;
};

// "  " + quoted key + ": ", a member of the top-level object.
std::string member_prefix(std::string_view key) {
    return "  " + json_quote(key) + ": ";
}

}  // namespace

// Reads the store for the export (lock held, inside a read transaction)
// and writes it to a BackupFile.
class BackupExporter {
public:
    BackupExporter(Database& db, BackupFile& out) : db_(db), out_(out) {}

    // The number of entries written; -1 when a read failed.
    int write_document() {
        if (!read_categories() || !read_slot_positions()) {
            return -1;
        }
        // "{", then the format member: what tells a temporary file of an
        // export from anyone else's.
        out_.write(kBackupHead);
        out_.write(",\n");
        out_.write(member_prefix("version"));
        out_.write(JsonValue::from_int(2).to_string(2));
        out_.write(",\n");
        out_.write(member_prefix("entries"));
        if (!write_entries(false) || !write_entries(true)) {
            return -1;
        }
        out_.write(written_ == 0 ? "[]" : "\n  ]");
        out_.write(",\n");

        JsonValue snippets;
        JsonValue groups;
        if (!read_snippets(snippets) || !read_groups(groups)) {
            return -1;
        }
        out_.write(member_prefix("snippets"));
        out_.write(snippets.to_string(2));
        out_.write(",\n");
        out_.write(member_prefix("snippet_groups"));
        out_.write(groups.to_string(2));
        out_.write("\n}");
        return written_;
    }

private:
    struct CategoryInfo {
        std::string name;
        bool pinned = false;
    };

    static bool finished(int rc) { return rc == SQLITE_DONE; }

    bool read_categories() {
        Statement s = db_.cached("SELECT id, name, pinned FROM categories ORDER BY cat_order ASC, id ASC");
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            categories_.emplace(s.column_int64(0), CategoryInfo{to_utf8(s.column_text(1)), s.column_flag(2)});
        }
        return finished(rc);
    }

    // Slot n is the n-th live slotted entry, as the hotkeys count them.
    bool read_slot_positions() {
        Statement s = db_.cached(
            "SELECT s.entry_id FROM slot_entries s INNER JOIN history h ON h.id=s.entry_id "
            "WHERE h.deleted_at IS NULL ORDER BY s.slot_order ASC, s.entry_id ASC");
        int rc;
        std::int64_t position = 0;
        while ((rc = s.step()) == SQLITE_ROW) {
            slots_.emplace(s.column_int64(0), ++position);
        }
        return finished(rc);
    }

    // The live text or image entries in the order of the "all" and
    // "images" lists with pinned entries first.
    bool write_entries(bool images) {
        Statement list = db_.cached(
            std::string("SELECT id, text, created_at, pinned, keep, category_id, length(image) FROM history "
                        "WHERE deleted_at IS NULL AND is_image=") +
            (images ? "1" : "0") + " ORDER BY " + pinned_expr() + " DESC, sort_order DESC, id DESC");
        int rc;
        while ((rc = list.step()) == SQLITE_ROW) {
            const std::int64_t id = list.column_int64(0);
            JsonValue entry;
            json_object_set(entry, "text", JsonValue::from_string(to_utf8(list.column_text(1))));
            json_object_set(entry, "created_at", JsonValue::from_string(to_utf8(list.column_text(2))));
            json_object_set(entry, "pinned", JsonValue::from_bool(list.column_flag(3)));
            json_object_set(entry, "keep", JsonValue::from_bool(list.column_flag(4)));
            auto slot = slots_.find(id);
            if (slot != slots_.end()) {
                json_object_set(entry, "slot_order", JsonValue::from_int(slot->second));
            }
            const CategoryInfo* category = nullptr;
            if (!list.column_is_null(5)) {
                auto found = categories_.find(list.column_int64(5));
                if (found != categories_.end()) {
                    category = &found->second;
                }
            }
            json_object_set(entry, "category", JsonValue::from_string(category ? category->name : std::string()));
            json_object_set(entry, "category_pinned", JsonValue::from_bool(category && category->pinned));
            out_.write(written_ == 0 ? "[\n    " : ",\n    ");
            if (images) {
                // The image goes straight from the database into the file
                // as Base64 (which needs no escapes), the last member:
                // ...,\n      "image": "<Base64>"\n    }
                json_object_set(entry, "is_image", JsonValue::from_bool(true));
                std::string printed = entry.to_string(4);
                printed.resize(printed.size() - 6);  // "\n    }"
                out_.write(printed);
                out_.write(",\n      ");
                out_.write(json_quote("image"));
                out_.write(": \"");
                if (!write_image_base64(id, list.column_int64(6))) {
                    return false;
                }
                out_.write("\"\n    }");
            } else {
                out_.write(entry.to_string(4));
            }
            ++written_;
        }
        return finished(rc);
    }

    // The stored image of the entry in Base64, read and encoded piece by
    // piece so that no copy of the whole image is made.
    bool write_image_base64(std::int64_t id, std::int64_t size) {
        if (size <= 0) {
            return true;  // an image entry whose bitmap was not kept
        }
        sqlite3_blob* raw = nullptr;
        if (sqlite3_blob_open(db_.connection_, "main", "history", "image", id, 0, &raw) != SQLITE_OK) {
            if (raw) {
                sqlite3_blob_close(raw);
            }
            return false;
        }
        std::unique_ptr<sqlite3_blob, int (*)(sqlite3_blob*)> blob(raw, &sqlite3_blob_close);
        const int total = sqlite3_blob_bytes(blob.get());
        piece_.resize(kPiece);
        for (int at = 0; at < total; at += static_cast<int>(kPiece)) {
            int n = std::min(static_cast<int>(kPiece), total - at);
            if (sqlite3_blob_read(blob.get(), piece_.data(), n, at) != SQLITE_OK) {
                return false;
            }
            const std::size_t length = base64_length(static_cast<std::size_t>(n));
            out_.wrote(base64_encode_to(piece_.data(), static_cast<std::size_t>(n), out_.room(length)));
        }
        return true;
    }

    bool read_snippets(JsonValue& out) {
        out.kind = JsonValue::kArray;
        Statement s = db_.cached(
            "SELECT title, text, grp, use_count, created_at FROM snippets "
            "WHERE deleted_at IS NULL ORDER BY title ASC");
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            JsonValue snippet;
            json_object_set(snippet, "title", JsonValue::from_string(to_utf8(s.column_text(0))));
            json_object_set(snippet, "text", JsonValue::from_string(to_utf8(s.column_text(1))));
            json_object_set(snippet, "group", JsonValue::from_string(to_utf8(s.column_text(2))));
            json_object_set(snippet, "use_count", JsonValue::from_int(s.column_int64(3)));
            json_object_set(snippet, "created_at", JsonValue::from_string(to_utf8(s.column_text(4))));
            out.elements.push_back(std::move(snippet));
        }
        return finished(rc);
    }

    bool read_groups(JsonValue& out) {
        out.kind = JsonValue::kArray;
        Statement s = db_.cached(
            "SELECT name FROM snippet_groups UNION SELECT grp FROM snippets "
            "WHERE grp <> '' AND deleted_at IS NULL ORDER BY name ASC");
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            out.elements.push_back(JsonValue::from_string(to_utf8(s.column_text(0))));
        }
        return finished(rc);
    }

    // Pieces of whole Base64 quads: 3 bytes each; the text of one piece
    // fits the file's buffer.
    static constexpr std::size_t kPiece = 3 * 64 * 1024;
    static_assert(kPiece / 3 * 4 <= BackupFile::kBuffer);

    Database& db_;
    BackupFile& out_;
    std::vector<std::uint8_t> piece_;
    std::map<std::int64_t, CategoryInfo> categories_;
    std::map<std::int64_t, std::int64_t> slots_;  // entry id -> slot position
    int written_ = 0;
};

int Database::export_json(const std::wstring& path) {
    Guard guard(lock_);
    if (!connection_) {
        return -1;
    }
    BackupFile file(path);
    if (!file.open()) {
        return -1;
    }
    // One read transaction: the file shows the store at one moment.
    if (exec(L"BEGIN") != SQLITE_OK) {
        return -1;
    }
    int count = -1;
    try {
        count = BackupExporter(*this, file).write_document();
    } catch (const std::exception&) {  // out of memory
        count = -1;
    }
    if (exec(L"COMMIT") != SQLITE_OK) {
        exec(L"ROLLBACK");
    }
    if (count < 0 || !file.commit()) {
        return -1;
    }
    return count;
}

// ---- Base64 --------------------------------------------------------------------

std::size_t base64_length(std::size_t size) {
    return (size + 2) / 3 * 4;
}

std::size_t base64_encode_to(const std::uint8_t* data, std::size_t size, char* out) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    // Every 12 bits as their two characters: two look-ups per three bytes.
    static const auto kPairs = [] {
        struct Pairs {
            char pair[4096][2];
        } t{};
        for (int i = 0; i < 4096; ++i) {
            t.pair[i][0] = kAlphabet[i >> 6];
            t.pair[i][1] = kAlphabet[i & 0x3F];
        }
        return t;
    }();
    char* o = out;
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3, o += 4) {
        const std::uint32_t v = (std::uint32_t(data[i]) << 16) | (std::uint32_t(data[i + 1]) << 8) | data[i + 2];
        std::memcpy(o, kPairs.pair[v >> 12], 2);
        std::memcpy(o + 2, kPairs.pair[v & 0xFFF], 2);
    }
    const std::size_t rest = size - i;
    if (rest > 0) {
        const std::uint32_t v = (std::uint32_t(data[i]) << 16) | (rest == 2 ? std::uint32_t(data[i + 1]) << 8 : 0);
        o[0] = kAlphabet[v >> 18];
        o[1] = kAlphabet[(v >> 12) & 0x3F];
        o[2] = rest == 2 ? kAlphabet[(v >> 6) & 0x3F] : '=';
        o[3] = '=';
        o += 4;
    }
    return static_cast<std::size_t>(o - out);
}

// ---- names and texts ------------------------------------------------------------

std::wstring backup_temp_name(const std::wstring& target, unsigned long process_id, unsigned long long tick,
                              unsigned attempt) {
    return target + L"." + std::to_wstring(process_id) + L"-" + std::to_wstring(tick) + L"-" +
           std::to_wstring(attempt) + L".tmp";
}

namespace {

// Reads the three "-"-joined decimal numbers of a temporary name (process
// id, tick count, attempt) into process_id; false when middle is not such
// a text.
bool temp_name_numbers(std::wstring_view middle, unsigned long& process_id) {
    int numbers = 0;
    bool in_number = false;
    unsigned long long first = 0;
    for (wchar_t c : middle) {
        if (c >= L'0' && c <= L'9') {
            if (!in_number) {
                ++numbers;
                in_number = true;
            }
            if (numbers == 1) {
                first = first > 0xFFFFFFFFull ? first : first * 10 + static_cast<unsigned>(c - L'0');
            }
        } else if (c == L'-' && in_number) {
            in_number = false;
        } else {
            return false;
        }
    }
    if (numbers != 3 || !in_number || first > 0xFFFFFFFFull) {
        return false;
    }
    process_id = static_cast<unsigned long>(first);
    return true;
}

constexpr std::wstring_view kTempSuffix = L".tmp";

// True while the process that may have written a file made at created is
// running: the id is in use by a process started no later than the file.
bool writer_running(unsigned long process_id, const FILETIME& created) {
    if (process_id == GetCurrentProcessId()) {
        return true;
    }
    raii::Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
    if (!process) {
        // Gone, or not ours to look at: only a process that cannot be
        // opened at all for lack of rights may still be writing.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE) {
        return false;
    }
    FILETIME started{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process.get(), &started, &exited, &kernel, &user)) {
        return true;
    }
    return CompareFileTime(&started, &created) <= 0;
}

// True when the file holds nothing but (the start of) what an export
// writes first; an empty file too, for an export stopped before its first
// write.
bool holds_backup_start(const std::wstring& path) {
    raii::Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    constexpr DWORD kHeadSize = sizeof(kBackupHead) - 1;
    char head[kHeadSize] = {};
    DWORD got = 0;
    if (!ReadFile(file.get(), head, kHeadSize, &got, nullptr)) {
        return false;
    }
    return std::memcmp(head, kBackupHead, got) == 0;
}

}  // namespace

bool is_backup_temp_name(const std::wstring& target_name, const std::wstring& name) {
    if (name.size() <= target_name.size() + 1 + kTempSuffix.size() ||
        name.compare(0, target_name.size(), target_name) != 0 || name[target_name.size()] != L'.' ||
        name.compare(name.size() - kTempSuffix.size(), kTempSuffix.size(), kTempSuffix) != 0) {
        return false;
    }
    unsigned long process_id = 0;
    return temp_name_numbers(std::wstring_view(name).substr(target_name.size() + 1,
                                                            name.size() - target_name.size() - 1 - kTempSuffix.size()),
                             process_id);
}

unsigned long backup_temp_process(const std::wstring& name) {
    if (name.size() <= kTempSuffix.size() ||
        _wcsicmp(name.c_str() + name.size() - kTempSuffix.size(), kTempSuffix.data()) != 0) {
        return 0;
    }
    const std::wstring_view stem = std::wstring_view(name).substr(0, name.size() - kTempSuffix.size());
    const std::size_t dot = stem.find_last_of(L'.');
    unsigned long process_id = 0;
    // A target name before the dot, the three numbers after it.
    if (dot == std::wstring_view::npos || dot == 0 || !temp_name_numbers(stem.substr(dot + 1), process_id)) {
        return 0;
    }
    return process_id;
}

int remove_backup_leftovers(const std::wstring& target) {
    const std::size_t cut = target.find_last_of(L"\\/");
    const std::wstring folder = cut == std::wstring::npos ? std::wstring() : target.substr(0, cut + 1);
    WIN32_FIND_DATAW found;
    raii::FindHandle find(FindFirstFileW((folder + L"*.tmp").c_str(), &found));
    if (!find) {
        return 0;
    }
    int removed = 0;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
            continue;
        }
        const std::wstring name = found.cFileName;
        const unsigned long process_id = backup_temp_process(name);
        if (process_id == 0 || writer_running(process_id, found.ftCreationTime)) {
            continue;
        }
        // The file of an export still under way is open without sharing:
        // it can be neither read nor deleted, and stays.
        const std::wstring path = folder + name;
        if (holds_backup_start(path) && DeleteFileW(path.c_str())) {
            ++removed;
        }
    } while (FindNextFileW(find.get(), &found));
    return removed;
}

std::wstring default_backup_file_name(const SYSTEMTIME& t) {
    int month = (t.wMonth >= 1 && t.wMonth <= 12) ? t.wMonth : 1;
    int day = (t.wDay >= 1 && t.wDay <= 31) ? t.wDay : 1;
    int hour = t.wHour <= 23 ? t.wHour : 0;
    int minute = t.wMinute <= 59 ? t.wMinute : 0;
    return safe_format(L"Quillet-backup-%04d-%02d-%02d_%02d-%02d.json", static_cast<int>(t.wYear), month,
                       day, hour, minute);
}

std::wstring backup_folder_of(const std::wstring& path) {
    std::size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos) {
        return std::wstring();
    }
    // "C:\x.json" -> "C:\", not "C:" (the drive's current folder).
    if (cut == 2 && path[1] == L':') {
        return path.substr(0, 3);
    }
    return path.substr(0, cut);
}

std::wstring export_done_message(const std::wstring& path) {
    return tr_format(L"status.exported_to", path) + L"\n\n" + tr(L"status.open_folder");
}
