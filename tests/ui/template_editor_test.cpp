// The template editor's pure parts: the placeholders of the insert
// buttons and their places, the group read from the combo, the combo item
// chosen for a group, and what counts as a complete template.
#include "ui/dialogs/template_editor.h"

#include <gtest/gtest.h>

namespace {

TEST(TemplateEditor, PlaceholderOfEachInsertButton) {
    struct Case {
        int id;
        const wchar_t* text;
    } cases[] = {{10, L"{date}"}, {11, L"{time}"}, {12, L"{datetime}"}, {13, L"{year}"},
                 {14, L"{user}"}, {9, nullptr},    {15, nullptr},       {kEditorOk, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const wchar_t* got = editor_placeholder(c.id);
        if (!c.text)
            EXPECT_EQ(got, nullptr);
        else
            EXPECT_STREQ(got, c.text);
    }
}

TEST(TemplateEditor, InsertButtonsSitInARow) {
    const RECT expected[] = {{14, 442, 84, 468}, {90, 442, 166, 468}, {172, 442, 272, 468},
                             {278, 442, 338, 468}, {344, 442, 454, 468}};
    const auto rects = editor_insert_button_rects();
    for (size_t i = 0; i < rects.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rects[i].left, expected[i].left);
        EXPECT_EQ(rects[i].top, expected[i].top);
        EXPECT_EQ(rects[i].right, expected[i].right);
        EXPECT_EQ(rects[i].bottom, expected[i].bottom);
    }
}

TEST(TemplateEditor, GroupFromTheComboText) {
    struct Case {
        const wchar_t* text;
        const wchar_t* label;
        const wchar_t* group;
    } cases[] = {
        {L"(no group)", L"(no group)", L""},
        {L"(ohne Gruppe)", L"(ohne Gruppe)", L""},
        {L"(Без группы)", L"(no group)", L""},  // the Russian entry in any language
        {L"Без группы", L"(no group)", L"Без группы"},
        {L"(no group) ", L"(no group)", L"(no group) "},
        {L"Work", L"(no group)", L"Work"},
        {L"", L"(no group)", L""},
        {L"Письма", L"(без группы)", L"Письма"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.group);
        EXPECT_EQ(editor_group_from_text(c.text, c.label), c.group);
    }
}

// The no-group entry is the combo's first item as the window shows it: a
// language chosen while the editor is open changes the label that tr gives,
// not the item.
TEST(TemplateEditor, GroupChosenOnOk) {
    struct Case {
        const wchar_t* text;
        const wchar_t* first_item;
        const wchar_t* label;  // the no-group label in the language now chosen
        const wchar_t* group;
    } cases[] = {
        {L"(no group)", L"(no group)", L"(ohne Gruppe)", L""},      // English window, German now
        {L"(ohne Gruppe)", L"(ohne Gruppe)", L"(no group)", L""},   // and back
        {L"(no group)", L"(no group)", L"(no group)", L""},
        {L"(ohne Gruppe)", L"(no group)", L"(ohne Gruppe)", L""},   // typed in the current language
        {L"(Без группы)", L"(no group)", L"(no group)", L""},
        {L"Work", L"(no group)", L"(ohne Gruppe)", L"Work"},
        {L"", L"(no group)", L"(no group)", L""},
        // Typed behind the label (a click put the caret after it): the
        // label is no part of the name.
        {L"(no group)Mails", L"(no group)", L"(no group)", L"Mails"},
        {L"(no group) Mails ", L"(no group)", L"(no group)", L"Mails"},
        {L"(no group) ", L"(no group)", L"(no group)", L""},
        {L"(ohne Gruppe)Post", L"(no group)", L"(ohne Gruppe)", L"Post"},  // the label of the language now
        {L"(ohne Gruppe)Mails", L"(ohne Gruppe)", L"(no group)", L"Mails"},  // the window's first item
        {L"(Без группы)Письма", L"(no group)", L"(no group)", L"Письма"},
        {L"Mails(no group)", L"(no group)", L"(no group)", L"Mails(no group)"},
        {L"Work", L"", L"(no group)", L"Work"},                      // a combo without items
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " / " << c.first_item);
        EXPECT_EQ(editor_group_choice(c.text, c.first_item, c.label), c.group);
    }
}

TEST(TemplateEditor, ComboItemForAGroup) {
    const std::vector<std::wstring> items{L"(no group)", L"Work", L"Mail", L"Work", L"work"};
    struct Case {
        const wchar_t* group;
        int index;
    } cases[] = {
        {L"", 0},        // the no-group entry
        {L"Mail", 2},
        {L"Work", 3},    // the last of equal items
        {L"work", 4},    // case counts
        {L"Wor", -1},    // same start, other length
        {L"Gone", -1},   // a group the store no longer has: typed into the combo
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.index);
        EXPECT_EQ(editor_group_index(items, c.group), c.index);
    }
    EXPECT_EQ(editor_group_index({}, L""), -1);
}

// The window's frame is made around a client area that ends the margin
// right of and below OK, the farthest control: no band under the buttons.
TEST(TemplateEditor, ClientAreaEndsAMarginPastOk) {
    const RECT ok = editor_ok_rect();
    EXPECT_EQ(ok.left, 660);
    EXPECT_EQ(ok.top, 502);
    EXPECT_EQ(ok.right, 760);
    EXPECT_EQ(ok.bottom, 530);
    const SIZE client = editor_client_size();
    EXPECT_EQ(client.cx, 774);
    EXPECT_EQ(client.cy, 544);
    // Every other control lies inside, above the bottom margin.
    struct Case {
        const char* what;
        RECT r;
    } cases[] = {
        {"cancel", editor_cancel_rect(0)},
        {"wide cancel", editor_cancel_rect(300)},
        {"last insert button", editor_insert_button_rects().back()},
        {"hint", editor_label_rect(EditorLabel::Hint, 24)},
        {"insert label", editor_label_rect(EditorLabel::Insert, 24)},
        {"name label", editor_label_rect(EditorLabel::Name, 18)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_GE(c.r.left, 0);
        EXPECT_LE(c.r.right, client.cx - kEditorMargin);
        EXPECT_LE(c.r.bottom, client.cy - kEditorMargin);
    }
    EXPECT_EQ(editor_cancel_rect(0).bottom, ok.bottom) << "Cancel sits in OK's row";
    EXPECT_EQ(editor_cancel_rect(0).right, ok.left - 8);
}

TEST(TemplateEditor, CompleteInput) {
    struct Case {
        const wchar_t* title;
        const wchar_t* body;
        bool complete;
    } cases[] = {
        {L"Greeting", L"Hello", true}, {L"", L"Hello", false},   {L"  \t", L"Hello", false},
        {L"Greeting", L"", false},     {L"Greeting", L" ", true}, {L"Привет", L"Текст", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.complete);
        EXPECT_EQ(editor_input_complete(c.title, c.body), c.complete);
    }
}

}  // namespace
