// A small JSON value with a lenient reader and a pretty-printer, working on
// UTF-8 byte strings. It carries the backup file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// Reads JSON leniently from a UTF-8 byte string that must outlive the reader,
// or from an open file, which is read in pieces as the reader moves on.
// Integers only (a fraction or exponent is not part of a number), unknown
// characters read as null, any byte after an element counts as a separator.
// Raises std::runtime_error("expected X") for: a member not starting with a
// double quote (X = "), a key not followed by ":" (X = :), the end of the
// text inside an array (X = ]) and nesting deeper than kJsonMaxDepth
// (X = ] or }).
//
// Besides whole values, the reader hands out a document piece by piece:
// begin_array/next_element and begin_object/member_key/next_member walk a
// container exactly as parse_value reads it, and skip_value passes over a
// value without keeping it.
class JsonReader {
public:
    explicit JsonReader(const std::string& text, size_t pos = 0)
        : data_(text.data()), size_(text.size()), pos_(pos < text.size() ? pos : text.size()) {}
    JsonReader(std::string&&, size_t = 0) = delete;  // would dangle
    // Reads the file from byte offset `start`; the file must stay open while
    // the reader is used.
    JsonReader(std::FILE* file, uint64_t start);

    JsonValue parse_value();
    void skip_value();
    // The offset of the next byte to read, from the start of the text or file.
    uint64_t position() const { return base_ + pos_; }

    // The next byte that is not white space, without taking it; '\0' at the end.
    char peek();
    // At "[": true when the array has a first element, which comes next.
    bool begin_array();
    // After an element: true when another follows.
    bool next_element();
    // At "{": true when the object has a first member.
    bool begin_object();
    // The key of the member that comes next; its value follows.
    std::string member_key();
    // After a member's value: true when another member follows.
    bool next_member();
    // Moves to a byte offset of a file (a reader of a string: of the text),
    // at nesting depth 0. False when the file cannot be read there.
    bool seek(uint64_t offset);
    // True when reading the file failed (as opposed to reaching its end).
    bool read_failed() const { return failed_; }

private:
    char next();
    void expect(char c);
    void parse_string(std::string* out);
    std::string parse_string();
    JsonValue parse_number();
    JsonValue parse_array();
    JsonValue parse_object();
    void skip_literal(size_t length);
    void read_unicode_escape(std::string* out);
    bool hex4_at(size_t at, uint32_t& value);
    // Makes at least n bytes from pos_ available; false at the end.
    bool available(size_t n) { return size_ - pos_ >= n || fill(n); }
    bool fill(size_t n);

    const char* data_ = nullptr;
    size_t size_ = 0;   // bytes in data_
    size_t pos_ = 0;    // into data_
    uint64_t base_ = 0; // offset of data_[0] in the file
    std::FILE* file_ = nullptr;
    std::string window_;  // the bytes of the file in hand
    static constexpr size_t kFirstPiece = 64 * 1024;
    static constexpr size_t kLargestPiece = 1024 * 1024;
    size_t piece_ = kFirstPiece;  // the next read's size
    bool failed_ = false;
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
