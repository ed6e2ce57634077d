// The side panel (list box 103): the fixed views, the templates node with
// its groups, images and the user's categories, as rows of text and item
// data, with the kind of every row kept beside its item data so that a
// category and a template group can never be taken for each other (a
// category id of 990 or more gives item data of 1000 or more, the range of
// the group rows).
//
// How the main window uses it (interface thread):
//   build_side_panel:     panel.build(db, settings) or panel.set_rows(build_side_rows(...)),
//                         then panel.fill(side) -> the width to store in
//                         categories_width and Settings categories_width;
//                         model.set_categories(panel.categories()) for the cards;
//                         category_view_is_stale -> set_view(0, -1);
//                         then side_selection_row -> LB_SETCURSEL;
//   LBN_SELCHANGE:        side_action_for(panel.row(LB_GETCURSEL)) tells what to show;
//   selected_category_id: side_category_id(panel.row(LB_GETCURSEL));
//   WM_DRAWITEM:          draw_side_item (ui/card_draw.h) with panel.row(itemID).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "store/records.h"
#include "ui/list_model.h"

class Database;
struct Settings;

// Item data of the side panel's rows.
using SideRow = std::int64_t;
inline constexpr SideRow kSideAll = 0;
inline constexpr SideRow kSidePinned = 1;
inline constexpr SideRow kSideSlots = 2;
inline constexpr SideRow kSideNone = 3;
inline constexpr SideRow kSideTrash = 4;
inline constexpr SideRow kSideTemplates = 5;
inline constexpr SideRow kSideImages = 6;
inline constexpr SideRow kSideCategoryBase = 10;     // + category id
inline constexpr SideRow kSideGroupBase = 1000;      // + index in the store's group list
inline constexpr SideRow kSideUngrouped = 0x100000003E8LL;

// Bits of Settings categories_hidden: views left out of the panel.
inline constexpr int kHidePinned = 0x01;
inline constexpr int kHideSlots = 0x02;
inline constexpr int kHideNone = 0x04;
inline constexpr int kHideTrash = 0x08;
inline constexpr int kHideTemplates = 0x10;
inline constexpr int kHideImages = 0x20;

enum class SideRowKind {
    View,            // all, pinned, slots, none, trash, images (view_kind says which)
    TemplatesNode,   // the templates node
    TemplateGroup,   // one group of the store's list (group_name)
    Ungrouped,       // the templates without a group
    Category,        // a category (category_id)
};

struct SidePanelRow {
    std::wstring text;          // icon, TAB, label
    SideRow data = 0;           // the list box's item data
    SideRowKind kind = SideRowKind::View;
    std::int32_t view_kind = kViewAll;   // kind View
    std::int64_t category_id = -1;       // kind Category
    std::wstring group_name;             // kind TemplateGroup: the store's name, exactly
    bool operator==(const SidePanelRow&) const = default;
};

// The labels of the fixed rows (tr of the side.* keys).
struct SideLabels {
    std::wstring all, pinned, slots, none, trash, templates, images, ungrouped;
};
SideLabels current_side_labels();

struct SidePanelInput {
    int hidden_mask = 0;                 // Settings categories_hidden
    bool templates_collapsed = true;     // Settings snippet_panel_collapsed
    std::vector<std::wstring> groups;    // Database::list_snippet_groups
    bool has_ungrouped_templates = false;  // a live template has an empty group
    std::vector<Category> categories;    // Database::list_categories
};

// The rows in their order: all; pinned, slots, none, trash, the templates
// node (with its groups and the ungrouped row when expanded) and images,
// each unless its bit is set; then every category.
std::vector<SidePanelRow> build_side_rows(const SidePanelInput& input, const SideLabels& labels);

// The label of a row text: what follows its first TAB, or the whole text.
std::wstring side_row_label(const std::wstring& text);
// The icon of a row text: what precedes its first TAB when that is 1 to 7
// characters long, else empty.
std::wstring side_row_icon(const std::wstring& text);

// The panel's width for its widest label: min(max(widest + 48, 96), 260),
// which keeps the label whole beside its icon with the scroll bar shown.
int side_panel_width(int widest_label);

// True for the rows drawn indented (template groups and the ungrouped row).
bool side_row_indented(const SidePanelRow& row);

// The row to select for the view: the templates node in templates mode,
// images for view 6, the view's row for 1 to 4, the category's row for view
// 5 with an id above 0, else "all"; -1 when that row is not shown.
int side_selection_row(const std::vector<SidePanelRow>& rows, const ListView& view);

// The category of a row; -1 for a row that is not a category.
std::int64_t side_category_id(const SidePanelRow* row);

// What choosing a side row shows.
struct SideAction {
    enum Kind { None, SetView, ShowImages, ShowTemplateGroup } kind = None;
    std::int32_t view_kind = kViewAll;   // SetView
    std::int64_t category_id = -1;       // SetView of a category
    std::wstring group;                  // ShowTemplateGroup: empty = all, a name, or kUngroupedFilter
};
SideAction side_action_for(const SidePanelRow* row);

// A category view whose category is no longer among the categories (the
// main window then goes back to the "all" view).
bool category_view_is_stale(const ListView& view, const std::vector<Category>& categories);

// The panel's rows with the list box that shows them.
class SidePanel {
public:
    // Reads the groups, the templates and the categories from the store and
    // builds the rows with the settings' mask and collapse flag.
    void build(Database& db, const Settings& settings);
    void set_rows(std::vector<SidePanelRow> rows, std::vector<Category> categories = {});

    // Fills the list box (LB_RESETCONTENT, then each row with its item data)
    // and returns the panel's width measured with the list's font.
    int fill(HWND side) const;

    const std::vector<SidePanelRow>& rows() const { return rows_; }
    const std::vector<Category>& categories() const { return categories_; }
    // The row at an index, null out of range (LB_ERR included).
    const SidePanelRow* row(int index) const;

private:
    std::vector<SidePanelRow> rows_;
    std::vector<Category> categories_;
};

// The widest label of the rows on the DC with its selected font, an
// indented row's indent counted in.
int widest_side_label(HDC dc, const std::vector<SidePanelRow>& rows);
