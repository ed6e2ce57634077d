#include "core/json.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/core/temp_folder.h"

namespace {

JsonValue parse(const std::string& text) {
    JsonReader reader(text);
    return reader.parse_value();
}

// Message of the syntax error the text raises, or "" when it parses.
std::string error_of(const std::string& text) {
    try {
        parse(text);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

std::string str(const char* s, size_t n) { return std::string(s, n); }

JsonValue array_of(std::initializer_list<JsonValue> items) {
    JsonValue v;
    v.kind = JsonValue::kArray;
    v.elements.assign(items.begin(), items.end());
    return v;
}

}  // namespace

// ------------------------------------------------------------ Reading valid documents

TEST(JsonReader, ReadsABackupShapedDocument) {
    const std::string text =
        "{\"format\":\"quillet-export\",\"version\":2,\n"
        " \"entries\":[{\"text\":\"a\\\"b\\\\c\\nd\",\"pinned\":true,\"keep\":false,\"x\":null,\"slot_order\":3}],\n"
        " \"snippet_groups\":[\"g1\",\"\\u0413\"]}";
    JsonReader reader(text);
    const JsonValue doc = reader.parse_value();
    EXPECT_EQ(reader.position(), text.size());
    ASSERT_EQ(doc.kind, JsonValue::kObject);
    ASSERT_EQ(doc.members.size(), 4u);
    EXPECT_EQ(doc.members[0].key, "format");
    EXPECT_EQ(json_get_string(doc, "format", ""), "quillet-export");
    EXPECT_EQ(json_get_int(doc, "version", 0), 2);
    const JsonValue& entries = doc.members[2].value;
    ASSERT_EQ(entries.kind, JsonValue::kArray);
    ASSERT_EQ(entries.elements.size(), 1u);
    const JsonValue& e = entries.elements[0];
    EXPECT_EQ(json_get_string(e, "text", "?"), "a\"b\\c\nd");
    EXPECT_TRUE(json_get_bool(e, "pinned", false));
    EXPECT_FALSE(json_get_bool(e, "keep", true));
    EXPECT_EQ(e.members[3].value.kind, JsonValue::kNull);
    EXPECT_EQ(json_get_int(e, "slot_order", 0), 3);
    const JsonValue& groups = doc.members[3].value;
    ASSERT_EQ(groups.elements.size(), 2u);
    EXPECT_EQ(groups.elements[1].str_value, "\xD0\x93");
}

TEST(JsonReader, EmptyContainersAndWhiteSpace) {
    for (const char* text : {"{}", " \t\r\n{ \n }", "[]", "[ ]"}) {
        const JsonValue v = parse(text);
        EXPECT_TRUE(v.kind == JsonValue::kObject || v.kind == JsonValue::kArray) << text;
        EXPECT_TRUE(v.elements.empty() && v.members.empty()) << text;
    }
    EXPECT_EQ(parse("{}").to_string(), "{}");
    EXPECT_EQ(parse("[ ]").to_string(), "[]");
}

TEST(JsonReader, IntegersIncludingTheLimits) {
    struct Case { const char* text; int64_t value; };
    const Case cases[] = {
        {"0", 0}, {"-12", -12}, {"-", 0}, {"007", 7}, {"  42", 42},
        {"1.5", 1}, {"3e4", 3}, {"- 5", 0},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"-9223372036854775807", -INT64_MAX},
        // Larger magnitudes saturate instead of overflowing.
        {"9223372036854775808", INT64_MAX},
        {"18446744073709551616", INT64_MAX},
        {"99999999999999999999999999999999999999", INT64_MAX},
        {"-9223372036854775809", INT64_MIN},
        {"-99999999999999999999999999999999999999", INT64_MIN},
    };
    for (const Case& c : cases) {
        const JsonValue v = parse(c.text);
        EXPECT_EQ(v.kind, JsonValue::kInt) << c.text;
        EXPECT_EQ(v.int_value, c.value) << c.text;
    }
}

TEST(JsonReader, LenientArrays) {
    struct Case { const char* text; std::string printed; };
    const Case cases[] = {
        {"[1.5]", "[1,5]"},           // "." is taken as a separator
        {"[1 2]", "[1,null]"},        // "2" is consumed as a separator
        {"[1,]", "[1,null]"},
        {"[,]", "[null,null]"},
        {"[true,false,null]", "[true,false,null]"},
        {"[x]", "[null,null]"},     // "x" reads as null, then serves as the separator
        {"[tru]", ""},                // "t" skips four bytes: the "]" is gone
        {"[[1],[2,[3]]]", "[[1],[2,[3]]]"},
    };
    for (const Case& c : cases) {
        if (c.printed.empty()) {
            EXPECT_EQ(error_of(c.text), "expected ]") << c.text;
            continue;
        }
        std::string printed = parse(c.text).to_string();
        std::string compact;
        for (char ch : printed)
            if (ch != ' ' && ch != '\n') compact.push_back(ch);
        EXPECT_EQ(compact, c.printed) << c.text;
    }
}

TEST(JsonReader, LiteralsAndUnknownCharacters) {
    EXPECT_EQ(parse("true").kind, JsonValue::kBool);
    EXPECT_TRUE(parse("true").bool_value);
    EXPECT_EQ(parse("false").kind, JsonValue::kBool);
    EXPECT_FALSE(parse("false").bool_value);
    EXPECT_EQ(parse("null").kind, JsonValue::kNull);
    EXPECT_EQ(parse("").kind, JsonValue::kNull);
    EXPECT_EQ(parse("   ").kind, JsonValue::kNull);
    const std::string unknown = "xyz";
    JsonReader r(unknown);
    EXPECT_EQ(r.parse_value().kind, JsonValue::kNull);
    EXPECT_EQ(r.position(), 0u);  // nothing consumed
}

TEST(JsonReader, NeverMovesPastTheEnd) {
    for (const char* text : {"t", "f", "n", "fa", "\"\\u1", "\"\\u", "\"\\", "\"abc", "-", "\"\\ud83d\\u"}) {
        const std::string s(text);
        JsonReader r(s);
        r.parse_value();
        EXPECT_LE(r.position(), s.size()) << text;
    }
}

TEST(JsonReader, WhatFollowsTheValueIsNotExamined) {
    const std::string text = "{\"a\":1} trailing garbage ]]] {";
    JsonReader r(text);
    const JsonValue v = r.parse_value();
    EXPECT_EQ(json_get_int(v, "a", 0), 1);
    EXPECT_EQ(r.position(), 7u);
    EXPECT_EQ(parse("[1] ]").elements.size(), 1u);
    EXPECT_EQ(parse(str("{}\0junk", 7)).kind, JsonValue::kObject);
}

TEST(JsonReader, StartsAtAGivenPosition) {
    const std::string text = "xx [5]";
    JsonReader r(text, 2);
    const JsonValue v = r.parse_value();
    ASSERT_EQ(v.elements.size(), 1u);
    EXPECT_EQ(v.elements[0].int_value, 5);

    // A start beyond the end reads as the end.
    const std::string quote = "\"abc";
    JsonReader past(quote, 100);
    EXPECT_EQ(past.parse_value().kind, JsonValue::kNull);
    EXPECT_LE(past.position(), quote.size());
}

TEST(JsonReader, DuplicateKeysAreKeptAndGettersPickByKind) {
    const JsonValue v = parse("{\"a\":1,\"a\":2}");
    ASSERT_EQ(v.members.size(), 2u);
    EXPECT_EQ(v.members[1].value.int_value, 2);
    EXPECT_TRUE(json_get_bool(v, "a", true));
    EXPECT_FALSE(json_get_bool(v, "a", false));
    EXPECT_EQ(json_get_string(v, "a", "none"), "none");
    EXPECT_EQ(json_get_int(v, "a", 0), 1);  // the first one

    const JsonValue w = parse("{\"k\":\"x\",\"k\":true,\"k\":7,\"k\":\"y\",\"K\":false}");
    EXPECT_EQ(json_get_string(w, "k", ""), "x");
    EXPECT_TRUE(json_get_bool(w, "k", false));
    EXPECT_EQ(json_get_int(w, "k", -1), 7);
    EXPECT_TRUE(json_get_bool(w, "K", true) == false);  // keys are case-sensitive
    EXPECT_EQ(json_get_int(w, "missing", -1), -1);
}

TEST(JsonGetters, NonObjectsGiveTheDefault) {
    const JsonValue arr = parse("[{\"a\":1}]");
    EXPECT_EQ(json_get_int(arr, "a", 9), 9);
    EXPECT_EQ(json_get_string(JsonValue::from_string("a"), "a", "d"), "d");
    EXPECT_FALSE(json_get_bool(JsonValue(), "a", false));
}

// ------------------------------------------------------------ Strings and escapes

TEST(JsonReader, StringEscapes) {
    struct Case { std::string text; std::string value; };
    const Case cases[] = {
        {"\"plain\"", "plain"},
        {"\"\\\"\\\\\\/\"", "\"\\/"},
        {"\"\\n\\r\\t\"", "\n\r\t"},
        {"\"\\b\\f\"", "\b\f"},
        {"\"\\x\\q\"", "xq"},                              // unknown escapes stand for themselves
        {"\"a\\u00e9b\"", "a\xC3\xA9" "b"},
        {"\"\\u00E9\"", "\xC3\xA9"},
        {"\"\\u0041\"", "A"},
        {"\"\\u20AC\"", "\xE2\x82\xAC"},
        {"\"\\uffff\"", "\xEF\xBF\xBF"},
        {"\"\\u0000\"", str("\0", 1)},
        {"\"\\ud83d\\ude00\"", "\xF0\x9F\x98\x80"},        // surrogate pair
        {"\"\\uD83D\\uDE00!\"", "\xF0\x9F\x98\x80!"},
        {"\"\\udbff\\udfff\"", "\xF4\x8F\xBF\xBF"},
        {"\"\\ud83dx\"", "\xEF\xBF\xBDx"},                 // lone high surrogate
        {"\"\\ude00\"", "\xEF\xBF\xBD"},                   // lone low surrogate
        {"\"\\ud83d\\ud83d\\ude00\"", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
        {"\"\\ud83d\\u0041\"", "\xEF\xBF\xBD" "A"},
        {"\"\\ud83d\\n\"", "\xEF\xBF\xBD\n"},
        {"\"\\u12G4\"", "?12G4"},                          // not four hex digits
        {"\"\\u12\"", "?12"},
        {"\"\\u\"", "?"},
        {"\"\\u12", "?12"},                                // the end of the text ends the string
        {"\"ab\\", "ab"},
        {"\"abc", "abc"},
        {"\"a\x01\x1f\xC3\xA9\t\"", "a\x01\x1f\xC3\xA9\t"},  // raw bytes are kept
        {str("\"a\0b\"", 5), str("a\0b", 3)},
    };
    for (const Case& c : cases) {
        const JsonValue v = parse(c.text);
        EXPECT_EQ(v.kind, JsonValue::kString) << c.text;
        EXPECT_EQ(v.str_value, c.value) << c.text;
    }
}

TEST(JsonReader, LongStringIsReadWhole) {
    std::string body(5 * 1024 * 1024, 'A');
    body[12345] = '+';
    const JsonValue v = parse("[\"" + body + "\"]");
    ASSERT_EQ(v.elements.size(), 1u);
    EXPECT_EQ(v.elements[0].str_value, body);
}

// ------------------------------------------------------------ Malformed input

TEST(JsonReader, SyntaxErrors) {
    struct Case { std::string text; const char* message; };
    const Case cases[] = {
        {"{\"a\" 1}", "expected :"},
        {"{\"a\"", "expected :"},
        {"{\"a\":1", "expected \""},
        {"{\"a\":1,}", "expected \""},
        {"{a:1}", "expected \""},
        {"{", "expected \""},
        {"{\"a\":[1,2}", "expected ]"},
        {"[1,", "expected ]"},
        {"[1", "expected ]"},
        {"[", "expected ]"},
        {"[x", "expected ]"},                 // must not loop forever
        {"[t", "expected ]"},
        {"[\"abc", "expected ]"},
        {"[{}", "expected ]"},
        {str("[1,\0 2]", 7), "expected ]"},   // a NUL byte reads as the end
        {str("{\"a\":1,\0}", 9), "expected \""},
    };
    for (const Case& c : cases) EXPECT_EQ(error_of(c.text), c.message) << c.text;
}

TEST(JsonReader, TruncationAtEveryPointNeverCrashes) {
    const std::string doc =
        "{\"format\":\"quillet-export\",\"version\":2,\"entries\":[{\"text\":\"x\\u00e9\\ud83d\\ude00\","
        "\"pinned\":true,\"keep\":false,\"image\":\"QUJD\"}],\"snippet_groups\":[\"g\"]}";
    ASSERT_EQ(error_of(doc), "");
    for (size_t len = 0; len < doc.size(); ++len) {
        const std::string cut = doc.substr(0, len);
        JsonReader r(cut);
        try {
            r.parse_value();
        } catch (const std::runtime_error&) {
        }
        EXPECT_LE(r.position(), cut.size()) << len;
    }
}

TEST(JsonReader, DeepNestingRaisesInsteadOfOverflowingTheStack) {
    EXPECT_EQ(error_of(std::string(100000, '[')), "expected ]");
    std::string objects;
    for (int i = 0; i < 100000; ++i) objects += "{\"a\":";
    EXPECT_EQ(error_of(objects), "expected }");
    std::string mixed;
    for (int i = 0; i < 50000; ++i) mixed += "[{\"k\":";
    EXPECT_NE(error_of(mixed), "");
}

TEST(JsonReader, NestingUpToTheLimitIsRead) {
    const int n = kJsonMaxDepth;
    const std::string ok = std::string(n, '[') + std::string(n, ']');
    JsonValue v = parse(ok);
    // n arrays, the innermost empty.
    const JsonValue* p = &v;
    for (int i = 1; i < n; ++i) {
        ASSERT_EQ(p->kind, JsonValue::kArray) << i;
        ASSERT_EQ(p->elements.size(), 1u) << i;
        p = &p->elements[0];
    }
    EXPECT_EQ(p->kind, JsonValue::kArray);
    EXPECT_TRUE(p->elements.empty());

    const std::string too_deep = std::string(n + 1, '[') + std::string(n + 1, ']');
    EXPECT_EQ(error_of(too_deep), "expected ]");
    // The same depth reached again after closing is still fine.
    const std::string one_less = ok.substr(1, ok.size() - 2);
    EXPECT_EQ(error_of("[" + one_less + "," + one_less + "]"), "");
}

// ------------------------------------------------------------ Printing

TEST(JsonPrinter, ExactLayout) {
    JsonValue doc;
    json_object_set(doc, "a", JsonValue::from_int(1));
    json_object_set(doc, "b", array_of({JsonValue::from_bool(true), JsonValue()}));
    EXPECT_EQ(doc.to_string(0),
              "{\n"
              "  \"a\": 1,\n"
              "  \"b\": [\n"
              "    true,\n"
              "    null\n"
              "  ]\n"
              "}");

    JsonValue empties;
    json_object_set(empties, "list", array_of({}));
    JsonValue inner;
    inner.kind = JsonValue::kObject;
    json_object_set(empties, "obj", inner);
    EXPECT_EQ(empties.to_string(), "{\n  \"list\": [],\n  \"obj\": {}\n}");

    EXPECT_EQ(array_of({JsonValue::from_int(1)}).to_string(4), "[\n      1\n    ]");
}

TEST(JsonPrinter, Scalars) {
    EXPECT_EQ(JsonValue().to_string(), "null");
    EXPECT_EQ(JsonValue::from_bool(true).to_string(), "true");
    EXPECT_EQ(JsonValue::from_bool(false).to_string(), "false");
    EXPECT_EQ(JsonValue::from_int(-5).to_string(), "-5");
    EXPECT_EQ(JsonValue::from_int(INT64_MIN).to_string(), "-9223372036854775808");
    EXPECT_EQ(JsonValue::from_int(INT64_MAX).to_string(), "9223372036854775807");
    EXPECT_EQ(JsonValue::from_string("x").to_string(), "\"x\"");
    JsonValue odd;
    odd.kind = 9;
    odd.str_value = "ignored";
    EXPECT_EQ(odd.to_string(), "null");
}

TEST(JsonQuote, EscapesExactlyWhatItMust) {
    struct Case { std::string in, out; };
    const Case cases[] = {
        {"", "\"\""},
        {"a\tb", "\"a\\tb\""},
        {"\n\r", "\"\\n\\r\""},
        {"\"", "\"\\\"\""},
        {"\\", "\"\\\\\""},
        {"/", "\"/\""},
        {"\xC3\xA9\xF0\x9F\x98\x80", "\"\xC3\xA9\xF0\x9F\x98\x80\""},
        {"\x7f", "\"\x7f\""},
        {"\x01", "\"\\u0001\""},
        {"\b\f", "\"\\u0008\\u000c\""},
        {"\x1f" "x", "\"\\u001fx\""},
        {str("a\0b", 3), "\"a\\u0000b\""},
    };
    for (const Case& c : cases) EXPECT_EQ(json_quote(c.in), c.out) << c.out;
}

TEST(JsonRoundTrip, EveryByteValueSurvives) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    all += "\\\"\\u0041";
    JsonValue doc;
    json_object_set(doc, all, JsonValue::from_string(all));
    const std::string text = doc.to_string();
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        EXPECT_TRUE(u >= 0x20 || u == '\n' || u == '\t' || u == '\r') << int(u);
    }
    const JsonValue back = parse(text);
    ASSERT_EQ(back.members.size(), 1u);
    EXPECT_EQ(back.members[0].key, all);
    EXPECT_EQ(back.members[0].value.str_value, all);
}

TEST(JsonRoundTrip, DocumentPrintsTheSameAfterReading) {
    JsonValue doc;
    json_object_set(doc, "format", JsonValue::from_string("quillet-export"));
    json_object_set(doc, "version", JsonValue::from_int(2));
    JsonValue entry;
    json_object_set(entry, "text", JsonValue::from_string("tab\there \"q\" back\\slash\r\n\xD0\x96"));
    json_object_set(entry, "pinned", JsonValue::from_bool(true));
    json_object_set(entry, "slot_order", JsonValue::from_int(-3));
    json_object_set(doc, "entries", array_of({entry, entry}));
    json_object_set(doc, "snippets", array_of({}));
    const std::string text = doc.to_string();
    EXPECT_EQ(parse(text).to_string(), text);
    EXPECT_NE(text.back(), '\n');
}

// ------------------------------------------------------------ Value semantics

TEST(JsonValue, CopyIsDeepAndMoveEmptiesTheSource) {
    JsonValue a = array_of({JsonValue::from_string("x"), JsonValue::from_int(2)});
    JsonValue b = a;
    b.elements[0].str_value = "changed";
    EXPECT_EQ(a.elements[0].str_value, "x");

    JsonValue c = std::move(a);
    EXPECT_EQ(c.elements.size(), 2u);
    EXPECT_EQ(a.kind, JsonValue::kNull);
    EXPECT_TRUE(a.elements.empty());

    JsonValue s = JsonValue::from_string("text");
    JsonValue d;
    d = std::move(s);
    EXPECT_EQ(d.str_value, "text");
    EXPECT_EQ(s.kind, JsonValue::kNull);
    EXPECT_TRUE(s.str_value.empty());
}

TEST(JsonValue, AssigningAPartOfItselfWorks) {
    JsonValue v = array_of({array_of({JsonValue::from_string("inner")}), JsonValue::from_int(1)});
    v = v.elements[0];
    ASSERT_EQ(v.kind, JsonValue::kArray);
    ASSERT_EQ(v.elements.size(), 1u);
    EXPECT_EQ(v.elements[0].str_value, "inner");

    JsonValue w = array_of({array_of({JsonValue::from_string("deep")})});
    w = std::move(w.elements[0]);
    ASSERT_EQ(w.elements.size(), 1u);
    EXPECT_EQ(w.elements[0].str_value, "deep");

    JsonValue self = JsonValue::from_string("same");
    JsonValue& alias = self;
    self = alias;
    EXPECT_EQ(self.str_value, "same");
}

TEST(JsonObjectSet, AppendsAndNeverReplaces) {
    JsonValue obj;
    json_object_set(obj, "k", JsonValue::from_int(1));
    json_object_set(obj, "k", JsonValue::from_int(2));
    ASSERT_EQ(obj.kind, JsonValue::kObject);
    ASSERT_EQ(obj.members.size(), 2u);
    EXPECT_EQ(json_get_int(obj, "k", 0), 1);
    const JsonValue value = JsonValue::from_string("copied");
    json_object_set(obj, "s", value);
    EXPECT_EQ(value.str_value, "copied");  // the argument is copied, not taken
    json_object_set(obj, "self", obj.members[2].value);
    EXPECT_EQ(json_get_string(obj, "self", ""), "copied");
}

// ------------------------------------------------------------ Reading from a file

namespace {

// The value as a file reader reads it: the text written to a file, read
// back in pieces.
JsonValue parse_file(const std::string& text, const std::wstring& path) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    EXPECT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    std::unique_ptr<FILE, int (*)(FILE*)> in(_wfopen(path.c_str(), L"rb"), &std::fclose);
    JsonReader reader(in.get(), 0);
    JsonValue v = reader.parse_value();
    EXPECT_FALSE(reader.read_failed());
    return v;
}

}  // namespace

// Escapes, surrogate pairs, numbers and literals that straddle the pieces
// in which a file is read come out as they do from a string.
TEST(JsonReader, AFileReadsAsTheSameTextDoes) {
    test_support::TempFolder dir;
    const std::wstring path = dir.path() + L"\\doc.json";
    const std::string tails[] = {
        "\\u00e9\\ud83d\\ude00\\n\\\"x\", 12345678901, true, false, null, {\"k\": [1, \"\\ud800?\"]}]",
        "\\ud83d\\u0041 tail\", -42, \"\\uZZ\"]",
        "\", {\"a\": \"\\\\\"}, \"\\t\"]",
    };
    for (const std::string& tail : tails) {
        for (std::size_t pad = 65536 - 12; pad <= 65536 + 4; ++pad) {
            const std::string text = "[\"" + std::string(pad, 'a') + tail;
            JsonValue from_text = parse(text);
            JsonValue from_file = parse_file(text, path);
            ASSERT_EQ(from_file.to_string(), from_text.to_string()) << pad;
        }
    }
    // A document cut inside an array raises the same error from a file.
    const std::string cut = "[\"" + std::string(70000, 'b') + "\", 1";
    EXPECT_EQ(error_of(cut), "expected ]");
    EXPECT_THROW(parse_file(cut, path), std::runtime_error);
}

// Walking a document piece by piece visits what parse_value reads, and an
// element can be read again from its offset.
TEST(JsonReader, WalksAndSeeksInAFile) {
    test_support::TempFolder dir;
    const std::wstring path = dir.path() + L"\\doc.json";
    std::string text = "{\"skip\": {\"x\": [1, 2, \"" + std::string(100000, 'z') + "\"]}, \"list\": [";
    for (int i = 0; i < 300; ++i) {
        text += (i ? ", " : "") + std::string("{\"n\": ") + std::to_string(i) + ", \"s\": \"" +
                std::string(static_cast<std::size_t>(i * 37 % 3000), 'q') + "\"}";
    }
    text += "]}";
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    f = _wfopen(path.c_str(), L"rb");
    ASSERT_NE(f, nullptr);
    JsonReader reader(f, 0);
    std::vector<std::uint64_t> offsets;
    ASSERT_EQ(reader.peek(), '{');
    ASSERT_TRUE(reader.begin_object());
    EXPECT_EQ(reader.member_key(), "skip");
    reader.skip_value();
    ASSERT_TRUE(reader.next_member());
    EXPECT_EQ(reader.member_key(), "list");
    ASSERT_TRUE(reader.begin_array());
    do {
        offsets.push_back(reader.position());
        JsonValue v = reader.parse_value();
        EXPECT_EQ(json_get_int(v, "n", -1), static_cast<int64_t>(offsets.size() - 1));
    } while (reader.next_element());
    EXPECT_FALSE(reader.next_member());
    ASSERT_EQ(offsets.size(), 300u);
    // From the last element to the first, and one far back.
    for (std::size_t i = offsets.size(); i-- > 0;) {
        ASSERT_TRUE(reader.seek(offsets[i]));
        JsonValue v = reader.parse_value();
        EXPECT_EQ(json_get_int(v, "n", -1), static_cast<int64_t>(i));
        EXPECT_EQ(json_get_string(v, "s", "").size(), i * 37 % 3000);
    }
    ASSERT_TRUE(reader.seek(offsets[299]));
    EXPECT_EQ(json_get_int(reader.parse_value(), "n", -1), 299);
    std::fclose(f);
}
