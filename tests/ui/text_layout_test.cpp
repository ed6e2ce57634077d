// The line breaking of long texts, with fixed character widths, and the
// widths read from a real font.
#include "ui/text_layout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

// Every unit 10 pixels wide ("i" 4), tab stops every 40 pixels.
CharWidths fixed_widths(int* blocks_read = nullptr) {
    return CharWidths(
        [blocks_read](wchar_t first, int* widths) {
            if (blocks_read) ++*blocks_read;
            for (int i = 0; i < 256; ++i) widths[i] = (first + i == L'i') ? 4 : 10;
        },
        40);
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
        // A surrogate pair is never split: its second half adds no width.
        {L"abcd\U0001F600ef", 50, {L"abcd\U0001F600", L"ef"}},
        {L"abcde\U0001F600", 50, {L"abcde", L"\U0001F600"}},
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

}  // namespace
