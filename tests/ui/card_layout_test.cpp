// The numbers of the card drawing without a window: calendar days, the
// meta line, row heights and the rectangles of every row kind.
#include <gtest/gtest.h>

#include "core/i18n.h"
#include "core/winutil.h"
#include "tests/core/temp_folder.h"
#include "ui/card_draw.h"
#include "ui/list_model.h"

namespace {

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string str(const RECT& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "}";
}

#define EXPECT_RECT(actual, l, t, r, b) EXPECT_TRUE((actual) == (RECT{l, t, r, b})) << #actual << " = " << str(actual)

// Texts of the time keys that show their arguments, independent of the
// shipped translations.
class CardMeta : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test_support::TempFolder();
        test_support::write_file(dir_->file(L"xm.ini"),
                                 "time.today = T %02d:%02d\ntime.yesterday = Y %02d:%02d\ncard.screenshot = Shot %s\n");
        set_language(L"xm");
        load_language(dir_->path() + L"\\");
    }
    static void TearDownTestSuite() {
        set_language(L"en");
        delete dir_;
    }
    static test_support::TempFolder* dir_;
};
test_support::TempFolder* CardMeta::dir_ = nullptr;

// --- calendar days ---------------------------------------------------------------------------

TEST(CalendarDays, RealDaysAcrossMonthAndYearEnds) {
    struct Case {
        CivilDate from, to;
        std::int64_t days;
    } cases[] = {
        {{2024, 5, 10}, {2024, 5, 10}, 0},
        {{2024, 5, 9}, {2024, 5, 10}, 1},
        {{2024, 5, 31}, {2024, 6, 1}, 1},     // the 31st seen on the 1st
        {{2023, 2, 28}, {2023, 3, 1}, 1},     // February of a common year
        {{2024, 2, 28}, {2024, 3, 1}, 2},     // ... and of a leap year
        {{2024, 2, 29}, {2024, 3, 1}, 1},
        {{2023, 12, 31}, {2024, 1, 1}, 1},    // the year end
        {{2024, 1, 1}, {2023, 12, 31}, -1},   // from the future
        {{2023, 1, 1}, {2024, 1, 1}, 365},
        {{2024, 1, 1}, {2025, 1, 1}, 366},
        {{1970, 1, 1}, {1970, 1, 1}, 0},
    };
    for (const Case& c : cases) {
        auto d = calendar_day_difference(c.from, c.to);
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(*d, c.days) << c.from.year << "-" << c.from.month << "-" << c.from.day;
    }
    EXPECT_EQ(days_from_civil(1970, 1, 1), 0);
    EXPECT_EQ(days_from_civil(2000, 3, 1), 11017);
    EXPECT_FALSE(calendar_day_difference({2024, 13, 1}, {2024, 1, 1}).has_value());
    EXPECT_FALSE(calendar_day_difference({2023, 2, 29}, {2023, 3, 1}).has_value());
    EXPECT_FALSE(calendar_day_difference({2024, 1, 0}, {2024, 1, 1}).has_value());
}

// --- meta line -----------------------------------------------------------------------------------

TEST_F(CardMeta, TimeParts) {
    CardMetaInput in;
    in.today = {2024, 6, 1};
    struct Case {
        const wchar_t* created;
        const wchar_t* meta;
    } cases[] = {
        {L"2024-06-01T09:05:00", L"T 09:05"},
        {L"2024-05-31T23:59:00", L"Y 23:59"},   // the day before, another month
        {L"2024-05-30T08:00:00", L"30.05 08:00"},
        {L"2024-06-02T08:00:00", L"02.06 08:00"},
        {L"0-06-01T08:00:00", L""},             // year 0: no time
        {L"2024-06", L""},                      // cut short: no time
        {L"2024-02-30T10:00:00", L"30.02 10:00"},  // not a real day: the date itself
    };
    for (const Case& c : cases) {
        in.created_at = c.created;
        EXPECT_EQ(format_card_meta(in), c.meta) << c.created;
    }
    in.today = {2024, 5, 12};
    in.created_at = L"2024-05-11T23:59:00";
    EXPECT_EQ(format_card_meta(in), L"Y 23:59");
}

TEST_F(CardMeta, SlotsCategoryAndTimeTogether) {
    const std::wstring work = L"Work";
    CardMetaInput in;
    in.today = {2024, 6, 1};
    in.created_at = L"2024-06-01T10:30:00";
    in.category_name = &work;

    in.view_kind = kViewAll;
    EXPECT_EQ(format_card_meta(in), L"[Work] T 10:30");
    in.show_category = false;
    EXPECT_EQ(format_card_meta(in), L"T 10:30");
    in.show_category = true;
    in.show_time = false;
    EXPECT_EQ(format_card_meta(in), L"[Work]");

    // Only the "all" view names the category.
    in.view_kind = kViewPinned;
    EXPECT_EQ(format_card_meta(in), L"");

    // The slots view shows the hotkey of the first nine, time or not.
    in.view_kind = kViewSlots;
    in.position = 3;
    EXPECT_EQ(format_card_meta(in), L"Ctrl+Shift+3");
    in.show_time = true;
    EXPECT_EQ(format_card_meta(in), L"Ctrl+Shift+3  T 10:30");
    in.position = 10;
    EXPECT_EQ(format_card_meta(in), L"T 10:30");
    in.position = 9;
    in.show_time = false;
    EXPECT_EQ(format_card_meta(in), L"Ctrl+Shift+9");
}

TEST_F(CardMeta, FromTheModel) {
    ListModel m;
    HistoryEntry a;
    a.id = 7;
    a.text = L"a";
    a.created_at = L"2024-06-01T10:30:00";
    a.category_id = 3;
    HistoryEntry b = a;
    b.id = 8;
    b.category_id = 99;  // name unknown
    m.set_history(ListView{false, kViewAll, -1, L""}, L"", {a, b}, {}, ListLabels{});
    Category c;
    c.id = 3;
    c.name = L"Work";
    m.set_categories({c});
    CardOptions o;
    o.today = {2024, 6, 1};
    EXPECT_EQ(format_card_meta(m, 7, o), L"[Work] T 10:30");
    EXPECT_EQ(format_card_meta(m, 8, o), L"T 10:30");
    EXPECT_EQ(format_card_meta(m, 9, o), L"");
    m.set_history(ListView{false, kViewSlots, -1, L""}, L"", {a, b}, {}, ListLabels{});
    o.show_time = false;
    EXPECT_EQ(format_card_meta(m, 8, o), L"Ctrl+Shift+2");
}

TEST_F(CardMeta, DisplayNameOfImages) {
    HistoryEntry e;
    e.is_image = true;
    e.created_at = L"2024-05-01T14:03:00";
    EXPECT_EQ(entry_display_name(e), L"Shot 01.05.2024 14:03");
    e.source_app = L"notepad.exe";
    EXPECT_EQ(entry_display_name(e), L"Shot 01.05.2024 14:03");  // no page, no source title
    e.source_title = L"Doc";
    EXPECT_EQ(entry_display_name(e), card_info_text(L"notepad.exe", false, L"Doc", L""));
    e.source_app = L"chrome.exe";
    e.is_browser_page = true;
    e.source_url = L"https://example.org/";
    EXPECT_EQ(entry_display_name(e), card_info_text(L"chrome.exe", true, L"Doc", L"https://example.org/"));
    EXPECT_NE(entry_display_name(e).find(L"Doc"), std::wstring::npos);
    e.custom_title = L"Mine";
    EXPECT_EQ(entry_display_name(e), L"Mine");
}

// --- heights and rectangles ----------------------------------------------------------------------

TEST(CardLayout, RowHeights) {
    struct Case {
        const wchar_t* text;
        bool image;
        int height;
    } cases[] = {
        {L"GRP\tWork", false, 28}, {L"GRP\tWork", true, 28}, {L"     img", true, 66},
        {L"title\nbody", false, 66}, {L"     plain", false, 30}, {L"", false, 30},
    };
    for (const Case& c : cases) EXPECT_EQ(card_row_height(c.text, c.image), c.height) << c.text;
    ListModel m;
    EXPECT_EQ(card_row_height(&m, 0), 30);
    EXPECT_EQ(card_row_height(nullptr, 0), 30);
    EXPECT_EQ(card_row_height(&m, -1), 30);
}

TEST(CardLayout, Rectangles) {
    const RECT row{0, 100, 400, 166};
    EXPECT_RECT(card_shape_rect(row), 2, 102, 398, 164);

    const RECT header{0, 0, 400, 28};
    HeaderLayout h = group_header_layout(header);
    EXPECT_RECT(h.arrow, 10, 0, 26, 28);
    EXPECT_RECT(h.name, 30, 0, 340, 28);
    EXPECT_RECT(h.count, 344, 0, 392, 28);

    TemplateLayout grouped = template_card_layout(row, true);
    TemplateLayout loose = template_card_layout(row, false);
    EXPECT_RECT(grouped.title, 28, 103, 392, 123);
    EXPECT_RECT(grouped.body, 29, 122, 392, 163);
    EXPECT_EQ(grouped.title.left - loose.title.left, 14);
    EXPECT_EQ(grouped.body.left - loose.body.left, 14);

    ImageCardLayout img = image_card_layout(row);
    EXPECT_RECT(img.frame, 8, 111, 52, 155);
    EXPECT_RECT(img.inside, 9, 112, 51, 154);
    EXPECT_RECT(img.line1, 62, 104, 392, 122);
    EXPECT_RECT(img.line2, 62, 124, 392, 150);
    EXPECT_RECT(img.meta, 0, 148, 392, 163);

    EXPECT_RECT(thumbnail_rect(img.inside, 42, 42), 9, 112, 51, 154);
    EXPECT_RECT(thumbnail_rect(img.inside, 42, 21), 9, 122, 51, 143);
    EXPECT_RECT(thumbnail_rect(img.inside, 10, 80), 25, 112, 35, 154);

    const RECT text_row{0, 0, 400, 30};
    TextCardLayout t = text_card_layout(text_row, 50);
    EXPECT_RECT(t.text, 12, 0, 334, 30);
    EXPECT_RECT(t.meta, 334, 0, 392, 30);
    t = text_card_layout(text_row, -1);
    EXPECT_RECT(t.text, 12, 0, 392, 30);
    EXPECT_RECT(t.meta, 0, 0, 0, 0);

    SideRowLayout s = side_row_layout(RECT{0, 28, 130, 56}, false);
    EXPECT_RECT(s.highlight, 2, 30, 128, 54);
    EXPECT_RECT(s.icon, 6, 28, 24, 56);
    EXPECT_RECT(s.label, 24, 28, 126, 56);
    EXPECT_EQ(side_row_layout(RECT{0, 28, 130, 56}, true).label.left, 36);
}

TEST(CardLayout, ColoursOfBothThemes) {
    const CardColors& l = card_colors(false);
    const CardColors& d = card_colors(true);
    EXPECT_EQ(l.card_fill, 0xF0F0F0u);
    EXPECT_EQ(d.card_fill, 0x2C2A2Au);
    EXPECT_EQ(l.card_selected, 0xCC6600u);
    EXPECT_EQ(d.card_selected, 0xD06B0Au);
    EXPECT_EQ(l.secondary_text, 0x606060u);
    EXPECT_EQ(d.secondary_text, 0xC7C7C7u);
    EXPECT_EQ(l.thumbnail_frame, 0xD5D5D5u);
    EXPECT_EQ(d.thumbnail_empty, 0x272727u);
    EXPECT_EQ(l.row_background, 0xFFFFFFu);
    EXPECT_EQ(d.side_background, 0x272727u);
}

}  // namespace
