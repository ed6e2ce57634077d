// The entry hint's arithmetic and texts without a window: placement beside
// the main window, widths, line heights, alignment, scrolling, the view
// button, the scroll thumb, the meta lines of every kind of entry, and the
// preview cache.
#include "ui/entry_hint.h"

#include <gtest/gtest.h>

#include "core/i18n.h"
#include "ui/list_model.h"

namespace {

TEST(EntryHintPlacement, LeftThenRightThenInsideTheWorkArea) {
    const RECT work{0, 0, 1920, 1040};
    struct Case {
        const char* what;
        RECT main;
        int y, w, h;
        LONG x_expected, y_expected;
    } cases[] = {
        {"room on the left", {800, 100, 1400, 700}, 150, 300, 200, 492, 150},
        {"left edge too close: right of the window", {200, 100, 800, 700}, 150, 300, 200, 808, 150},
        {"no room on either side: 8 inside the left edge", {100, 100, 1700, 700}, 150, 300, 200, 8, 150},
        {"exactly 7 past the left edge counts as no room", {315, 100, 900, 700}, 150, 300, 200, 908, 150},
        {"bottom edge: moved up", {800, 600, 1400, 1000}, 950, 300, 200, 492, 832},
        {"above the top: at the top", {800, 0, 1400, 700}, -30, 300, 200, 492, 0},
        {"taller than the work area: at its top", {800, 0, 1400, 700}, 100, 300, 1200, 492, 0},
    };
    for (const Case& c : cases) {
        const POINT p = place_hint(c.main, work, c.y, c.w, c.h);
        EXPECT_EQ(p.x, c.x_expected) << c.what;
        EXPECT_EQ(p.y, c.y_expected) << c.what;
    }
}

TEST(EntryHintPlacement, WorkAreaOfASecondMonitor) {
    const RECT work{1920, 0, 3840, 1040};
    // The window at the monitor's left edge: the hint goes right of it.
    POINT p = place_hint(RECT{1925, 50, 2500, 600}, work, 80, 200, 100);
    EXPECT_EQ(p.x, 2508);
    // Filling the monitor: 8 inside its left edge.
    p = place_hint(RECT{1920, 0, 3840, 1040}, work, 80, 200, 100);
    EXPECT_EQ(p.x, 1928);
}

TEST(EntryHintPlacement, RowYAndAlignment) {
    EXPECT_EQ(hint_row_y(100, 60, 0), 152);
    EXPECT_EQ(hint_row_y(100, 60, 120), 272);
    EXPECT_EQ(hint_row_y(100, 60, -40), 112);  // a row scrolled above the list
    const RECT work{0, 0, 1920, 1040};
    EXPECT_EQ(align_hint_y(300, 200, work), 300);
    EXPECT_EQ(align_hint_y(830, 200, work), 830);   // bottom 1030 is not within 7 of 1040
    EXPECT_EQ(align_hint_y(833, 200, work), 832);
    EXPECT_EQ(align_hint_y(-20, 200, work), 0);
}

TEST(EntryHintSizes, WidthsAndLineHeights) {
    struct W {
        int body, meta, width;
    } widths[] = {
        {0, 0, 120},      // empty body, short meta
        {40, 50, 120},
        {100, 50, 128},
        {50, 200, 228},
        {340, 100, 368},
        {340, 900, 460},  // at most 460
    };
    for (const W& w : widths) EXPECT_EQ(hint_width(w.body, w.meta), w.width) << w.body << " " << w.meta;
    EXPECT_EQ(hint_meta_line_height(0), 20);
    EXPECT_EQ(hint_meta_line_height(11), 20);
    EXPECT_EQ(hint_meta_line_height(12), 20);
    EXPECT_EQ(hint_meta_line_height(18), 26);
}

TEST(EntryHintScroll, StopsAtBothEnds) {
    struct Case {
        int scroll, delta, content, visible, expected;
    } cases[] = {
        {0, 10, 500, 200, 10},  {0, -10, 500, 200, 0},   {295, 10, 500, 200, 300},
        {300, 10, 500, 200, 300}, {50, -30, 500, 200, 20}, {0, 10, 150, 200, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scroll_hint_by(c.scroll, c.delta, c.content, c.visible), c.expected) << c.scroll << " " << c.delta;
}

TEST(EntryHintScroll, ThumbFollowsThePosition) {
    // Track of 196 pixels from y 20; 200 of 800 pixels visible.
    ScrollThumb t = hint_scroll_thumb(20, 196, 200, 800, 0);
    EXPECT_EQ(t.height, 49);
    EXPECT_EQ(t.top, 20);
    t = hint_scroll_thumb(20, 196, 200, 800, 600);
    EXPECT_EQ(t.top, 20 + 196 - 49);
    t = hint_scroll_thumb(20, 196, 10, 8000, 0);
    EXPECT_EQ(t.height, 16);  // never thinner than 16
    t = hint_scroll_thumb(20, 196, 200, 0, 0);
    EXPECT_EQ(t.height, 196);
}

TEST(EntryHintViewButton, FitsIntoTheBodyOrIsLeftOut) {
    // Body from 18 to 218, clip right 316, left limit 12, a 14-pixel font.
    RECT b = hint_view_button_rect(30, 14, 18, 218, 12, 316);
    EXPECT_EQ(b.bottom - b.top, 26);
    EXPECT_EQ(b.top, 218 - 26 - 6);
    EXPECT_EQ(b.right - b.left, 78);  // at least 78 wide
    EXPECT_EQ(b.left, 316 - 78 - 6);
    // A long label makes it wider.
    b = hint_view_button_rect(100, 14, 18, 218, 12, 316);
    EXPECT_EQ(b.right - b.left, 126);
    // A body lower than the button: none.
    b = hint_view_button_rect(30, 14, 18, 40, 12, 316);
    EXPECT_TRUE(IsRectEmpty(&b));
    // Too narrow for it: none.
    b = hint_view_button_rect(30, 14, 18, 218, 12, 80);
    EXPECT_TRUE(IsRectEmpty(&b));
}

TEST(EntryHintTexts, BodyKeepsLineBreaksButNoCarriageReturns) {
    EXPECT_EQ(hint_body_text(L"a\r\nb\rc"), L"a \nb c");
}

TEST(EntryHintTexts, LongBodyShowsItsStartWithAnEllipsis) {
    const std::wstring limit(kRowTextLimit, L'x');
    // A 1 MiB text with a surrogate pair across the cut.
    std::wstring paired(kRowTextLimit - 1, L'y');
    paired += L"\U0001F600";
    paired += std::wstring(1 << 20, L'z');
    struct Case {
        std::wstring text;
        std::wstring body;
    } cases[] = {
        {limit, limit},                                        // exactly the limit: whole, no ellipsis
        {limit + L"\r\n", limit + L"\u2026"},                 // one unit more: cut
        {std::wstring(1 << 20, L'x'), limit + L"\u2026"},      // 1 MiB
        {paired, std::wstring(kRowTextLimit - 1, L'y') + L"\u2026"},   // the pair is not split
        {std::wstring(kRowTextLimit, L'\r') + L"a", std::wstring(kRowTextLimit, L' ') + L"\u2026"},
    };
    for (const Case& c : cases) {
        const std::wstring body = hint_body_text(c.text);
        EXPECT_EQ(body.size(), c.body.size());
        EXPECT_TRUE(body == c.body) << "text of " << c.text.size() << " units";
    }
    // A start read without the rest of its text still ends in the ellipsis.
    EXPECT_EQ(hint_body_text(L"the start", true), L"the start\u2026");
}

TEST(EntryHintTexts, MetaLinesOfTextEntries) {
    const std::wstring app = tr(L"card.app"), page = tr(L"card.page"), url = tr(L"card.url"),
                       name = tr(L"card.name"), created = tr(L"card.created");
    HistoryEntry plain;
    plain.text = L"hello";
    EXPECT_EQ(hint_text_meta(plain, L"Notes", L"", L"01.05.2024 14:03"),
              app + L"Notes\n" + created + L"01.05.2024 14:03");

    HistoryEntry page_entry;
    page_entry.text = L"some words";
    page_entry.is_browser_page = true;
    page_entry.source_title = L"Example - Browser";
    page_entry.source_url = L"https://example.org/a";
    EXPECT_EQ(hint_text_meta(page_entry, L"Browser", L"https://example.org/a", L"t"),
              app + L"Browser\n" + page + L"Example - Browser\n" + url + L"https://example.org/a\n" + created + L"t");

    // A browser page without a title: only the address line after the application.
    page_entry.source_title.clear();
    EXPECT_EQ(hint_text_meta(page_entry, L"Browser", L"https://example.org/a", L"t"),
              app + L"Browser\n" + url + L"https://example.org/a\n" + created + L"t");

    HistoryEntry link;
    link.text = L"https://example.org/news";
    link.link_title = L"News of the day";
    EXPECT_EQ(hint_text_meta(link, L"Chat", L"https://example.org/news", L"t"),
              app + L"Chat\n" + name + L"News of the day\n" + url + L"https://example.org/news\n" + created + L"t");
}

TEST(EntryHintTexts, MetaLinesOfImageEntries) {
    const std::wstring name = tr(L"card.name"), created = tr(L"card.created");
    HistoryEntry e;
    e.is_image = true;
    e.source_app = L"mspaint.exe";
    const std::wstring plain = hint_image_meta(e, L"", L"t");
    EXPECT_EQ(plain.rfind(created + L"t"), plain.size() - created.size() - 1);
    EXPECT_EQ(plain.find(name), std::wstring::npos);
    e.custom_title = L"Holiday";
    const std::wstring titled = hint_image_meta(e, L"", L"t");
    EXPECT_EQ(titled, name + L"Holiday\n" + plain);
}

TEST(EntryHintPreviews, SecondHintOfAnEntryMakesNoPicture) {
    int made = 0;
    HintPreviewCache cache(
        [&](const std::vector<std::uint8_t>&) {
            ++made;
            return CreateBitmap(4, 4, 1, 32, nullptr);
        },
        3);
    const std::vector<std::uint8_t> bytes{1, 2, 3};
    HBITMAP first = cache.get(10, bytes);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(cache.get(10, bytes), first);
    EXPECT_EQ(made, 1);
    // Three more entries push the least recently used out.
    cache.get(11, bytes);
    cache.get(12, bytes);
    cache.get(10, bytes);   // used again: stays
    cache.get(13, bytes);   // 11 goes
    EXPECT_EQ(cache.size(), 3u);
    EXPECT_EQ(made, 4);
    cache.get(10, bytes);
    EXPECT_EQ(made, 4);
    cache.get(11, bytes);
    EXPECT_EQ(made, 5);
    // Entries no longer listed are dropped.
    cache.prune({11});
    EXPECT_EQ(cache.size(), 1u);
    // Bytes that make no picture are remembered as such.
    HintPreviewCache empty([&](const std::vector<std::uint8_t>&) -> HBITMAP { return nullptr; });
    EXPECT_EQ(empty.get(5, bytes), nullptr);
    EXPECT_EQ(empty.get(5, bytes), nullptr);
    EXPECT_EQ(empty.made_count(), 1u);
}

}  // namespace
