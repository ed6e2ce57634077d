// Reading a backup file into the records the merge works on, with every
// string, number and image of the file checked first.
#include "store/import.h"

#include <limits>
#include <stdexcept>
#include <utility>

#include "core/i18n.h"
#include "core/image_header.h"
#include "core/json.h"
#include "core/text.h"
#include "store/sql_text.h"

namespace {

// The first member with the key and the kind, as json_get_* choose it.
JsonValue* member_of(JsonValue& object, std::string_view key, std::int32_t kind) {
    if (object.kind != JsonValue::kObject) {
        return nullptr;
    }
    for (JsonMember& m : object.members) {
        if (m.value.kind == kind && m.key == key) {
            return &m.value;
        }
    }
    return nullptr;
}

bool has_member(const JsonValue& object, std::string_view key) {
    for (const JsonMember& m : object.members) {
        if (m.key == key) {
            return true;
        }
    }
    return false;
}

// The string member as wide text ("" when there is none). False when its
// bytes are not valid UTF-8.
bool read_text(JsonValue& object, std::string_view key, std::wstring& out) {
    out.clear();
    JsonValue* v = member_of(object, key, JsonValue::kString);
    if (!v) {
        return true;
    }
    if (!is_valid_utf8(v->str_value)) {
        return false;
    }
    out = from_utf8(v->str_value);
    // A text too long to convert comes back empty.
    return v->str_value.empty() || !out.empty();
}

std::int32_t clamp_to_int32(std::int64_t v) {
    if (v > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (v < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(v);
}

}  // namespace

bool read_backup_entry(JsonValue& object, ImportedEntry& e, bool image_text_checked) {
    if (object.kind != JsonValue::kObject) {
        return false;
    }
    if (!read_text(object, "text", e.text) || !read_text(object, "created_at", e.created_at) ||
        !read_text(object, "category", e.category)) {
        return false;
    }
    // Stored entries always carry their time; one without would be taken
    // for the oldest entry of all by the age clean-up.
    if (e.created_at.empty()) {
        return false;
    }
    e.pinned = json_get_bool(object, "pinned", false);
    e.keep = json_get_bool(object, "keep", false);
    e.category_pinned = json_get_bool(object, "category_pinned", false);
    e.has_category_pinned = has_member(object, "category_pinned");
    e.slot_order = clamp_to_int32(json_get_int(object, "slot_order", 0));
    e.is_image = json_get_bool(object, "is_image", false);
    e.bitmap_not_kept = false;
    if (e.is_image) {
        JsonValue* image = member_of(object, "image", JsonValue::kString);
        if (image && !image->str_value.empty()) {
            // Once checked whole, the text is checked again as it is
            // decoded; its head alone says whether the image may be kept.
            const bool acceptable = image_text_checked ? backup_image_head_acceptable(image->str_value)
                                                       : backup_image_text_acceptable(image->str_value);
            if (acceptable) {
                e.image_base64 = std::move(image->str_value);
                return true;
            }
            // Bytes that are no image the program keeps (older builds
            // stored some): as with such a copy, the entry keeps its text
            // alone, as a text entry.
        } else {
            // An image entry whose bitmap was too large to keep: its text
            // is all there is, and it comes back as a text entry.
            e.bitmap_not_kept = true;
        }
        e.is_image = false;
    }
    return !trim(e.text).empty();
}

bool read_backup_snippet(JsonValue& object, ImportedSnippet& s) {
    if (object.kind != JsonValue::kObject) {
        return false;
    }
    std::wstring title;
    std::wstring group;
    if (!read_text(object, "title", title) || !read_text(object, "text", s.text) ||
        !read_text(object, "group", group) || !read_text(object, "created_at", s.created_at)) {
        return false;
    }
    s.title = trim(title);
    s.group = trim(group);
    std::int64_t uses = json_get_int(object, "use_count", 0);
    s.use_count = uses < 0 ? 0 : uses;
    return !s.title.empty() && !s.text.empty();
}

namespace {

// The value of a Base64 character, 64 for "=", 255 for anything else.
std::uint8_t base64_value(unsigned char c) {
    static const auto kTable = [] {
        struct Table {
            std::uint8_t v[256];
        } t{};
        for (int i = 0; i < 256; ++i) t.v[i] = 255;
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i) t.v[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
        t.v[static_cast<unsigned char>('=')] = 64;
        return t;
    }();
    return kTable.v[c];
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c == 0) {
            return false;
        }
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;  // a continuation byte, an overlong lead or beyond U+10FFFF
        }
        if (n - i < len) {
            return false;
        }
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += len;
    }
    return true;
}

namespace {

// Each character's 6 bits at the place of its position in a quad, and
// kBad for a character outside the alphabet ("=" included): four look-ups
// and an OR decode a quad, and one test of the ORed values checks a run.
constexpr std::uint32_t kBad = 1u << 24;

struct QuadTables {
    std::uint32_t at[4][256];
};

const QuadTables& quad_tables() {
    static const QuadTables kTables = [] {
        QuadTables t{};
        for (int c = 0; c < 256; ++c) {
            const std::uint8_t v = base64_value(static_cast<unsigned char>(c));
            for (int k = 0; k < 4; ++k) {
                t.at[k][c] = v < 64 ? std::uint32_t(v) << (18 - 6 * k) : kBad;
            }
        }
        return t;
    }();
    return kTables;
}

}  // namespace

bool base64_strict_size(std::string_view text, std::uint64_t& size) {
    if (text.size() % 4 != 0) {
        return false;
    }
    std::size_t pad = 0;
    if (!text.empty() && text.back() == '=') {
        pad = text.size() >= 2 && text[text.size() - 2] == '=' ? 2 : 1;
    }
    const QuadTables& t = quad_tables();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size() - pad;
    std::uint32_t bad = 0;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        bad |= t.at[0][in[i]] | t.at[1][in[i + 1]] | t.at[2][in[i + 2]] | t.at[3][in[i + 3]];
    }
    for (; i < n; ++i) {
        bad |= t.at[0][in[i]];
    }
    if (bad & kBad) {
        return false;
    }
    size = static_cast<std::uint64_t>(text.size() / 4) * 3 - pad;
    return true;
}

bool decode_base64_strict(std::string_view text, std::vector<std::uint8_t>& out) {
    out.clear();
    if (text.size() % 4 != 0) {
        return false;
    }
    std::size_t pad = 0;
    if (!text.empty() && text.back() == '=') {
        pad = text.size() >= 2 && text[text.size() - 2] == '=' ? 2 : 1;
    }
    const std::size_t quads = text.size() / 4;
    out.resize(quads * 3 - pad);
    const QuadTables& t = quad_tables();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    std::uint8_t* o = out.data();
    // Every quad but the last has four alphabet characters; checked and
    // decoded in the same pass.
    std::uint32_t bad = 0;
    for (std::size_t q = 0; q + 1 < quads; ++q, in += 4, o += 3) {
        const std::uint32_t v = t.at[0][in[0]] | t.at[1][in[1]] | t.at[2][in[2]] | t.at[3][in[3]];
        bad |= v;
        o[0] = static_cast<std::uint8_t>(v >> 16);
        o[1] = static_cast<std::uint8_t>(v >> 8);
        o[2] = static_cast<std::uint8_t>(v);
    }
    if (bad & kBad) {
        out.clear();
        return false;
    }
    if (quads > 0) {
        for (std::size_t k = 0; k < 4 - pad; ++k) {
            if (base64_value(in[k]) >= 64) {
                out.clear();
                return false;
            }
        }
        const std::uint32_t v = (std::uint32_t(base64_value(in[0])) << 18) |
                                (std::uint32_t(base64_value(in[1])) << 12) |
                                (std::uint32_t(base64_value(in[2]) & 0x3F) << 6) |
                                std::uint32_t(base64_value(in[3]) & 0x3F);
        const std::size_t left = 3 - pad;
        o[0] = static_cast<std::uint8_t>(v >> 16);
        if (left > 1) o[1] = static_cast<std::uint8_t>(v >> 8);
        if (left > 2) o[2] = static_cast<std::uint8_t>(v);
    }
    return true;
}

bool backup_image_head_acceptable(std::string_view base64) {
    if (base64.size() % 4 != 0) {
        return false;
    }
    std::size_t pad = 0;
    if (!base64.empty() && base64.back() == '=') {
        pad = base64.size() >= 2 && base64[base64.size() - 2] == '=' ? 2 : 1;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(base64.size() / 4) * 3 - pad;
    std::vector<std::uint8_t> head = base64_decode(base64.substr(0, 72));
    return winutil::image_bytes_keepable(head.data(), head.size(), size);
}

bool backup_image_text_acceptable(std::string_view base64) {
    std::uint64_t size = 0;
    if (!base64_strict_size(base64, size)) {
        return false;
    }
    // 72 characters give the first 54 bytes, more than the layout check reads.
    static_assert(winutil::kImageHeadBytes <= 54);
    std::vector<std::uint8_t> head = base64_decode(base64.substr(0, 72));
    return winutil::image_bytes_keepable(head.data(), head.size(), size);
}

bool parse_backup_document(const std::string& bytes, JsonValue& out) {
    std::size_t start = 0;
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        start = 3;
    }
    try {
        JsonReader reader(bytes, start);
        out = reader.parse_value();
    } catch (const std::runtime_error&) {
        out = JsonValue();
        return false;  // not JSON: truncated, or nested too deep
    }
    return out.kind == JsonValue::kArray || out.kind == JsonValue::kObject;
}

ParsedBackup read_backup_value(JsonValue& document) {
    ParsedBackup parsed;
    JsonValue* entries = nullptr;
    JsonValue* snippets = nullptr;
    if (document.kind == JsonValue::kArray) {
        entries = &document;
    } else if (document.kind == JsonValue::kObject) {
        for (JsonMember& m : document.members) {
            if (m.value.kind != JsonValue::kArray) {
                continue;
            }
            if (m.key == "entries") {
                entries = &m.value;  // a later list replaces an earlier one
            } else if (m.key == "snippets") {
                snippets = &m.value;
            } else if (m.key == "snippet_groups") {
                for (JsonValue& g : m.value.elements) {
                    if (g.kind != JsonValue::kString || !is_valid_utf8(g.str_value)) {
                        continue;
                    }
                    std::wstring name = trim(from_utf8(g.str_value));
                    if (!name.empty()) {
                        parsed.groups.push_back(std::move(name));
                    }
                }
            }
        }
    } else {
        return parsed;
    }
    parsed.readable = true;
    if (entries) {
        parsed.entries.reserve(entries->elements.size());
        for (JsonValue& element : entries->elements) {
            ImportedEntry e;
            if (read_backup_entry(element, e)) {
                parsed.entries.push_back(std::move(e));
            } else {
                ++parsed.skipped;
            }
            element = JsonValue();  // release the element's text at once
        }
    }
    if (snippets) {
        for (JsonValue& element : snippets->elements) {
            ImportedSnippet s;
            if (read_backup_snippet(element, s)) {
                parsed.snippets.push_back(std::move(s));
            } else {
                ++parsed.skipped;
            }
        }
    }
    return parsed;
}

ParsedBackup read_backup_text(const std::string& bytes) {
    JsonValue document;
    if (!parse_backup_document(bytes, document)) {
        return ParsedBackup();
    }
    return read_backup_value(document);
}

std::wstring import_result_message(const ImportCounts& counts) {
    switch (counts.status) {
    case ImportStatus::kUnreadable:
        return tr(L"status.import_unreadable");
    case ImportStatus::kFailed:
        return tr(L"status.import_failed");
    case ImportStatus::kOk:
        break;
    }
    std::wstring message = tr_format(L"status.imported", counts.entries_added, counts.entries_present);
    if (counts.snippets_added > 0) {
        message += L"\n" + tr_format(L"status.imported_snippets", counts.snippets_added);
    }
    if (counts.snippets_replaced > 0) {
        message += L"\n" + tr_format(L"status.imported_snippets_restored", counts.snippets_replaced);
    }
    if (counts.entries_not_kept > 0) {
        message += L"\n" + tr_format(L"status.import_over_limit", kHistoryKeep, counts.entries_not_kept);
    }
    if (counts.skipped > 0) {
        message += L"\n" + tr_format(L"status.import_skipped", counts.skipped);
    }
    return message;
}
