// Language files, lookups and the checked formatter.
#include "core/i18n.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <type_traits>

#include "core/paths.h"
#include "tests/core/temp_folder.h"

namespace {

using test_support::read_file;
using test_support::TempFolder;
using test_support::write_file;

// Writes <code>.ini into the folder, makes the code current and loads it
// from there.
bool load_fixture(const TempFolder& dir, const std::wstring& code, const std::string& bytes) {
    if (!write_file(dir.file(code + L".ini"), bytes)) return false;
    set_language(code);
    return load_language(dir.path() + L"\\");
}

TEST(LanguageFile, BomCommentsAndDuplicates) {
    TempFolder dir;
    ASSERT_TRUE(load_fixture(dir, L"xa", "\xEF\xBB\xBF# comment\n a.b = x = y \na.b=z\n"));
    EXPECT_EQ(tr(L"a.b"), L"z");
    EXPECT_EQ(tr(L"# comment"), L"# comment");
}

TEST(LanguageFile, LinesThatAddNothing) {
    TempFolder dir;
    ASSERT_TRUE(load_fixture(dir, L"xb",
                             "=value\n"
                             "novalue\n"
                             "[Texts]\n"
                             "; semicolon comment = no\n"
                             "   # indented comment = no\n"
                             "k=\n"
                             "   \t  \n"
                             "\n"));
    EXPECT_EQ(tr(L"novalue"), L"novalue");
    EXPECT_EQ(tr(L"[Texts]"), L"[Texts]");
    EXPECT_EQ(tr(L"; semicolon comment"), L"; semicolon comment");
    EXPECT_EQ(tr(L"# indented comment"), L"# indented comment");
    EXPECT_EQ(tr(L""), L"");
    EXPECT_EQ(tr(L"k"), L"");  // an empty text, not the key

    std::map<std::wstring, std::wstring> parsed =
        parse_language_file("=value\nnovalue\n[Texts]\n; a=b\n# c=d\nk=\n");
    std::map<std::wstring, std::wstring> expected{{L"k", L""}};
    EXPECT_EQ(parsed, expected);
}

TEST(LanguageFile, LineEndsBlanksAndLiteralText) {
    std::map<std::wstring, std::wstring> parsed = parse_language_file(
        "\t menu.file\t=\t\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB \r\n"     // Cyrillic, CRLF
        "cjk = \xE5\x89\xAA\xE8\xB4\xB4\xE6\x9D\xBF\r\n"              // CJK
        "emoji=\xF0\x9F\x98\x80\n"                                   // outside the BMP
        "esc = a\\nb %s \"q\"\n"                                     // no escapes, no quote stripping
        "nbsp = Page:\xC2\xA0 \n"                                   // a no-break space is text
        "last=no line end");
    EXPECT_EQ(parsed[L"menu.file"], L"\u0424\u0430\u0439\u043b");
    EXPECT_EQ(parsed[L"cjk"], L"\u526a\u8d34\u677f");
    EXPECT_EQ(parsed[L"emoji"], L"\U0001F600");
    EXPECT_EQ(parsed[L"esc"], L"a\\nb %s \"q\"");
    EXPECT_EQ(parsed[L"last"], L"no line end");
    EXPECT_EQ(parsed[L"nbsp"], L"Page:\u00a0");
    EXPECT_EQ(parsed.size(), 6u);
}

TEST(LanguageFile, NulByteEndsTheLine) {
    const std::string bytes("nul=ab\0cd\nnext=1\n", 17);
    std::map<std::wstring, std::wstring> parsed = parse_language_file(bytes);
    EXPECT_EQ(parsed[L"nul"], L"ab");
    EXPECT_EQ(parsed[L"next"], L"1");
}

TEST(LanguageFile, MissingFileLeavesKeysAsThemselves) {
    TempFolder dir;
    ASSERT_TRUE(load_fixture(dir, L"xc", "a.b=loaded\n"));
    ASSERT_EQ(tr(L"a.b"), L"loaded");
    set_language(L"xd");  // no such file anywhere
    EXPECT_FALSE(load_language(dir.path()));
    EXPECT_EQ(current_language(), L"xd");
    EXPECT_EQ(tr(L"a.b"), L"a.b");
    // Two different misses in a row keep their own keys.
    std::wstring first = tr(L"miss.one");
    std::wstring second = tr(L"miss.two");
    EXPECT_EQ(first, L"miss.one");
    EXPECT_EQ(second, L"miss.two");
}

TEST(LanguageFile, EmptyFileLoadsWithoutTexts) {
    TempFolder dir;
    EXPECT_TRUE(load_fixture(dir, L"xe", ""));
    EXPECT_EQ(tr(L"menu.file"), L"menu.file");
}

TEST(LanguageFile, FolderWithoutTrailingSeparator) {
    TempFolder dir;
    ASSERT_TRUE(write_file(dir.file(L"xf.ini"), "k=v\n"));
    set_language(L"xf");
    EXPECT_TRUE(load_language(dir.path()));
    EXPECT_EQ(tr(L"k"), L"v");
}

TEST(SetLanguage, UkrainianBecomesEnglishFromTheLanguageFolder) {
    set_language(L"uk");
    EXPECT_EQ(current_language(), L"en");
    // The build puts the shipped files into "lang" beside the executable.
    std::string en = read_file(lang_dir() + L"en.ini");
    ASSERT_FALSE(en.empty()) << "lang\\en.ini beside the test executable";
    std::map<std::wstring, std::wstring> texts = parse_language_file(en);
    ASSERT_FALSE(texts.empty());
    for (const auto& [key, text] : texts) EXPECT_EQ(tr(key), text) << testing::PrintToString(key);
}

TEST(SetLanguage, UnsafeCodesBecomeEnglish) {
    for (const wchar_t* code : {L"..\\..\\x", L"", L"a b", L"de/..", L"C:", L"abcdefghijklmnopq", L"\u0440\u0443"}) {
        set_language(code);
        EXPECT_EQ(current_language(), L"en") << testing::PrintToString(std::wstring(code));
    }
    set_language(L"pt_BR-x1");
    EXPECT_EQ(current_language(), L"pt_BR-x1");
}

TEST(LanguageCodes, SafeAndAllowed) {
    struct Case {
        const wchar_t* code;
        bool safe;
    };
    const Case cases[] = {
        {L"en", true},   {L"pt-BR", true},  {L"zh_Hans", true},          {L"x", true},
        {L"abcdefghijklmnop", true},        {L"abcdefghijklmnopq", false}, {L"", false},
        {L"..", false},  {L"a.b", false},   {L"a\\b", false},           {L"a/b", false},
        {L" en", false}, {L"\u00e9", false}, {L"C:", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(is_safe_language_code(c.code), c.safe) << testing::PrintToString(std::wstring(c.code));
    EXPECT_FALSE(is_allowed_language_code(L"uk"));
    EXPECT_TRUE(is_allowed_language_code(L"en"));
    EXPECT_TRUE(is_allowed_language_code(L"UK"));
}

TEST(LanguageList, OnlyIniFilesWithSafeStems) {
    TempFolder dir;
    for (const wchar_t* name : {L"de.ini", L"uk.ini", L"fr.INI", L"notes.txt", L"a b.ini", L".ini", L"es.ini.bak"})
        ASSERT_TRUE(write_file(dir.file(name), "k=v\n"));
    ASSERT_TRUE(CreateDirectoryW(dir.file(L"it.ini").c_str(), nullptr));
    std::vector<std::wstring> expected{L"de", L"ru"};
    EXPECT_EQ(available_languages_in(dir.path()), expected);
    EXPECT_EQ(available_languages_in(dir.path() + L"\\"), expected);

    std::vector<std::wstring> only_ru{L"ru"};
    EXPECT_EQ(available_languages_in(dir.file(L"missing")), only_ru);
}

TEST(LanguageList, ShippedFolderOffersEveryLanguage) {
    std::vector<std::wstring> expected{L"de", L"en", L"es", L"fr", L"it", L"pl", L"pt", L"ru"};
    EXPECT_EQ(available_languages(), expected);
    EXPECT_EQ(available_languages_in(L""), expected);
}

TEST(LanguageList, DisplayNames) {
    const std::pair<const wchar_t*, const wchar_t*> names[] = {
        {L"ru", L"\u0420\u0443\u0441\u0441\u043a\u0438\u0439"}, {L"en", L"English"},
        {L"de", L"Deutsch"},        {L"es", L"Espa\u00f1ol"},    {L"fr", L"Fran\u00e7ais"},
        {L"it", L"Italiano"},       {L"pl", L"Polski"},          {L"pt", L"Portugu\u00eas"},
        {L"xx", L"xx"},             {L"", L""},                  {L"EN", L"EN"},
    };
    for (const auto& [code, name] : names) EXPECT_EQ(language_display_name(code), name) << code;
}

// Translations whose conversions do not fit the call's arguments.
TEST(TrFormat, WrongLanguageTextsAreShownNotExecuted) {
    TempFolder dir;
    ASSERT_TRUE(load_fixture(dir, L"xg",
                             "t.extra_s = %s and %s\n"
                             "t.n = count%n done %d\n"
                             "t.d_for_s = version %d\n"
                             "t.s_for_d = %s items\n"
                             "t.many = %s %s %s %s %s %s %s %s\n"
                             "t.star = [%*d]\n"
                             "t.trailing = 100%\n"
                             "t.ok = %s: %d\n"));
    int count = 0;
    EXPECT_EQ(tr_format(L"t.extra_s", L"x"), L"x and %s");
    EXPECT_EQ(tr_format(L"t.n", count, 5), L"count%n done 5");
    EXPECT_EQ(count, 0);
    EXPECT_EQ(tr_format(L"t.d_for_s", std::wstring(L"1.3.7")), L"version %d");
    EXPECT_EQ(tr_format(L"t.s_for_d", 12), L"%s items");
    EXPECT_EQ(tr_format(L"t.many"), L"%s %s %s %s %s %s %s %s");
    EXPECT_EQ(tr_format(L"t.star", 5, 3), L"[%*d]");
    EXPECT_EQ(tr_format(L"t.trailing"), L"100%");
    EXPECT_EQ(tr_format(L"t.ok", L"\u041a\u0430\u0442", 7), L"\u041a\u0430\u0442: 7");
    // A key without a text is itself the format.
    EXPECT_EQ(tr_format(L"missing %s", L"x"), L"missing x");
}

TEST(TrFormat, ConversionsFlagsAndWidths) {
    struct Case {
        std::wstring got;
        std::wstring expected;
    };
    const wchar_t* null_text = nullptr;
    const Case cases[] = {
        {safe_format(L"%02d:%02d", 9, 5), L"09:05"},
        {safe_format(L"%5s|%-5s|%.2s", L"a", L"b", L"xyz"), L"    a|b    |xy"},
        {safe_format(L"%x %X %o %u", 255, 255u, 8, 7), L"ff FF 10 7"},
        {safe_format(L"%x", -1), L"ffffffff"},
        {safe_format(L"%x", int64_t(-1)), L"ffffffffffffffff"},
        {safe_format(L"%u", -1), L"4294967295"},
        {safe_format(L"%lld %I64d %ld %hd", INT64_MAX, INT64_MIN, 70000, 70000),
         L"9223372036854775807 -9223372036854775808 70000 70000"},
        {safe_format(L"%d", UINT64_MAX), L"18446744073709551615"},
        {safe_format(L"%+d % d %-4d|", 3, 4, 5), L"+3  4 5   |"},
        {safe_format(L"%#x %#o %#d", 255, 8, 9), L"0xff 010 9"},
        {safe_format(L"%.2f %e %g", 3.14159, 1.5, 0.25f), L"3.14 1.500000e+00 0.25"},
        {safe_format(L"%c%c%lc", L'\u0416', 0x1F600, L'!'), L"\u0416\U0001F600!"},
        {safe_format(L"%s", null_text), L"(null)"},
        {safe_format(L"%ls %S", L"wide", L"narrow?"), L"wide %S"},
        {safe_format(L"100%% %s", L"x"), L"100% x"},
        {safe_format(L"%d", 1.5), L"%d"},
        {safe_format(L"%f", 2), L"%f"},
        {safe_format(L"%p", 1), L"%p"},
        {safe_format(L"no conversions", 1, L"x"), L"no conversions"},
        {safe_format(L"%s", std::wstring_view(L"view")), L"view"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

// Only wide text, integers and floating-point numbers can be passed.
static_assert(std::is_constructible_v<fmt_detail::FormatArg, const wchar_t*>);
static_assert(std::is_constructible_v<fmt_detail::FormatArg, std::wstring>);
static_assert(std::is_constructible_v<fmt_detail::FormatArg, long long>);
static_assert(std::is_constructible_v<fmt_detail::FormatArg, double>);
static_assert(!std::is_constructible_v<fmt_detail::FormatArg, const char*>);
static_assert(!std::is_constructible_v<fmt_detail::FormatArg, std::string>);
static_assert(!std::is_constructible_v<fmt_detail::FormatArg, std::string_view>);
static_assert(!std::is_constructible_v<fmt_detail::FormatArg, void*>);

TEST(TrFormat, ResultIsCutAt4095) {
    std::wstring half(2500, L'a');
    std::wstring other(2500, L'b');
    std::wstring out = safe_format(L"%s%s", half, other);
    ASSERT_EQ(out.size(), 4095u);
    EXPECT_EQ(out, (half + other).substr(0, 4095));

    EXPECT_EQ(safe_format(L"%999999999d", 1).size(), 4095u);
    EXPECT_EQ(safe_format(L"%.999999999f", 1.0).size(), 4095u);
    EXPECT_EQ(safe_format(std::wstring(5000, L'z')), std::wstring(4095, L'z'));

    TempFolder dir;
    ASSERT_TRUE(load_fixture(dir, L"xh", "t.long = %s%s\n"));
    EXPECT_EQ(tr_format(L"t.long", half, other), (half + other).substr(0, 4095));
}

TEST(TrFormat, ConversionLetters) {
    EXPECT_EQ(format_conversions(L"%s %02d %% %n %.1f %I64u %c %*d %"), L"sd?fdd?");
    EXPECT_EQ(format_conversions(L"plain"), L"");
}

// Lookups from another thread while the interface thread reloads the table
// only ever see a whole table.
TEST(TrThreads, LookupsDuringReloads) {
    TempFolder dir;
    ASSERT_TRUE(write_file(dir.file(L"xi.ini"), "k.a=first\nk.f=%s-%d\n"));
    ASSERT_TRUE(write_file(dir.file(L"xj.ini"), "k.a=second\nk.f=%d:%s\n"));
    set_language(L"xi");
    ASSERT_TRUE(load_language(dir.path()));

    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::atomic<int> lookups{0};
    std::thread worker([&] {
        while (!stop) {
            std::wstring a = tr(L"k.a");
            if (a != L"first" && a != L"second" && a != L"k.a") ++bad;
            std::wstring f = tr_format(L"k.f", L"v", 3);
            if (f != L"v-3" && f != L"%d:%s" && f != L"k.f") ++bad;
            ++lookups;
        }
    });
    for (int i = 0; i < 300; ++i) {
        set_language(i % 2 ? L"xi" : L"xj");
        load_language(dir.path());
    }
    while (lookups < 100) std::this_thread::yield();
    stop = true;
    worker.join();
    EXPECT_EQ(bad, 0);
}

}  // namespace
