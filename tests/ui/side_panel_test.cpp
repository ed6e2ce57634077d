// The side panel's rows without a window: order, hidden views, templates
// node and groups, categories kept apart from groups, selection and width.
#include "ui/side_panel.h"

#include <gtest/gtest.h>

namespace {

const SideLabels kLabels{L"All", L"Pinned", L"Slots", L"None", L"Trash", L"Templates", L"Images", L"(no group)"};

Category category(std::int64_t id, const std::wstring& name, bool pinned = false) {
    Category c;
    c.id = id;
    c.name = name;
    c.pinned = pinned;
    return c;
}

std::vector<SideRow> data_of(const std::vector<SidePanelRow>& rows) {
    std::vector<SideRow> d;
    for (const SidePanelRow& r : rows) d.push_back(r.data);
    return d;
}

TEST(SideRows, DefaultOrderAndTexts) {
    SidePanelInput in;
    in.categories = {category(1, L"Work", true), category(2, L"Home")};
    auto rows = build_side_rows(in, kLabels);
    EXPECT_EQ(data_of(rows), (std::vector<SideRow>{0, 1, 2, 3, 4, 5, 6, 11, 12}));
    EXPECT_EQ(rows[0].text, L"\tAll");
    EXPECT_EQ(rows[1].text, L"\U0001F4CC\tPinned");
    EXPECT_EQ(rows[2].text, L"\U0001F511\tSlots");
    EXPECT_EQ(rows[3].text, L"\tNone");
    EXPECT_EQ(rows[4].text, L"\U0001F5D1\tTrash");
    EXPECT_EQ(rows[5].text, L"\u25B8\tTemplates");
    EXPECT_EQ(rows[6].text, L"\U0001F5BC\tImages");
    EXPECT_EQ(rows[7].text, L"\U0001F4CC\tWork");
    EXPECT_EQ(rows[8].text, L"\tHome");
    EXPECT_EQ(rows[7].kind, SideRowKind::Category);
    EXPECT_EQ(rows[7].category_id, 1);
}

TEST(SideRows, HiddenViews) {
    struct Case {
        int mask;
        std::vector<SideRow> data;
    } cases[] = {
        {0x01, {0, 2, 3, 4, 5, 1000, 6, 13}},
        {0x02 | 0x08, {0, 1, 3, 5, 1000, 6, 13}},
        {0x10, {0, 1, 2, 3, 4, 6, 13}},
        {0x20, {0, 1, 2, 3, 4, 5, 1000, 13}},
        {0x3F, {0, 13}},
        {-1, {0, 13}},
    };
    for (const Case& c : cases) {
        SidePanelInput in;
        in.hidden_mask = c.mask;
        in.templates_collapsed = false;
        in.groups = {L"G"};
        in.categories = {category(3, L"C")};
        EXPECT_EQ(data_of(build_side_rows(in, kLabels)), c.data) << c.mask;
    }
}

TEST(SideRows, ExpandedTemplatesNode) {
    SidePanelInput in;
    in.templates_collapsed = false;
    in.groups = {L" Mail ", L"Code"};
    in.has_ungrouped_templates = true;
    auto rows = build_side_rows(in, kLabels);
    EXPECT_EQ(data_of(rows), (std::vector<SideRow>{0, 1, 2, 3, 4, 5, 1000, 1001, 0x100000003E8LL, 6}));
    EXPECT_EQ(rows[5].text, L"\u25BE\tTemplates");
    EXPECT_EQ(rows[6].text, L"\t   Mail ");
    EXPECT_EQ(rows[8].text, L"\t  (no group)");
    EXPECT_TRUE(side_row_indented(rows[6]));
    EXPECT_TRUE(side_row_indented(rows[8]));
    EXPECT_FALSE(side_row_indented(rows[5]));
    // The group is the store's name exactly, blanks included.
    SideAction a = side_action_for(&rows[6]);
    EXPECT_EQ(a.kind, SideAction::ShowTemplateGroup);
    EXPECT_EQ(a.group, L" Mail ");
    a = side_action_for(&rows[8]);
    EXPECT_EQ(a.group, std::wstring(1, kUngroupedFilter));
    a = side_action_for(&rows[5]);
    EXPECT_EQ(a.kind, SideAction::ShowTemplateGroup);
    EXPECT_EQ(a.group, L"");
}

TEST(SideRows, CategoriesNeverTakenForGroups) {
    SidePanelInput in;
    in.templates_collapsed = false;
    in.groups = {L"G0", L"G1", L"G2", L"G3", L"G4", L"G5"};
    // Category 995 gives item data 1005, which a group index could give too.
    in.categories = {category(995, L"Big")};
    auto rows = build_side_rows(in, kLabels);
    const SidePanelRow& cat = rows.back();
    EXPECT_EQ(cat.data, 1005);
    EXPECT_EQ(cat.kind, SideRowKind::Category);
    EXPECT_EQ(side_category_id(&cat), 995);
    EXPECT_FALSE(side_row_indented(cat));
    SideAction a = side_action_for(&cat);
    EXPECT_EQ(a.kind, SideAction::SetView);
    EXPECT_EQ(a.view_kind, kViewCategory);
    EXPECT_EQ(a.category_id, 995);
    // A group row is never a category.
    const SidePanelRow& group = rows[6];
    EXPECT_EQ(group.kind, SideRowKind::TemplateGroup);
    EXPECT_EQ(side_category_id(&group), -1);
    EXPECT_EQ(side_category_id(nullptr), -1);
    // Selecting the category view finds the category row, not a group.
    ListView v;
    v.view_kind = kViewCategory;
    v.category_id = 995;
    EXPECT_EQ(side_selection_row(rows, v), static_cast<int>(rows.size()) - 1);
}

TEST(SideRows, ActionsOfViews) {
    SidePanelInput in;
    auto rows = build_side_rows(in, kLabels);
    struct Case {
        int row;
        SideAction::Kind kind;
        std::int32_t view;
    } cases[] = {{0, SideAction::SetView, kViewAll},   {1, SideAction::SetView, kViewPinned},
                 {2, SideAction::SetView, kViewSlots}, {3, SideAction::SetView, kViewNone},
                 {4, SideAction::SetView, kViewTrash}, {6, SideAction::ShowImages, kViewAll}};
    for (const Case& c : cases) {
        SideAction a = side_action_for(&rows[c.row]);
        EXPECT_EQ(a.kind, c.kind) << c.row;
        EXPECT_EQ(a.view_kind, c.view) << c.row;
        EXPECT_EQ(a.category_id, -1) << c.row;
    }
    EXPECT_EQ(side_action_for(nullptr).kind, SideAction::None);
}

TEST(SideRows, SelectionOfTheView) {
    SidePanelInput in;
    in.hidden_mask = kHideSlots;
    in.categories = {category(4, L"C")};
    auto rows = build_side_rows(in, kLabels);  // 0 1 3 4 5 6 14
    auto view = [](bool tpl, std::int32_t kind, std::int64_t cat) {
        ListView v;
        v.templates_mode = tpl;
        v.view_kind = kind;
        v.category_id = cat;
        return v;
    };
    struct Case {
        ListView v;
        int row;
    } cases[] = {
        {view(true, kViewAll, -1), 4},         {view(false, kViewImages, -1), 5},
        {view(false, kViewPinned, -1), 1},     {view(false, kViewTrash, -1), 3},
        {view(false, kViewCategory, 4), 6},    {view(false, kViewAll, -1), 0},
        {view(false, kViewCategory, -1), 0},   {view(false, kViewSlots, -1), -1},  // hidden row
        {view(false, kViewCategory, 9), -1},
    };
    for (const Case& c : cases) EXPECT_EQ(side_selection_row(rows, c.v), c.row) << c.v.view_kind;
}

TEST(SideRows, StaleCategoryView) {
    ListView v;
    v.view_kind = kViewCategory;
    v.category_id = 5;
    EXPECT_TRUE(category_view_is_stale(v, {category(4, L"x")}));
    EXPECT_FALSE(category_view_is_stale(v, {category(5, L"y")}));
    v.view_kind = kViewAll;
    EXPECT_FALSE(category_view_is_stale(v, {}));
}

TEST(SideRows, IconAndLabel) {
    EXPECT_EQ(side_row_label(L"\U0001F4CC\tPinned"), L"Pinned");
    EXPECT_EQ(side_row_icon(L"\U0001F4CC\tPinned"), L"\U0001F4CC");
    EXPECT_EQ(side_row_icon(L"\tAll"), L"");
    EXPECT_EQ(side_row_label(L"no tab"), L"no tab");
    EXPECT_EQ(side_row_icon(L"12345678\tx"), L"");
    EXPECT_EQ(side_row_icon(L"1234567\tx"), L"1234567");
}

TEST(SideRows, WidthLimits) {
    struct Case {
        int widest, width;
    } cases[] = {{0, 96}, {40, 96}, {48, 96}, {49, 97}, {100, 148}, {212, 260}, {500, 260}};
    for (const Case& c : cases) EXPECT_EQ(side_panel_width(c.widest), c.width) << c.widest;
}

}  // namespace
