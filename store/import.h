// Reading a JSON backup file (the format written by Database::export_json)
// and the texts that report an import. Database::import_json (import.cpp)
// merges what read_backup_text finds into the store.
//
// A backup file is untrusted input: every string must be valid UTF-8, every
// image valid Base64 whose bytes look like a PNG or a bitmap of bounded
// size; an element that fails is skipped and counted, the rest is imported.
// An entry whose image fails keeps its text as a text entry (skipped when it
// has none).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct JsonValue;
class JsonReader;

enum class ImportStatus : std::int32_t {
    kOk = 0,          // merged (possibly nothing, when the file held nothing)
    kUnreadable = 1,  // the file could not be opened or is not a backup
    kFailed = 2,      // the merge failed and was rolled back: nothing changed
};

// What an import did. All counts are 0 unless the status is kOk.
struct ImportCounts {
    std::int32_t entries_added = 0;
    std::int32_t entries_present = 0;   // found in the store (live or trashed)
    std::int32_t snippets_added = 0;
    std::int32_t snippets_kept = 0;     // found by title and not replaced
    std::int32_t snippets_replaced = 0; // an untouched default snippet overwritten
    std::int32_t skipped = 0;           // entries and snippets of the file that were not valid
    // Entries the history limit removed at the end of the import, as it
    // does after a capture: the oldest unpinned ones beyond the newest 200.
    std::int32_t entries_not_kept = 0;
    ImportStatus status = ImportStatus::kOk;
};

// One history entry of the file, before it is merged.
struct ImportedEntry {
    std::wstring text;
    std::wstring created_at;
    std::wstring category;
    bool pinned = false;
    bool keep = false;
    // An image entry with its image. An image entry of the file without
    // one (a bitmap too large to keep when it was copied) comes as a text
    // entry with bitmap_not_kept set, and is skipped when it has no text.
    bool is_image = false;
    bool bitmap_not_kept = false;
    bool category_pinned = false;
    bool has_category_pinned = false;  // the object has a "category_pinned" member
    std::int32_t slot_order = 0;       // 0 when absent
    // The image as the file gives it: Base64 checked with
    // backup_image_text_acceptable, decoded when the entry is merged.
    std::string image_base64;
    std::int64_t category_id = 0;      // resolved during the merge, 0 for none
};

// One snippet of the file.
struct ImportedSnippet {
    std::wstring title;       // trimmed, not empty
    std::wstring text;        // as written, not empty
    std::wstring group;       // trimmed
    std::wstring created_at;
    std::int64_t use_count = 0;
};

// Everything the merge needs from a file.
struct ParsedBackup {
    bool readable = false;     // a JSON array or object was read
    std::vector<ImportedEntry> entries;
    std::vector<ImportedSnippet> snippets;
    std::vector<std::wstring> groups;   // trimmed, not empty
    std::int32_t skipped = 0;
};

// Parses the file's bytes (after a UTF-8 byte-order mark, when there is
// one). False for a text that is not JSON (truncated, nested too deep) and
// for a document that is neither an array nor an object.
bool parse_backup_document(const std::string& bytes, JsonValue& out);

// Reads a backup from the file's bytes (a UTF-8 byte-order mark is
// skipped). Never throws except std::bad_alloc; a text that is not JSON
// (truncated, nested too deep) gives readable false. A top-level array is
// taken as the entry list alone.
ParsedBackup read_backup_text(const std::string& bytes);

// The same for a parsed document; its strings are moved out (image text is
// released as each image is decoded).
ParsedBackup read_backup_value(JsonValue& document);

// One entry or snippet object of a file as the merge takes it; false for
// an element that is skipped (not an object, text that is not UTF-8,
// nothing to store). An entry whose image is not acceptable comes as a text
// entry (is_image false, no image) when it has a text.
// With image_text_checked (the file was checked once already), an image's
// Base64 is checked as it is decoded rather than here.
bool read_backup_entry(JsonValue& object, ImportedEntry& e, bool image_text_checked = false);
bool read_backup_snippet(JsonValue& object, ImportedSnippet& s);

// Where the elements of a backup file lie, found by reading the file once
// from start to end: what the merge needs up front, without the elements
// themselves.
struct BackupIndex {
    struct Entry {
        std::uint64_t offset = 0;  // of the entry's object in the file
        std::wstring category;
        bool category_pinned = false;
        bool has_category_pinned = false;
        std::int64_t category_id = 0;  // resolved during the merge
    };
    bool readable = false;
    std::vector<Entry> entries;           // the valid entries, in file order
    std::vector<std::uint64_t> snippets;  // offsets of the valid snippets
    std::vector<std::wstring> groups;     // trimmed, not empty
    std::int32_t skipped = 0;
};

// The most bytes one element of a backup file (an entry or snippet object,
// a group name) can take in a file this program wrote: a text holds at most
// the store's largest value (SQLite's 1,000,000,000 bytes), an image at
// most the largest image the history keeps (winutil::image_bytes_keepable)
// as Base64, and the other members a few hundred bytes.
inline constexpr std::uint64_t kLargestBackupElement = 1'000'000'000ull + 358'001'324ull + 64 * 1024;
// The same for a member name of the top-level object.
inline constexpr std::uint64_t kLargestBackupKey = 4096;

// A backup file read as a stream: one element in memory at a time.
//
// Each element is passed over before it is read: one that runs to the end
// of the file, or is larger than the largest the program writes, makes the
// file unreadable before any of it is held. Of an entry or snippet object
// only the first member of each name and kind that the import reads is
// kept; other members, and arrays or objects inside it, are passed over.
class BackupFileReader {
public:
    explicit BackupFileReader(std::uint64_t largest_element = kLargestBackupElement);
    ~BackupFileReader();
    BackupFileReader(const BackupFileReader&) = delete;
    BackupFileReader& operator=(const BackupFileReader&) = delete;

    // False when the file cannot be opened.
    bool open(const std::wstring& path);
    // Reads the whole file once and lists its elements; readable is false
    // for a file that is not JSON (truncated, nested too deep), cannot be
    // read to its end, or is neither an array nor an object. Throws only
    // std::bad_alloc.
    BackupIndex scan();
    // One element again, from its offset; false when it no longer reads as
    // it did (the file changed meanwhile).
    bool entry_at(std::uint64_t offset, ImportedEntry& e);
    bool snippet_at(std::uint64_t offset, ImportedSnippet& s);

private:
    bool element_at(std::uint64_t offset, JsonValue& out);

    std::uint64_t largest_element_;
    std::FILE* file_ = nullptr;
    std::uint64_t start_ = 0;  // after a byte-order mark
    std::unique_ptr<JsonReader> reader_;
};

// True for UTF-8 without NUL, overlong forms, surrogates or values above
// U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

// Strict RFC 4648 Base64 (standard alphabet, "=" padding, length a multiple
// of 4, nothing else): true with the number of bytes it stands for.
bool base64_strict_size(std::string_view text, std::uint64_t& size);

// Decodes strict Base64 into out (whose capacity is reused). False, with
// out empty, for anything else.
bool decode_base64_strict(std::string_view text, std::vector<std::uint8_t>& out);

// True when the text is strict Base64 of image bytes the history may keep
// (winutil::image_bytes_keepable, the capture's rule); only the first bytes
// are decoded.
bool backup_image_text_acceptable(std::string_view base64);

// The same from the text's length and first characters alone.
bool backup_image_head_acceptable(std::string_view base64);

// The message shown after an import: the entry counts, the snippet lines
// that apply and the skipped count, or the failure text.
std::wstring import_result_message(const ImportCounts& counts);
