// JSON value, lenient reader and pretty-printer.
#include "core/json.h"

#include "core/text.h"

#include <algorithm>
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

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Counts one level of nesting for as long as it lives.
class DepthGuard {
public:
    DepthGuard(int& depth, char closing) : depth_(depth) {
        if (depth_ >= kJsonMaxDepth) syntax_error(closing);
        ++depth_;
    }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& depth_;
};

}  // namespace

char JsonReader::peek() {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
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
    pos_ = std::min(text_.size(), pos_ + length);
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

JsonValue JsonReader::parse_number() {
    bool negative = false;
    if (peek() == '-') {
        negative = true;
        ++pos_;
    }
    // The magnitude saturates at the int64 range instead of overflowing.
    const uint64_t limit = negative ? uint64_t(1) << 63 : (uint64_t(1) << 63) - 1;
    uint64_t magnitude = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
        const uint64_t digit = static_cast<uint64_t>(text_[pos_] - '0');
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

JsonValue JsonReader::parse_array() {
    DepthGuard guard(depth_, ']');
    next();  // "["
    JsonValue array;
    array.kind = JsonValue::kArray;
    if (peek() == ']') {
        next();
        return array;
    }
    for (;;) {
        if (peek() == '\0') syntax_error(']');
        array.elements.push_back(parse_value());
        const char c = next();
        if (c == ']') break;
        if (c == '\0') syntax_error(']');
        // any other byte was the separator
    }
    return array;
}

JsonValue JsonReader::parse_object() {
    DepthGuard guard(depth_, '}');
    next();  // "{"
    JsonValue object;
    object.kind = JsonValue::kObject;
    if (peek() == '}') {
        next();
        return object;
    }
    for (;;) {
        std::string key = parse_string();
        expect(':');
        JsonValue value = parse_value();
        json_object_set(object, std::move(key), std::move(value));
        if (next() == '}') break;
        // any other byte was the separator; the end of the text makes the
        // next key fail
    }
    return object;
}

bool JsonReader::read_hex4(uint32_t& value) {
    if (text_.size() - pos_ < 4) return false;
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        const int h = hex_value(text_[pos_ + i]);
        if (h < 0) return false;
        v = (v << 4) | static_cast<uint32_t>(h);
    }
    pos_ += 4;
    value = v;
    return true;
}

// After "\u": four hex digits give a UTF-16 unit; a high surrogate followed
// by the escape of a low one gives one code point. A lone surrogate gives
// U+FFFD; an escape without four hex digits gives "?" and the bytes after
// the "u" are read as ordinary text.
void JsonReader::read_unicode_escape(std::string& out) {
    uint32_t unit = 0;
    if (!read_hex4(unit)) {
        out.push_back('?');
        return;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        const size_t resume = pos_;
        uint32_t low = 0;
        if (text_.size() - pos_ >= 2 && text_[pos_] == '\\' && text_[pos_ + 1] == 'u') {
            pos_ += 2;
            if (read_hex4(low) && low >= 0xDC00 && low <= 0xDFFF) {
                append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                return;
            }
            pos_ = resume;
        }
        append_utf8(out, 0xFFFD);
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        append_utf8(out, 0xFFFD);
        return;
    }
    append_utf8(out, unit);
}

std::string JsonReader::parse_string() {
    expect('"');
    std::string out;
    const size_t size = text_.size();
    while (pos_ < size) {
        // Copy the plain run up to the next quote or backslash in one go.
        size_t stop = text_.find_first_of("\"\\", pos_);
        if (stop == std::string::npos) stop = size;
        out.append(text_, pos_, stop - pos_);
        pos_ = stop;
        if (pos_ >= size) break;  // the end of the text ends the string
        if (text_[pos_++] == '"') return out;

        if (pos_ >= size) break;  // a backslash as the last byte
        const char e = text_[pos_++];
        switch (e) {
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'u': read_unicode_escape(out); break;
        default: out.push_back(e); break;  // '"', '/', '\\' and anything else
        }
    }
    return out;
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
