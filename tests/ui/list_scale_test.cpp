// The list over long texts: the folded form the search scans finds exactly
// what a lower-cased substring test of the whole text finds; on a store of
// long texts the search finds the same rows as a plain scan of the whole
// texts (matches far past the start a row holds included); a listed entry
// holds only the start of a long text and the store gives the whole; a
// list read again keeps the texts the store did not write and reads again
// those it did.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/scale_store.h"
#include "core/settings.h"
#include "core/text.h"
#include "store/database.h"
#include "tests/core/temp_folder.h"
#include "ui/list_model.h"

namespace {

bool plain_contains(const std::wstring& text, const std::wstring& search) {
    return to_lower(text).find(to_lower(search)) != std::wstring::npos;
}

bool folded(const std::wstring& text, const std::wstring& search) {
    return folded_contains(fold_for_search(text), fold_for_search(to_lower(search)));
}

TEST(FoldedSearch, CasesOfEveryWidthAndPlace) {
    struct Case {
        const wchar_t* text;
        const wchar_t* search;
    };
    const std::wstring nul_text(L"ab\0cd", 5);
    const Case cases[] = {
        {L"Hello World", L"WORLD"},
        {L"Hello World", L"worlds"},
        {L"STRASSE Stra\u00DFe", L"STRA\u00DFE"},
        {L"\u00C9COLE", L"\u00E9cole"},
        {L"\u03A9mega", L"\u03C9MEGA"},
        {L"\u0416\u0443\u043A", L"\u0436\u0423\u041A"},
        {L"emoji \U0001F600 here", L"\U0001F600 H"},
        {L"emoji \U0001F600 here", L"\xD83D"},          // a high surrogate alone
        {L"emoji \U0001F600 here", L"\xDE00 here"},     // a low surrogate alone
        {L"lone \xD800 unit", L"\xD800 U"},
        {L"lone \xD800 unit", L"\xDC00"},
        {L"x", L"xx"},
        {L"", L"a"},
        {L"abcdefghijklmnopq", L"q"},                   // the last unit, past a whole word
        {L"abcdefghijklmnopq", L"hijklmnop"},
        {L"abcdefgh", L"abcdefgh"},
        {L"aaaaaaaaaaaaaaaaab", L"aab"},
        {L"line one\r\nline two", L"one\r\nLINE"},
        {L"tab\there", L"\t"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(folded(c.text, c.search), plain_contains(c.text, c.search)) << c.text << " / " << c.search;
    EXPECT_EQ(folded(nul_text, std::wstring(L"\0c", 2)), plain_contains(nul_text, std::wstring(L"\0c", 2)));
    EXPECT_TRUE(folded_contains("anything", ""));
}

TEST(FoldedSearch, RandomTextsOverAMixedAlphabet) {
    // Letters of every width, both cases, and surrogates paired and alone.
    const std::wstring alphabet = L"aAbB\u00E9\u00C9\u03A9\u03C9\u0416\u0436\u4E2D\xD83D\xDE00\xD800 \r\n";
    std::mt19937 rng(1234);
    auto random_text = [&](std::size_t n) {
        std::wstring s;
        for (std::size_t i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
        return s;
    };
    int matches = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::wstring text = random_text(rng() % 40);
        std::wstring search = random_text(1 + rng() % 3);
        // Often a piece of the text itself, in another case.
        if (i % 2 == 0 && text.size() > 4) {
            const std::size_t at = rng() % (text.size() - 3);
            search = to_upper(text.substr(at, 1 + rng() % 3));
        }
        const bool expected = plain_contains(text, search);
        matches += expected ? 1 : 0;
        ASSERT_EQ(folded(text, search), expected) << i;
    }
    EXPECT_GT(matches, 1000);
}

// The scan that looks at sixteen places at once finds what a plain find
// finds, at every offset and near both ends.
TEST(FoldedSearch, TheScanFindsWhatFindFinds) {
    std::mt19937 rng(5);
    for (int i = 0; i < 20000; ++i) {
        std::string text(rng() % 200, 'a');
        for (char& c : text) c = static_cast<char>('a' + rng() % 3);
        std::string pattern(1 + rng() % 20, 'a');
        for (char& c : pattern) c = static_cast<char>('a' + rng() % 3);
        if (i % 3 == 0 && text.size() > pattern.size()) {
            const std::size_t at = rng() % (text.size() - pattern.size() + 1);
            text.replace(at, pattern.size(), pattern);
        }
        ASSERT_EQ(folded_contains(text, pattern), text.find(pattern) != std::string::npos) << text << " / " << pattern;
    }
}

// Folded piece by piece from UTF-8, a text folds as it folds converted
// whole, whatever the pieces' size and however broken its bytes.
TEST(FoldedSearch, PiecesOfUtf8FoldAsTheWholeText) {
    const std::string samples[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "A", "z", " ", "\r\n",
                                   "\x80", "\xC3", "\xE2\x82", "\xF0\x9F", "\xFF", "\xED\xA0\x80", "\xC0\xAF"};
    std::mt19937 rng(77);
    for (int i = 0; i < 3000; ++i) {
        std::string utf8;
        const int parts = static_cast<int>(rng() % 30);
        for (int k = 0; k < parts; ++k) utf8 += samples[rng() % (sizeof(samples) / sizeof(samples[0]))];
        if (i % 10 == 0) utf8 += std::string("\0tail", 5);
        const std::wstring whole = from_utf8(utf8);
        const std::size_t limit = rng() % 12;
        const std::size_t piece = 1 + rng() % 9;
        const FoldedText f = fold_utf8_text(utf8, limit, piece);
        std::string hex;
        for (unsigned char c : utf8) {
            char b[4];
            std::snprintf(b, sizeof b, "%02X ", c);
            hex += b;
        }
        ASSERT_EQ(f.folded, fold_for_search(whole)) << i << " pieces of " << piece << ": " << hex;
        ASSERT_EQ(f.units, whole.size()) << i;
        ASSERT_EQ(f.start, whole.substr(0, pair_safe_length(whole, limit))) << i;
    }
}

// A store of long texts (each 500 KB, as the trim's limit filled with logs).
class LongTexts : public testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.file(L"long.db");
        ASSERT_TRUE(scale_store::build(path_, scale_store::Shape{kTexts, 500 * 1024, false, 0, 0}));
        db_ = std::make_unique<Database>(path_);
        ASSERT_TRUE(db_->is_open());
    }
    // The whole texts of the "all" view in list order, read with SQLite alone.
    std::vector<std::pair<std::int64_t, std::wstring>> whole_texts() {
        std::vector<std::pair<std::int64_t, std::wstring>> out;
        sqlite3* raw = nullptr;
        EXPECT_EQ(sqlite3_open(to_utf8(path_).c_str(), &raw), SQLITE_OK);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(raw,
                           "SELECT id, text FROM history WHERE deleted_at IS NULL AND is_image=0 "
                           "ORDER BY pinned DESC, sort_order DESC, id DESC",
                           -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            out.emplace_back(sqlite3_column_int64(s, 0),
                             from_utf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 1))));
        sqlite3_finalize(s);
        sqlite3_close(raw);
        return out;
    }
    // The search as the main window runs it: at once over the texts read,
    // then again as the rest arrive in pieces, until every text is read.
    void search_all(ListModel& m, const std::wstring& search) {
        load_list(m, *db_, settings_, ListView{}, search, nullptr);
        while (m.has_pending_texts()) {
            m.load_pending_texts(*db_, GetTickCount64() + kListTextsPieceMs);
            m.set_search(m.last_search());
        }
    }
    static std::vector<std::int64_t> keys(const ListModel& m) {
        std::vector<std::int64_t> k;
        for (std::size_t i = 0; i < m.row_count(); ++i) k.push_back(m.row_key(static_cast<int>(i)));
        return k;
    }

    static constexpr int kTexts = 40;
    test_support::TempFolder dir_;
    std::wstring path_;
    std::unique_ptr<Database> db_;
    Settings settings_;
};

TEST_F(LongTexts, SearchFindsTheRowsOfAPlainScanOfTheWholeTexts) {
    const auto whole = whole_texts();
    ASSERT_EQ(whole.size(), static_cast<std::size_t>(kTexts));
    ListModel m;
    load_list(m, *db_, settings_, ListView{}, L"", nullptr);
    ASSERT_EQ(m.row_count(), whole.size());
    // The tags stand about 200 bytes before each text's end, far past the
    // start a row holds.
    ASSERT_GT(whole.front().second.find(L"Mark"), 400000u);
    const wchar_t* searches[] = {L"TAG7MARK",  L"tag1",       L"tag3",    L"mark",       L"STRASSE",
                                 L"stra\u00DFe e", L"\u00E9cole", L"\u03C9MEGA", L"\u0436\u0423\u043A", L"log\r\n",
                                 L"warning\r\nalpha", L"zzz",  L"e"};
    for (const wchar_t* search : searches) {
        std::vector<std::int64_t> expected;
        for (const auto& [id, text] : whole)
            if (plain_contains(text, search)) expected.push_back(id);
        search_all(m, search);
        EXPECT_EQ(keys(m), expected) << search;
    }
    // Cleared, every row again in the store's order.
    load_list(m, *db_, settings_, ListView{}, L"", nullptr);
    std::vector<std::int64_t> all;
    for (const auto& [id, text] : whole) all.push_back(id);
    EXPECT_EQ(keys(m), all);
}

TEST_F(LongTexts, AListedEntryHoldsTheStartAndTheStoreTheWhole) {
    const auto whole = whole_texts();
    ListModel m;
    load_list(m, *db_, settings_, ListView{}, L"", nullptr);
    while (m.has_pending_texts()) ASSERT_TRUE(m.load_pending_texts(*db_, 0));
    for (const auto& [id, text] : whole) {
        const HistoryEntry* e = m.find_entry(id);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->text_state, TextState::Start);
        EXPECT_EQ(e->text, text.substr(0, kListedTextLimit));
        HistoryEntry copy = *e;
        ASSERT_TRUE(db_->load_whole_text(copy));
        EXPECT_EQ(copy.text_state, TextState::Whole);
        EXPECT_EQ(copy.text, text);
    }
    // The row shows the start with its line breaks as blanks.
    const std::wstring row = m.row_text(0);
    EXPECT_EQ(row.size(), 5 + kListedTextLimit);
    EXPECT_EQ(row.find(L'\n'), std::wstring::npos);
}

TEST_F(LongTexts, TheFirstListComesInPiecesAndASearchGoesOnWithThem) {
    ListModel m;
    load_list(m, *db_, settings_, ListView{}, L"", nullptr);
    // Every row is there at once; the texts of 20 MB do not all fit the
    // first piece.
    EXPECT_EQ(m.row_count(), static_cast<std::size_t>(kTexts));
    ASSERT_TRUE(m.has_pending_texts());
    // The row of "Tag12Mark" stands near the end of the list: its text is
    // among those not read yet.
    const std::int64_t tagged = m.row_key(kTexts - 1 - 12);
    ASSERT_TRUE(m.text_pending(tagged));
    EXPECT_EQ(m.find_entry(tagged)->text_state, TextState::NotRead);
    // A search right away reads nothing more: it searches what is read ...
    const double t0 = static_cast<double>(GetTickCount64());
    load_list(m, *db_, settings_, ListView{}, L"Tag12Mark", nullptr);
    EXPECT_LT(static_cast<double>(GetTickCount64()) - t0, 100.0);
    EXPECT_TRUE(m.has_pending_texts());
    EXPECT_EQ(m.row_count(), 0u);
    // ... and finds in the texts as they arrive, piece by piece, exactly.
    int pieces = 0;
    while (m.has_pending_texts()) {
        ASSERT_TRUE(m.load_pending_texts(*db_, GetTickCount64() + kListTextsPieceMs));
        m.set_search(m.last_search());
        ++pieces;
    }
    EXPECT_GT(pieces, 1);
    ASSERT_EQ(m.row_count(), 1u);
    EXPECT_EQ(m.row_key(0), tagged);
    EXPECT_EQ(m.find_entry(m.row_key(0))->text.substr(0, 5), whole_texts()[kTexts - 1 - 12].second.substr(0, 5));
    // A longer search over the matches and a new one over all agree with a
    // plain lower-cased scan of the whole texts.
    for (const std::wstring& search : {std::wstring(L"tag1"), std::wstring(L"tag12"), std::wstring(L"MARK")}) {
        load_list(m, *db_, settings_, ListView{}, search, nullptr);
        std::vector<std::int64_t> expected;
        for (const auto& [id, text] : whole_texts())
            if (to_lower(text).find(to_lower(search)) != std::wstring::npos) expected.push_back(id);
        EXPECT_EQ(keys(m), expected) << "search " << to_utf8(search);
    }
}

TEST_F(LongTexts, AListReadAgainReadsOnlyWhatTheStoreWrote) {
    ListModel m;
    load_list(m, *db_, settings_, ListView{}, L"", nullptr);
    while (m.has_pending_texts()) m.load_pending_texts(*db_, 0);
    const std::int64_t edited = m.row_key(3);
    ASSERT_TRUE(db_->replace_entry_text(edited, L"Replaced by hand, with a Needle inside"));
    const std::int64_t copied = db_->add_entry({.text = L"a new copy with a needle", .source_app = L"notepad.exe"});
    ASSERT_GT(copied, 0);
    load_list(m, *db_, settings_, ListView{}, L"", nullptr);
    EXPECT_FALSE(m.has_pending_texts());
    EXPECT_EQ(m.row_key(0), copied);
    EXPECT_EQ(m.find_entry(edited)->text, L"Replaced by hand, with a Needle inside");
    EXPECT_EQ(m.find_entry(edited)->text_state, TextState::Whole);
    load_list(m, *db_, settings_, ListView{}, L"NEEDLE", nullptr);
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{copied, edited}));
    // The old text of the edited entry is found no more.
    load_list(m, *db_, settings_, ListView{}, L"Tag" + std::to_wstring(edited - 1) + L"Mark", nullptr);
    EXPECT_EQ(m.row_count(), 0u);
    // A trashed entry leaves the list; a restored one comes back with its text.
    ASSERT_TRUE(db_->trash_entry(copied));
    load_list(m, *db_, settings_, ListView{}, L"needle", nullptr);
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{edited}));
    ASSERT_TRUE(db_->restore_entry(copied));
    load_list(m, *db_, settings_, ListView{}, L"needle", nullptr);
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{copied, edited}));
}

TEST_F(LongTexts, TheQuickMenuReadsTheStartOfItsRowsOnly) {
    const auto whole = whole_texts();
    std::vector<HistoryEntry> first = db_->list_first_entries(L"all", false, true, 10, kRowTextLimit);
    ASSERT_EQ(first.size(), 10u);
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].id, whole[i].first);
        EXPECT_EQ(first[i].text_state, TextState::Start);
        EXPECT_EQ(first[i].text, whole[i].second.substr(0, kRowTextLimit));
        EXPECT_EQ(first[i].source_app, L"bench.exe");
    }
}

}  // namespace
