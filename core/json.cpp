// JSON value, lenient reader and pretty-printer.
#include "core/json.h"

#include "core/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

// ---------------------------------------------------------------- JsonValue

JsonValue::JsonValue() = default;

JsonValue::JsonValue(const JsonValue& other) = default;

JsonValue::JsonValue(JsonValue&& other) noexcept
    : kind(other.kind),
      bool_value(other.bool_value),
      int_value(other.int_value),
      str_value(std::move(other.str_value)),
      elements(std::move(other.elements)),
      members(std::move(other.members)) {
    other.kind = kNull;
    other.bool_value = false;
    other.int_value = 0;
    other.str_value.clear();
    other.elements.clear();
    other.members.clear();
}

JsonValue& JsonValue::operator=(const JsonValue& other) {
    if (this != &other) {
        // Copy first: `other` may be part of this value's own tree.
        JsonValue copy(other);
        *this = std::move(copy);
    }
    return *this;
}

JsonValue& JsonValue::operator=(JsonValue&& other) noexcept {
    if (this != &other) {
        // Take `other` out first: it may be part of this value's own tree,
        // which the assignment below destroys.
        JsonValue taken(std::move(other));
        kind = taken.kind;
        bool_value = taken.bool_value;
        int_value = taken.int_value;
        str_value.swap(taken.str_value);
        elements.swap(taken.elements);
        members.swap(taken.members);
    }
    return *this;
}

JsonValue::~JsonValue() = default;

JsonValue JsonValue::from_string(std::string utf8) {
    JsonValue v;
    v.kind = kString;
    v.str_value = std::move(utf8);
    return v;
}

JsonValue JsonValue::from_bool(bool value) {
    JsonValue v;
    v.kind = kBool;
    v.bool_value = value;
    return v;
}

JsonValue JsonValue::from_int(int64_t value) {
    JsonValue v;
    v.kind = kInt;
    v.int_value = value;
    return v;
}

// ---------------------------------------------------------------- Printer

namespace {

void write_value(const JsonValue& v, int indent, std::string& out);

void write_quoted(std::string_view text, std::string& out) {
    static const char kHex[] = "0123456789abcdef";
    out.push_back('"');
    size_t run = 0;  // start of the bytes not yet copied
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(text.data() + run, i - run);
        run = i + 1;
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default:
            out += "\\u00";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
            break;
        }
    }
    out.append(text.data() + run, text.size() - run);
    out.push_back('"');
}

void write_array(const JsonValue& v, int indent, std::string& out) {
    if (v.elements.empty()) {
        out += "[]";
        return;
    }
    out += "[\n";
    for (size_t i = 0; i < v.elements.size(); ++i) {
        if (i > 0) out += ",\n";
        out.append(static_cast<size_t>(indent + 2), ' ');
        write_value(v.elements[i], indent + 2, out);
    }
    out.push_back('\n');
    out.append(static_cast<size_t>(indent), ' ');
    out.push_back(']');
}

void write_object(const JsonValue& v, int indent, std::string& out) {
    if (v.members.empty()) {
        out += "{}";
        return;
    }
    out += "{\n";
    for (size_t i = 0; i < v.members.size(); ++i) {
        if (i > 0) out += ",\n";
        out.append(static_cast<size_t>(indent + 2), ' ');
        write_quoted(v.members[i].key, out);
        out += ": ";
        write_value(v.members[i].value, indent + 2, out);
    }
    out.push_back('\n');
    out.append(static_cast<size_t>(indent), ' ');
    out.push_back('}');
}

void write_value(const JsonValue& v, int indent, std::string& out) {
    switch (v.kind) {
    case JsonValue::kBool: out += v.bool_value ? "true" : "false"; break;
    case JsonValue::kInt: out += std::to_string(v.int_value); break;
    case JsonValue::kString: write_quoted(v.str_value, out); break;
    case JsonValue::kArray: write_array(v, indent, out); break;
    case JsonValue::kObject: write_object(v, indent, out); break;
    default: out += "null"; break;
    }
}

}  // namespace

std::string JsonValue::to_string(int indent) const {
    std::string out;
    write_value(*this, std::max(indent, 0), out);
    return out;
}

std::string json_quote(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    write_quoted(utf8, out);
    return out;
}

// ---------------------------------------------------------------- Reader

namespace {

[[noreturn]] void syntax_error(char awaited) {
    throw std::runtime_error(std::string("expected ") + awaited);
}

// The first '"' or '\\' in [p, end), or end; eight bytes at a time.
const char* find_quote_or_backslash(const char* p, const char* end) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    while (end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        const uint64_t q = w ^ (kOnes * '"');
        const uint64_t b = w ^ (kOnes * '\\');
        if ((((q - kOnes) & ~q) | ((b - kOnes) & ~b)) & kHigh) break;
        p += 8;
    }
    while (p != end && *p != '"' && *p != '\\') ++p;
    return p;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

JsonReader::JsonReader(std::FILE* file, uint64_t start) {
    file_ = file;
    base_ = start;
    data_ = window_.data();
    failed_ = _fseeki64(file_, static_cast<long long>(start), SEEK_SET) != 0;
}

bool JsonReader::fill(size_t n) {
    if (!file_ || failed_) {
        return false;
    }
    // Keep the unread bytes, then read on in pieces. A reader that goes on
    // through the file takes larger pieces (fewer calls to the system); one
    // that has just moved to an element starts small again.
    window_.erase(0, pos_);
    base_ += pos_;
    pos_ = 0;
    while (window_.size() < n) {
        const size_t had = window_.size();
        window_.resize(had + piece_);
        const size_t got = std::fread(&window_[had], 1, piece_, file_);
        window_.resize(had + got);
        piece_ = std::min(piece_ * 2, kLargestPiece);
        if (got == 0) {
            failed_ = std::ferror(file_) != 0;
            break;
        }
    }
    data_ = window_.data();
    size_ = window_.size();
    return size_ >= n;
}

bool JsonReader::seek(uint64_t offset) {
    depth_ = 0;
    if (!file_) {
        pos_ = static_cast<size_t>(std::min<uint64_t>(offset, size_));
        return true;
    }
    if (offset >= base_ && offset - base_ <= size_) {
        pos_ = static_cast<size_t>(offset - base_);
        return true;
    }
    // Start the window a little before the offset: a walk from the last
    // element of a list to the first then finds most of them in hand.
    constexpr uint64_t kBefore = 48 * 1024;
    const uint64_t from = offset > kBefore ? offset - kBefore : 0;
    window_.clear();
    piece_ = kFirstPiece;
    data_ = window_.data();
    size_ = 0;
    pos_ = 0;
    base_ = from;
    failed_ = false;
    if (_fseeki64(file_, static_cast<long long>(from), SEEK_SET) != 0) {
        failed_ = true;
        return false;
    }
    fill(static_cast<size_t>(offset - from) + 1);
    if (failed_) {
        return false;
    }
    pos_ = static_cast<size_t>(std::min<uint64_t>(offset - from, size_));
    return true;
}

char JsonReader::peek() {
    while (available(1)) {
        const char c = data_[pos_];
        if (c != '\t' && c != '\n' && c != '\r' && c != ' ') return c;  // a NUL byte reads as the end
        ++pos_;
    }
    return '\0';
}

char JsonReader::next() {
    const char c = peek();
    if (c != '\0') ++pos_;
    return c;
}

void JsonReader::expect(char c) {
    if (next() != c) syntax_error(c);
}

void JsonReader::skip_literal(size_t length) {
    for (size_t i = 0; i < length && available(1); ++i) ++pos_;
}

JsonValue JsonReader::parse_value() {
    const char c = peek();
    if (c == '"') return JsonValue::from_string(parse_string());
    if (c == '-' || (c >= '0' && c <= '9')) return parse_number();
    if (c == '[') return parse_array();
    if (c == '{') return parse_object();
    if (c == 't') {
        skip_literal(4);
        return JsonValue::from_bool(true);
    }
    if (c == 'f') {
        skip_literal(5);
        return JsonValue::from_bool(false);
    }
    if (c == 'n') skip_literal(4);
    return JsonValue();
}

void JsonReader::skip_value() {
    const char c = peek();
    if (c == '"') {
        parse_string(nullptr);
    } else if (c == '-' || (c >= '0' && c <= '9')) {
        parse_number();
    } else if (c == '[') {
        if (begin_array()) {
            do {
                skip_value();
            } while (next_element());
        }
    } else if (c == '{') {
        if (begin_object()) {
            do {
                parse_string(nullptr);
                expect(':');
                skip_value();
            } while (next_member());
        }
    } else if (c == 't' || c == 'n') {
        skip_literal(4);
    } else if (c == 'f') {
        skip_literal(5);
    }
}

JsonValue JsonReader::parse_number() {
    bool negative = false;
    if (peek() == '-') {
        negative = true;
        ++pos_;
    }
    // The magnitude saturates at the int64 range instead of overflowing.
    const uint64_t limit = negative ? uint64_t(1) << 63 : (uint64_t(1) << 63) - 1;
    uint64_t magnitude = 0;
    while (available(1) && data_[pos_] >= '0' && data_[pos_] <= '9') {
        const uint64_t digit = static_cast<uint64_t>(data_[pos_] - '0');
        if (magnitude > (limit - digit) / 10)
            magnitude = limit;
        else
            magnitude = magnitude * 10 + digit;
        ++pos_;
    }
    int64_t value;
    if (!negative)
        value = static_cast<int64_t>(magnitude);
    else if (magnitude == (uint64_t(1) << 63))
        value = INT64_MIN;
    else
        value = -static_cast<int64_t>(magnitude);
    return JsonValue::from_int(value);
}

bool JsonReader::begin_array() {
    if (depth_ >= kJsonMaxDepth) syntax_error(']');
    ++depth_;
    next();  // "["
    if (peek() == ']') {
        next();
        --depth_;
        return false;
    }
    if (peek() == '\0') syntax_error(']');
    return true;
}

bool JsonReader::next_element() {
    const char c = next();
    if (c == ']') {
        --depth_;
        return false;
    }
    if (c == '\0') syntax_error(']');
    // any other byte was the separator
    if (peek() == '\0') syntax_error(']');
    return true;
}

bool JsonReader::begin_object() {
    if (depth_ >= kJsonMaxDepth) syntax_error('}');
    ++depth_;
    next();  // "{"
    if (peek() == '}') {
        next();
        --depth_;
        return false;
    }
    return true;
}

std::string JsonReader::member_key() {
    std::string key = parse_string();
    expect(':');
    return key;
}

bool JsonReader::next_member() {
    if (next() == '}') {
        --depth_;
        return false;
    }
    // any other byte was the separator; the end of the text makes the next
    // key fail
    return true;
}

JsonValue JsonReader::parse_array() {
    JsonValue array;
    array.kind = JsonValue::kArray;
    if (begin_array()) {
        do {
            array.elements.push_back(parse_value());
        } while (next_element());
    }
    return array;
}

JsonValue JsonReader::parse_object() {
    JsonValue object;
    object.kind = JsonValue::kObject;
    if (begin_object()) {
        do {
            std::string key = member_key();
            JsonValue value = parse_value();
            json_object_set(object, std::move(key), std::move(value));
        } while (next_member());
    }
    return object;
}

bool JsonReader::hex4_at(size_t at, uint32_t& value) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        const int h = hex_value(data_[pos_ + at + i]);
        if (h < 0) return false;
        v = (v << 4) | static_cast<uint32_t>(h);
    }
    value = v;
    return true;
}

// After "\u": four hex digits give a UTF-16 unit; a high surrogate followed
// by the escape of a low one gives one code point. A lone surrogate gives
// U+FFFD; an escape without four hex digits gives "?" and the bytes after
// the "u" are read as ordinary text.
void JsonReader::read_unicode_escape(std::string* out) {
    std::string scratch;
    std::string& o = out ? *out : scratch;
    uint32_t unit = 0;
    if (!available(4) || !hex4_at(0, unit)) {
        o.push_back('?');
        return;
    }
    pos_ += 4;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        uint32_t low = 0;
        if (available(6) && data_[pos_] == '\\' && data_[pos_ + 1] == 'u' && hex4_at(2, low) &&
            low >= 0xDC00 && low <= 0xDFFF) {
            pos_ += 6;
            append_utf8(o, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            return;
        }
        append_utf8(o, 0xFFFD);
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        append_utf8(o, 0xFFFD);
        return;
    }
    append_utf8(o, unit);
}

std::string JsonReader::parse_string() {
    std::string out;
    parse_string(&out);
    return out;
}

// Reads a string into out, or passes over it when out is null.
void JsonReader::parse_string(std::string* out) {
    expect('"');
    while (available(1)) {
        // Copy the plain run up to the next quote or backslash in one go.
        const char* begin = data_ + pos_;
        const char* end = data_ + size_;
        const char* stop = find_quote_or_backslash(begin, end);
        if (out) out->append(begin, static_cast<size_t>(stop - begin));
        pos_ += static_cast<size_t>(stop - begin);
        if (stop == end) continue;  // read on; the end of the text ends the string
        if (data_[pos_++] == '"') return;

        if (!available(1)) break;  // a backslash as the last byte
        const char e = data_[pos_++];
        switch (e) {
        case 'n': if (out) out->push_back('\n'); break;
        case 'r': if (out) out->push_back('\r'); break;
        case 't': if (out) out->push_back('\t'); break;
        case 'b': if (out) out->push_back('\b'); break;
        case 'f': if (out) out->push_back('\f'); break;
        case 'u': read_unicode_escape(out); break;
        default: if (out) out->push_back(e); break;  // '"', '/', '\\' and anything else
        }
    }
}

// ---------------------------------------------------------------- Members

namespace {

const JsonValue* find_member(const JsonValue& object, std::string_view key, int32_t kind) {
    if (object.kind != JsonValue::kObject) return nullptr;
    for (const JsonMember& m : object.members)
        if (m.value.kind == kind && m.key == key) return &m.value;
    return nullptr;
}

}  // namespace

bool json_get_bool(const JsonValue& object, std::string_view key, bool def) {
    const JsonValue* v = find_member(object, key, JsonValue::kBool);
    return v ? v->bool_value : def;
}

std::string json_get_string(const JsonValue& object, std::string_view key, std::string_view def) {
    const JsonValue* v = find_member(object, key, JsonValue::kString);
    return v ? v->str_value : std::string(def);
}

int64_t json_get_int(const JsonValue& object, std::string_view key, int64_t def) {
    const JsonValue* v = find_member(object, key, JsonValue::kInt);
    return v ? v->int_value : def;
}

void json_object_set(JsonValue& object, std::string key, const JsonValue& value) {
    json_object_set(object, std::move(key), JsonValue(value));
}

void json_object_set(JsonValue& object, std::string key, JsonValue&& value) {
    if (object.kind == JsonValue::kNull) object.kind = JsonValue::kObject;
    object.members.push_back(JsonMember{std::move(key), std::move(value)});
}
