// The boxes' pure parts: the plural rule and count phrases, the delete
// question, the layouts, the edit font size and the colours.
#include "ui/message_boxes.h"

#include <gtest/gtest.h>

#include "core/i18n.h"
#include "core/settings.h"
#include "tests/core/temp_folder.h"

namespace {

bool same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(Plural, RuleForEveryLanguage) {
    struct Row {
        uint64_t n;
        PluralForm form;
    };
    const Row rows[] = {
        {1, PluralForm::One},    {2, PluralForm::Few},    {5, PluralForm::Many},  {11, PluralForm::Many},
        {12, PluralForm::Many},  {14, PluralForm::Many},  {21, PluralForm::One},  {22, PluralForm::Few},
        {25, PluralForm::Many},  {101, PluralForm::One},  {111, PluralForm::Many}, {112, PluralForm::Many},
        {0, PluralForm::Many},   {4, PluralForm::Few},    {1004, PluralForm::Few}, {1000011, PluralForm::Many},
    };
    for (const Row& r : rows) EXPECT_EQ(plural_form(r.n), r.form) << r.n;
}

TEST(Plural, CountPhrase) {
    EXPECT_EQ(format_count_plural(1, L"запись", L"записи", L"записей"), L"1 запись");
    EXPECT_EQ(format_count_plural(22, L"запись", L"записи", L"записей"), L"22 записи");
    EXPECT_EQ(format_count_plural(111, L"запись", L"записи", L"записей"), L"111 записей");
    EXPECT_EQ(format_count_plural(0, L"a", L"b", L"c"), L"0 c");
    EXPECT_EQ(format_count_plural(18446744073709551615ull, L"a", L"b", L"c"), L"18446744073709551615 c");
}

// A language file of our own, so the phrases are known.
class DeleteQuestion : public testing::Test {
protected:
    void SetUp() override {
        set_language(L"en");
        ASSERT_FALSE(folder_.path().empty());
        ASSERT_TRUE(test_support::write_file(folder_.file(L"en.ini"),
                                             "confirm.rec_one = rec1\n"
                                             "confirm.rec_few = rec2\n"
                                             "confirm.rec_many = rec5\n"
                                             "confirm.tpl_one = tpl1\n"
                                             "confirm.tpl_few = tpl2\n"
                                             "confirm.tpl_many = tpl5\n"
                                             "confirm.del_some = Delete %s?\n"
                                             "confirm.del_and = Delete %s and %s?\n"));
        ASSERT_TRUE(load_language(folder_.path()));
    }
    void TearDown() override { set_language(L"en"); }
    test_support::TempFolder folder_;
};

TEST_F(DeleteQuestion, EntriesTemplatesBothAndNeither) {
    EXPECT_EQ(format_delete_confirmation(3, 0), L"Delete 3 rec2?");
    EXPECT_EQ(format_delete_confirmation(1, 0), L"Delete 1 rec1?");
    EXPECT_EQ(format_delete_confirmation(0, 21), L"Delete 21 tpl1?");
    EXPECT_EQ(format_delete_confirmation(5, 2), L"Delete 5 rec5 and 2 tpl2?");
    EXPECT_EQ(format_delete_confirmation(0, 0), L"Delete 0 tpl5?") << "neither: the template phrase for 0";
}

TEST(ConfirmLayout, ShortAndTallTexts) {
    ConfirmBoxLayout l = confirm_box_layout(100, 16, true);
    EXPECT_EQ(l.client.cx, 324) << "240 + 84 for a short text";
    EXPECT_EQ(l.client.cy, 168);
    EXPECT_TRUE(same(l.icon, RECT{20, 20, 64, 64}));
    EXPECT_TRUE(same(l.text, RECT{80, 32, 320, 52})) << "centred on the icon";
    EXPECT_TRUE(same(l.ok, RECT{186, 116, 304, 148}));
    EXPECT_TRUE(same(l.cancel, RECT{60, 116, 178, 148}));
    l = confirm_box_layout(300, 40, false);
    EXPECT_EQ(l.client.cx, 384);
    EXPECT_TRUE(same(l.text, RECT{80, 20, 380, 64}));
    EXPECT_TRUE(same(l.ok, RECT{246, 140, 364, 172}));
    EXPECT_TRUE(same(l.cancel, RECT{0, 0, 0, 0}));
    // A tall text starts near the top instead of above the client area,
    // and ends above the buttons.
    l = confirm_box_layout(320, 200, true);
    EXPECT_EQ(l.text.top, 12);
    EXPECT_EQ(l.text.bottom, 216);
    EXPECT_EQ(l.ok.top, 300);
    EXPECT_EQ(l.client.cy, 352);
    EXPECT_LT(l.text.bottom, l.ok.top);
    l = confirm_box_layout(320, 80, true);
    EXPECT_EQ(l.text.top, 12) << "(40 - 80) / 2 + 20 = 0 is raised";
}

TEST(InputLayout, WidthsAndRows) {
    EXPECT_EQ(input_box_base_width(false, 999), 460);
    EXPECT_EQ(input_box_base_width(true, 250), 300);
    EXPECT_EQ(input_box_base_width(true, 520), 520);
    struct Row {
        int base;
        bool multi;
        int width, height, edit_bottom, row;
    };
    const Row rows[] = {
        {460, false, 460, 210, 118, 130}, {300, false, 300, 210, 118, 130}, {520, false, 520, 210, 118, 130},
        {460, true, 640, 430, 334, 350},  {639, true, 640, 430, 334, 350},  {640, true, 640, 430, 334, 350},
        {700, true, 700, 430, 334, 350},
    };
    for (const Row& r : rows) {
        const InputBoxLayout l = input_box_layout(r.base, r.multi);
        EXPECT_EQ(l.window.cx, r.width) << r.base << " " << r.multi;
        EXPECT_EQ(l.window.cy, r.height);
        EXPECT_TRUE(same(l.prompt, RECT{16, 10, r.width - 16, 30}));
        EXPECT_TRUE(same(l.edit, RECT{16, 44, r.width - 16, r.edit_bottom}));
        EXPECT_TRUE(same(l.ok, RECT{r.width - 220, r.row, r.width - 120, r.row + 32}));
        EXPECT_TRUE(same(l.cancel, RECT{r.width - 112, r.row, r.width - 16, r.row + 32}));
    }
}

TEST(InputLayout, EditFontSize) {
    EXPECT_EQ(input_box_font_size(nullptr), 14);
    Settings s;
    for (auto [in, out] : {std::pair{8, 10}, {10, 10}, {12, 12}, {18, 18}, {22, 18}, {-3, 10}}) {
        s.font_size = in;
        EXPECT_EQ(input_box_font_size(&s), out) << in;
    }
}

TEST(BoxColors, Table) {
    EXPECT_EQ(box_colors(false).background, 0xF3F3F3u);
    EXPECT_EQ(box_colors(true).background, 0x202020u);
    EXPECT_EQ(box_colors(false).control_background, 0xFFFFFFu);
    EXPECT_EQ(box_colors(true).control_background, 0x2B2B2Bu);
    EXPECT_EQ(box_colors(false).text, 0x141414u);
    EXPECT_EQ(box_colors(true).text, 0xF2F2F2u);
    EXPECT_EQ(box_colors(false).icon, 0xCC6600u);
    EXPECT_EQ(box_colors(true).icon, 0xFFC24Cu);
}

TEST(InputBox, RefusesBadBuffersWithoutAWindow) {
    wchar_t buffer[8] = L"keep";
    EXPECT_FALSE(input_box(nullptr, L"t", L"p", nullptr, 8, false));
    EXPECT_FALSE(input_box(nullptr, L"t", L"p", buffer, 0, false));
    EXPECT_FALSE(input_box(nullptr, L"t", L"p", buffer, -5, true));
    EXPECT_EQ(std::wstring(buffer), L"keep");
}

}  // namespace
