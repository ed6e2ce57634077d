// A small JSON value with a lenient reader and a pretty-printer, working on
// UTF-8 byte strings. It carries the backup file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct JsonMember;

struct JsonValue {
    static constexpr int32_t kNull = 0;
    static constexpr int32_t kBool = 1;
    static constexpr int32_t kInt = 2;
    static constexpr int32_t kString = 3;
    static constexpr int32_t kArray = 4;
    static constexpr int32_t kObject = 5;

    // Only the field that belongs to the kind is meaningful.
    int32_t kind = kNull;
    bool bool_value = false;
    int64_t int_value = 0;
    std::string str_value;               // UTF-8 bytes, not validated
    std::vector<JsonValue> elements;     // kArray
    std::vector<JsonMember> members;     // kObject, in insertion order

    JsonValue();                                // null
    JsonValue(const JsonValue& other);
    JsonValue(JsonValue&& other) noexcept;      // leaves `other` null and empty
    JsonValue& operator=(const JsonValue& other);
    JsonValue& operator=(JsonValue&& other) noexcept;
    ~JsonValue();

    static JsonValue from_string(std::string utf8);
    static JsonValue from_bool(bool value);
    static JsonValue from_int(int64_t value);

    // Pretty-printed text; a document is printed with indent 0. No newline
    // follows the closing bracket.
    std::string to_string(int indent = 0) const;
};

struct JsonMember {
    std::string key;  // UTF-8 bytes
    JsonValue value;
};

// Deepest nesting of arrays and objects the reader accepts; deeper input
// raises the reader's syntax error.
constexpr int kJsonMaxDepth = 512;

// Reads JSON leniently from a UTF-8 byte string that must outlive the reader.
// Integers only (a fraction or exponent is not part of a number), unknown
// characters read as null, any byte after an element counts as a separator.
// Raises std::runtime_error("expected X") for: a member not starting with a
// double quote (X = "), a key not followed by ":" (X = :), the end of the
// text inside an array (X = ]) and nesting deeper than kJsonMaxDepth
// (X = ] or }).
class JsonReader {
public:
    explicit JsonReader(const std::string& text, size_t pos = 0)
        : text_(text), pos_(pos < text.size() ? pos : text.size()) {}
    JsonReader(std::string&&, size_t = 0) = delete;  // would dangle

    JsonValue parse_value();
    size_t position() const { return pos_; }

private:
    char peek();
    char next();
    void expect(char c);
    std::string parse_string();
    JsonValue parse_number();
    JsonValue parse_array();
    JsonValue parse_object();
    void skip_literal(size_t length);
    void read_unicode_escape(std::string& out);
    bool read_hex4(uint32_t& value);

    const std::string& text_;
    size_t pos_;
    int depth_ = 0;
};

// The text as a JSON string literal: tab, LF, CR, '"' and '\' get their short
// escapes, other bytes below 0x20 are written as \u00XX, everything else
// (including non-ASCII UTF-8 and "/") unchanged.
std::string json_quote(std::string_view utf8);

// Value of the first member of an object whose key equals `key` byte for byte
// and whose value has the wanted kind; `def` when there is none.
bool json_get_bool(const JsonValue& object, std::string_view key, bool def);
std::string json_get_string(const JsonValue& object, std::string_view key, std::string_view def);
int64_t json_get_int(const JsonValue& object, std::string_view key, int64_t def);

// Appends a member (an existing member with the same key stays). A null
// value becomes an empty object first.
void json_object_set(JsonValue& object, std::string key, const JsonValue& value);
void json_object_set(JsonValue& object, std::string key, JsonValue&& value);
