// The line breaking of long texts, with fixed character widths, and the
// widths read from a real font.
#include "ui/text_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Every unit 10 pixels wide ("i" 4), a surrogate pair 25 (one glyph),
// tab stops every 40 pixels.
CharWidths fixed_widths(int* blocks_read = nullptr) {
    return CharWidths(
        [blocks_read](wchar_t first, int* widths) {
            if (blocks_read) ++*blocks_read;
            for (int i = 0; i < 256; ++i) widths[i] = (first + i == L'i') ? 4 : 10;
        },
        40, [](const wchar_t*) { return 25; });
}

std::vector<std::wstring> lines_of(const std::wstring& text, int width) {
    CharWidths w = fixed_widths();
    std::vector<std::wstring> out;
    for (const TextLine& l : wrap_text_lines(text, width, w)) out.push_back(text.substr(l.start, l.length));
    return out;
}

TEST(TextLayout, BreaksAtLineEndsBlanksAndWhereAWordDoesNotFit) {
    struct Case {
        std::wstring text;
        int width;
        std::vector<std::wstring> lines;
    } cases[] = {
        {L"", 100, {L""}},
        {L"abc", 100, {L"abc"}},
        {L"ab\r\ncd\ne\rf", 100, {L"ab", L"cd", L"e", L"f"}},
        {L"ab\n", 100, {L"ab", L""}},
        {L"\r\n\r\n", 100, {L"", L"", L""}},
        // 5 units fit into 50 pixels: the break comes after the last blank.
        {L"abc de fgh", 50, {L"abc ", L"de ", L"fgh"}},
        // Blanks past the edge stay at the line's end.
        {L"abcde   fg", 50, {L"abcde   ", L"fg"}},
        // A word longer than the line breaks where it no longer fits.
        {L"abcdefghijkl", 50, {L"abcde", L"fghij", L"kl"}},
        // Narrow letters fit more.
        {L"iiiiiiiiiiiiii", 50, {L"iiiiiiiiiiii", L"ii"}},
        // One character a line at least, even when it is wider than the line.
        {L"abc", 5, {L"a", L"b", L"c"}},
        // Tabs go to the next stop (40): "a" 10, tab to 40, "b" 50.
        {L"a\tb\tc", 50, {L"a\tb\t", L"c"}},
        // A surrogate pair is one glyph of its own width (25) and is never
        // split: 25 + 25 fit into 50, a third goes on.
        {L"\U0001F600\U0001F600\U0001F600", 50, {L"\U0001F600\U0001F600", L"\U0001F600"}},
        {L"abc\U0001F600ef", 50, {L"abc", L"\U0001F600ef"}},
        {L"ab\U0001F600ef", 50, {L"ab\U0001F600", L"ef"}},
        {L"\U0001F600", 5, {L"\U0001F600"}},
    };
    for (const Case& c : cases) EXPECT_EQ(lines_of(c.text, c.width), c.lines) << "width " << c.width;
}

TEST(TextLayout, WidthsHitsAndPositionsOfALine) {
    CharWidths w = fixed_widths();
    const std::wstring text = L"ab\tcd";
    const TextLine line{0, 5};
    EXPECT_EQ(text_line_width(text, line, w), 60);   // a b, tab to 40, c d
    EXPECT_EQ(text_line_x(text, line, 0, w), 0);
    EXPECT_EQ(text_line_x(text, line, 2, w), 20);
    EXPECT_EQ(text_line_x(text, line, 3, w), 40);
    EXPECT_EQ(text_line_x(text, line, 9, w), 60) << "past the end: the line's width";
    struct Hit {
        int x;
        std::uint32_t unit;
    } hits[] = {{-5, 0}, {0, 0}, {4, 0}, {6, 1}, {16, 2}, {29, 2}, {31, 3}, {44, 3}, {46, 4}, {200, 5}};
    for (const Hit& h : hits) EXPECT_EQ(text_line_hit(text, line, h.x, w), h.unit) << "x " << h.x;
    // On the second line the offsets count from the text's start.
    const std::wstring two = L"ab\ncd";
    EXPECT_EQ(text_line_hit(two, TextLine{3, 2}, 12, w), 4u);
    // A pair: 25 wide, hit and placed as one character.
    const std::wstring pair = L"a\U0001F600b";
    const TextLine pl{0, 4};
    EXPECT_EQ(text_line_width(pair, pl, w), 45);
    EXPECT_EQ(text_line_x(pair, pl, 3, w), 35);
    EXPECT_EQ(text_line_hit(pair, pl, 20, w), 1u);
    EXPECT_EQ(text_line_hit(pair, pl, 24, w), 3u) << "never between the halves";
}

TEST(TextLayout, MovesByCharactersAndWordsAsAnEditBox) {
    const std::wstring t = L"alpha, beta\U0001F600x  \r\ngamma";
    //                        0    5 7    1112  14  16 18
    struct Step {
        std::uint32_t from;
        std::uint32_t next_char, prev_char, next_word, prev_word;
    } steps[] = {
        {0, 1, 0, 5, 0},       // "alpha" ends at the comma
        {5, 6, 4, 7, 0},       // ", " then "beta"
        {7, 8, 6, 16, 5},      // beta, the emoji and x are one word; the blanks after it go with it
        {11, 13, 10, 16, 7},   // the pair is one character
        {14, 15, 13, 16, 7},
        {16, 18, 15, 18, 7},   // CR LF is one break
        {18, 19, 16, 23, 16},
        {23, 23, 22, 23, 18},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(next_char_pos(t, s.from), s.next_char) << "from " << s.from;
        EXPECT_EQ(prev_char_pos(t, s.from), s.prev_char) << "from " << s.from;
        EXPECT_EQ(next_word_pos(t, s.from), s.next_word) << "from " << s.from;
        EXPECT_EQ(prev_word_pos(t, s.from), s.prev_word) << "from " << s.from;
    }
    struct Word {
        std::uint32_t at, start, end;
    } words[] = {
        {0, 0, 5}, {3, 0, 5}, {5, 5, 6}, {6, 6, 7}, {9, 7, 14}, {12, 7, 14}, {14, 14, 16}, {16, 14, 16}, {20, 18, 23},
        {23, 18, 23}, {99, 18, 23},
    };
    for (const Word& w : words) {
        const TextSpan span = word_at(t, w.at);
        EXPECT_EQ(span.start, w.start) << "at " << w.at;
        EXPECT_EQ(span.end, w.end) << "at " << w.at;
    }
    const std::wstring cjk = L"\u4E2D\u6587 text";
    EXPECT_EQ(word_at(cjk, 1).end, 2u) << "ideographs are letters";
    EXPECT_EQ(word_at(L"", 0).end, 0u);
}

TEST(TextLayout, OneMebibyteParagraphIsLaidOutInATimeThatGrowsWithTheText) {
    int blocks = 0;
    CharWidths w = fixed_widths(&blocks);
    std::wstring text;
    while (text.size() < (1u << 20)) text += L"word ";
    const auto t0 = std::chrono::steady_clock::now();
    const std::vector<TextLine> lines = wrap_text_lines(text, 600, w);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    // 60 units a line, 12 words of 5.
    EXPECT_EQ(lines.size(), (text.size() + 59) / 60);
    EXPECT_EQ(lines.back().start + lines.back().length, text.size());
    EXPECT_LT(ms, 500.0);
    EXPECT_EQ(blocks, 1) << "the widths of a block are read once";
}

TEST(TextLayout, WidthsOfARealFontMatchItsTextExtents) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    CharWidths w = CharWidths::of_dc(dc);
    const std::wstring text = L"The quick brown fox jumps over the lazy dog";
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    EXPECT_EQ(text_line_width(text, TextLine{0, static_cast<std::uint32_t>(text.size())}, w), size.cx);
    EXPECT_GT(w.width(L'W'), w.width(L'i'));
    SelectObject(dc, old);
    DeleteDC(dc);
}

// Emoji (pairs), ideographs, signs the font has no glyph for and Latin
// letters wrapped at 600 pixels with a real font: every line, measured with
// GetTextExtentPoint32W (the call ExtTextOutW draws with), fits, and every
// position the layout gives a character is where the drawing puts it.
TEST(TextLayout, EveryCharacterIsLaidOutAtTheWidthItIsDrawn) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    HFONT font = CreateFontW(-14, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    HGDIOBJ old = SelectObject(dc, font);
    auto extent = [dc](const std::wstring& s) {
        SIZE size{};
        GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
        return static_cast<int>(size.cx);
    };
    std::wstring emoji, mixed;
    for (int i = 0; i < 120; ++i) emoji += static_cast<wchar_t>(0xD83D), emoji += static_cast<wchar_t>(0xDE00 + i % 64);
    for (int i = 0; i < 12; ++i)
        mixed += L"Mixed \U0001F600\U0001F389 text \u4E2D\u6587\u65E5\u672C\u8A9E Latin \u2713\u2764 "
                 L"\U0001F44D\u0645\u0631\u062D\u0628\u0627 caf\u00E9 ";
    struct Case {
        const char* name;
        const std::wstring& text;
    } cases[] = {{"emoji only", emoji}, {"mixed", mixed}};
    for (const Case& c : cases) {
        CharWidths w = CharWidths::of_dc(dc);
        const std::vector<TextLine> lines = wrap_text_lines(c.text, 600, w);
        EXPECT_GT(lines.size(), 1u) << c.name;
        int widest = 0;
        for (const TextLine& l : lines) {
            const std::wstring s = c.text.substr(l.start, l.length);
            widest = std::max(widest, extent(s));
            EXPECT_FALSE(inside_surrogate_pair(c.text, l.start)) << c.name;
            // Every character boundary of the line where the drawing puts it.
            for (std::uint32_t i = l.start; i <= l.start + l.length; ++i) {
                if (inside_surrogate_pair(c.text, i)) continue;
                const std::wstring before = c.text.substr(l.start, i - l.start);
                ASSERT_EQ(text_line_x(c.text, l, i, w), extent(before)) << c.name << " at " << i;
            }
        }
        EXPECT_LE(widest, 600) << c.name;
        if (&c.text == &emoji) {
            // A line without blanks is full: the next character would not have fitted.
            const TextLine& first = lines.front();
            const std::uint32_t after = next_char_pos(c.text, first.start + first.length);
            EXPECT_GT(extent(c.text.substr(0, after)), 600) << c.name;
        }
        std::printf("%s: %zu lines, widest %d px of 600\n", c.name, lines.size(), widest);
    }
    // A mebibyte of such text is still laid out at once, its widths read once.
    std::wstring big;
    while (big.size() < (1u << 20)) big += mixed;
    CharWidths w = CharWidths::of_dc(dc);
    const auto t0 = std::chrono::steady_clock::now();
    const std::size_t n = wrap_text_lines(big, 600, w).size();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("1 MiB of mixed text: %zu lines in %.1f ms\n", n, ms);
    EXPECT_LT(ms, 1000.0);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
}

}  // namespace
