// The quick menu's sizes, row texts and paste target without showing it.
#include "ui/quick_menu.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/settings.h"
#include "ui/list_model.h"

namespace {

// Every character 10 pixels wide, the ellipsis 6.
int fixed_width(const std::wstring& s) {
    int w = 0;
    for (wchar_t c : s) w += c == L'\u2026' ? 6 : 10;
    return w;
}

TEST(QuickMenuSizes, Width) {
    struct Case {
        int size, width;
    } cases[] = {{10, 400}, {14, 400}, {15, 424}, {16, 448}, {18, 496}};
    for (const Case& c : cases) EXPECT_EQ(quick_menu_width(c.size), c.width) << c.size;
}

TEST(QuickMenuSizes, FontSizeFromSettings) {
    EXPECT_EQ(quick_menu_font_size(nullptr), 14);
    Settings s;
    s.font_size = 25;
    EXPECT_EQ(quick_menu_font_size(&s), 18);
    s.font_size = 5;
    EXPECT_EQ(quick_menu_font_size(&s), 10);
    s.font_size = 16;
    EXPECT_EQ(quick_menu_font_size(&s), 16);
}

TEST(QuickMenuSizes, ItemHeightAndHeight) {
    EXPECT_EQ(quick_menu_item_height(26, true), 40);
    EXPECT_EQ(quick_menu_item_height(10, true), 28);
    EXPECT_EQ(quick_menu_item_height(0, false), 40);
    struct Case {
        int edges, item, rows, height;
    } cases[] = {
        {4, 40, 10, 406},  // ten rows of 40 with edges of 2 pixels each
        {4, 40, 1, 46},
        {4, 40, 0, 46},    // an empty history still leaves one row's room
        {4, 50, 10, 480},  // a larger font stops at 480 and the list scrolls
        {4, 28, 3, 90},
    };
    for (const Case& c : cases) EXPECT_EQ(quick_menu_height(c.edges, c.item, c.rows), c.height) << c.rows;
}

TEST(QuickMenuRows, NumberingLineBreaksAndEllipsis) {
    EXPECT_EQ(quick_menu_row_text(1, L"hello", 200, fixed_width), L"1. hello");
    EXPECT_EQ(quick_menu_row_text(10, L"a\r\nb\nc", 200, fixed_width), L"10. a  b c");
    // The whole row is fitted, its number included: 30 characters into
    // 100 px leave 6 beside "3. " and the ellipsis (30 + 60 + 6 <= 100).
    EXPECT_EQ(quick_menu_row_text(3, std::wstring(30, L'x'), 100, fixed_width), L"3. xxxxxx\u2026");
    // Exactly as wide as the room with its number: kept whole.
    EXPECT_EQ(quick_menu_row_text(4, std::wstring(7, L'y'), 100, fixed_width), L"4. yyyyyyy");
    // One character more: cut.
    EXPECT_EQ(quick_menu_row_text(4, std::wstring(8, L'y'), 100, fixed_width), L"4. yyyyyy\u2026");
    // No room at all besides the ellipsis: the empty prefix.
    EXPECT_EQ(quick_menu_row_text(5, L"abcdef", 5, fixed_width), L"5. \u2026");
    // Without positive room nothing is cut.
    EXPECT_EQ(quick_menu_row_text(6, L"abcdef", 0, fixed_width), L"6. abcdef");
    EXPECT_EQ(quick_menu_row_text(7, L"", 100, fixed_width), L"7. ");
    // A cut never splits a surrogate pair.
    std::wstring pairs = L"ab";
    for (int i = 0; i < 20; ++i) pairs += L"\U0001F600";
    // Each pair counts 20 px: "8. " + "ab" + 2 pairs + the ellipsis = 96;
    // a cut inside the third pair would leave its high half.
    std::wstring row = quick_menu_row_text(8, pairs, 100, fixed_width);
    ASSERT_GE(row.size(), 2u);
    const wchar_t before_ellipsis = row[row.size() - 2];
    EXPECT_FALSE(before_ellipsis >= 0xD800 && before_ellipsis <= 0xDBFF);
    EXPECT_EQ(row, L"8. ab\U0001F600\U0001F600\u2026");
}

TEST(QuickMenuRows, ALongTextIsMeasuredByItsStartOnly) {
    std::size_t longest_measured = 0;
    auto measuring = [&](const std::wstring& s) {
        longest_measured = std::max(longest_measured, s.size());
        return fixed_width(s);
    };
    const std::wstring text(1000000, L'm');
    EXPECT_EQ(quick_menu_row_text(2, text, 100, measuring), L"2. mmmmmm\u2026");
    // The start, with the row's number before it.
    EXPECT_LE(longest_measured, kRowTextLimit + 3);
    // Without room to fit to, the row is the text's start.
    EXPECT_EQ(quick_menu_row_text(2, text, 0, measuring), L"2. " + std::wstring(kRowTextLimit, L'm'));
    // The cut keeps a surrogate pair whole.
    const std::wstring pair_at_cut = std::wstring(kRowTextLimit - 1, L'p') + L"\U0001F600" + L"tail";
    EXPECT_EQ(quick_menu_row_text(3, pair_at_cut, 0, measuring), L"3. " + std::wstring(kRowTextLimit - 1, L'p'));
}

TEST(QuickMenuTarget, OwnWindowsKeepThePreviousTarget) {
    HWND own = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(own, nullptr);
    HWND previous = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(quick_menu_target(own, previous), previous);
    EXPECT_EQ(quick_menu_target(own, nullptr), nullptr);
    EXPECT_EQ(quick_menu_target(nullptr, previous), nullptr);
    HWND desktop = GetDesktopWindow();  // a window of another process
    DWORD pid = 0;
    GetWindowThreadProcessId(desktop, &pid);
    if (pid != GetCurrentProcessId()) {
        EXPECT_EQ(quick_menu_target(desktop, previous), desktop);
    }
    DestroyWindow(own);
}

}  // namespace
