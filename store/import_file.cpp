// Reading a backup file as a stream: a first pass over the whole file finds
// and checks its elements, then the merge reads each element again from
// its offset, so that no more than one element is in memory at once.
#include "store/import.h"

#include <memory>
#include <string_view>
#include <stdexcept>
#include <utility>

#include "core/json.h"
#include "core/text.h"

namespace {

// The member names read_backup_entry and read_backup_snippet look at.
bool is_read_member(std::string_view key) {
    static constexpr std::string_view kNames[] = {
        "text", "created_at", "category", "pinned", "keep", "category_pinned", "slot_order",
        "is_image", "image", "title", "group", "use_count",
    };
    for (std::string_view name : kNames) {
        if (key == name) {
            return true;
        }
    }
    return false;
}

[[noreturn]] void refuse() {
    throw std::runtime_error("expected ]");
}

// Passes over the value that comes next and moves back to its start: a
// value that runs to the end of the file (a truncated file) or takes more
// than largest bytes is refused, before any of it is kept.
void check_ahead(JsonReader& reader, std::uint64_t largest) {
    const std::uint64_t start = reader.position();
    reader.skip_value();
    const std::uint64_t size = reader.position() - start;
    if (reader.peek() == '\0' || size > largest || !reader.seek(start)) {
        refuse();
    }
}

bool has_member_of_kind(const JsonValue& object, const std::string& key, std::int32_t kind) {
    for (const JsonMember& m : object.members) {
        if (m.key == key && m.value.kind == kind) {
            return true;
        }
    }
    return false;
}

// The element that comes next, checked by check_ahead first. An object
// keeps the first member of each name and kind that the import reads (the
// one json_get_* and read_backup_entry find); a member holding an array or
// an object is kept as null, which only tells that the name is there.
JsonValue read_element(JsonReader& reader, std::uint64_t largest) {
    check_ahead(reader, largest);
    if (reader.peek() != '{') {
        return reader.peek() == '"' ? reader.parse_value() : (reader.skip_value(), JsonValue());
    }
    JsonValue object;
    object.kind = JsonValue::kObject;
    if (reader.begin_object()) {
        do {
            std::string key = reader.member_key();
            const char next = reader.peek();
            if (!is_read_member(key)) {
                reader.skip_value();
                continue;
            }
            if (next == '[' || next == '{') {
                reader.skip_value();
                if (!has_member_of_kind(object, key, JsonValue::kNull)) {
                    json_object_set(object, std::move(key), JsonValue());
                }
                continue;
            }
            JsonValue value = reader.parse_value();
            if (!has_member_of_kind(object, key, value.kind)) {
                json_object_set(object, std::move(key), std::move(value));
            }
        } while (reader.next_member());
    }
    return object;
}

}  // namespace

BackupFileReader::BackupFileReader(std::uint64_t largest_element) : largest_element_(largest_element) {}

BackupFileReader::~BackupFileReader() {
    reader_.reset();
    if (file_) {
        std::fclose(file_);
    }
}

bool BackupFileReader::open(const std::wstring& path) {
    file_ = _wfopen(path.c_str(), L"rb");
    if (!file_) {
        return false;
    }
    unsigned char head[3] = {};
    if (std::fread(head, 1, 3, file_) == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        start_ = 3;
    }
    return true;
}

BackupIndex BackupFileReader::scan() {
    BackupIndex index;
    if (!file_) {
        return index;
    }
    JsonReader reader(file_, start_);
    std::int32_t skipped_entries = 0;
    std::int32_t skipped_snippets = 0;
    // Each element is read whole, checked and let go; only its offset and
    // what the category step needs are kept.
    auto scan_entries = [&] {
        index.entries.clear();
        skipped_entries = 0;
        if (!reader.begin_array()) {
            return;
        }
        do {
            BackupIndex::Entry ref;
            ref.offset = reader.position();
            JsonValue element = read_element(reader, largest_element_);
            ImportedEntry e;
            if (read_backup_entry(element, e)) {
                ref.category = std::move(e.category);
                ref.category_pinned = e.category_pinned;
                ref.has_category_pinned = e.has_category_pinned;
                index.entries.push_back(std::move(ref));
            } else {
                ++skipped_entries;
            }
        } while (reader.next_element());
    };
    auto scan_snippets = [&] {
        index.snippets.clear();
        skipped_snippets = 0;
        if (!reader.begin_array()) {
            return;
        }
        do {
            std::uint64_t offset = reader.position();
            JsonValue element = read_element(reader, largest_element_);
            ImportedSnippet s;
            if (read_backup_snippet(element, s)) {
                index.snippets.push_back(offset);
            } else {
                ++skipped_snippets;
            }
        } while (reader.next_element());
    };
    auto scan_groups = [&] {
        if (!reader.begin_array()) {
            return;
        }
        do {
            JsonValue g = read_element(reader, largest_element_);
            if (g.kind != JsonValue::kString || !is_valid_utf8(g.str_value)) {
                continue;
            }
            std::wstring name = trim(from_utf8(g.str_value));
            if (!name.empty()) {
                index.groups.push_back(std::move(name));
            }
        } while (reader.next_element());
    };
    try {
        const char first = reader.peek();
        if (first == '[') {
            // A list of entries alone.
            scan_entries();
        } else if (first == '{') {
            if (reader.begin_object()) {
                do {
                    check_ahead(reader, kLargestBackupKey);
                    std::string key = reader.member_key();
                    if (reader.peek() != '[') {
                        reader.skip_value();
                    } else if (key == "entries") {
                        scan_entries();  // a later list replaces an earlier one
                    } else if (key == "snippets") {
                        scan_snippets();
                    } else if (key == "snippet_groups") {
                        scan_groups();  // several lists add up
                    } else {
                        reader.skip_value();
                    }
                } while (reader.next_member());
            }
        } else {
            return BackupIndex();
        }
    } catch (const std::runtime_error&) {
        return BackupIndex();  // not JSON: truncated, or nested too deep
    }
    if (reader.read_failed()) {
        return BackupIndex();
    }
    index.readable = true;
    index.skipped = skipped_entries + skipped_snippets;
    return index;
}

bool BackupFileReader::element_at(std::uint64_t offset, JsonValue& out) {
    if (!file_) {
        return false;
    }
    // One reader for every element: its window keeps the bytes around the
    // last element, so that the walk from the last entry to the first
    // rarely reads the file again.
    if (!reader_) {
        reader_ = std::make_unique<JsonReader>(file_, offset);
    } else if (!reader_->seek(offset)) {
        return false;
    }
    try {
        out = read_element(*reader_, largest_element_);
    } catch (const std::runtime_error&) {
        return false;
    }
    return !reader_->read_failed();
}

bool BackupFileReader::entry_at(std::uint64_t offset, ImportedEntry& e) {
    JsonValue element;
    return element_at(offset, element) && read_backup_entry(element, e, true);
}

bool BackupFileReader::snippet_at(std::uint64_t offset, ImportedSnippet& s) {
    JsonValue element;
    return element_at(offset, element) && read_backup_snippet(element, s);
}
