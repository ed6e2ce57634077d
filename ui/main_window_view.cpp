// The main window's two lists: what the cards list shows (the view, the
// templates mode and group filter), its refresh from the list model, the
// side panel's rows and selection, and the owner drawing of both lists.
#include <windows.h>

#include "app/app.h"
#include "app/app_ids.h"
#include "core/settings.h"
#include "core/text.h"
#include "store/database.h"
#include "ui/card_draw.h"
#include "ui/cards_list.h"
#include "ui/entry_commands.h"
#include "ui/main_window.h"

namespace {

Settings* settings_of(App* app) { return app ? app->settings.get() : nullptr; }
Database* database_of(App* app) { return app ? app->database.get() : nullptr; }

}  // namespace

ListView MainWindow::current_view() const {
    ListView v;
    v.templates_mode = templates_mode;
    v.view_kind = templates_mode ? kViewAll : view_kind;
    v.category_id = templates_mode ? -1 : category_id;
    v.group_filter = templates_mode ? group_filter : std::wstring();
    return v;
}

bool MainWindow::search_empty() const { return !search || GetWindowTextLengthW(search) == 0; }

void MainWindow::refresh_view(bool to_top) {
    scroll_to_top = to_top;
    refresh_list();
}

void MainWindow::refresh_list() {
    if (!cards) return;
    cancel_click_copy();
    Database* db = database_of(app);
    ListPosition old = read_list_position(cards);
    const bool to_top = scroll_to_top;
    scroll_to_top = false;
    refreshing = true;
    bool same = false;
    const std::wstring text = search ? get_dlg_item_text(window, kIdSearch) : std::wstring();
    const bool store_unchanged = db && settings_of(app) && model.store_unchanged(*db, current_view(), *settings_of(app));
    if (db && settings_of(app)) {
        trash_view = !templates_mode && view_kind == kViewTrash;
        same = load_list(model, *db, *settings_of(app), current_view(), text, &thumbnails);
    } else {
        same = model.set_search(text);
    }
    apply_model_to_list(cards, shown_rows, model, old, same, to_top);
    refreshing = false;
    if (empty_hint) ShowWindow(empty_hint, model.row_count() == 0 ? SW_SHOW : SW_HIDE);
    // The texts not read yet follow in pieces while the window answers.
    if (model.has_pending_texts()) SetTimer(cards, kListTextsTimer, 0, nullptr);
    hint.previews.prune(model.entry_ids());
    // Nothing written since the list was read: the count stays as it is,
    // though its text may be in another language now.
    update_total_label(!store_unchanged || total_count < 0);
    refresh_hint();
    sync_add_entry_button();
}

void MainWindow::update_total_label(bool recount) {
    Database* db = database_of(app);
    if (!total_label || !db) return;
    if (recount || total_count < 0) total_count = db->count_entries();
    std::wstring text = total_label_text(total_count);
    if (text == total_text_shown) return;
    total_text_shown = std::move(text);
    // The label takes the width of the new text before it shows it: a
    // static control paints a new text at once, and a longer one drawn into
    // the old width would stand beside what is left of the old one.
    const bool shown = IsWindowVisible(total_label) != FALSE;
    if (shown) ShowWindow(total_label, SW_HIDE);
    SetWindowTextW(total_label, total_text_shown.c_str());
    relayout();
    if (shown) ShowWindow(total_label, SW_SHOWNA);
}

void MainWindow::refresh_all() {
    build_side_panel();
    refresh_list();
    relayout();
}

void MainWindow::build_side_panel() {
    if (!side) return;
    Database* db = database_of(app);
    Settings* s = settings_of(app);
    if (db && s) {
        panel.build(*db, *s);
    } else {
        panel.set_rows(build_side_rows(SidePanelInput{}, current_side_labels()));
    }
    int width = panel.fill(side);
    categories_width = width;
    if (s) s->categories_width = width;
    model.set_categories(panel.categories());
    if (!templates_mode && category_view_is_stale(current_view(), panel.categories())) {
        // The category of the view is gone: back to every entry.
        view_kind = kViewAll;
        category_id = -1;
        publish_current_category();
    }
    sync_side_selection();
}

void MainWindow::set_view(int kind, std::int64_t category) {
    templates_mode = false;
    group_filter.clear();
    view_kind = kind;
    category_id = category;
    trash_view = kind == kViewTrash;
    publish_current_category();
    sync_side_selection();
    scroll_to_top = false;
    refresh_list();
}

void MainWindow::show_images() { set_view(kViewImages, -1); }

void MainWindow::show_templates() { show_template_group(std::wstring()); }

void MainWindow::show_template_group(const std::wstring& name) {
    templates_mode = true;
    trash_view = false;
    group_filter = name;
    view_kind = kViewAll;
    category_id = -1;
    expand_templates_node();
    // Every group: the templates row. A group row chosen in the side panel
    // stays selected.
    if (name.empty()) sync_side_selection();
    publish_current_category();
    refresh_list();
}

void MainWindow::open_templates() {
    if (window) {
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
    }
    show_templates();
}

void MainWindow::open_templates_node() {
    templates_mode = true;
    trash_view = false;
    group_filter.clear();
    view_kind = kViewAll;
    category_id = -1;
    if (Settings* s = settings_of(app)) {
        s->snippet_panel_collapsed = !s->snippet_panel_collapsed;
        if (app) app->save_settings();
    }
    publish_current_category();
    build_side_panel();
    relayout();
    refresh_list();
}

void MainWindow::toggle_templates_node() {
    if (Settings* s = settings_of(app)) {
        s->snippet_panel_collapsed = !s->snippet_panel_collapsed;
        if (app) app->save_settings();
    }
    build_side_panel();
    relayout();
}

void MainWindow::expand_templates_node() {
    Settings* s = settings_of(app);
    if (!s || !s->snippet_panel_collapsed) return;
    s->snippet_panel_collapsed = false;
    if (app) app->save_settings();
    build_side_panel();
    relayout();
}

void MainWindow::publish_current_category() {
    if (!app) return;
    if (!templates_mode && view_kind == kViewCategory && category_id > 0)
        app->capture_category = category_id;
    else
        app->capture_category.reset();
}

void MainWindow::sync_side_selection() {
    if (!side) return;
    int row = side_selection_row(panel.rows(), current_view());
    SendMessageW(side, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

std::int64_t MainWindow::selected_category_id() const {
    if (!side) return -1;
    return side_category_id(panel.row(static_cast<int>(SendMessageW(side, LB_GETCURSEL, 0, 0))));
}

void MainWindow::on_side_selection() {
    if (!side) return;
    SideAction action = side_action_for(panel.row(static_cast<int>(SendMessageW(side, LB_GETCURSEL, 0, 0))));
    switch (action.kind) {
        case SideAction::SetView: set_view(action.view_kind, action.category_id); break;
        case SideAction::ShowImages: show_images(); break;
        case SideAction::ShowTemplateGroup: show_template_group(action.group); break;
        case SideAction::None: break;
    }
}

void MainWindow::set_link_title(std::int64_t id, const std::wstring& title) {
    if (title.empty() || !model.set_link_title(id, title) || !cards) return;
    // The hint of this entry shows the title at once.
    if (hint.shown && hint.hinted_key == id) show_entry_hint(id);
    int row = model.row_of_key(id);
    if (row < 0) return;
    RECT rc{};
    if (SendMessageW(cards, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rc)) != LB_ERR)
        InvalidateRect(cards, &rc, TRUE);
}

bool MainWindow::draw_list_item(const DRAWITEMSTRUCT* dis) {
    if (!dis || dis->CtlType != ODT_LISTBOX) return false;
    if (dis->CtlID == static_cast<UINT>(kIdCards)) {
        CardListContext context;
        context.model = &model;
        context.thumbnails = &thumbnails;
        context.options.dark = dark;
        context.options.show_time = show_time;
        Settings* s = settings_of(app);
        context.options.show_category = s ? s->show_category : true;
        context.options.today = today_local();
        draw_cards_item(*dis, context);
        return true;
    }
    if (dis->CtlID == static_cast<UINT>(kIdSide)) {
        draw_side_item(*dis, panel, dark);
        return true;
    }
    return false;
}
