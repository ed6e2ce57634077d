// The entry commands that ask the user, on real rows of a store in a
// temporary folder: edit, rename, delete with its questions, the new entry
// and the category menu. The real boxes and the real popup menu run their
// loops; a helper thread answers each box as it opens and records what it
// showed, and keys posted before the menu opens choose in it.
#include "ui/entry_commands.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "store/database.h"
#include "tests/core/temp_folder.h"
#include "tests/theme/gui_support.h"
#include "ui/list_model.h"
#include "ui/message_boxes.h"

namespace {

using gui_test::pump;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

constexpr const wchar_t* kConfirm = L"QuilletConfirmBox";
constexpr const wchar_t* kInput = L"QuilletInputBox";
constexpr int kBoxOk = 1;
constexpr int kBoxCancel = 2;
constexpr int kBoxEdit = 100;

std::wstring window_text_of(HWND w) {
    const LRESULT n = SendMessageW(w, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(n > 0 ? n : 0) + 1, L'\0');
    SendMessageW(w, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    return text;
}

// How a box is answered, and what it showed.
struct Answer {
    Answer() = default;
    Answer(const wchar_t* box_class, std::optional<std::wstring> new_text, bool press_ok)
        : cls(box_class), type(std::move(new_text)), ok(press_ok) {}
    const wchar_t* cls = kConfirm;
    std::optional<std::wstring> type;  // the input box's new text
    bool ok = true;
};

// Whether any of the results asks for a refresh.
CommandResult any_refresh(std::initializer_list<CommandResult> results) {
    CommandResult r;
    for (const CommandResult& x : results) r.refresh = r.refresh || x.refresh;
    return r;
}
struct Shown {
    const wchar_t* cls = nullptr;
    std::wstring title;
    std::wstring text;  // the input box's initial text, or the question
    std::wstring prompt;
    LRESULT edit_limit = 0;
};

// The texts of a box's static children, the glyph excepted.
std::wstring static_texts(HWND box) {
    std::wstring all;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[32] = {};
        GetClassNameW(c, cls, 32);
        if (_wcsicmp(cls, L"STATIC") != 0 || GetDlgCtrlID(c) == 11) continue;
        all += window_text_of(c);
    }
    return all;
}

class EntryCommandsGui : public testing::Test {
protected:
    static void SetUpTestSuite() { set_language(L"en"); }

    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        db_ = std::make_unique<Database>(dir_.file(L"quillet.db"));
        ASSERT_TRUE(db_->is_open());
        owner_ = CreateWindowExW(0, L"STATIC", L"main stand-in", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 150, 500, 400,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
        ui_thread_ = GetCurrentThreadId();
        set_box_context({});
        pump();
    }
    void TearDown() override {
        pump();
        EXPECT_TRUE(gui_test::thread_windows(ui_thread_, kConfirm).empty());
        EXPECT_TRUE(gui_test::thread_windows(ui_thread_, kInput).empty());
        DestroyWindow(owner_);
        pump();
    }

    // Runs the command on this thread while a helper thread answers the
    // boxes in turn; the boxes met are recorded in shown_. A box beyond the
    // answers is cancelled (and recorded).
    CommandResult answering(std::vector<Answer> answers, const std::function<CommandResult()>& command) {
        shown_.clear();
        std::atomic<bool> done{false};
        std::thread helper([&] {
            std::size_t next = 0;
            while (!done) {
                HWND box = nullptr;
                const wchar_t* cls = nullptr;
                for (const wchar_t* c : {kConfirm, kInput}) {
                    std::vector<HWND> open = gui_test::thread_windows(ui_thread_, c);
                    if (!open.empty() && IsWindowVisible(open.front())) {
                        box = open.front();
                        cls = c;
                    }
                }
                if (!box) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    continue;
                }
                Shown seen;
                seen.cls = cls;
                seen.title = window_text_of(box);
                HWND edit = GetDlgItem(box, kBoxEdit);
                if (edit) {
                    seen.text = window_text_of(edit);
                    seen.prompt = static_texts(box);
                    seen.edit_limit = SendMessageW(edit, EM_GETLIMITTEXT, 0, 0);
                } else {
                    seen.text = static_texts(box);
                }
                Answer a;
                if (next < answers.size()) {
                    a = answers[next];
                } else {
                    a.ok = false;
                }
                ++next;
                if (edit && a.type) SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a.type->c_str()));
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    shown_.push_back(seen);
                }
                const int id = a.ok ? kBoxOk : kBoxCancel;
                HWND button = GetDlgItem(box, id);
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
                gui_test::wait_until([&] { return !IsWindow(box); }, 5000);
            }
        });
        CommandResult r = command();
        done = true;
        helper.join();
        return r;
    }

    EntryCommandContext context(std::int32_t kind, const std::vector<std::int64_t>& keys) {
        ListView v;
        v.view_kind = kind;
        entries_ = db_->list_entries(view_key_for(v), false, true);
        if (kind == kViewAll)
            for (HistoryEntry& e : db_->list_entries(L"images", false, true)) entries_.push_back(std::move(e));
        templates_ = kind == kViewTrash ? db_->list_trashed_snippets() : db_->list_snippets();
        EntryCommandContext c;
        c.db = db_.get();
        c.settings = &settings_;
        c.main_window = owner_;
        c.view_kind = kind;
        c.trash_view = kind == kViewTrash;
        c.selected = keys;
        c.entries = &entries_;
        c.templates = &templates_;
        return c;
    }

    HistoryEntry entry(std::int64_t id) {
        for (const HistoryEntry& e : db_->list_entries(L"every", false, false))
            if (e.id == id) return e;
        return {};
    }
    bool is_live(std::int64_t id) {
        for (const HistoryEntry& e : db_->list_entries(L"all", false, true))
            if (e.id == id) return true;
        for (const HistoryEntry& e : db_->list_entries(L"images", false, true))
            if (e.id == id) return true;
        return false;
    }
    bool in_trash(std::int64_t id) {
        for (const HistoryEntry& e : db_->list_entries(L"trash", false, true))
            if (e.id == id) return true;
        return false;
    }
    const Snippet* live_template(std::int64_t id) {
        snippets_ = db_->list_snippets();
        for (const Snippet& s : snippets_)
            if (s.id == id) return &s;
        return nullptr;
    }
    std::int64_t add_rich(const std::wstring& text) {
        return db_->add_entry({.text = text, .rtf = "{\\rtf1 old}", .html = "Version:0.9\r\n<b>old</b>",
            .source_app = L"winword.exe"});
    }
    std::int64_t add_image(const std::wstring& source_title) {
        std::vector<std::uint8_t> dib(40 + 16, 0x40);
        // A 2 x 2 bitmap of 32 bits.
        const std::uint8_t header[40] = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 16};
        std::copy(header, header + 40, dib.begin());
        return db_->add_entry({.image = dib, .source_app = L"paint.exe", .is_image = true, .repeat = true,
            .page_title = source_title});
    }

    test_support::TempFolder dir_;
    Settings settings_;
    std::unique_ptr<Database> db_;
    HWND owner_ = nullptr;
    DWORD ui_thread_ = 0;
    std::vector<HistoryEntry> entries_;
    std::vector<Snippet> templates_;
    std::vector<Snippet> snippets_;
    std::mutex mutex_;
    std::vector<Shown> shown_;
};

// --- edit of a text entry -----------------------------------------------------------------

TEST_F(EntryCommandsGui, EditingATextEntryStoresTheTrimmedTextAndDropsItsRichFormats) {
    struct Case {
        const char* name;
        Answer answer;
        bool changed;
        std::wstring stored;
    };
    const std::vector<Case> cases = {
        {"a new text", {kInput, L"  edited text\r\nsecond line  ", true}, true, L"edited text\r\nsecond line"},
        {"the same text", {kInput, L"original text", true}, false, L"original text"},
        {"the same text with blanks", {kInput, L"   original text \t", true}, false, L"original text"},
        {"only blanks", {kInput, L"   \r\n ", true}, false, L"original text"},
        {"cancelled", {kInput, L"never stored", false}, false, L"original text"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const std::int64_t id = add_rich(L"original text " + std::to_wstring(GetTickCount64()));
        ASSERT_TRUE(db_->set_entry_text(id, L"original text"));
        CommandResult r = answering({k.answer}, [&] { return edit_selected(context(kViewAll, {id})); });
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].title, tr(L"input.edit_entry"));
        EXPECT_EQ(shown_[0].prompt, tr(L"prompt.text"));
        EXPECT_EQ(shown_[0].text, L"original text");
        EXPECT_EQ(r.refresh, k.changed);
        const HistoryEntry e = entry(id);
        EXPECT_EQ(e.text, k.stored);
        EXPECT_EQ(e.rtf.empty(), k.changed) << "the old RTF goes with an edit, and only then";
        EXPECT_EQ(e.html.empty(), k.changed);
    }
}

TEST_F(EntryCommandsGui, ALongEntryIsOfferedWholeAndKeptWhole) {
    std::wstring long_text;
    while (long_text.size() < 6000) long_text += L"word" + std::to_wstring(long_text.size()) + L" ";
    long_text = trim(long_text);
    const std::int64_t id = add_rich(L"placeholder");
    ASSERT_TRUE(db_->set_entry_text(id, long_text));

    // Confirmed untouched: nothing is stored, nothing cut.
    CommandResult r = answering({{kInput, std::nullopt, true}}, [&] { return edit_selected(context(kViewAll, {id})); });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, long_text) << "the box holds the whole text";
    EXPECT_GE(shown_[0].edit_limit, static_cast<LRESULT>(long_text.size() + 4000)) << "with room to type";
    EXPECT_FALSE(r.refresh);
    EXPECT_EQ(entry(id).text, long_text);
    EXPECT_FALSE(entry(id).rtf.empty());

    // Text added at the end: all of it is stored.
    r = answering({{kInput, long_text + L" and more", true}}, [&] { return edit_selected(context(kViewAll, {id})); });
    EXPECT_TRUE(r.refresh);
    EXPECT_EQ(entry(id).text, long_text + L" and more");
}

// --- rename of an image entry -----------------------------------------------------------------

TEST_F(EntryCommandsGui, RenamingAnImageStoresOnlyARealChange) {
    const std::int64_t shot = add_image(L"");
    const std::int64_t titled = add_image(L"Holiday photo");
    ASSERT_GT(shot, 0);
    ASSERT_GT(titled, 0);
    std::wstring stamp = entry(shot).created_at;
    std::replace(stamp.begin(), stamp.end(), L'T', L' ');
    stamp.resize(16);
    const std::wstring default_name = tr_format(L"card.screenshot", stamp);

    struct Case {
        const char* name;
        std::int64_t id;
        std::wstring offered;
        Answer answer;
        bool refresh;
        std::wstring custom_title;
    };
    const std::vector<Case> cases = {
        {"the default name confirmed", shot, default_name, {kInput, std::nullopt, true}, false, L""},
        {"the source title confirmed", titled, L"Holiday photo", {kInput, L" Holiday photo ", true}, false, L""},
        {"an empty name without a title", shot, default_name, {kInput, L"  ", true}, false, L""},
        {"a new name", shot, default_name, {kInput, L"  Whiteboard  ", true}, true, L"Whiteboard"},
        {"the custom title confirmed", shot, L"Whiteboard", {kInput, std::nullopt, true}, false, L"Whiteboard"},
        {"cancelled", shot, L"Whiteboard", {kInput, L"Other", false}, false, L"Whiteboard"},
        {"an empty name clears the title", shot, L"Whiteboard", {kInput, L"", true}, true, L""},
        {"the default is offered again", shot, default_name, {kInput, std::nullopt, false}, false, L""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        CommandResult r = answering({k.answer}, [&] { return edit_selected(context(kViewAll, {k.id})); });
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].title, tr(L"input.image_name"));
        EXPECT_EQ(shown_[0].prompt, tr(L"prompt.name"));
        EXPECT_EQ(shown_[0].text, k.offered);
        EXPECT_EQ(r.refresh, k.refresh);
        EXPECT_EQ(entry(k.id).custom_title, k.custom_title);
    }
}

// --- edit of a template -----------------------------------------------------------------------

TEST_F(EntryCommandsGui, ATemplateEditIsStoredOrItsRefusalReported) {
    const std::int64_t tpl = db_->add_snippet(L"Greeting", L"Hello", L"");
    ASSERT_GT(tpl, 0);
    std::optional<TemplateEdit> reply;
    Snippet offered;
    int opened = 0;
    auto run = [&] {
        EntryCommandContext c = context(kViewAll, {-tpl});
        c.edit_template = [&](HWND owner, const Snippet& s) {
            ++opened;
            EXPECT_EQ(owner, owner_);
            offered = s;
            return reply;
        };
        return edit_selected(c);
    };

    reply = TemplateEdit{L"Greeting", L"Hello there", L"Mail"};
    CommandResult r = answering({}, run);
    EXPECT_TRUE(r.refresh);
    EXPECT_TRUE(shown_.empty()) << "a stored edit reports nothing";
    EXPECT_EQ(offered.title, L"Greeting");
    ASSERT_NE(live_template(tpl), nullptr);
    EXPECT_EQ(live_template(tpl)->text, L"Hello there");
    EXPECT_EQ(live_template(tpl)->grp, L"Mail");

    // The store refuses a template without a title: the user is told, and
    // the editor opens again with what the user wrote (here cancelled).
    reply = TemplateEdit{L"   ", L"not lost", L"Other"};
    const int before_refusal = opened;
    std::optional<TemplateEdit> first_reply = reply;
    auto refused_once = [&] {
        EntryCommandContext c = context(kViewAll, {-tpl});
        c.edit_template = [&](HWND, const Snippet& s) {
            ++opened;
            offered = s;
            std::optional<TemplateEdit> answer = first_reply;
            first_reply.reset();
            return answer;
        };
        return edit_selected(c);
    };
    r = answering({{kConfirm, std::nullopt, true}}, refused_once);
    EXPECT_TRUE(r.refresh);
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].title, tr(L"side.templates"));
    EXPECT_EQ(shown_[0].text, tr(L"message.need_title_text"));
    EXPECT_EQ(opened, before_refusal + 2) << "the editor came back";
    EXPECT_EQ(offered.id, tpl);
    EXPECT_EQ(offered.title, L"   ");
    EXPECT_EQ(offered.text, L"not lost");
    EXPECT_EQ(offered.grp, L"Other");
    EXPECT_EQ(live_template(tpl)->text, L"Hello there");

    // Cancelled: nothing stored, nothing said, the list refreshed.
    reply.reset();
    r = answering({}, run);
    EXPECT_TRUE(r.refresh);
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(opened, 4);

    // A template no longer listed, a header, several rows: the editor stays shut.
    r = answering({}, [&] {
        EntryCommandContext c = context(kViewAll, {-tpl - 1000});
        c.edit_template = [&](HWND, const Snippet&) { return ++opened, reply; };
        CommandResult a = edit_selected(c);
        c.selected = {kGroupHeaderKey};
        CommandResult b = edit_selected(c);
        c.selected = {-tpl, -tpl};
        CommandResult d = edit_selected(c);
        return any_refresh({a, b, d});
    });
    EXPECT_FALSE(r.refresh);
    EXPECT_EQ(opened, 4);
}

// --- delete --------------------------------------------------------------------------------------

TEST_F(EntryCommandsGui, DeleteAsksAndMovesToTheTrashOrPurgesThere) {
    struct Case {
        const char* name;
        bool trash_view;
        bool ok;
        const wchar_t* question;
        bool live_after, trashed_after;
    };
    const std::vector<Case> cases = {
        {"outside the trash, OK", false, true, L"confirm.delete_entry", false, true},
        {"outside the trash, Cancel", false, false, L"confirm.delete_entry", true, false},
        {"in the trash, OK", true, true, L"confirm.delete_entry_forever", false, false},
        {"in the trash, Cancel", true, false, L"confirm.delete_entry_forever", false, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const std::int64_t id = db_->add_text_entry(L"to delete " + std::to_wstring(GetTickCount64()), std::nullopt,
                                                    false, true);
        ASSERT_GT(id, 0);
        if (k.trash_view) {
            ASSERT_TRUE(db_->trash_entry(id));
        }
        CommandResult r = answering({{kConfirm, std::nullopt, k.ok}}, [&] {
            return delete_selected(context(k.trash_view ? kViewTrash : kViewAll, {id}));
        });
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].title, tr(L"confirm.delete_title"));
        EXPECT_EQ(shown_[0].text, tr(k.question));
        EXPECT_EQ(r.refresh, k.ok);
        EXPECT_EQ(is_live(id), k.live_after);
        EXPECT_EQ(in_trash(id), k.trashed_after);
        if (!k.trash_view && k.ok) {
            EXPECT_TRUE(db_->list_entries(L"slots", false, true).empty()) << "the trash takes the quick slot";
        }
    }
}

TEST_F(EntryCommandsGui, DeleteOfATemplateNamesItAndAsksByView) {
    const std::int64_t tpl = db_->add_snippet(L"Signature", L"Regards", L"");
    CommandResult r = answering({{kConfirm, std::nullopt, true}},
                                [&] { return delete_selected(context(kViewAll, {-tpl})); });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].title, tr(L"side.templates"));
    EXPECT_EQ(shown_[0].text, tr_format(L"confirm.del_snippet", std::wstring(L"Signature")));
    EXPECT_TRUE(r.refresh);
    EXPECT_EQ(live_template(tpl), nullptr);
    ASSERT_EQ(db_->list_trashed_snippets().size(), 1u);

    r = answering({{kConfirm, std::nullopt, true}}, [&] { return delete_selected(context(kViewTrash, {-tpl})); });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, tr_format(L"confirm.del_snippet_forever", std::wstring(L"Signature")));
    EXPECT_TRUE(db_->list_trashed_snippets().empty()) << "purged";

    // A group header alone, or a template no longer listed: no question.
    r = answering({}, [&] {
        CommandResult a = delete_selected(context(kViewAll, {kGroupHeaderKey}));
        CommandResult b = delete_selected(context(kViewAll, {-tpl}));
        return any_refresh({a, b});
    });
    EXPECT_TRUE(shown_.empty());
    EXPECT_FALSE(r.refresh);
}

TEST_F(EntryCommandsGui, DeleteOfSeveralRowsCountsEntriesAndTemplatesButNoHeaders) {
    const std::int64_t a = db_->add_text_entry(L"first of several", std::nullopt, false, false);
    const std::int64_t b = db_->add_text_entry(L"second of several", std::nullopt, false, false);
    const std::int64_t tpl = db_->add_snippet(L"Among them", L"body", L"");
    const std::vector<std::int64_t> keys = {a, kGroupHeaderKey, -tpl, b, kUngroupedHeaderKey};

    // Cancelled: nothing changes.
    CommandResult r = answering({{kConfirm, std::nullopt, false}}, [&] { return delete_selected(context(kViewAll, keys)); });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].title, tr(L"confirm.delete_title"));
    EXPECT_EQ(shown_[0].text, format_delete_confirmation(2, 1));
    EXPECT_FALSE(r.refresh);
    EXPECT_TRUE(is_live(a));

    r = answering({{kConfirm, std::nullopt, true}}, [&] { return delete_selected(context(kViewAll, keys)); });
    EXPECT_TRUE(r.refresh);
    EXPECT_TRUE(in_trash(a));
    EXPECT_TRUE(in_trash(b));
    EXPECT_EQ(live_template(tpl), nullptr);
    ASSERT_EQ(db_->list_trashed_snippets().size(), 1u);

    // In the trash the same selection is purged after the same kind of question.
    r = answering({{kConfirm, std::nullopt, true}}, [&] { return delete_selected(context(kViewTrash, keys)); });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, format_delete_confirmation(2, 1));
    EXPECT_TRUE(r.refresh);
    EXPECT_EQ(entry(a).id, 0);
    EXPECT_EQ(entry(b).id, 0);
    EXPECT_TRUE(db_->list_trashed_snippets().empty());

    // Only headers: nothing to ask about.
    r = answering({}, [&] { return delete_selected(context(kViewAll, {kGroupHeaderKey, kUngroupedHeaderKey})); });
    EXPECT_TRUE(shown_.empty());
    EXPECT_FALSE(r.refresh);
}

// --- new entries -----------------------------------------------------------------------------------

TEST_F(EntryCommandsGui, ANewEntryIsStoredWithThePresetOfItsView) {
    const std::int64_t cat = db_->add_category(L"Projects");
    ASSERT_GT(cat, 0);
    struct Case {
        const char* name;
        std::int32_t view;
        std::int64_t category;
        bool pinned, slot;
    };
    const std::vector<Case> cases = {
        {"all", kViewAll, -1, false, false},       {"uncategorised", kViewNone, -1, false, false},
        {"pinned", kViewPinned, -1, true, false},  {"quick slots", kViewSlots, -1, false, true},
        {"a category", kViewCategory, cat, false, false},
    };
    int n = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ListView v;
        v.view_kind = k.view;
        v.category_id = k.category;
        const NewEntryPreset preset = new_entry_preset(v);
        const std::wstring typed = L"   typed entry " + std::to_wstring(++n) + L"  ";
        CommandResult r = answering({{kInput, typed, true}}, [&] {
            EntryCommandContext c = context(kViewAll, {});
            c.search_empty = n % 2 == 0;
            return new_entry(c, preset);
        });
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].title, tr(L"input.new_entry"));
        EXPECT_EQ(shown_[0].prompt, tr(L"prompt.entry_text"));
        EXPECT_TRUE(shown_[0].text.empty());
        ASSERT_GT(r.select_entry, 0);
        EXPECT_TRUE(r.refresh);
        EXPECT_EQ(r.clear_search, n % 2 != 0) << "a search text is cleared so the entry shows";
        const HistoryEntry e = entry(r.select_entry);
        EXPECT_EQ(e.text, trim(typed)) << "stored by the store's rules";
        EXPECT_EQ(e.pinned, k.pinned);
        EXPECT_EQ(e.category_id, k.category > 0 ? std::optional<std::int64_t>(k.category) : std::nullopt);
        bool slotted = false;
        for (const HistoryEntry& s : db_->list_entries(L"slots", false, true)) slotted |= s.id == e.id;
        EXPECT_EQ(slotted, k.slot);
    }
}

TEST_F(EntryCommandsGui, ANewEntryOfAnyLengthIsStoredWhole) {
    // Longer than the 8,191 characters the box once took.
    std::wstring typed;
    for (int i = 0; typed.size() < 20000; ++i) typed += L"line " + std::to_wstring(i) + L" of a long pasted text ";
    typed += L"end";
    ListView all;
    CommandResult r = answering({{kInput, typed, true}}, [&] { return new_entry(context(kViewAll, {}), new_entry_preset(all)); });
    ASSERT_GT(r.select_entry, 0);
    EXPECT_EQ(entry(r.select_entry).text, typed);
}

TEST_F(EntryCommandsGui, NoEntryIsAddedForBlanksCancelOrADisabledPreset) {
    const std::int64_t before = db_->count_entries();
    ListView all;
    CommandResult r = answering({{kInput, L"  \r\n  ", true}}, [&] { return new_entry(context(kViewAll, {}), new_entry_preset(all)); });
    EXPECT_EQ(shown_.size(), 1u);
    EXPECT_FALSE(r.refresh);
    r = answering({{kInput, L"cancelled text", false}}, [&] { return new_entry(context(kViewAll, {}), new_entry_preset(all)); });
    EXPECT_EQ(shown_.size(), 1u);
    EXPECT_FALSE(r.refresh);

    // The trash, the images view and templates mode open no box at all.
    for (std::int32_t kind : {std::int32_t{kViewTrash}, std::int32_t{kViewImages}}) {
        ListView v;
        v.view_kind = kind;
        r = answering({}, [&] { return new_entry(context(kViewAll, {}), new_entry_preset(v)); });
        EXPECT_TRUE(shown_.empty()) << kind;
        EXPECT_FALSE(r.refresh);
    }
    ListView templates;
    templates.templates_mode = true;
    r = answering({}, [&] { return new_entry(context(kViewAll, {}), new_entry_preset(templates)); });
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(db_->count_entries(), before);
}

// --- the category menu ---------------------------------------------------------------------------

TEST_F(EntryCommandsGui, TheCategoryMenuFilesTheSelectionAndClearsPinOverrides) {
    const std::int64_t a = db_->add_text_entry(L"to be filed", std::nullopt, false, false);
    const std::int64_t b = db_->add_text_entry(L"also to be filed", std::nullopt, false, false);

    // Without categories the user is told.
    CommandResult r = answering({{kConfirm, std::nullopt, true}}, [&] { return show_to_category_menu(context(kViewAll, {a})); });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].title, tr(L"menu.categories"));
    EXPECT_EQ(shown_[0].text, tr(L"message.no_categories"));
    EXPECT_FALSE(r.refresh);

    const std::int64_t first = db_->add_category(L"First");
    const std::int64_t second = db_->add_category(L"Second");
    ASSERT_TRUE(db_->set_category_pinned(second, true));
    // b sits unpinned in the pinned category: its override is set.
    ASSERT_TRUE(db_->set_entry_category(b, second));
    ASSERT_EQ(db_->set_pinned_many({b}, false), 1);
    ASSERT_FALSE(entry(b).effective_pinned);

    // Dismissed with Esc: nothing.
    gui_test::post_key(owner_, VK_ESCAPE);
    r = show_to_category_menu(context(kViewAll, {a, b}));
    EXPECT_FALSE(r.refresh);
    EXPECT_FALSE(entry(a).category_id.has_value());

    // Down from no highlighted item lands on the second item.
    gui_test::post_key(owner_, VK_DOWN);
    gui_test::post_key(owner_, VK_RETURN);
    r = show_to_category_menu(context(kViewAll, {a, kGroupHeaderKey, b}));
    EXPECT_TRUE(r.refresh);
    EXPECT_EQ(entry(a).category_id, second);
    EXPECT_EQ(entry(b).category_id, second);
    EXPECT_TRUE(entry(b).effective_pinned) << "filing clears the per-entry override";
    EXPECT_TRUE(entry(a).effective_pinned);
    (void)first;

    // Nothing selected that could be filed: no menu.
    r = answering({}, [&] { return show_to_category_menu(context(kViewAll, {-1, kGroupHeaderKey})); });
    EXPECT_TRUE(shown_.empty());
    EXPECT_FALSE(r.refresh);
}

// --- the address line ----------------------------------------------------------------------------

TEST_F(EntryCommandsGui, CopyOfTheAddressIsAnOrdinaryClipboardWrite) {
    ASSERT_TRUE(winutil::set_clipboard_text(L"before"));
    EXPECT_TRUE(run_address_choice(2, L"file:///C:/not/opened.txt"));
    EXPECT_EQ(winutil::get_clipboard_text(), L"file:///C:/not/opened.txt");
}

}  // namespace
