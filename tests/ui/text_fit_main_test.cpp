// Every text of the main window, of its menu bar and of the owner-drawn
// menus (the six menus of the bar, the context menus, the tray menu) and
// the fixed texts of the entry hint, measured in the font of its control in
// every shipped language at the smallest and the largest font size,
// against the room that the window's own layout functions give it: at the
// window's smallest width and at the width it opens with.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/context_menus.h"
#include "app/tray_icon.h"
#include "core/i18n.h"
#include "core/text.h"
#include "tests/ui/text_fit_support.h"
#include "theme/fonts.h"
#include "theme/painters.h"
#include "ui/card_draw.h"
#include "ui/entry_commands.h"
#include "ui/entry_hint.h"
#include "ui/list_model.h"
#include "ui/main_window_layout.h"
#include "ui/menu_bar.h"
#include "ui/popup_menu.h"
#include "ui/side_panel.h"

namespace {

using namespace text_fit;

// The client size the main window opens with (620 x 440 outside).
constexpr int kOpenClientWidth = 604;
constexpr int kOpenClientHeight = 401;

// The largest history that is plausible: the total label shows it whole.
constexpr int kLargestCount = 999999;

// The toolbar's tooltip keys, in the order of its buttons.
const wchar_t* const kToolbarTooltipKeys[] = {L"tooltip.paste",      L"tooltip.copy",      L"tooltip.screenshot",
                                              L"tooltip.add_entry",  L"tooltip.pin",       L"tooltip.move_up",
                                              L"tooltip.move_down",  L"tooltip.delete",    L"tooltip.clear",
                                              L"tooltip.cat_toggle", L"tooltip.settings"};

// The side panel with every view shown, the templates open with a group
// and the ungrouped row, and one category.
std::vector<SidePanelRow> full_side_rows() {
    SidePanelInput in;
    in.templates_collapsed = false;
    in.groups = {L"Work"};
    in.has_ungrouped_templates = true;
    Category c;
    c.id = 1;
    c.name = L"Notes";
    in.categories = {c};
    return build_side_rows(in, current_side_labels());
}

// The widest time of a text card: today or yesterday, at 23:59.
int card_time_width(const Measure& list) {
    return std::max(list.width_of(tr_format(L"time.today", 23, 59)),
                    list.width_of(tr_format(L"time.yesterday", 23, 59)));
}

MainLayoutInput main_input(const Measure& menu, const Measure& small, const Measure& list, int categories_width) {
    MainLayoutInput in;
    in.cards_min_width = cards_min_width(card_time_width(list), GetSystemMetrics(SM_CXVSCROLL));
    for (const wchar_t* k : kMainMenuKeys) in.menu_text_widths.push_back(menu.width_of(tr(k)));
    in.total_text_width = small.width_of(total_label_text(kLargestCount));
    in.watch_text_width = menu.width_of(tr(L"toggle.watch_buffer"));
    in.categories_width = categories_width;
    in.client_h = kOpenClientHeight;
    return in;
}

TEST(TextFit, MainWindow) {
    Misfits misfits;
    in_every_language(misfits, [&](int size) {
        const Measure list(size, 400);
        const Measure menu(kMainMenuFontSize, 400);
        const Measure small(kMainSmallFontSize, 400);
        const Measure tip(kMainTooltipFontSize, 400);
        const Measure toast(kMainToastFontSize, 400);

        // The side panel is as wide as its widest label asks; a row keeps
        // its label beside the icon (and the indent of a template group)
        // with the list's scroll bar shown.
        const std::vector<SidePanelRow> rows = full_side_rows();
        const int side_width = side_panel_width(widest_side_label(menu.dc(), rows));
        const RECT item = box(side_width - GetSystemMetrics(SM_CXVSCROLL), kSideRowHeight);
        for (const SidePanelRow& r : rows) {
            const std::wstring label = side_row_label(r.text);
            if (label.empty()) continue;
            misfits.line(menu, "side row", label, side_row_layout(item, side_row_indented(r)).label);
        }

        MainLayoutInput in = main_input(menu, small, list, side_width);
        const int narrowest = main_min_client_width(in);
        for (int client_width : {narrowest, kOpenClientWidth}) {
            in.client_w = client_width;
            const std::string at = " at width " + std::to_string(client_width);
            const MainLayout l = compute_main_layout(in);

            // Menu bar: each caption from 8 in to the button's right edge,
            // the bar inside the client.
            for (size_t i = 0; i < l.menu_buttons.size(); ++i) {
                RECT caption = l.menu_buttons[i];
                caption.left += 8;
                misfits.line(menu, "menu button" + at, tr(kMainMenuKeys[i]), caption);
            }
            if (l.menu_buttons.back().right + 12 > client_width)
                misfits.fail("menu bar" + at, L"", "reaches past the client");
            // The toolbar's last button inside the client.
            const ToolbarSlot& last = toolbar_slots().back();
            if (last.x + 28 > client_width) misfits.fail("toolbar" + at, L"", "reaches past the client");

            // The watch switch's label beside the switch, the total label
            // of the largest count, the two apart.
            misfits.line(menu, "watch switch" + at, tr(L"toggle.watch_buffer"),
                         toggle_layout(l.watch_box, false).label);
            misfits.line(small, "total label" + at, total_label_text(kLargestCount), l.total_label);
            if (l.watch_box.right + 8 > l.total_label.left)
                misfits.fail("bottom row" + at, total_label_text(kLargestCount), "runs into the watch switch");

            // The hint of an empty list wraps in its 60 pixels.
            misfits.wrapped(menu, "empty hint" + at, tr(L"hint.empty"), l.empty_hint, DT_CENTER);

            // Tooltips: the text inside the bordered static, the static
            // inside the client.
            std::vector<RECT> buttons;
            for (const ToolbarSlot& s : toolbar_slots())
                if (s.id != 0) buttons.push_back(RECT{s.x, in.top_bar_height, s.x + 28, in.top_bar_height + 28});
            for (size_t i = 0; i < buttons.size() && i < std::size(kToolbarTooltipKeys); ++i) {
                const std::wstring t = tr(kToolbarTooltipKeys[i]);
                RECT r = tooltip_rect(buttons[i], tip.width_of(t), client_width);
                if (r.right > client_width) misfits.fail("tooltip" + at, t, "reaches past the client");
                InflateRect(&r, -1, -1);
                misfits.line(tip, "tooltip" + at, t, r);
            }
            RECT search_tip = tooltip_rect(l.search_button, tip.width_of(tr(L"tooltip.search")), client_width);
            if (search_tip.right > client_width) misfits.fail("tooltip" + at, tr(L"tooltip.search"), "past the client");
            InflateRect(&search_tip, -1, -1);
            misfits.line(tip, "tooltip" + at, tr(L"tooltip.search"), search_tip);

            // The side panel stays open, and a text card of the cards list
            // (its scroll bar shown) keeps a short entry whole beside the
            // widest time.
            if (!l.side_visible) misfits.fail("side panel" + at, L"", "hidden");
            const RECT row = box(width(l.cards) - GetSystemMetrics(SM_CXVSCROLL), kTextRowHeight);
            const std::wstring time = tr_format(L"time.yesterday", 23, 59);
            misfits.line(list, "card text" + at, L"Entry 1234", text_card_layout(row, card_time_width(list)).text);
            misfits.line(list, "card time" + at, time, text_card_layout(row, list.width_of(time)).meta);

            // The toast: its text right of the icon.
            const RECT t = toast_rect(l.cards, toast.width_of(tr(L"toast.copied")));
            misfits.line(toast, "toast" + at, tr(L"toast.copied"), RECT{t.left + 34, t.top, t.right - 6, t.bottom});
        }
    });
    EXPECT_TRUE(misfits.empty()) << misfits.report();
}

// ---- menus ------------------------------------------------------------------------------------

// Every item of the menu (and of its submenus) keeps its label in its row
// of the width the menu takes for its labels.
void check_menu(Misfits& misfits, const Measure& m, const std::string& name, const std::vector<PopupMenuItem>& items) {
    int widest = 0;
    for (const PopupMenuItem& item : items)
        if (!item.separator) widest = std::max(widest, m.width_of(item.label));
    const int width = menu_width(widest);
    if (items.empty()) misfits.fail(name, L"", "has no items");
    for (const PopupMenuItem& item : items) {
        if (item.separator) continue;
        if (item.label.empty()) misfits.fail(name, L"", "an item without a label");
        misfits.line(m, name, item.label, menu_label_rect(item, width));
        if (!item.children.empty()) check_menu(misfits, m, name + " > " + to_utf8(item.label), item.children);
    }
    // A menu of our own texts fits a small screen.
    if (width > 640) misfits.fail(name, L"", "wider than 640 pixels");
}

TEST(TextFit, MenusOfTheBarTheListsAndTheTray) {
    Misfits misfits;
    in_every_language(misfits, [&](int) {
        const Measure m(raii::Font(), popup_menu_font());
        // The six menus of the bar, in both states of their state-bound
        // items: a category with the largest count and none.
        for (bool on : {true, false}) {
            MenuBarState state;
            state.show_time = state.watch_clipboard = state.always_on_top = on;
            state.category_selected = on;
            state.category_entries = on ? kLargestCount : 0;
            for (int i = 0; i < kMenuBarMenuCount; ++i)
                check_menu(misfits, m, "menu bar " + std::to_string(i), menu_bar_items(i, state));
        }
        // The menus of a history row: one row and several, with and
        // without text, kept, in the slots view, in the trash, templates.
        for (int selected : {1, 3})
            for (bool text : {true, false})
                for (int view : {kViewAll, kViewSlots}) {
                    CardsMenuState s;
                    s.selected = selected;
                    s.has_text = text;
                    s.is_kept = text;
                    s.view_kind = view;
                    s.rows_can_move = true;
                    check_menu(misfits, m, "history row", history_menu_items(s));
                    s.trash_view = true;
                    check_menu(misfits, m, "trash row", history_menu_items(s));
                    s.trash_view = false;
                    s.templates_mode = true;
                    check_menu(misfits, m, "template row", history_menu_items(s));
                }
        check_menu(misfits, m, "cards area", cards_area_menu_items(false, false, kViewAll, -1));
        check_menu(misfits, m, "trash area", cards_area_menu_items(false, true, kViewTrash, -1));
        check_menu(misfits, m, "templates area", cards_area_menu_items(true, false, kViewAll, -1));
        const std::vector<std::wstring> groups = {L"Work", L"Home"};
        check_menu(misfits, m, "template", template_menu_items(groups, L"Work", 1));
        check_menu(misfits, m, "templates", template_menu_items(groups, L"", 2));
        check_menu(misfits, m, "group header", group_menu_items(groups, L"Work", false));
        for (const SidePanelRow& row : full_side_rows()) {
            const std::vector<PopupMenuItem> items = side_menu_items(row, groups, L"Notes", kLargestCount);
            if (!items.empty()) check_menu(misfits, m, "side row " + to_utf8(side_row_label(row.text)), items);
        }
        SidePanelRow category;
        category.kind = SideRowKind::Category;
        category.category_id = 1;
        check_menu(misfits, m, "empty category", side_menu_items(category, groups, L"Notes", 0));
        check_menu(misfits, m, "address", address_menu_items(L"https://www.example.org/"));
        check_menu(misfits, m, "tray", tray_menu_items());
        // The menu's rows are higher than its font.
        if (m.line() > kMenuItemHeight - 4) misfits.fail("menu row", L"", "lower than the font");
    });
    EXPECT_TRUE(misfits.empty()) << misfits.report();
}

// ---- entry hint -------------------------------------------------------------------------------

HistoryEntry page_entry() {
    HistoryEntry e;
    e.text = L"Quillet keeps what you copy.";
    e.source_app = L"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe";
    e.is_browser_page = true;
    e.source_title = L"Clipboard history";
    e.source_url = L"https://www.example.org/";
    e.created_at = L"2026-12-10T21:15:09";
    return e;
}

// The lines of a meta text, each in the row that the hint draws it in.
void check_meta(Misfits& misfits, const Measure& m, const std::string& what, const std::wstring& meta, int room) {
    const int line_h = hint_meta_line_height(m.line());
    size_t start = 0;
    while (start <= meta.size()) {
        size_t end = meta.find(L'\n', start);
        if (end == std::wstring::npos) end = meta.size();
        misfits.line(m, what, meta.substr(start, end - start), box(room, line_h));
        if (end >= meta.size()) break;
        start = end + 1;
    }
}

TEST(TextFit, EntryHintLabelsAndViewButton) {
    Misfits misfits;
    in_every_language(misfits, [&](int size) {
        const Measure m(size, 400);
        const HistoryEntry e = page_entry();
        const std::wstring created = format_created_at(e.created_at);
        const std::wstring text_meta = hint_text_meta(e, L"Google Chrome", e.source_url, created);
        const std::wstring image_meta = hint_image_meta(e, e.source_url, created);
        const std::wstring template_meta = tr(L"card.created") + created;
        // A short text (no scroll bar) and a long one (the widest wrap,
        // with the scroll bar taking 10 pixels of the meta lines).
        for (int body : {60, kHintWrapWidth}) {
            for (const std::wstring* meta : {&text_meta, &template_meta}) {
                const int w = hint_width(body, m.width_of(*meta));
                const int room = w - 24 - (body == kHintWrapWidth ? 10 : 0);
                check_meta(misfits, m, "hint meta", *meta, room);
            }
        }
        // An image preview: its meta lines and the view button over the
        // picture's lower right corner.
        const int w = hint_width(kHintImageWidth, m.width_of(image_meta));
        check_meta(misfits, m, "image hint meta", image_meta, w - 24);
        const HintLayout l =
            compute_hint_layout(w, kHintImageHeight, count_lines(image_meta), hint_meta_line_height(m.line()),
                                kHintImageMaxHeight);
        const std::wstring view = tr(L"action.view");
        const RECT b = hint_view_button_rect(m.width_of(view), m.line(), l.body_top, l.body_bottom, 12, w - 12);
        if (IsRectEmpty(&b)) misfits.fail("view button", view, "not shown");
        RECT caption = b;
        InflateRect(&caption, -6, -3);
        misfits.line(m, "view button", view, caption);
    });
    EXPECT_TRUE(misfits.empty()) << misfits.report();
}

}  // namespace
