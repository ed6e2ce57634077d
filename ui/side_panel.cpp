#include "ui/side_panel.h"

#include <algorithm>

#include "core/handles.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "store/database.h"
#include "ui/card_draw.h"

namespace {

SidePanelRow view_row(const wchar_t* icon, const std::wstring& label, SideRow data, std::int32_t view_kind) {
    SidePanelRow r;
    r.text = std::wstring(icon) + L"\t" + label;
    r.data = data;
    r.kind = SideRowKind::View;
    r.view_kind = view_kind;
    return r;
}

}  // namespace

SideLabels current_side_labels() {
    return SideLabels{tr(L"side.all"),  tr(L"side.pinned"),    tr(L"side.slots"),  tr(L"side.none"),
                      tr(L"side.trash"), tr(L"side.templates"), tr(L"side.images"), tr(L"side.ungrouped")};
}

std::vector<SidePanelRow> build_side_rows(const SidePanelInput& in, const SideLabels& labels) {
    std::vector<SidePanelRow> rows;
    rows.push_back(view_row(L"", labels.all, kSideAll, kViewAll));
    if (!(in.hidden_mask & kHidePinned)) rows.push_back(view_row(L"\U0001F4CC", labels.pinned, kSidePinned, kViewPinned));
    if (!(in.hidden_mask & kHideSlots)) rows.push_back(view_row(L"\U0001F511", labels.slots, kSideSlots, kViewSlots));
    if (!(in.hidden_mask & kHideNone)) rows.push_back(view_row(L"", labels.none, kSideNone, kViewNone));
    if (!(in.hidden_mask & kHideTrash)) rows.push_back(view_row(L"\U0001F5D1", labels.trash, kSideTrash, kViewTrash));
    if (!(in.hidden_mask & kHideTemplates)) {
        SidePanelRow node;
        node.text = std::wstring(in.templates_collapsed ? L"\u25B8" : L"\u25BE") + L"\t" + labels.templates;
        node.data = kSideTemplates;
        node.kind = SideRowKind::TemplatesNode;
        rows.push_back(node);
        if (!in.templates_collapsed) {
            for (std::size_t i = 0; i < in.groups.size(); ++i) {
                SidePanelRow g;
                g.text = L"\t  " + in.groups[i];
                g.data = kSideGroupBase + static_cast<SideRow>(i);
                g.kind = SideRowKind::TemplateGroup;
                g.group_name = in.groups[i];
                rows.push_back(g);
            }
            if (in.has_ungrouped_templates) {
                SidePanelRow u;
                u.text = L"\t  " + labels.ungrouped;
                u.data = kSideUngrouped;
                u.kind = SideRowKind::Ungrouped;
                rows.push_back(u);
            }
        }
    }
    if (!(in.hidden_mask & kHideImages)) rows.push_back(view_row(L"\U0001F5BC", labels.images, kSideImages, kViewImages));
    for (const Category& c : in.categories) {
        SidePanelRow r;
        r.text = std::wstring(c.pinned ? L"\U0001F4CC" : L"") + L"\t" + c.name;
        r.data = c.id + kSideCategoryBase;
        r.kind = SideRowKind::Category;
        r.category_id = c.id;
        rows.push_back(r);
    }
    return rows;
}

std::wstring side_row_label(const std::wstring& text) {
    std::size_t tab = text.find(L'\t');
    return tab == std::wstring::npos ? text : text.substr(tab + 1);
}

std::wstring side_row_icon(const std::wstring& text) {
    std::size_t tab = text.find(L'\t');
    if (tab == std::wstring::npos || tab < 1 || tab > 7) return L"";
    return text.substr(0, tab);
}

int side_panel_width(int widest_label) { return std::min(std::max(widest_label + 48, 96), 260); }

bool side_row_indented(const SidePanelRow& row) {
    return row.kind == SideRowKind::TemplateGroup || row.kind == SideRowKind::Ungrouped;
}

int side_selection_row(const std::vector<SidePanelRow>& rows, const ListView& view) {
    auto find = [&](auto pred) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (pred(rows[i])) return static_cast<int>(i);
        return -1;
    };
    if (view.templates_mode) return find([](const SidePanelRow& r) { return r.kind == SideRowKind::TemplatesNode; });
    const std::int32_t k = view.view_kind;
    if (k == kViewImages || (k >= kViewPinned && k <= kViewTrash))
        return find([k](const SidePanelRow& r) { return r.kind == SideRowKind::View && r.view_kind == k; });
    if (k == kViewCategory && view.category_id > 0) {
        const std::int64_t id = view.category_id;
        return find([id](const SidePanelRow& r) { return r.kind == SideRowKind::Category && r.category_id == id; });
    }
    return find([](const SidePanelRow& r) { return r.kind == SideRowKind::View && r.view_kind == kViewAll; });
}

std::int64_t side_category_id(const SidePanelRow* row) {
    return row && row->kind == SideRowKind::Category ? row->category_id : -1;
}

SideAction side_action_for(const SidePanelRow* row) {
    SideAction a;
    if (!row) return a;
    switch (row->kind) {
        case SideRowKind::View:
            if (row->view_kind == kViewImages) {
                a.kind = SideAction::ShowImages;
            } else {
                a.kind = SideAction::SetView;
                a.view_kind = row->view_kind;
            }
            break;
        case SideRowKind::TemplatesNode:
            a.kind = SideAction::ShowTemplateGroup;
            break;
        case SideRowKind::TemplateGroup:
            a.kind = SideAction::ShowTemplateGroup;
            a.group = row->group_name;
            break;
        case SideRowKind::Ungrouped:
            a.kind = SideAction::ShowTemplateGroup;
            a.group = std::wstring(1, kUngroupedFilter);
            break;
        case SideRowKind::Category:
            a.kind = SideAction::SetView;
            a.view_kind = kViewCategory;
            a.category_id = row->category_id;
            break;
    }
    return a;
}

bool category_view_is_stale(const ListView& view, const std::vector<Category>& categories) {
    if (view.templates_mode || view.view_kind != kViewCategory) return false;
    return std::none_of(categories.begin(), categories.end(),
                        [&](const Category& c) { return c.id == view.category_id; });
}

// --- the panel -----------------------------------------------------------------

void SidePanel::build(Database& db, const Settings& settings) {
    SidePanelInput in;
    in.hidden_mask = settings.categories_hidden;
    in.templates_collapsed = settings.snippet_panel_collapsed;
    if (!(in.hidden_mask & kHideTemplates) && !in.templates_collapsed) {
        in.groups = db.list_snippet_groups();
        for (const Snippet& s : db.list_snippets())
            if (s.grp.empty()) {
                in.has_ungrouped_templates = true;
                break;
            }
    }
    in.categories = db.list_categories();
    rows_ = build_side_rows(in, current_side_labels());
    categories_ = std::move(in.categories);
}

void SidePanel::set_rows(std::vector<SidePanelRow> rows, std::vector<Category> categories) {
    rows_ = std::move(rows);
    categories_ = std::move(categories);
}

const SidePanelRow* SidePanel::row(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) return nullptr;
    return &rows_[index];
}

int widest_side_label(HDC dc, const std::vector<SidePanelRow>& rows) {
    int widest = 0;
    if (!dc) return 0;
    for (const SidePanelRow& r : rows) {
        std::wstring label = side_row_label(r.text);
        if (label.empty()) continue;
        SIZE sz{};
        if (!GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &sz)) continue;
        widest = std::max<int>(widest, sz.cx + (side_row_indented(r) ? kSideRowIndent : 0));
    }
    return widest;
}

int SidePanel::fill(HWND side) const {
    if (!side) return side_panel_width(0);
    SendMessageW(side, LB_RESETCONTENT, 0, 0);
    for (const SidePanelRow& r : rows_) {
        LRESULT i = SendMessageW(side, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(r.text.c_str()));
        if (i >= 0) SendMessageW(side, LB_SETITEMDATA, static_cast<WPARAM>(i), static_cast<LPARAM>(r.data));
    }
    raii::WindowDC dc(side);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(side, WM_GETFONT, 0, 0));
    raii::SelectGuard select(dc.get(), font ? font : GetStockObject(DEFAULT_GUI_FONT));
    return side_panel_width(widest_side_label(dc.get(), rows_));
}
