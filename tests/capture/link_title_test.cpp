// Reading titles from oEmbed replies and pages, and cleaning titles.
#include "capture/link_title.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "capture/page_charset.h"
#include "core/http_get.h"
#include "core/text.h"
#include "tests/capture/thread_cpu.h"

namespace {

const VideoServices kServices{L"video.test", L"v.test", L"http://endpoint.one/oembed?format=json&url=",
                              L"second.test", L"http://endpoint.two/api/oembed/?format=json&url="};

}  // namespace

TEST(LinkTitle, Hosts) {
    EXPECT_EQ(url_host(L"https://User:Pw@WWW.Example.COM:8080/path?q#f"), L"www.example.com");
    EXPECT_EQ(url_host(L"http://a.b?x=1"), L"a.b");
    EXPECT_EQ(url_host(L"http://a.b#x"), L"a.b");
    EXPECT_EQ(url_host(L"http://h"), L"h");
    EXPECT_EQ(url_host(L"example.com/x"), L"");
    EXPECT_EQ(url_host(L"http://x@y@Z.com/"), L"z.com");
}

TEST(LinkTitle, PercentEncoding) {
    EXPECT_EQ(percent_encode(L"http://a.b/c?d=e f&g~h_i-j"), L"http%3A%2F%2Fa.b%2Fc%3Fd%3De%20f%26g~h_i-j");
    EXPECT_EQ(percent_encode(L"\u00e9\U0001F600"), L"%C3%A9%F0%9F%98%80");
    EXPECT_EQ(percent_encode(L""), L"");
}

TEST(LinkTitle, OembedEndpoints) {
    struct Case {
        const wchar_t* address;
        const wchar_t* endpoint;
    };
    const Case cases[] = {
        {L"https://video.test/watch?v=1", L"http://endpoint.one/oembed?format=json&url="},
        {L"https://www.video.test/watch?v=1", L"http://endpoint.one/oembed?format=json&url="},
        {L"https://m.VIDEO.test:443/x", L"http://endpoint.one/oembed?format=json&url="},
        {L"https://v.test/abc", L"http://endpoint.one/oembed?format=json&url="},
        {L"https://www.v.test/abc", L""},  // the short-link host has no subdomains
        {L"https://second.test/video/1/", L"http://endpoint.two/api/oembed/?format=json&url="},
        {L"https://x.second.test/video/1/", L"http://endpoint.two/api/oembed/?format=json&url="},
        {L"https://notvideo.test/", L""},
        {L"https://video.test.evil/", L""},
        {L"video.test/watch", L""},
        {L"https://", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(oembed_endpoint(c.address, kServices), c.endpoint) << to_utf8(c.address);
    // The built-in services.
    EXPECT_EQ(oembed_endpoint(L"https://youtu.be/abc"), std::wstring(kVideo1OembedEndpoint));
    EXPECT_EQ(oembed_endpoint(L"https://www.youtube.com/watch?v=abc"), std::wstring(kVideo1OembedEndpoint));
    EXPECT_EQ(oembed_endpoint(L"https://rutube.ru/video/abc/"), std::wstring(kVideo2OembedEndpoint));
    EXPECT_EQ(oembed_endpoint(L"https://example.com/"), L"");
}

TEST(LinkTitle, JsonTitles) {
    struct Case {
        const char* reply;
        const wchar_t* title;
    };
    const Case cases[] = {
        {R"({"type":"video","title":"Hello world","x":1})", L"Hello world"},
        {R"({"title" :  "Tab\there\nand \"quotes\" \/ \\ end"})", L"Tab here and \"quotes\" / \\ end"},
        {R"({"title":"\u00e9\u0041"})", L"\u00e9A"},
        {R"({"title":"pair \ud83d\ude00!"})", L"pair \U0001F600!"},
        {R"({"title":"lone \ud83d then"})", L"lone \uFFFD then"},
        {R"({"title":"lone low \ude00"})", L"lone low \uFFFD"},
        {R"({"title":"high then other \ud83d\u0041"})", L"high then other \uFFFDA"},
        {R"({"title":"zero \u0000skipped"})", L"zero skipped"},
        {R"({"title":"bad \uZZZZdigits"})", L"bad digits"},
        {R"({"title":"raw UTF-8 ✓"})", L"raw UTF-8 \u2713"},
        {R"({"title":"bad escape \q"})", L""},
        {R"({"title":"incomplete \u00)", L""},
        {R"({"title":"unterminated)", L""},
        {R"({"name":"no title"})", L""},
        {R"({"title" 5})", L""},
        {R"({"title": 5})", L""},
        {"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(json_title(c.reply), c.title) << c.reply;
}

TEST(LinkTitle, PageTitles) {
    struct Case {
        const char* page;
        const wchar_t* title;
    };
    const Case cases[] = {
        {"<meta property='og:title' content='A &amp; B'>", L"A & B"},
        {"<meta name=\"twitter:title\" content=\"Card\"><meta property=\"og:title\" content=\"Graph\">", L"Card"},
        {"<META PROPERTY=\"OG:TITLE\" CONTENT=\"Mixed Case Kept\">", L"Mixed Case Kept"},
        {"<meta property=\"og:title\" content=Unquoted><title>Element</title>", L"Element"},
        {"<meta property=\"og:title\" content = \"spaced\"><title>Element</title>", L"Element"},
        {"<meta property=\"og:title\" content=\"\"><meta name=\"twitter:title\" content=\"Second\">", L"Second"},
        {"<meta name=\"description\" content=\"not a title\"><title>T</title>", L"T"},
        {"<title>&#x41;&#66;&#X43; &lt;&gt;&quot;&apos; &nbsp;x</title>", L"ABC <>\"' \u00a0x"},
        {"<title>&unknown; &amp &toolongname1234; &#xD800; &#0; &#x110000; &#12a;</title>",
         L"&unknown; &amp &toolongname1234; &#xD800; &#0; &#x110000; &#12a;"},
        {"<title>a&#x1F600;b</title>", L"a\U0001F600b"},
        {"<html><title lang=\"en\">\n  Spread \t over\r\n lines  </title>", L"Spread over lines"},
        {"<title>no end", L""},
        {"<p>nothing</p>", L""},
        {"", L""},
        {"<meta property=\"og:title\" content=\"unclosed", L""},
        {"<meta property=\"og:title\" content=\"x\"", L""},  // the tag never closes
    };
    for (const Case& c : cases) EXPECT_EQ(html_title(c.page), c.title) << c.page;
}

TEST(LinkTitle, LongTitlesAreCut) {
    const std::string page = "<title>" + std::string(400, 'x') + "</title>";
    const std::wstring title = html_title(page);
    ASSERT_EQ(title.size(), 301u);
    EXPECT_EQ(title.substr(0, 300), std::wstring(300, L'x'));
    EXPECT_EQ(title.back(), L'\u2026');
    EXPECT_EQ(normalize_title(std::wstring(300, L'y')), std::wstring(300, L'y'));
    // A pair across the cut is not split.
    std::wstring split(299, L'a');
    split += L"\U0001F600tail";
    const std::wstring cut = normalize_title(split);
    EXPECT_EQ(cut, std::wstring(299, L'a') + L"\u2026");
}

TEST(LinkTitle, Normalising) {
    EXPECT_EQ(normalize_title(L"  a \t\r\n b  "), L"a b");
    EXPECT_EQ(normalize_title(L"\u00a0x\u00a0"), L"\u00a0x\u00a0");
    EXPECT_EQ(normalize_title(L" \n "), L"");
}

TEST(LinkTitle, WindowTitleSuffixes) {
    struct Case {
        const wchar_t* title;
        const wchar_t* stripped;
    };
    const Case cases[] = {
        {L"Page - Google Chrome", L"Page"},
        {L"Page - GOOGLE CHROME  \r\n", L"Page"},
        {L"Song - YouTube", L"Song"},
        {L"Song \u2014 YouTube", L"Song"},
        {L"Clip | RUTUBE", L"Clip"},
        {L"Clip | \u0420\u0423\u0422\u0423\u0411", L"Clip"},
        {L"\u041d\u043e\u0432\u043e\u0441\u0442\u0438 \u2014 \u042f\u043d\u0434\u0435\u043a\u0441", L"\u041d\u043e\u0432\u043e\u0441\u0442\u0438"},
        {L"Film - \u0421\u041c\u041e\u0422\u0420\u0415\u0422\u042c \u0432\u0438\u0434\u0435\u043e online", L"Film"},
        {L"Track: \u0432\u043e\u0441\u043f\u0440\u043e\u0438\u0437\u0432\u043e\u0434\u0438\u0442\u0441\u044f \u0430\u0443\u0434\u0438\u043e - Google Chrome", L"Track"},
        {L"Cut - youtube in the middle - Google Chrome", L"Cut"},
        {L"Plain title", L"Plain title"},
        {L"   ", L""},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(strip_window_title_suffix(c.title), c.stripped) << to_utf8(c.title);
}

TEST(LinkTitle, NotAWebAddressFetchesNothing) {
    EXPECT_EQ(fetch_link_title(L"just text", kServices), L"");
    EXPECT_EQ(fetch_link_title(L"ftp://example.com/", kServices), L"");
}

TEST(LinkTitle, ControlAndDirectionCharactersAreRemoved) {
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    };
    const Case cases[] = {
        {L"Invoice\u202Egpj.exe\u202C", L"Invoicegpj.exe"},
        {L"\u202A\u202B\u202D a \u2066b\u2067c\u2068d\u2069", L"a bcd"},
        {L"left\u200Eright\u200Fend\u061C", L"leftrightend"},
        {L"bell\u0007 esc\u001B[0m nul\u0001 del\u007F c1\u0085\u009F", L"bell esc[0m nul del c1"},
        {L"\u0007\u202E  spaced \t out \u202C", L"spaced out"},
        // Line and paragraph separators, zero-width characters, byte-order marks.
        {L"one\u2028two\u2029three", L"onetwothree"},
        {L"\uFEFFzero\u200Bwidth\u200Cnon\u200Djoin\uFEFF", L"zerowidthnonjoin"},
        {L"\u2028 \u2029 padded \u200B", L"padded"},
        // Kept: no-break space, letters of right-to-left scripts, the
        // characters next to the removed ranges.
        {L"a\u00A0b \u05D0\u05D1 \u0627 x\u200Ay\u2027z\u202Fw\uFEFEv\uFFFF",
         L"a\u00A0b \u05D0\u05D1 \u0627 x\u200Ay\u2027z\u202Fw\uFEFEv\uFFFF"},
    };
    for (const Case& c : cases) EXPECT_EQ(normalize_title(c.in), c.out) << to_utf8(c.in);
    EXPECT_EQ(json_title(R"({"title":"a\u202eb\u0007c"})"), L"abc");
    EXPECT_EQ(html_title("<title>x&#x202E;y&#7;z</title>"), L"xyz");
    EXPECT_EQ(html_title("<title>a&#x2028;b&#8233;c&#xFEFF;d&#x200b;e</title>"), L"abcde");
    EXPECT_EQ(json_title(R"({"title":"a\u2028b\ufeffc"})"), L"abc");
}

TEST(LinkTitle, EntityDecoding) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"&amp;&AMP;&lt;&gt;&quot;&apos;&nbsp;", "&&<>\"'\xC2\xA0"},
        {"&#65;&#x42;&#X43;&#x1F600;", "ABC\xF0\x9F\x98\x80"},
        {"&#00000065;", "A"},                   // the ";" ten characters after the "&"
        {"&#000000065;", "&#000000065;"},       // eleven after it: kept
        {"&amp", "&amp"},                       // no ";"
        {"&&amp;&", "&&&"},
        {"&;&#;&#x;&#xG1;&#-1;", "&;&#;&#x;&#xG1;&#-1;"},
        {"&#xD800;&#xDFFF;&#0;&#x110000;", "&#xD800;&#xDFFF;&#0;&#x110000;"},
        {"&unknown; &a&b;c", "&unknown; &a&b;c"},
        {"x&amp;", "x&"},
        {"&", "&"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(decode_html_entities(c.in), c.out) << c.in;
}

// Half a million "&" with no ";" nearby, and long runs of references: each
// "&" looks only a few characters ahead, so the time grows with the length.
TEST(LinkTitle, EntityDecodingTakesOnePass) {
    const std::string amps(500000, '&');
    std::string refs;
    for (int i = 0; i < 100000; ++i) refs += "&amp;&#65;";
    const double cpu_before = test_support::thread_cpu_seconds();
    const auto start = GetTickCount64();
    EXPECT_EQ(decode_html_entities(amps), amps);
    const std::string decoded = decode_html_entities(refs);
    EXPECT_EQ(decoded.size(), 200000u);
    EXPECT_EQ(decoded.substr(0, 4), "&A&A");
    const std::wstring title = html_title("<title>" + amps + "</title>");
    EXPECT_EQ(title, std::wstring(kLinkTitleMax, L'&') + L"\u2026");
    const double cpu = test_support::thread_cpu_seconds() - cpu_before;
    const double took = static_cast<double>(GetTickCount64() - start) / 1000.0;
    std::printf("decoding 1.5 MB of references: %.3f s CPU, %.3f s\n", cpu, took);
    EXPECT_LT(cpu, 1.0);
    EXPECT_LT(took, 2.0);
}

TEST(LinkTitle, ReadingAPageEndsAtTheDeadline) {
    const std::string page = "<meta property='og:title' content='Graph &amp; co'><title>T</title>";
    EXPECT_EQ(html_title(page, "", 0), L"Graph & co");                     // no limit
    EXPECT_EQ(html_title(page, "", GetTickCount64() + 60000), L"Graph & co");
    EXPECT_EQ(html_title(page, "", GetTickCount64()), L"");                // the time is up
    EXPECT_EQ(html_title(page, "", 1), L"");
}

TEST(LinkTitle, DeclaredCharsetsAreHonoured) {
    // "Привет" in windows-1251 and in KOI8-R.
    const std::string cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
    const std::string koi8 = "\xF0\xD2\xC9\xD7\xC5\xD4";
    const std::wstring privet = L"\u041f\u0440\u0438\u0432\u0435\u0442";
    const std::string title = "<title>" + cp1251 + " &amp; co</title>";
    EXPECT_EQ(html_title(title, "windows-1251"), privet + L" & co");
    EXPECT_EQ(html_title("<meta charset=\"windows-1251\">" + title), privet + L" & co");
    EXPECT_EQ(html_title("<META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=CP1251'>" + title),
              privet + L" & co");
    // The header wins over the page's own declaration.
    EXPECT_EQ(html_title("<meta charset=utf-8><title>" + koi8 + "</title>", "koi8-r"), privet);
    // An unknown charset in the header: the page's declaration, else UTF-8.
    EXPECT_EQ(html_title("<meta charset=cp1251><title>" + cp1251 + "</title>", "x-unknown"), privet);
    EXPECT_EQ(html_title("<title>caf\xC3\xA9</title>", "x-unknown"), L"caf\u00e9");
    EXPECT_EQ(html_title("<title>caf\xE9</title>", "iso-8859-1"), L"caf\u00e9");
}

TEST(LinkTitle, CharsetNames) {
    struct Case {
        const char* name;
        UINT code_page;
    };
    const Case cases[] = {
        {"utf-8", 65001},        {"UTF8", 65001},         {"windows-1251", 1251}, {" \"Windows-1252\" ", 1252},
        {"cp1251", 1251},        {"x-cp1250", 1250},      {"iso-8859-5", 28595},  {"ISO_8859-2", 28592},
        {"iso-8859-1", 1252},    {"latin1", 1252},        {"us-ascii", 1252},     {"koi8-r", 20866},
        {"koi8-u", 21866},       {"ibm866", 866},         {"cp866", 866},         {"shift_jis", 932},
        {"gbk", 936},            {"big5", 950},           {"euc-kr", 949},        {"", 0},
        {"utf-16", 0},           {"no-such-charset", 0},  {"windows-99999", 0},   {"cp", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(code_page_of_charset(c.name), c.code_page) << c.name;

    EXPECT_EQ(meta_charset("<html><META Charset='KOI8-R'>"), "koi8-r");
    EXPECT_EQ(meta_charset("<meta http-equiv=\"content-type\" content=\"text/html; charset=windows-1251\">"),
              "windows-1251");
    EXPECT_EQ(meta_charset("<meta name=x><meta charset=utf-8/>"), "utf-8");
    EXPECT_EQ(meta_charset("<meta name=charset>"), "");
    EXPECT_EQ(content_type_charset(L"text/html; charset=Windows-1251"), "windows-1251");
    EXPECT_EQ(content_type_charset(L"text/html;charset=\"koi8-r\"; x=y"), "koi8-r");
    EXPECT_EQ(content_type_charset(L"text/html"), "");
}
