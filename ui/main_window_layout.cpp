// Geometry of the main window.
#include "ui/main_window_layout.h"

#include <algorithm>

namespace {

RECT rect_at(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

}  // namespace

int menu_button_width(int text_width) { return std::max(text_width + 12, 40); }

int menu_bar_width(const std::vector<int>& text_widths) {
    int w = 10;
    for (int tw : text_widths) w += menu_button_width(tw) + 1;
    return w + 12;
}

int watch_box_width(int text_width) { return std::max(text_width + 56, 210); }

MainLayout compute_main_layout(const MainLayoutInput& in) {
    MainLayout out;
    const int W = in.client_w;
    const int H = in.client_h;
    const int T = in.top_bar_height;

    int x = 10;
    for (int tw : in.menu_text_widths) {
        int w = menu_button_width(tw);
        out.menu_buttons.push_back(rect_at(x, 2, w, T - 4));
        x += w + 1;
    }

    int S = std::max(W - 58, 120);
    out.search = rect_at(12, T + 43, S, 22);
    out.search_button = rect_at(S + 18, T + 40, 28, 28);

    int P = in.collapsed ? 0 : in.categories_width;
    int F = W - P - 24;
    int L = F >= 200 ? P : std::max(W - 224, 0);
    int Y = T + 74;
    int list_h = std::max(H - Y - 30, 40);
    if (L <= 0) {
        out.side_visible = false;
        out.cards = rect_at(12, Y, W - 24, list_h);
    } else {
        out.side_visible = true;
        out.side = rect_at(12, Y, L, list_h);
        out.cards = rect_at(L + 24, Y, std::max(F, 200), list_h);
    }

    int cards_x = out.cards.left;
    out.empty_hint = rect_at(cards_x, T + 104, W - cards_x - 24, 60);

    int y = H - 30;
    out.watch_box = rect_at(12, y, watch_box_width(in.watch_text_width), 28);
    int R = in.total_text_width < 0 ? 40 : std::max(in.total_text_width + 8, 40);
    out.total_label = rect_at(W - R - 12, y, R, 28);
    return out;
}

int main_min_client_width(const MainLayoutInput& in) {
    const std::vector<ToolbarSlot>& slots = toolbar_slots();
    const int toolbar = slots.back().x + 28 + slots.front().x;
    const int total = in.total_text_width < 0 ? 40 : std::max(in.total_text_width + 8, 40);
    const int bottom_row = 12 + watch_box_width(in.watch_text_width) + 8 + total + 12;
    const int lists = (in.collapsed ? 0 : std::max(in.categories_width, 0)) + 24 + in.cards_min_width;
    return std::max({menu_bar_width(in.menu_text_widths), toolbar, bottom_row, lists});
}

int cards_min_width(int time_width, int scroll_bar_width) { return time_width + 28 + 120 + scroll_bar_width; }

const std::vector<ToolbarSlot>& toolbar_slots() {
    static const std::vector<ToolbarSlot> slots = {
        {201, L'\uE77F', 6},   {202, L'\uE8C8', 36},  {220, L'\uE722', 66},  {221, L'\uE710', 96},
        {203, L'\uE718', 126}, {0, 0, 156},           {205, L'\uE70E', 174}, {206, L'\uE70D', 204},
        {0, 0, 234},           {204, L'\uE74D', 252}, {207, L'\uE894', 282}, {0, 0, 312},
        {209, L'\uE76B', 330}, {0, 0, 360},           {208, L'\uE713', 378},
    };
    return slots;
}

PanelToggleResult compute_panel_toggle(const PanelToggleInput& in) {
    PanelToggleResult out;
    const int left = in.window.left;
    const int cur = in.window.right - in.window.left;
    out.expanded_width = in.expanded_width;
    int width;
    if (in.collapsing) {
        out.expanded_width = cur;
        width = std::max(cur - std::max(in.categories_width, 0), in.min_width);
    } else {
        int target = in.expanded_width;
        if (target <= 0) target = in.categories_width < 0 ? cur : cur + in.categories_width;
        width = std::max(cur, target);
    }
    // The right edge stays where it was.
    int x = left + cur - width;
    const int old_right = left + cur;
    bool left_was_inside = left >= in.work.left && left < in.work.right;
    bool right_was_inside = old_right > in.work.left && old_right <= in.work.right;
    if (x < in.work.left && left_was_inside) x = in.work.left;
    if (x + width > in.work.right && right_was_inside) x = in.work.right - width;
    out.x = x;
    out.width = width;
    return out;
}

int expanded_width_for(int window_width, bool collapsed, int categories_width) {
    return window_width + (collapsed && categories_width >= 0 ? categories_width : 0);
}

RECT tooltip_rect(const RECT& button, int text_width, int client_w) {
    int w = std::max(text_width + 14, 30);
    int bw = button.right - button.left;
    int x = std::max(static_cast<int>(button.left) + bw / 2 - w / 2, 0);
    if (x + w > client_w) x = std::max(client_w - w, 0);
    int y = button.bottom + 2;
    return rect_at(x, y, w, 24);
}

RECT toast_rect(const RECT& list, int text_width) {
    const int W = list.right - list.left;
    int w = std::min(text_width + 48, std::max(W - 16, 0));
    int x = list.left + (W - w) / 2;
    if (W - w < 16) x = list.left + 8;
    x = std::min(x, static_cast<int>(list.right) - w - 8);
    int y = std::max(static_cast<int>(list.bottom) - 48, static_cast<int>(list.top) + 8);
    return rect_at(x, y, w, 36);
}

WheelStep wheel_step(int remainder, int delta) {
    long long s = static_cast<long long>(remainder) + delta;
    WheelStep out;
    out.remainder = static_cast<int>(s % 120);
    out.notches = static_cast<int>(s / 120);
    return out;
}

int wheel_top_index(int top, int notches, int lines, int count) {
    if (count <= 0) return top;
    if (lines < 1) lines = 1;
    if (lines > 4) lines = 4;
    long long t = static_cast<long long>(top) - static_cast<long long>(notches) * lines;
    if (t > count - 1) t = count - 1;
    if (t < 0) t = 0;
    return static_cast<int>(t);
}

int clamp_font_size(int size) { return std::clamp(size, 10, 18); }

RestoredView restore_view(bool last_templates, int last_filter, int last_cat_id) {
    RestoredView v;
    if (last_templates) {
        v.templates_mode = true;
    } else if (last_filter == 6) {
        v.view_kind = 6;
    } else if (last_cat_id > 0 && last_filter > 4) {
        v.view_kind = 5;
        v.category_id = last_cat_id;
    } else if (last_filter >= 1 && last_filter <= 4) {
        v.view_kind = last_filter;
    }
    return v;
}
