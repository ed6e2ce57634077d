// Which help page is opened: the local page of the language, the English
// one, or the online documentation; the language code it is chosen by; and
// whether the shell has a program for a file's type (the test prefix opens
// ".txt" in Notepad, as Windows does).
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/app.h"
#include "app/help.h"
#include "core/settings.h"
#include "core/text.h"

namespace {

std::set<std::wstring> g_files;
bool in_files(const std::wstring& path) { return g_files.count(path) != 0; }

const std::wstring kFolder = L"C:\\Quillet\\";
const std::wstring kBase = L"http://docs.test:8080";

struct HelpCase {
    std::wstring code;
    std::set<std::wstring> files;
    bool local;
    std::wstring target;
};

class HelpPage : public testing::TestWithParam<HelpCase> {};

TEST_P(HelpPage, PicksLocalThenOnline) {
    const HelpCase& c = GetParam();
    g_files = c.files;
    const HelpTarget t = help_target(kFolder, c.code, kBase, in_files);
    EXPECT_EQ(t.local, c.local);
    EXPECT_EQ(t.target, c.target);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HelpPage,
    testing::Values(
        // Russian has the plain index page.
        HelpCase{L"ru", {L"C:\\Quillet\\help\\index.html"}, true, L"C:\\Quillet\\help\\index.html"},
        HelpCase{L"de", {L"C:\\Quillet\\help\\index.de.html", L"C:\\Quillet\\help\\index.en.html"}, true,
                 L"C:\\Quillet\\help\\index.de.html"},
        // A missing page of the language falls back to the English page.
        HelpCase{L"de", {L"C:\\Quillet\\help\\index.en.html"}, true, L"C:\\Quillet\\help\\index.en.html"},
        HelpCase{L"ru", {L"C:\\Quillet\\help\\index.en.html"}, true, L"C:\\Quillet\\help\\index.en.html"},
        // No local page: the online documentation.
        HelpCase{L"de", {}, false, L"http://docs.test:8080/docs/index.de.html"},
        HelpCase{L"ru", {}, false, L"http://docs.test:8080/docs/"},
        HelpCase{L"en", {}, false, L"http://docs.test:8080/docs/index.en.html"},
        HelpCase{L"pt", {}, false, L"http://docs.test:8080/docs/index.pt.html"},
        HelpCase{L"nl", {}, false, L"http://docs.test:8080/docs/index.en.html"},
        HelpCase{L"nl", {L"C:\\Quillet\\help\\index.nl.html"}, true, L"C:\\Quillet\\help\\index.nl.html"}));

TEST(HelpPage, WithoutAFolderThePathsAreRelative) {
    g_files = {L"help\\index.en.html"};
    const HelpTarget t = help_target(L"", L"fr", kBase, in_files);
    EXPECT_TRUE(t.local);
    EXPECT_EQ(t.target, L"help\\index.en.html");
}

TEST(HelpPage, OnlineAddresses) {
    EXPECT_EQ(online_help_address(L"https://x.test", L"it"), L"https://x.test/docs/index.it.html");
    EXPECT_EQ(online_help_address(L"https://x.test", L"pl"), L"https://x.test/docs/index.pl.html");
    EXPECT_EQ(online_help_address(L"https://x.test", L"es"), L"https://x.test/docs/index.es.html");
    EXPECT_EQ(online_help_address(L"https://x.test", L"fr"), L"https://x.test/docs/index.fr.html");
    EXPECT_EQ(online_help_address(L"https://x.test", L"zh"), L"https://x.test/docs/index.en.html");
}

TEST(HelpOpenCommand, KnownForTypesWithAProgramOnly) {
    const struct {
        const wchar_t* file;
        bool known;
    } cases[] = {
        {L"C:\\Quillet\\license.txt", true},
        {L"C:\\Quillet\\LICENSE.TXT", true},
        {L"C:\\Quillet\\notes.quillet-test-no-type", false},
        {L"C:\\Quillet\\LICENSE", false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(has_open_command(c.file), c.known) << to_utf8(c.file);
}

TEST(HelpLanguage, FromTheSettingsElseEnglish) {
    App* saved = g_app;
    g_app = nullptr;
    EXPECT_EQ(help_language_code(), L"en");
    App app;
    g_app = &app;
    EXPECT_EQ(help_language_code(), L"en") << "no settings yet";
    app.settings = std::make_unique<Settings>();
    app.settings->language = L"de";
    EXPECT_EQ(help_language_code(), L"de");
    app.settings->language = L"";
    EXPECT_EQ(help_language_code(), L"en");
    app.settings->language = L"..\\..\\x";
    EXPECT_EQ(help_language_code(), L"en") << "never a path";
    app.settings.reset();
    g_app = saved;
}

}  // namespace
