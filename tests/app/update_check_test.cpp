// The update check's pure parts: reading and comparing versions, the
// manifest scan, the daily rule, taking addresses apart and the results
// that the checks hand to the main window.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/update_check.h"
#include "core/i18n.h"

namespace {

// ---- versions ---------------------------------------------------------------------

struct ParseCase {
    std::string text;
    Version expected;
};

class ParseVersion : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseVersion, ReadsThreeNumbers) {
    const ParseCase& c = GetParam();
    EXPECT_EQ(parse_version_string(c.text), c.expected) << c.text;
    EXPECT_EQ(parse_version(c.text.data(), c.text.size()), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseVersion,
    testing::Values(ParseCase{"1.3.7", {1, 3, 7}}, ParseCase{"1.3.10", {1, 3, 10}}, ParseCase{"2", {2, 0, 0}},
                    ParseCase{"2.1", {2, 1, 0}}, ParseCase{"1.3.7.9", {1, 3, 7}}, ParseCase{"v2.0", {2, 0, 0}},
                    ParseCase{"version 10.20.30-beta", {10, 20, 30}}, ParseCase{"-1.2.3", {0, 0, 0}},
                    ParseCase{"v-2.0", {0, 0, 0}}, ParseCase{"2.-1", {2, 0, 0}}, ParseCase{"", {0, 0, 0}},
                    ParseCase{"abc", {0, 0, 0}}, ParseCase{"1..5", {1, 0, 0}}, ParseCase{"1.x.5", {1, 0, 0}},
                    ParseCase{"3.4.", {3, 4, 0}}, ParseCase{" 4.5.6 ", {4, 5, 6}},
                    ParseCase{"1234567.0.0", {1234567, 0, 0}},
                    ParseCase{"99999999999999999999.1.2", {9999999, 1, 2}},
                    ParseCase{"2000000000000.1", {2000000, 1, 0}}));

TEST(Version, NullInputIsZero) { EXPECT_EQ(parse_version(nullptr, 5), (Version{0, 0, 0})); }

struct NewerCase {
    Version a;
    Version b;
    bool newer;
};

class VersionNewer : public testing::TestWithParam<NewerCase> {};

TEST_P(VersionNewer, ComparesMajorMinorPatch) {
    const NewerCase& c = GetParam();
    EXPECT_EQ(c.a.is_newer_than(c.b), c.newer) << c.a.to_string() << " vs " << c.b.to_string();
}

INSTANTIATE_TEST_SUITE_P(Table, VersionNewer,
                         testing::Values(NewerCase{{1, 3, 10}, {1, 3, 7}, true}, NewerCase{{1, 3, 7}, {1, 3, 7}, false},
                                         NewerCase{{1, 3, 6}, {1, 3, 7}, false}, NewerCase{{1, 4, 0}, {1, 3, 7}, true},
                                         NewerCase{{2, 0, 0}, {1, 99, 99}, true},
                                         NewerCase{{1, 2, 99}, {1, 3, 0}, false},
                                         NewerCase{{0, 0, 0}, {1, 3, 7}, false},
                                         NewerCase{{1, 3, 7}, {1, 3, 10}, false}));

TEST(Version, ToStringIsDecimalDotted) {
    EXPECT_EQ((Version{1, 3, 10}).to_string(), L"1.3.10");
    EXPECT_EQ((Version{0, 0, 0}).to_string(), L"0.0.0");
    EXPECT_EQ(parse_version_string("v02.007.1x").to_string(), L"2.7.1");
}

TEST(Version, ProgramVersionMatchesTheBuild) {
    EXPECT_EQ(parse_version_string(kProgramVersionUtf8), (Version{1, 3, 7}));
    EXPECT_EQ(std::wstring(kUpdateUserAgent), L"Quillet/1.3.7");
}

// ---- the manifest --------------------------------------------------------------------

struct FieldCase {
    std::string text;
    std::string key;
    std::string expected;
};

class JsonStringField : public testing::TestWithParam<FieldCase> {};

TEST_P(JsonStringField, FindsTheKeysStringValue) {
    const FieldCase& c = GetParam();
    EXPECT_EQ(json_string_field(c.text, c.key), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, JsonStringField,
    testing::Values(
        FieldCase{R"({"version":"1.4.0"})", "version", "1.4.0"},
        FieldCase{"{ \"name\" : \"Quillet\" ,\r\n\t\"version\" :\n \"2.0.1\" }", "version", "2.0.1"},
        // The first occurrence is a value, not a key: the second is read.
        FieldCase{R"({"name":"version","version":"9.9.9"})", "version", "9.9.9"},
        FieldCase{R"({"version":140})", "version", ""}, FieldCase{R"({"version":null})", "version", ""},
        FieldCase{R"({"other":"x"})", "version", ""}, FieldCase{R"({"version":"1.2)", "version", ""},
        FieldCase{R"({"version")", "version", ""}, FieldCase{R"({"version"   )", "version", ""},
        FieldCase{R"({"version" "x", "version":"3.0"})", "version", "3.0"},
        FieldCase{R"("version":"5.0")", "version", "5.0"}, FieldCase{R"({"version":"a\"b\\c\/d"})", "version", "a\"b\\c/d"},
        FieldCase{R"({"version":"x\ny\rz\t"})", "version", "x\ny\rz\t"},
        FieldCase{R"({"version":"\u0031.0"})", "version", "\\u0031.0"}, FieldCase{"{\"version\":\"ab\\", "version", ""},
        FieldCase{R"({"version":"1.0"})", "", ""}, FieldCase{R"([{"version":"7.1"}])", "version", "7.1"},
        FieldCase{R"({"x":["version","y"],"version":"4.4"})", "version", "4.4"}));

// ---- the daily rule ------------------------------------------------------------------

struct DueCase {
    std::int64_t last;
    std::int64_t now;
    std::int64_t interval;
    bool due;
};

class UpdateDue : public testing::TestWithParam<DueCase> {};

TEST_P(UpdateDue, AtMostOncePerInterval) {
    const DueCase& c = GetParam();
    EXPECT_EQ(update_check_due(c.last, c.now, c.interval), c.due) << c.last << " " << c.now << " " << c.interval;
}

constexpr std::int64_t kNow = 1765000000;

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateDue,
    testing::Values(DueCase{0, kNow, 86400, true}, DueCase{-5, kNow, 86400, true},
                    DueCase{kNow - 86400, kNow, 86400, true}, DueCase{kNow - 86399, kNow, 86400, false},
                    DueCase{kNow - 1, kNow, 86400, false}, DueCase{kNow, kNow, 86400, false},
                    DueCase{kNow + 1, kNow, 86400, true},  // the clock was set back
                    DueCase{kNow - 10, kNow, 0, true}, DueCase{kNow - 10, kNow, -1, true},
                    DueCase{1, kNow, 86400, true}, DueCase{kNow - 200000, kNow, 86400, true}));

// ---- addresses ----------------------------------------------------------------------

struct UrlCase {
    std::wstring url;
    bool ok = false;
    bool secure = false;
    std::wstring host = {};
    unsigned port = 0;
    std::wstring path = {};
};

class SplitUrl : public testing::TestWithParam<UrlCase> {};

TEST_P(SplitUrl, GivesHostPortAndPath) {
    const UrlCase& c = GetParam();
    HttpTarget t;
    ASSERT_EQ(split_http_url(c.url, t), c.ok) << testing::PrintToString(c.url);
    if (!c.ok) return;
    EXPECT_EQ(t.secure, c.secure);
    EXPECT_EQ(t.host, c.host);
    EXPECT_EQ(t.port, c.port);
    EXPECT_EQ(t.path, c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitUrl,
    testing::Values(
        UrlCase{L"https://quillet.app/download/version.json", true, true, L"quillet.app", 443,
                L"/download/version.json"},
        UrlCase{L"http://quillet.app", true, false, L"quillet.app", 80, L"/"},
        UrlCase{L"http://127.0.0.1:18080/download/", true, false, L"127.0.0.1", 18080, L"/download/"},
        UrlCase{L"https://host:8443?x=1", true, true, L"host", 8443, L"?x=1"},
        UrlCase{L"http://[::1]:9000/a", true, false, L"[::1]", 9000, L"/a"},
        UrlCase{L"http://[::1]/a", true, false, L"[::1]", 80, L"/a"}, UrlCase{L"ftp://host/file", false},
        UrlCase{L"HTTP://host/", false}, UrlCase{L"https://", false}, UrlCase{L"http:///path", false},
        UrlCase{L"http://host:/x", false}, UrlCase{L"http://host:0/x", false}, UrlCase{L"http://host:65536/", false},
        UrlCase{L"http://host:80a/", false}, UrlCase{L"http://:80/", false}, UrlCase{L"quillet.app/x", false}));

// ---- results -----------------------------------------------------------------------------

class CheckResults : public testing::Test {
protected:
    void SetUp() override { set_language(L"en"); }
};

TEST_F(CheckResults, AutomaticCheckAnnouncesOnlyANewerVersion) {
    UpdateResult r = automatic_check_result("1.3.10");
    EXPECT_TRUE(r.newer);
    EXPECT_EQ(r.text, L"1.3.10");
    r = automatic_check_result("v2.0");
    EXPECT_TRUE(r.newer);
    EXPECT_EQ(r.text, L"2.0.0") << "the version is given normalised";
    for (const char* same : {"1.3.7", "1.3.7.1", "1.3.6", "-2.0", "", "garbage"}) {
        r = automatic_check_result(same);
        EXPECT_FALSE(r.newer) << same;
        EXPECT_EQ(r.text, L"") << same;
    }
}

TEST_F(CheckResults, ManualCheckTellsEachOutcome) {
    UpdateResult r = manual_check_result("2.0");
    EXPECT_TRUE(r.newer);
    EXPECT_EQ(r.text, L"Quillet 2.0.0 is available. Open the download page?");
    r = manual_check_result("1.3.7");
    EXPECT_FALSE(r.newer);
    EXPECT_EQ(r.text, L"You have the latest version (1.3.7).");
    r = manual_check_result("1.0.0");
    EXPECT_FALSE(r.newer);
    EXPECT_EQ(r.text, L"You have the latest version (1.3.7).");
    r = manual_check_result("");
    EXPECT_FALSE(r.newer);
    EXPECT_EQ(r.text, L"The update check failed. Check your connection and try again later.");
    set_language(L"de");
    EXPECT_EQ(manual_check_result("").text, tr(L"update.failed"));
    EXPECT_NE(manual_check_result("").text.find(L"fehlgeschlagen"), std::wstring::npos);
}

}  // namespace
