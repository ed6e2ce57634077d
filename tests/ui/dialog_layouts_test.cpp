// The layouts of the about and information windows as pure arithmetic, and
// the choices of addresses and licence files the about window makes.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/web_addresses.h"
#include "ui/dialogs/about_window.h"
#include "ui/dialogs/info_window.h"

namespace {

bool same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string show(const RECT& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "}";
}

#define EXPECT_RECT(actual, ...) EXPECT_PRED2(same, actual, (RECT{__VA_ARGS__})) << show(actual)

// ---- about --------------------------------------------------------------------------

struct AboutCase {
    int width;
    AboutMeasures m;
};

class AboutLayoutTable : public testing::TestWithParam<AboutCase> {};

TEST_P(AboutLayoutTable, StacksTheTextsAndPutsCloseBelowTheLinks) {
    const AboutCase& c = GetParam();
    const AboutMeasures& m = c.m;
    const int w = c.width;
    const AboutLayout l = about_layout(w, m);
    const int h1 = m.title, h2 = m.version, h3 = m.description, h4 = m.consent, h5 = m.licence, h6 = m.site;
    const int t = h1 + h2 + h3 + h4;
    EXPECT_RECT(l.title, 24, 20, w - 24, h1 + 20);
    EXPECT_RECT(l.version, 24, h1 + 22, w - 24, h1 + h2 + 22);
    EXPECT_RECT(l.description, 24, h1 + h2 + 36, w - 24, h1 + h2 + h3 + 36);
    EXPECT_RECT(l.consent, 24, h1 + h2 + h3 + 46, w - 24, h1 + h2 + h3 + 46 + h4);
    EXPECT_RECT(l.licence_link, 24, t + 62, 24 + m.licence_width, t + h5 + 66);
    EXPECT_RECT(l.site_link, 24, t + h5 + 68, 24 + m.site_width, t + h5 + 68 + h6 + 4);
    EXPECT_RECT(l.close_button, w - 134, l.site_link.top + h6 + 28, w - 24, l.site_link.top + h6 + 64);
    EXPECT_EQ(l.total_height, l.site_link.top + h6 + 88);
    // Nothing overlaps from top to bottom.
    EXPECT_LE(l.title.bottom, l.version.top);
    EXPECT_LE(l.version.bottom, l.description.top);
    EXPECT_LE(l.description.bottom, l.consent.top);
    EXPECT_LE(l.consent.bottom, l.licence_link.top);
    EXPECT_LE(l.licence_link.bottom, l.site_link.top);
    EXPECT_LE(l.site_link.bottom, l.close_button.top);
    EXPECT_LT(l.close_button.bottom, l.total_height);
}

INSTANTIATE_TEST_SUITE_P(Table, AboutLayoutTable,
                         testing::Values(AboutCase{600, {24, 15, 32, 30, 16, 16, 50, 80}},
                                         AboutCase{600, {24, 15, 160, 45, 16, 16, 50, 80}},  // a long description
                                         AboutCase{800, {30, 18, 20, 18, 20, 20, 70, 120}},
                                         AboutCase{600, {0, 0, 0, 0, 0, 0, 0, 0}}));

TEST(AboutLayout, ALongerDescriptionMakesTheWindowTallerByAsMuch) {
    AboutMeasures short_text{24, 15, 32, 30, 16, 16, 50, 80};
    AboutMeasures long_text = short_text;
    long_text.description = 32 * 5;
    const AboutLayout a = about_layout(600, short_text), b = about_layout(600, long_text);
    EXPECT_EQ(b.total_height - a.total_height, 128);
    EXPECT_EQ(b.close_button.top - b.site_link.top - 16, 28) << "Close stays 28 below the site link";
    EXPECT_EQ(a.total_height, 24 + 15 + 32 + 30 + 16 + 68 + 16 + 88);
}

TEST(AboutAddresses, SiteAndTermsFollowTheLanguage) {
    EXPECT_EQ(about_site_address(L"ru"), kSiteStartRu);
    EXPECT_EQ(about_site_address(L""), kSiteStartRu);
    EXPECT_EQ(about_site_address(L"en"), kSiteStartEn);
    EXPECT_EQ(about_site_address(L"de"), kSiteStartEn);
    EXPECT_EQ(terms_page_address(L"ru"), kTermsPageRu);
    EXPECT_EQ(terms_page_address(L""), kTermsPageEn);
    EXPECT_EQ(terms_page_address(L"pl"), kTermsPageEn);
    EXPECT_NE(std::wstring(kSiteStartRu), std::wstring(kSiteStartEn));
    EXPECT_NE(std::wstring(kTermsPageRu), std::wstring(kTermsPageEn));
}

// ---- the licence file ------------------------------------------------------------------

std::set<std::wstring> g_files;
bool in_files(const std::wstring& path) { return g_files.count(path) != 0; }

struct LicenceCase {
    std::wstring folder;
    std::set<std::wstring> files;
    std::wstring expected;
};

class LicenceFile : public testing::TestWithParam<LicenceCase> {};

TEST_P(LicenceFile, LowerCaseNameFirst) {
    g_files = GetParam().files;
    EXPECT_EQ(find_license_file(GetParam().folder, in_files), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LicenceFile,
    testing::Values(LicenceCase{L"C:\\Apps\\Quillet", {L"C:\\Apps\\Quillet\\license.txt", L"C:\\Apps\\Quillet\\LICENSE.txt"},
                                L"C:\\Apps\\Quillet\\license.txt"},
                    LicenceCase{L"C:\\Apps\\Quillet", {L"C:\\Apps\\Quillet\\LICENSE.txt"}, L"C:\\Apps\\Quillet\\LICENSE.txt"},
                    LicenceCase{L"C:\\Apps\\Quillet", {L"C:\\Other\\license.txt"}, L""},
                    LicenceCase{L"", {L"LICENSE.txt"}, L"LICENSE.txt"}, LicenceCase{L"", {}, L""}));

// ---- the information window ---------------------------------------------------------------

TEST(InfoLayout, DescriptionColumnFollowsTheWidestKey) {
    EXPECT_EQ(info_description_left(0), 24);
    EXPECT_EQ(info_description_left(100), 144);
    EXPECT_EQ(info_description_width(600, 0), 552);
    EXPECT_EQ(info_description_width(600, 100), 432);
    EXPECT_EQ(info_description_width(600, 560), 40) << "never narrower than 40";
}

struct InfoCase {
    int width;
    InfoMeasures m;
};

class InfoLayoutTable : public testing::TestWithParam<InfoCase> {};

TEST_P(InfoLayoutTable, RowsThenButtons) {
    const InfoCase& c = GetParam();
    const int w = c.width;
    const InfoMeasures& m = c.m;
    const InfoLayout l = info_layout(w, m);
    EXPECT_RECT(l.title, 24, 20, w - 24, m.title_height + 20);
    ASSERT_EQ(l.keys.size(), m.key_heights.size());
    ASSERT_EQ(l.descriptions.size(), m.key_heights.size());
    const int k = m.key_width;
    const int x = k > 0 ? k + 44 : 24;
    const int dw = std::max(40, w - 24 - x);
    int y = m.title_height + 36;
    for (size_t i = 0; i < l.keys.size(); ++i) {
        const int h = std::max(k > 0 ? m.key_heights[i] : 0, m.description_heights[i]);
        EXPECT_RECT(l.keys[i], 24, y, k + 24, y + h);
        EXPECT_RECT(l.descriptions[i], x, y, x + dw, y + h);
        // The key cell ends before the description column starts.
        EXPECT_LE(l.keys[i].right, l.descriptions[i].left);
        if (i > 0) {
            EXPECT_EQ(l.keys[i].top, l.keys[i - 1].bottom + 12);
        }
        y += h + 12;
    }
    EXPECT_RECT(l.close_button, w - 124, y + 12, w - 24, y + 48);
    EXPECT_RECT(l.second_button, w - 282, y + 12, w - 132, y + 48);
    EXPECT_LT(l.second_button.right, l.close_button.left);
    EXPECT_EQ(l.total_height, y + 72);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InfoLayoutTable,
    testing::Values(InfoCase{600, {32, 120, {18, 18, 18}, {16, 48, 16}}},
                    InfoCase{600, {32, 0, {0}, {64}}},            // one row without a key (update result)
                    InfoCase{600, {32, 80, {18, 0}, {16, 32}}},   // a row whose key is empty
                    InfoCase{600, {32, 70, {24}, {10}}},          // a key taller than its text
                    InfoCase{600, {25, 0, {}, {}}}, InfoCase{900, {40, 600, {20, 20}, {200, 30}}}));

TEST(InfoLayout, EmptyWindowKeepsTheButtons) {
    const InfoLayout l = info_layout(600, InfoMeasures{32, 0, {}, {}});
    EXPECT_EQ(l.close_button.top, 32 + 36 + 12);
    EXPECT_EQ(l.total_height, 32 + 36 + 72);
}

}  // namespace
