// The incremental search of the cards list: whatever the user types, in
// whatever order, and whenever the texts arrive, the entries it matches
// are exactly those a lower-cased substring test of the whole texts finds;
// a longer search that contains the last one looks only at the last
// matches and the texts read since; the templates' texts are made once per
// list.
#include "ui/list_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"

namespace {

// The list's texts as the model holds them: folded once read, nothing before.
struct Texts {
    std::vector<std::wstring> whole;
    std::vector<std::optional<std::string>> folded;
    std::vector<std::size_t> looked_at;  // the indexes the last search tested

    explicit Texts(std::vector<std::wstring> texts) : whole(std::move(texts)), folded(whole.size()) {}
    void read(std::size_t i) { folded[i] = fold_for_search(whole[i]); }
    std::vector<std::uint32_t> search(IncrementalSearch& s) {
        looked_at.clear();
        return s.match_entries(whole.size(), [this](std::size_t i) -> std::string_view {
            looked_at.push_back(i);
            return folded[i] ? std::string_view(*folded[i]) : std::string_view();
        });
    }
    // What a plain scan of the texts read finds.
    std::vector<std::uint32_t> scan(const std::wstring& typed) const {
        std::vector<std::uint32_t> out;
        const std::wstring lower = to_lower(typed);
        for (std::size_t i = 0; i < whole.size(); ++i)
            if (folded[i] && to_lower(whole[i]).find(lower) != std::wstring::npos)
                out.push_back(static_cast<std::uint32_t>(i));
        return out;
    }
};

const std::vector<std::wstring> kTexts = {
    L"Apple pie",          L"banana BREAD",    L"pear and apple tart", L"Cherry jam",
    L"APPLE crumble",      L"\u00C4pfel und Birnen", L"\u00E4pfel im Schlafrock", L"a plain line",
    L"\U0001F34E red apple emoji", L"",
};

// One step of a session: text typed into the box, or a text read.
struct Step {
    std::wstring typed;       // the box's text after the step
    int arrives = -1;         // >= 0: that entry's text is read first
    bool rows_changed = false;  // the list changed as a whole first
};

TEST(IncrementalSearch, MatchesWhatAPlainScanFindsInEverySession) {
    struct Session {
        const char* name;
        std::vector<int> read_at_start;  // -1: every text
        std::vector<Step> steps;
    } sessions[] = {
        {"typed letter by letter", {-1}, {{L"a"}, {L"ap"}, {L"app"}, {L"appl"}, {L"apple"}}},
        {"narrowed, then widened again", {-1}, {{L"apple"}, {L"appl"}, {L"ap"}, {L"apple "}, {L"apple t"}}},
        {"another word, not containing the last", {-1}, {{L"jam"}, {L"bread"}, {L"read"}, {L"pie"}}},
        {"upper case typed", {-1}, {{L"APP"}, {L"App"}, {L"\u00C4PFEL"}}},
        {"emoji and accented letters", {-1}, {{L"\U0001F34E"}, {L"\U0001F34E red"}, {L"\u00E4"}, {L"\u00E4pfel"}}},
        {"cleared and typed again", {-1}, {{L"pear"}, {L""}, {L"pea"}, {L"pear"}}},
        {"texts arriving while narrowing",
         {0, 1},
         {{L"a"}, {L"ap", 2}, {L"app", 4}, {L"appl", 8}, {L"apple", 3}, {L"apple", 7}}},
        {"a text arriving while the box is empty", {0}, {{L"apple"}, {L"", 2}, {L"apple"}, {L"apple t", 4}}},
        {"rows changed between two narrowing steps", {-1}, {{L"ap"}, {L"app", -1, true}, {L"apple"}}},
        {"nothing matches, then less is typed", {-1}, {{L"apples"}, {L"applesauce"}, {L"apple"}}},
    };
    for (const Session& session : sessions) {
        SCOPED_TRACE(session.name);
        Texts texts(kTexts);
        for (int i : session.read_at_start)
            if (i < 0)
                for (std::size_t k = 0; k < kTexts.size(); ++k) texts.read(k);
            else
                texts.read(static_cast<std::size_t>(i));
        IncrementalSearch search;
        for (const Step& step : session.steps) {
            SCOPED_TRACE(to_utf8(step.typed));
            if (step.arrives >= 0) {
                texts.read(static_cast<std::size_t>(step.arrives));
                search.text_arrived(static_cast<std::uint32_t>(step.arrives));
            }
            if (step.rows_changed) search.forget_matches();
            search.set_text(step.typed);
            EXPECT_EQ(search.empty(), step.typed.empty());
            EXPECT_EQ(search.lowered(), to_lower(step.typed));
            const std::vector<std::uint32_t> found = texts.search(search);
            if (step.typed.empty()) {
                EXPECT_EQ(found.size(), kTexts.size()) << "no search: every entry";
            } else {
                EXPECT_EQ(found, texts.scan(step.typed));
            }
        }
    }
}

// A search that contains the last one tests only the last matches and the
// texts read since; one that does not, or one after the rows changed, tests
// every text.
TEST(IncrementalSearch, ANarrowerSearchLooksOnlyAtTheLastMatchesAndTheTextsReadSince) {
    Texts texts(kTexts);
    for (std::size_t i = 0; i < kTexts.size(); ++i)
        if (i != 7) texts.read(i);
    IncrementalSearch search;
    search.set_text(L"ap");
    const std::vector<std::uint32_t> ap = texts.search(search);
    EXPECT_EQ(texts.looked_at.size(), kTexts.size()) << "the first search tests every text";

    search.set_text(L"app");
    texts.search(search);
    EXPECT_EQ(texts.looked_at, std::vector<std::size_t>(ap.begin(), ap.end())) << "only the last matches";

    texts.read(7);
    search.text_arrived(7);
    search.set_text(L"appl");
    const std::vector<std::uint32_t> appl = texts.search(search);
    std::vector<std::size_t> expected;
    for (std::uint32_t i : texts.scan(L"app")) expected.push_back(i);
    expected.push_back(7);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(texts.looked_at, expected) << "the last matches and the text read since, in order";
    EXPECT_EQ(appl, texts.scan(L"appl"));

    search.set_text(L"pie");
    texts.search(search);
    EXPECT_EQ(texts.looked_at.size(), kTexts.size()) << "not contained in the last search";

    search.set_text(L"pie ");
    search.forget_matches();
    texts.search(search);
    EXPECT_EQ(texts.looked_at.size(), kTexts.size()) << "the rows changed";
}

TEST(IncrementalSearch, TemplatesMatchTheirTitleBodyAndGroupAndAreLoweredOncePerList) {
    std::vector<Snippet> templates(3);
    templates[0].title = L"Greeting";
    templates[0].text = L"Hello World";
    templates[0].grp = L"Mail";
    templates[1].title = L"Signature";
    templates[1].text = L"Best regards";
    templates[2].title = L"Address";
    templates[2].text = L"Main Street 1";
    templates[2].grp = L"Office";
    struct Case {
        const wchar_t* typed;
        std::vector<bool> match;
    } cases[] = {
        {L"", {true, true, true}},
        {L"greet", {true, false, false}},
        {L"WORLD", {true, false, false}},
        {L"ma", {true, false, true}},            // the group Mail, the body Main
        {L"greeting hello", {true, false, false}},  // title, blank, body
        {L"regards office", {false, false, false}},
        {L"office", {false, false, true}},
        {L"absent", {false, false, false}},
    };
    IncrementalSearch search;
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.typed));
        search.set_text(c.typed);
        for (std::size_t i = 0; i < templates.size(); ++i) {
            EXPECT_EQ(search.template_matches(templates, i), c.match[i]) << i;
            EXPECT_EQ(template_matches_search(to_lower(c.typed), templates[i]), c.match[i]) << i;
        }
    }
    // Another list of templates: its texts are lowered again once told.
    templates[1].text = L"Kind regards from the office";
    search.set_text(L"office");
    EXPECT_FALSE(search.template_matches(templates, 1)) << "the texts of the list as it was";
    search.forget_templates();
    EXPECT_TRUE(search.template_matches(templates, 1));
    EXPECT_FALSE(search.template_matches(templates, 7)) << "an index past the list";
    search.release();
    EXPECT_EQ(search.lowered(), L"office") << "the text stays";
    EXPECT_TRUE(search.template_matches(templates, 1));
}

}  // namespace
