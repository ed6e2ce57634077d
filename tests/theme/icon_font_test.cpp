// The fallback icon font: the owner of a font added from memory, the
// character map reader, the choice of the icon face, and every icon code
// point of the program's sources against the font the program draws it with.
#include "theme/icon_font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/text.h"
#include "tests/core/temp_folder.h"
#include "theme/fonts.h"
#include "theme/icon_font_resource.h"

namespace {

using test_support::read_file;

std::wstring face_of(HFONT font) {
    raii::MemoryDC dc(CreateCompatibleDC(nullptr));
    raii::SelectGuard select(dc.get(), font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc.get(), LF_FACESIZE, face);
    return face;
}

bool mdl2_installed() { return font_face_installed(kIconFontFace) || font_face_installed(L"Segoe Fluent Icons"); }

// --- the owner of a font added from memory ----------------------------------------

TEST(FontMemResource, AddsTheFontOfTheResourceForTheProcess) {
    raii::FontMemResource font = add_font_resource(GetModuleHandleW(nullptr), QUILLET_ICON_FONT_RESOURCE);
    ASSERT_TRUE(font);
    EXPECT_EQ(face_of(create_fallback_icon_font(16).get()), kFallbackIconFace);
    EXPECT_TRUE(face_has_glyph(kFallbackIconFace, 0xE8C8));
    EXPECT_TRUE(face_has_glyph(kFallbackIconFace, 0x1F5BC));
    EXPECT_FALSE(face_has_glyph(kFallbackIconFace, 0xE000));
}

TEST(FontMemResource, MoveResetAndRelease) {
    raii::FontMemResource a = add_font_resource(GetModuleHandleW(nullptr), QUILLET_ICON_FONT_RESOURCE);
    ASSERT_TRUE(a);
    const HANDLE raw = a.get();
    raii::FontMemResource b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.get(), raw);
    const HANDLE released = b.release();
    EXPECT_EQ(released, raw);
    EXPECT_FALSE(b);
    // Released means not removed: removing it by hand still succeeds once.
    EXPECT_TRUE(RemoveFontMemResourceEx(released));
    b = add_font_resource(GetModuleHandleW(nullptr), QUILLET_ICON_FONT_RESOURCE);
    EXPECT_TRUE(b);
    const HANDLE second = b.get();
    b.reset();
    EXPECT_FALSE(b);
    // Where RemoveFontMemResourceEx tells a removed handle apart (Windows;
    // Wine's accepts any handle and removes nothing), reset has removed it.
    if (!RemoveFontMemResourceEx(reinterpret_cast<HANDLE>(0x12345))) EXPECT_FALSE(RemoveFontMemResourceEx(second));
}

TEST(FontMemResource, MissingResourceOrNoFontGivesNothing) {
    EXPECT_FALSE(add_font_resource(GetModuleHandleW(nullptr), 4321));
    // A module without an RCDATA entry of that number gives nothing either.
    EXPECT_FALSE(add_font_resource(GetModuleHandleW(L"kernel32.dll"), QUILLET_ICON_FONT_RESOURCE));
}

// --- the character map ----------------------------------------------------------

void put16(std::vector<std::uint8_t>& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    put16(b, v >> 16);
    put16(b, v & 0xFFFF);
}

// A cmap with a format 4 subtable (3,1): E700..E702 by delta to glyphs
// 5..7, E800..E801 through the glyph array to 9 and 0 (none); and a format 12
// subtable (3,10): 1F4CC to glyph 20 and 1F500..1F502 to 30..32.
std::vector<std::uint8_t> sample_cmap() {
    std::vector<std::uint8_t> f4;
    const unsigned segs = 3;
    put16(f4, 4);
    put16(f4, 0);  // length, patched below
    put16(f4, 0);
    put16(f4, segs * 2);
    put16(f4, 4);
    put16(f4, 1);
    put16(f4, 2);
    for (unsigned end : {0xE702u, 0xE801u, 0xFFFFu}) put16(f4, end);
    put16(f4, 0);
    for (unsigned start : {0xE700u, 0xE800u, 0xFFFFu}) put16(f4, start);
    for (unsigned delta : {(5u - 0xE700u) & 0xFFFF, 0u, 1u}) put16(f4, delta);
    // idRangeOffset of segment 1 points past the last offset, at the array.
    for (unsigned range : {0u, 4u, 0u}) put16(f4, range);
    put16(f4, 9);
    put16(f4, 0);
    f4[2] = static_cast<std::uint8_t>(f4.size() >> 8);
    f4[3] = static_cast<std::uint8_t>(f4.size());

    std::vector<std::uint8_t> f12;
    put16(f12, 12);
    put16(f12, 0);
    put32(f12, 16 + 2 * 12);
    put32(f12, 0);
    put32(f12, 2);
    for (auto [first, last, glyph] : {std::tuple{0x1F4CCu, 0x1F4CCu, 20u}, std::tuple{0x1F500u, 0x1F502u, 30u}}) {
        put32(f12, first);
        put32(f12, last);
        put32(f12, glyph);
    }

    std::vector<std::uint8_t> cmap;
    put16(cmap, 0);
    put16(cmap, 2);
    put16(cmap, 3);
    put16(cmap, 1);
    put32(cmap, 4 + 16);
    put16(cmap, 3);
    put16(cmap, 10);
    put32(cmap, static_cast<std::uint32_t>(4 + 16 + f4.size()));
    cmap.insert(cmap.end(), f4.begin(), f4.end());
    cmap.insert(cmap.end(), f12.begin(), f12.end());
    return cmap;
}

TEST(CmapGlyph, FindsGlyphsOfBothFormats) {
    const std::vector<std::uint8_t> cmap = sample_cmap();
    const std::pair<char32_t, std::uint16_t> cases[] = {
        {0xE700, 5},  {0xE702, 7},  {0xE6FF, 0},  {0xE703, 0},  {0xE800, 9},  {0xE801, 0}, {0x41, 0},
        {0x1F4CC, 20}, {0x1F4CB, 0}, {0x1F500, 30}, {0x1F502, 32}, {0x1F503, 0}, {0xFFFF, 0},
    };
    for (auto [cp, glyph] : cases)
        EXPECT_EQ(cmap_glyph(cmap.data(), cmap.size(), cp), glyph) << std::hex << static_cast<unsigned>(cp);
}

TEST(CmapGlyph, ShortOrEmptyTablesFindNothing) {
    const std::vector<std::uint8_t> cmap = sample_cmap();
    for (std::size_t size : {std::size_t{0}, std::size_t{3}, std::size_t{12}, std::size_t{30}})
        EXPECT_EQ(cmap_glyph(cmap.data(), size, 0x1F4CC), 0) << size;
    EXPECT_EQ(cmap_glyph(nullptr, 100, 0xE700), 0);
}

std::vector<unsigned> numbers(const std::u32string& s) { return {s.begin(), s.end()}; }

TEST(CodePoints, JoinsSurrogatePairs) {
    EXPECT_EQ(numbers(code_points_of(L"\U0001F4CC")), std::vector<unsigned>{0x1F4CC});
    EXPECT_EQ(numbers(code_points_of(L"a\uE77F\U0001F5BCb")), (std::vector<unsigned>{'a', 0xE77F, 0x1F5BC, 'b'}));
    EXPECT_EQ(numbers(code_points_of(std::wstring(1, L'\xD83D'))), std::vector<unsigned>{0xD83D});
}

// --- the icon face ----------------------------------------------------------------

std::set<std::wstring> g_installed;
int g_fallback_calls = 0;
bool g_fallback_result = false;
bool fake_installed(const std::wstring& face) { return g_installed.count(face) != 0; }
bool fake_fallback() {
    ++g_fallback_calls;
    return g_fallback_result;
}

TEST(IconFace, MdlFirstThenFluentThenTheFallback) {
    struct Case {
        std::set<std::wstring> installed;
        bool fallback_adds;
        const wchar_t* face;
        int fallback_calls;
    };
    const Case cases[] = {
        {{L"Segoe MDL2 Assets", L"Segoe Fluent Icons"}, true, L"Segoe MDL2 Assets", 0},
        {{L"Segoe MDL2 Assets"}, true, L"Segoe MDL2 Assets", 0},
        {{L"Segoe Fluent Icons"}, true, L"Segoe Fluent Icons", 0},
        {{L"Tahoma"}, true, L"Quillet Icons", 1},
        {{}, true, L"Quillet Icons", 1},
        {{}, false, L"Segoe MDL2 Assets", 1},
    };
    for (const Case& c : cases) {
        g_installed = c.installed;
        g_fallback_result = c.fallback_adds;
        g_fallback_calls = 0;
        EXPECT_EQ(pick_icon_font_face(fake_installed, fake_fallback), c.face);
        EXPECT_EQ(g_fallback_calls, c.fallback_calls) << c.face;
    }
}

// --- the icon code points of the sources ---------------------------------------------

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The hex number of exactly `digits` digits at `at`, not followed by
// another hex digit; -1 when there is none.
long hex_at(const std::string& s, std::size_t at, std::size_t digits) {
    if (at + digits > s.size()) return -1;
    for (std::size_t i = at; i < at + digits; ++i)
        if (!is_hex(s[i])) return -1;
    if (at + digits < s.size() && is_hex(s[at + digits])) return -1;
    return std::stol(s.substr(at, digits), nullptr, 16);
}

bool is_icon_code_point(long cp) { return (cp >= 0xE000 && cp <= 0xF8FF) || (cp >= 0x1F000 && cp <= 0x1FAFF); }

// The code points drawn as icons that a source text names: private-use code
// points (the icon font's) and emoji, written as \uXXXX, \xXXXX or
// \U000XXXXX escapes, as 0xXXXX constants on a line that declares a wchar_t,
// or as the characters themselves.
std::set<char32_t> icon_code_points_in(const std::string& src) {
    std::set<char32_t> found;
    auto add = [&found](long cp) {
        if (is_icon_code_point(cp)) found.insert(static_cast<char32_t>(cp));
    };
    for (std::size_t i = 0; i + 1 < src.size(); ++i) {
        if (src[i] == '\\' && (src[i + 1] == 'u' || src[i + 1] == 'x')) add(hex_at(src, i + 2, 4));
        if (src[i] == '\\' && src[i + 1] == 'U') add(hex_at(src, i + 2, 8));
        if (src[i] == '0' && (src[i + 1] == 'x' || src[i + 1] == 'X') && (i == 0 || !is_hex(src[i - 1]))) {
            const std::size_t line_start = src.rfind('\n', i) == std::string::npos ? 0 : src.rfind('\n', i);
            const std::size_t line_end = std::min(src.find('\n', i), src.size());
            if (src.substr(line_start, line_end - line_start).find("wchar_t") != std::string::npos)
                add(hex_at(src, i + 2, 4));
        }
        const auto lead = static_cast<unsigned char>(src[i]);
        if (lead >= 0xEE && lead <= 0xF0 && i + 2 < src.size()) {
            const std::wstring one = from_utf8(src.substr(i, lead == 0xF0 ? 4 : 3));
            const std::u32string cps = code_points_of(one);
            if (cps.size() == 1) add(static_cast<long>(cps[0]));
        }
    }
    return found;
}

TEST(IconCodePoints, ScannerFindsEveryWayOfWritingOne) {
    const std::pair<std::string, std::set<unsigned>> cases[] = {
        {R"(DrawTextW(dc, L"\uE73E", 1, &g, 0);)", {0xE73E}},
        {R"({L"\xE77F", L"nav.clipboard"}, {L"\xE8B7", L"nav.storage"})", {0xE77F, 0xE8B7}},
        {R"(std::wstring(1, L'\uE721'))", {0xE721}},
        {R"(view_row(L"\U0001F4CC", labels.pinned))", {0x1F4CC}},
        {"inline constexpr wchar_t kConfirmGlyph = 0xE7BA;", {0xE7BA}},
        {"const wchar_t* pin = L\"\xF0\x9F\x94\x91 \";", {0x1F511}},
        {"L\"\xEE\x9C\x8F\"", {0xE70F}},
        // Not icons: a GUID's part, other escapes and code points.
        {"constexpr CLSID k = {0xDC1C5A9C, 0xE88A, 0x4DDE};", {}},
        {R"(L"\u25B8", L"\xFFFD", "\xEF\xBB\xBF", L"\x00E9", code = 0xFFFD;)", {}},
        {R"(L"\uE70E1")", {}},
    };
    for (const auto& [src, expected] : cases) {
        const std::set<char32_t> found = icon_code_points_in(src);
        EXPECT_EQ(std::set<unsigned>(found.begin(), found.end()), expected) << src;
    }
}

// The program's own source folders.
const wchar_t* const kSourceDirs[] = {L"app", L"capture", L"core", L"store", L"theme", L"ui", L"screenshot"};

std::wstring source_dir() {
    wchar_t buf[4096] = {};
    const DWORD n = GetEnvironmentVariableW(L"QUILLET_SOURCE_DIR", buf, 4096);
    std::wstring dir = n > 0 && n < 4096 ? std::wstring(buf, n) : L"";
    if (!dir.empty() && dir[0] == L'/') dir = L"Z:" + dir;  // Wine's drive of the file system root
    std::replace(dir.begin(), dir.end(), L'/', L'\\');
    return dir;
}

// Every icon code point of the sources, with a file that names it.
std::vector<std::pair<char32_t, std::wstring>> source_icon_code_points() {
    std::vector<std::pair<char32_t, std::wstring>> all;
    std::set<char32_t> seen;
    const std::wstring root = source_dir();
    for (const wchar_t* sub : kSourceDirs)
        test_support::for_each_file(root + L"\\" + sub, [&](const std::wstring& path) {
            if (!path.ends_with(L".cpp") && !path.ends_with(L".h")) return;
            for (char32_t cp : icon_code_points_in(read_file(path)))
                if (seen.insert(cp).second) all.emplace_back(cp, path);
        });
    return all;
}

std::string hex(char32_t cp) {
    char buf[16];
    snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

TEST(IconCodePoints, EveryOneOfTheSourcesHasAGlyphInTheFallbackFont) {
    ASSERT_FALSE(source_dir().empty()) << "QUILLET_SOURCE_DIR is not set";
    const auto all = source_icon_code_points();
    // The toolbars', settings', boxes' and capture toolbar's icons and the
    // four emoji: a scan that finds fewer has missed files.
    EXPECT_GE(all.size(), 27u);
    ASSERT_TRUE(fallback_icon_font_added());
    for (const auto& [cp, file] : all)
        EXPECT_TRUE(face_has_glyph(kFallbackIconFace, cp))
            << hex(cp) << " (" << to_utf8(file) << ") has no glyph in the fallback icon font: add it to "
            << "theme/icon_glyphs.txt";
}

// What the program draws: the icons in create_icon_font's face, the emoji in
// the list font, or in the fallback icon font where no font of the system
// has them.
TEST(IconCodePoints, EveryOneIsDrawnWithAFaceThatHasIt) {
    const auto all = source_icon_code_points();
    ASSERT_FALSE(all.empty());
    raii::MemoryDC dc(CreateCompatibleDC(nullptr));
    raii::Font icons = create_icon_font(20);
    raii::Font text = create_ui_font(14, FW_NORMAL);
    if (!mdl2_installed()) EXPECT_EQ(face_of(icons.get()), kFallbackIconFace);
    for (const auto& [cp, file] : all) {
        if (cp <= 0xFFFF) {
            raii::SelectGuard select(dc.get(), icons.get());
            EXPECT_TRUE(dc_font_has_glyph(dc.get(), cp)) << hex(cp) << " in " << to_utf8(icon_font_face());
        } else {
            raii::SelectGuard select(dc.get(), text.get());
            std::wstring s;
            s.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
            s.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            if (system_draws_emoji(dc.get(), s)) continue;
            raii::Font fallback = create_fallback_icon_font(14);
            raii::SelectGuard select_fallback(dc.get(), fallback.get());
            EXPECT_TRUE(dc_font_has_glyph(dc.get(), cp)) << hex(cp) << " in the fallback icon font";
        }
    }
}

// The check behind the emoji: a face that lacks them (a text face under
// Wine has no pin) is told apart from one that has them.
TEST(IconCodePoints, EmojiCheckReadsTheFontsCharacterMap) {
    raii::MemoryDC dc(CreateCompatibleDC(nullptr));
    raii::Font fallback = create_fallback_icon_font(14);
    {
        raii::SelectGuard select(dc.get(), fallback.get());
        EXPECT_TRUE(dc_font_has_glyph(dc.get(), 0x1F4CC));
        EXPECT_TRUE(dc_font_has_glyph(dc.get(), 0xE718));
        EXPECT_FALSE(dc_font_has_glyph(dc.get(), 0x1F600));
        EXPECT_FALSE(dc_font_has_glyph(dc.get(), 0xE700));
        EXPECT_TRUE(system_draws_emoji(dc.get(), L"\U0001F4CC\U0001F511"));
        if (!font_face_installed(L"Segoe UI Emoji") && !font_face_installed(L"Segoe UI Symbol"))
            EXPECT_FALSE(system_draws_emoji(dc.get(), L"\U0001F600"));
    }
}

}  // namespace

// What draws the system's own parts of a window: Marlett the title-bar
// buttons and scroll arrows, Tahoma the dialog face. Windows has both; the
// test prefixes get Wine's own copies, or the buttons read "0 1 r".
TEST(SystemFonts, TheFacesOfTheWindowFrameAreInstalled) {
    for (const wchar_t* face : {L"Marlett", L"Tahoma"}) {
        EXPECT_TRUE(font_face_installed(face)) << std::string(face, face + wcslen(face));
    }
}
