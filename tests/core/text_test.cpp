#include "core/text.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <lmcons.h>

#include <climits>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string bytes(const char* s, size_t n) { return std::string(s, n); }

// Strict UTF-8 check (no overlongs, no encoded surrogates, <= U+10FFFF).
bool is_valid_utf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len;
        uint32_t cp;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; }
        else return false;
        if (i + len > s.size()) return false;
        for (size_t k = 1; k < len; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)) return false;
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        if (cp > 0x10FFFF) return false;
        i += len;
    }
    return true;
}

// No unpaired surrogate unit.
bool is_well_formed_utf16(const std::wstring& w) {
    for (size_t i = 0; i < w.size(); ++i) {
        const wchar_t c = w[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= w.size() || w[i + 1] < 0xDC00 || w[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

}  // namespace

// ------------------------------------------------------------ UTF-8 conversion

TEST(Utf8, WideCharIsUtf16) {
    ASSERT_EQ(sizeof(wchar_t), 2u) << "the text helpers are written for 16-bit wchar_t";
}

TEST(Utf8, ConvertsKnownTextsBothWays) {
    struct Case { std::wstring wide; std::string utf8; };
    const Case cases[] = {
        {L"", ""},
        {L"abc", "abc"},
        {L"\u00e9", "\xC3\xA9"},
        {L"\u20AC", "\xE2\x82\xAC"},
        {L"\u041F\u0440\u0438\u0432\u0435\u0442", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {L"\uFFFF", "\xEF\xBF\xBF"},
        {L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},           // U+1F600, a surrogate pair
        {L"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},           // U+10FFFF
        {L"a\xD800\xDC00z", "a\xF0\x90\x80\x80z"},       // U+10000
    };
    for (const Case& c : cases) {
        EXPECT_EQ(to_utf8(c.wide), c.utf8);
        EXPECT_EQ(from_utf8(c.utf8), c.wide);
    }
}

TEST(Utf8, EveryBmpCharacterRoundTripsAndMatchesAppendUtf8) {
    std::wstring all;
    std::string expected;
    for (uint32_t cp = 1; cp <= 0xFFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        all.push_back(static_cast<wchar_t>(cp));
        append_utf8(expected, cp);
    }
    const std::string utf8 = to_utf8(all);
    EXPECT_EQ(utf8, expected);
    EXPECT_EQ(from_utf8(utf8), all);
}

TEST(Utf8, SupplementaryCharactersMatchAppendUtf8) {
    for (uint32_t cp : {0x10000u, 0x1F600u, 0x2A6D6u, 0xE0001u, 0x10FFFFu}) {
        const uint32_t v = cp - 0x10000;
        std::wstring w;
        w.push_back(static_cast<wchar_t>(0xD800 + (v >> 10)));
        w.push_back(static_cast<wchar_t>(0xDC00 + (v & 0x3FF)));
        std::string expected;
        append_utf8(expected, cp);
        EXPECT_EQ(to_utf8(w), expected) << std::hex << cp;
        EXPECT_EQ(from_utf8(expected), w) << std::hex << cp;
    }
}

TEST(Utf8, StopsAtEmbeddedNul) {
    EXPECT_EQ(to_utf8(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(from_utf8(bytes("ab\0cd", 5)), L"ab");
    EXPECT_EQ(to_utf8(std::wstring(L"\0cd", 3)), "");
    EXPECT_EQ(from_utf8(bytes("\0cd", 3)), L"");
}

TEST(Utf8, LoneSurrogatesBecomeValidUtf8AndKeepTheirNeighbours) {
    const std::wstring cases[] = {
        L"a\xD800z",          // lone high
        L"a\xDC00z",          // lone low
        L"a\xDE00\xD83Dz",    // pair in the wrong order
        L"a\xD83D",           // high at the end
        L"a\xD83D\xD83D\xDE00z",  // high followed by a real pair
    };
    for (const std::wstring& w : cases) {
        const std::string u = to_utf8(w);
        EXPECT_TRUE(is_valid_utf8(u)) << "case length " << w.size();
        ASSERT_FALSE(u.empty());
        EXPECT_EQ(u.front(), 'a');
        EXPECT_NE(u.find("\xEF\xBF\xBD"), std::string::npos);  // replacement character
        if (w.back() == L'z') {
            EXPECT_EQ(u.back(), 'z');
        }
    }
    // The real pair after the lone high half survives.
    EXPECT_NE(to_utf8(L"a\xD83D\xD83D\xDE00z").find("\xF0\x9F\x98\x80"), std::string::npos);
}

TEST(Utf8, InvalidUtf8BecomesReplacementCharacters) {
    const std::string cases[] = {
        "a\xC3(z",            // truncated two-byte sequence
        "a\xFFz",             // never valid
        "a\xC0\xAFz",         // overlong "/"
        "a\xED\xA0\x80z",     // encoded surrogate
        "a\xF4\x90\x80\x80z", // above U+10FFFF
        "a\x80z",             // stray continuation byte
        "a\xE2\x82",          // truncated at the end
    };
    for (const std::string& s : cases) {
        const std::wstring w = from_utf8(s);
        ASSERT_FALSE(w.empty());
        EXPECT_EQ(w.front(), L'a');
        EXPECT_NE(w.find(L'\xFFFD'), std::wstring::npos);
        EXPECT_TRUE(is_well_formed_utf16(w));
        if (s.back() == 'z') {
            EXPECT_EQ(w.back(), L'z');
        }
        EXPECT_EQ(w.find(L'/'), std::wstring::npos) << "overlong form must not decode";
    }
    EXPECT_EQ(from_utf8("a\xC3(z"), std::wstring(L"a\xFFFD(z"));
}

TEST(Utf8, LongTextRoundTrips) {
    std::wstring w;
    for (int i = 0; i < 300000; ++i) w.push_back(static_cast<wchar_t>(L'A' + i % 26) );
    w += L"\u044F\xD83D\xDE00";
    EXPECT_EQ(from_utf8(to_utf8(w)), w);
}

TEST(AppendUtf8, WritesStandardFormsAndAppends) {
    struct Case { uint32_t cp; std::string out; };
    const Case cases[] = {
        {0x00, bytes("\0", 1)},
        {0x41, "A"},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0xD800, "\xED\xA0\x80"},    // surrogates are not rejected
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0x110000, "\xF4\x90\x80\x80"},  // nor values above U+10FFFF
    };
    for (const Case& c : cases) {
        std::string s = "x";
        append_utf8(s, c.cp);
        EXPECT_EQ(s, "x" + c.out) << std::hex << c.cp;
    }
}

// ------------------------------------------------------------ Base64

TEST(Base64, EncodesRfc4648Vectors) {
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(base64_encode(std::string_view(c.in)), c.out) << c.in;
        const std::string in(c.in);
        EXPECT_EQ(base64_encode(std::vector<uint8_t>(in.begin(), in.end())), c.out) << c.in;
        const std::vector<uint8_t> decoded = base64_decode(c.out);
        EXPECT_EQ(std::string(decoded.begin(), decoded.end()), in) << c.out;
    }
}

TEST(Base64, UsesPlusAndSlashForHighBytes) {
    const std::vector<uint8_t> data = {0xFB, 0xEF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(base64_encode(data), "++////4=");
    EXPECT_EQ(base64_decode("++////4="), data);
    EXPECT_EQ(base64_encode(nullptr, 0), "");
}

TEST(Base64, RoundTripsEveryLengthAndByteValue) {
    std::vector<uint8_t> data;
    uint32_t seed = 12345;
    for (size_t len = 0; len <= 600; ++len) {
        ASSERT_EQ(base64_decode(base64_encode(data)), data) << len;
        const std::string text = base64_encode(data);
        EXPECT_EQ(text.size(), (len + 2) / 3 * 4);
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        seed = seed * 1103515245u + 12345u;
        data.push_back(static_cast<uint8_t>(len < 256 ? len : seed >> 16));
    }
}

TEST(Base64, DecodingSkipsForeignCharactersAndStopsAtPadding) {
    struct Case { std::string in; std::string out; };
    const Case cases[] = {
        {"YW\r\nJj", "abc"},
        {"Y W J j", "abc"},
        {"YW-Jj_", "abc"},
        {"\tYWJj\n", "abc"},
        {"YQ==YWJj", "a"},         // the first "=" ends the input
        {"YQ=", "a"},
        {"YQ", "a"},               // missing padding is fine
        {"Y", ""},                 // six bits make no byte
        {"YWJjZ", "abc"},          // left-over bits dropped
        {"", ""},
        {"!!!!", ""},
        {"=YWJj", ""},
        {"\xC3\xA9YW\xFFJj\x80", "abc"},   // non-ASCII bytes are skipped, not looked up
        {bytes("YW\0Jj", 5), "abc"},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> out = base64_decode(c.in);
        EXPECT_EQ(std::string(out.begin(), out.end()), c.out) << c.in;
    }
}

TEST(Base64, LargeBufferRoundTrips) {
    std::vector<uint8_t> data(3 * 1024 * 1024 + 1);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    const std::string text = base64_encode(data);
    std::string wrapped;  // the decoder also reads text broken into lines
    for (size_t i = 0; i < text.size(); i += 76) wrapped += text.substr(i, 76) + "\r\n";
    EXPECT_EQ(base64_decode(text), data);
    EXPECT_EQ(base64_decode(wrapped), data);
}

// ------------------------------------------------------------ Trim, ellipsis, casing

TEST(Trim, RemovesOnlyTabLineBreaksAndSpace) {
    struct Case { std::wstring in, out; };
    const Case cases[] = {
        {L"", L""},
        {L" \t\r\n", L""},
        {L"  a b \t\r\n", L"a b"},
        {L"\na\n", L"a"},
        {L"\u00A0a\u00A0", L"\u00A0a\u00A0"},      // no-break space stays
        {L"\u3000a", L"\u3000a"},
        {L"\va\f", L"\va\f"},
        {L"x", L"x"},
        {std::wstring(L" \0 ", 3), std::wstring(L"\0", 1)},
    };
    for (const Case& c : cases) EXPECT_EQ(trim(c.in), c.out);
}

TEST(Ellipsize, CutsAfterMaxCharacters) {
    struct Case { std::wstring in; size_t n; std::wstring out; };
    const Case cases[] = {
        {L"abcdef", 3, L"abc\u2026"},
        {L"abc", 3, L"abc"},
        {L"ab", 3, L"ab"},
        {L"", 0, L""},
        {L"ab", 0, L"\u2026"},
        {L"ab\xD83D\xDE00" L"c", 4, L"ab\xD83D\xDE00\u2026"},
        {L"ab\xD83D\xDE00" L"c", 3, L"ab\u2026"},  // never half a surrogate pair
        {L"\xD83D\xDE00\xD83D\xDE00", 1, L"\u2026"},
    };
    for (const Case& c : cases) {
        const std::wstring out = ellipsize(c.in, c.n);
        EXPECT_EQ(out, c.out);
        EXPECT_TRUE(is_well_formed_utf16(out));
    }
}

TEST(PairSafeLength, NeverEndsOnTheFirstHalfOfAPair) {
    struct Case { std::wstring in; size_t n; size_t out; };
    const Case cases[] = {
        {L"abcdef", 3, 3},
        {L"abc", 3, 3},
        {L"ab", 5, 2},
        {L"", 0, 0},
        {L"ab", 0, 0},
        {L"ab\xD83D\xDE00" L"c", 4, 4},
        {L"ab\xD83D\xDE00" L"c", 3, 2},
        {L"ab\xD83D\xDE00", 4, 4},  // the whole text, a pair at its end
    };
    for (const Case& c : cases) EXPECT_EQ(pair_safe_length(c.in, c.n), c.out) << c.n;
}

TEST(Casing, ConvertsTheWholeBuffer) {
    EXPECT_EQ(to_upper(L"abc \u0451\u0436 \u00e9xyz 123"), L"ABC \u0401\u0416 \u00c9XYZ 123");
    EXPECT_EQ(to_lower(L"ABC \u0401\u0416 \u00c9XYZ 123"), L"abc \u0451\u0436 \u00e9xyz 123");
    EXPECT_EQ(to_upper(std::wstring(L"a\0b", 3)), std::wstring(L"A\0B", 3));
    EXPECT_EQ(to_lower(std::wstring(L"A\0B", 3)), std::wstring(L"a\0b", 3));
    EXPECT_EQ(to_upper(L""), L"");
    EXPECT_EQ(to_upper(L"\u00df").size(), 1u);  // length never changes
}

// ------------------------------------------------------------ Paste-as transforms

TEST(TransformText, EveryModeOnATable) {
    struct Case { unsigned mode; std::wstring in, out; };
    const Case cases[] = {
        {0, L"Hello, World \u0436", L"HELLO, WORLD \u0416"},
        {1, L"Hello, WORLD \u0416", L"hello, world \u0436"},

        {2, L"hello world-wide web", L"Hello World-Wide Web"},
        {2, L"o'neil", L"O'neil"},
        {2, L"HELLO wORLD", L"Hello World"},
        {2, L"a,b;c:d?e!f.g-h", L"A,B;C:D?E!F.G-H"},
        {2, L"x(y)z \"quoted\"", L"X(y)z \"quoted\""},
        {2, L"1st place", L"1st Place"},
        {2, L"  lead\ttab\nline\rcr", L"  Lead\tTab\nLine\rCr"},
        {2, L"\u043F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440", L"\u041F\u0440\u0438\u0432\u0435\u0442 \u041C\u0438\u0440"},
        {2, L"a_b a/b a@b", L"A_b A/b A@b"},

        {3, L"first. second! 3rd? x", L"First. Second! 3rd? X"},
        {3, L"HELLO. WORLD", L"Hello. World"},
        {3, L"  \t\nleading", L"  \t\nLeading"},
        {3, L"a.b", L"A.B"},
        {3, L"end. \"quoted\" text", L"End. \"quoted\" text"},
        {3, L"line\nnext", L"Line\nnext"},
        {3, L"wow!!  yes", L"Wow!!  Yes"},
        {3, L". a", L". A"},

        {4, L"Hello World 123", L"hELLO wORLD 123"},
        {4, L"\u041F\u0440\u0418", L"\u043F\u0420\u0438"},
        {4, L"\u00df-+", L"\u00df-+"},

        {5, L"\u3000 \t text \u00A0\n", L"text"},
        {5, L"\v\fx y\v", L"x y"},
        {5, L"   ", L""},

        {6, L"a\r\nb", L"ab"},
        {6, L"\r\n\r\n", L""},
        {6, L"a\rb\nc\u2028d", L"abc\u2028d"},

        {7, L"Mixed Text\r\n", L"Mixed Text\r\n"},
        {99, L"x Y", L"x Y"},
        {UINT_MAX, L"x Y", L"x Y"},
    };
    for (const Case& c : cases) EXPECT_EQ(transform_text(c.in, c.mode), c.out) << "mode " << c.mode;
}

TEST(TransformText, EmptyInputGivesEmptyOutput) {
    for (unsigned mode = 0; mode <= 8; ++mode) EXPECT_EQ(transform_text(L"", mode), L"") << mode;
}

// ------------------------------------------------------------ Source address of clipboard HTML

TEST(HtmlSourceUrl, FindsTheFirstSourceLine) {
    struct Case { std::string in; std::wstring out; };
    const Case cases[] = {
        {"Version:0.9\r\nStartHTML:00000097\r\nSourceURL:https://example.com/page\r\n<html>",
         L"https://example.com/page"},
        {"Version:0.9\nSourceURL:https://lf.example/\n", L"https://lf.example/"},
        {"Version:0.9\rSourceURL:https://cr.example/\r", L"https://cr.example/"},
        {"SOURCEURL:  https://a.b/ \t\r\n", L"https://a.b/"},
        {"sourceUrl:x", L"x"},
        {"SourceURL:https://a.b/c?x=1:2", L"https://a.b/c?x=1:2"},  // only the first ":" splits
        {"Version:0.9\r\nsourceurl : x\r\n", L""},                   // name ends with a blank
        {" SourceURL:x", L""},
        {"SourceURL:\r\nSourceURL:https://later/", L""},          // the first match decides
        {"SourceURL:one\r\nSourceURL:two", L"one"},
        {"Version:0.9\r\nSourceURL", L""},
        {"no colon at all", L""},
        {"", L""},
        {"\r\n\r\n\nSourceURL:z", L"z"},
        {"Source-URL:z\r\nSourceURLs:y", L""},
    };
    for (const Case& c : cases) {
        const std::wstring wide(c.in.begin(), c.in.end());
        EXPECT_EQ(html_source_url(wide), c.out) << c.in;
        EXPECT_EQ(html_source_url_bytes(c.in), c.out) << c.in;
    }
}

TEST(HtmlSourceUrl, BytesAreReadAsLatin1) {
    EXPECT_EQ(html_source_url_bytes("Version:0.9\r\nSourceURL:http://ex.com/caf\xE9\xFF\r\n"),
              L"http://ex.com/caf\u00E9\u00FF");
    // A UTF-8 sequence is not decoded: each byte becomes one unit.
    EXPECT_EQ(html_source_url_bytes("SourceURL:\xC3\xA9"), L"\u00C3\u00A9");
    // The wide form keeps non-Latin text.
    EXPECT_EQ(html_source_url(L"SourceURL:https://\u043F.example/"), L"https://\u043F.example/");
}

TEST(HtmlSourceUrl, NameIsComparedAfterLowerCasing) {
    // Latin-1 letters lower-case to themselves, never into ASCII.
    EXPECT_EQ(html_source_url_bytes("S\xD6URCEURL:x"), L"");
    EXPECT_EQ(html_source_url(L"SoUrCeUrL:x"), L"x");
}

// ------------------------------------------------------------ Payment-card test

TEST(CardNumber, TableOfCases) {
    struct Case { std::wstring in; bool card; };
    const Case cases[] = {
        {L"4111 1111 1111 1111", true},
        {L"4111111111111111", true},
        {L"4111-1111-1111-1111", true},
        {L"4111 1111-1111  1111", true},
        {L" 4111111111111111 ", true},
        {L"378282246310005", true},        // 15 digits
        {L"5555 5555 5555 4444", true},
        {L"1234567890128", true},          // 13 digits, the minimum
        {L"1234567890123456785", true},    // 19 digits, the maximum
        {L"4111-1111-1111-1112", false},   // Luhn fails
        {L"1234567890129", false},
        {L"4111 1111 1111 1111\n", false},
        {L"\t4111111111111111", false},
        {L"4111.1111.1111.1111", false},
        {L"4111111111111111\r", false},
        {L"123456789015", false},          // Luhn-valid, 12 digits
        {L"12345678901234567894", false},  // Luhn-valid, 20 digits
        {L"", false},
        {L"   ", false},
        {L"----", false},
        {L"\uFF14\uFF11\uFF11\uFF11111111111111", false},  // full-width digits
        {L"4111 1111 1111 111a", false},
    };
    for (const Case& c : cases) EXPECT_EQ(looks_like_card_number(c.in), c.card) << c.in.size();
}

// ------------------------------------------------------------ Placeholders

namespace {
PlaceholderValues sample_values() {
    PlaceholderValues v;
    v.date = L"01.03.2025";
    v.time = L"14:05";
    v.datetime = L"01.03.2025 14:05";
    v.year = L"2025";
    v.user = L"\u0418\u0432\u0430\u043D";
    return v;
}
}  // namespace

TEST(Placeholders, TableOfCases) {
    const PlaceholderValues v = sample_values();
    struct Case { std::wstring in, out; };
    const Case cases[] = {
        {L"{Date} {unknown} {", L"01.03.2025 {unknown} {"},
        {L"{x{date}", L"{x01.03.2025"},
        {L"{d}/{t}/{DATETIME}/{Year}", L"01.03.2025/14:05/01.03.2025 14:05/2025"},
        {L"{user}|{USERNAME}|{User}", L"\u0418\u0432\u0430\u043D|\u0418\u0432\u0430\u043D|\u0418\u0432\u0430\u043D"},
        {L"{date}{time}", L"01.03.202514:05"},
        {L"{ date}|{date }|{}", L"{ date}|{date }|{}"},
        {L"}{date}{", L"}01.03.2025{"},
        {L"{{date}}", L"{01.03.2025}"},
        {L"{da{te}", L"{da{te}"},
        {L"{usernam}{dates}", L"{usernam}{dates}"},
        {L"no placeholders", L"no placeholders"},
        {L"", L""},
        {L"{", L"{"},
        {L"}", L"}"},
    };
    for (const Case& c : cases) EXPECT_EQ(expand_placeholders(c.in, v), c.out) << c.out.size();
}

TEST(Placeholders, ReplacementsAreNotScannedAgain) {
    PlaceholderValues v = sample_values();
    v.user = L"{date}";
    EXPECT_EQ(expand_placeholders(L"{user} {date}", v), L"{date} 01.03.2025");
}

TEST(Placeholders, ManyBracesStayLinear) {
    const PlaceholderValues v = sample_values();
    const std::wstring opens(200000, L'{');
    EXPECT_EQ(expand_placeholders(opens, v), opens);
    EXPECT_EQ(expand_placeholders(opens + L"}", v), opens + L"}");
    EXPECT_EQ(expand_placeholders(opens + L"date}", v), std::wstring(199999, L'{') + L"01.03.2025");
    std::wstring mixed;
    for (int i = 0; i < 50000; ++i) mixed += L"{x}{";
    EXPECT_EQ(expand_placeholders(mixed, v), mixed);
}

namespace {
std::wstring format_date(const SYSTEMTIME& st) {
    wchar_t buf[32];
    _snwprintf(buf, 32, L"%02u.%02u.%04u", st.wDay, st.wMonth, st.wYear);
    buf[31] = 0;
    return buf;
}
std::wstring format_time(const SYSTEMTIME& st) {
    wchar_t buf[32];
    _snwprintf(buf, 32, L"%02u:%02u", st.wHour, st.wMinute);
    buf[31] = 0;
    return buf;
}
}  // namespace

TEST(Placeholders, CurrentValuesComeFromTheClockAndTheUser) {
    // Retry across a minute boundary.
    for (int attempt = 0; attempt < 3; ++attempt) {
        SYSTEMTIME before, after;
        GetLocalTime(&before);
        const PlaceholderValues v = current_placeholder_values();
        const std::wstring expanded = expand_placeholders(L"{date}|{time}|{year}");
        GetLocalTime(&after);
        if (before.wMinute != after.wMinute || before.wHour != after.wHour) continue;

        EXPECT_EQ(v.date, format_date(before));
        EXPECT_EQ(v.time, format_time(before));
        EXPECT_EQ(v.datetime, v.date + L" " + v.time);
        EXPECT_EQ(v.year, std::to_wstring(before.wYear));
        EXPECT_EQ(expanded, v.date + L"|" + v.time + L"|" + v.year);

        wchar_t user[UNLEN + 1];
        DWORD size = UNLEN + 1;
        ASSERT_TRUE(GetUserNameW(user, &size));
        EXPECT_EQ(v.user, std::wstring(user));
        EXPECT_FALSE(v.user.empty());
        EXPECT_EQ(expand_placeholders(L"{username}"), v.user);
        return;
    }
    FAIL() << "clock kept crossing minute boundaries";
}

// ------------------------------------------------------------ Time stamp

TEST(Timestamp, IsLocalTimeInTheStoredForm) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        SYSTEMTIME before, after;
        GetLocalTime(&before);
        const std::wstring ts = now_iso_timestamp();
        GetLocalTime(&after);
        if (before.wSecond != after.wSecond || before.wMinute != after.wMinute) continue;

        ASSERT_EQ(ts.size(), 19u);
        for (size_t i = 0; i < ts.size(); ++i) {
            if (i == 4 || i == 7) EXPECT_EQ(ts[i], L'-');
            else if (i == 10) EXPECT_EQ(ts[i], L'T');
            else if (i == 13 || i == 16) EXPECT_EQ(ts[i], L':');
            else EXPECT_TRUE(ts[i] >= L'0' && ts[i] <= L'9') << i;
        }
        wchar_t expected[32];
        _snwprintf(expected, 32, L"%04u-%02u-%02uT%02u:%02u:%02u", before.wYear, before.wMonth,
                   before.wDay, before.wHour, before.wMinute, before.wSecond);
        expected[31] = 0;
        EXPECT_EQ(ts, std::wstring(expected));
        return;
    }
    FAIL() << "clock kept crossing second boundaries";
}
