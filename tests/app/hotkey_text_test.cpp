// Hotkey texts: parsing, printing, chips and display names.
#include <gtest/gtest.h>

#include "app/hotkey_text.h"

namespace {

constexpr unsigned ALT = 1, CTRL = 2, SHIFT = 4, WIN = 8;

struct ParseCase {
    const wchar_t* text;
    bool ok;
    unsigned modifiers;
    unsigned key;
};

class ParseHotkey : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseHotkey, GivesBinding) {
    const ParseCase& c = GetParam();
    unsigned mods = 99, key = 99;
    EXPECT_EQ(parse_hotkey(c.text, mods, key), c.ok) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(mods, c.modifiers);
    EXPECT_EQ(key, c.key);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseHotkey,
    testing::Values(
        ParseCase{L"ctrl+shift+v", true, CTRL | SHIFT, 0x56}, ParseCase{L"Shift+CTRL+V", true, CTRL | SHIFT, 0x56},
        ParseCase{L"control+shift+v", true, CTRL | SHIFT, 0x56},
        ParseCase{L"ALT+Win+Control+Shift+u", true, ALT | CTRL | SHIFT | WIN, 0x55},
        ParseCase{L"ctrl+shift+alt+p", true, CTRL | SHIFT | ALT, 0x50}, ParseCase{L"prtscr", true, 0, 0x2C},
        ParseCase{L"alt+prtscr", true, ALT, 0x2C}, ParseCase{L"shift+printscreen", true, SHIFT, 0x2C},
        ParseCase{L"print", true, 0, 0x2C}, ParseCase{L"ctrl+del", true, CTRL, 0x2E},
        ParseCase{L"escape", true, 0, 0x1B}, ParseCase{L"esc", true, 0, 0x1B}, ParseCase{L"ctrl+f1", true, CTRL, 0x70},
        ParseCase{L"ctrl+f9", true, CTRL, 0x78}, ParseCase{L"ctrl+F10", true, CTRL, 0x79},
        ParseCase{L"f12", true, 0, 0x7B}, ParseCase{L"ctrl+shift+1", true, CTRL | SHIFT, 0x31},
        ParseCase{L"win+0", true, WIN, 0x30}, ParseCase{L"pageup", true, 0, 0x21},
        ParseCase{L"pagedown", true, 0, 0x22}, ParseCase{L"left", true, 0, 0x25}, ParseCase{L"right", true, 0, 0x27},
        ParseCase{L"up", true, 0, 0x26}, ParseCase{L"down", true, 0, 0x28}, ParseCase{L"backspace", true, 0, 0x08},
        ParseCase{L"enter", true, 0, 0x0D}, ParseCase{L"space", true, 0, 0x20}, ParseCase{L"tab", true, 0, 0x09},
        ParseCase{L"insert", true, 0, 0x2D}, ParseCase{L"home", true, 0, 0x24}, ParseCase{L"end", true, 0, 0x23},
        // modifiers alone
        ParseCase{L"ctrl+shift", false, CTRL | SHIFT, 0},
        // the later key wins
        ParseCase{L"ctrl+a+b", true, CTRL, 0x42},
        // a part with a blank is not a key word
        ParseCase{L"ctrl+ a", false, CTRL, 0}, ParseCase{L"ctrl + shift + a", false, 0, 0},
        // unknown words and characters are skipped
        ParseCase{L"ctrl+banana+x", true, CTRL, 0x58}, ParseCase{L"ctrl+#", false, CTRL, 0},
        ParseCase{L"ctrl+f13", false, CTRL, 0},
        // empty parts and a trailing "+"
        ParseCase{L"ctrl++x", true, CTRL, 0x58}, ParseCase{L"ctrl+x+", true, CTRL, 0x58}, ParseCase{L"+", false, 0, 0},
        ParseCase{L"", false, 0, 0}));

struct PrintCase {
    unsigned modifiers;
    unsigned key;
    const wchar_t* text;
};

class PrintHotkey : public testing::TestWithParam<PrintCase> {};

TEST_P(PrintHotkey, GivesText) {
    const PrintCase& c = GetParam();
    EXPECT_EQ(hotkey_to_string(c.modifiers, c.key), c.text);
}

INSTANTIATE_TEST_SUITE_P(Table, PrintHotkey,
                         testing::Values(PrintCase{ALT | CTRL | SHIFT, 0x55, L"ctrl+shift+alt+u"},
                                         PrintCase{WIN | ALT | SHIFT | CTRL, 0x41, L"ctrl+shift+alt+win+a"},
                                         PrintCase{0, 0x2C, L"prtscr"}, PrintCase{CTRL, 0x2E, L"ctrl+delete"},
                                         PrintCase{0, 0x1B, L"esc"}, PrintCase{SHIFT, 0x39, L"shift+9"},
                                         PrintCase{0, 0x7B, L"f12"}, PrintCase{0, 0x70, L"f1"},
                                         PrintCase{CTRL | SHIFT, 0, L"ctrl+shift+??"}, PrintCase{0, 0, L"??"},
                                         PrintCase{CTRL, 0x90, L"ctrl+??"}));

TEST(HotkeyText, InputOnlyWordsPrintAsTableNames) {
    for (auto [in, out] : {std::pair{L"del", L"delete"}, std::pair{L"printscreen", L"prtscr"},
                           std::pair{L"print", L"prtscr"}, std::pair{L"escape", L"esc"}}) {
        unsigned m = 0, k = 0;
        ASSERT_TRUE(parse_hotkey(in, m, k));
        EXPECT_EQ(hotkey_to_string(m, k), out);
    }
}

TEST(HotkeyText, PrintedTextParsesBack) {
    for (unsigned key : {0x08u, 0x09u, 0x0Du, 0x1Bu, 0x20u, 0x21u, 0x22u, 0x23u, 0x24u, 0x25u, 0x26u,
                         0x27u, 0x28u, 0x2Cu, 0x2Du, 0x2Eu, 0x30u, 0x39u, 0x41u, 0x5Au, 0x70u, 0x7Bu}) {
        for (unsigned mods : {0u, CTRL, ALT | SHIFT, CTRL | SHIFT | ALT | WIN}) {
            HotkeyBinding b = parse_hotkey(hotkey_to_string(mods, key));
            EXPECT_EQ(b, (HotkeyBinding{mods, key})) << key << " " << mods;
        }
    }
}

TEST(HotkeyText, KeyNames) {
    const std::pair<unsigned, const wchar_t*> cases[] = {
        {0x08, L"Backspace"}, {0x09, L"Tab"},    {0x0D, L"Enter"},  {0x20, L"Space"},  {0x21, L"PgUp"},
        {0x22, L"PgDn"},      {0x23, L"End"},    {0x24, L"Home"},   {0x25, L"\u2190"}, {0x26, L"\u2191"},
        {0x27, L"\u2192"},    {0x28, L"\u2193"}, {0x2C, L"PrtScr"}, {0x2D, L"Insert"}, {0x2E, L"Delete"},
        {0x30, L"0"},         {0x39, L"9"},      {0x41, L"A"},      {0x5A, L"Z"},      {0x70, L"F1"},
        {0x79, L"F10"},       {0x7B, L"F12"},    {0x1B, L"esc"},    {0x90, L"??"},
    };
    for (auto [key, name] : cases) EXPECT_EQ(key_name(key), name) << key;
}

TEST(HotkeyText, Chips) {
    EXPECT_EQ(hotkey_chips(WIN | ALT | SHIFT | CTRL, 0x56),
              (std::vector<std::wstring>{L"Ctrl", L"Shift", L"Alt", L"Win", L"V"}));
    EXPECT_EQ(hotkey_chips(CTRL, 0), (std::vector<std::wstring>{L"Ctrl"}));
    EXPECT_TRUE(hotkey_chips(0, 0).empty());
    EXPECT_EQ(hotkey_display_text(CTRL | SHIFT, 0x56), L"Ctrl+Shift+V");
    EXPECT_EQ(hotkey_display_text(ALT, 0x2C), L"Alt+PrtScr");
    EXPECT_EQ(hotkey_display_text(CTRL, 0), L"");
}

TEST(HotkeyText, ModifierKeys) {
    for (unsigned k : {0x10u, 0x11u, 0x12u, 0x5Bu, 0x5Cu, 0xA0u, 0xA1u, 0xA2u, 0xA3u, 0xA4u, 0xA5u})
        EXPECT_TRUE(is_modifier_key(k)) << k;
    for (unsigned k : {0x0Fu, 0x13u, 0x5Au, 0x5Du, 0x9Fu, 0xA6u, 0x41u, 0u}) EXPECT_FALSE(is_modifier_key(k)) << k;
}

}  // namespace
