// The painters of the cards and the side rows. Every pen, brush, font and
// DC made here is released before the painter returns, and the DC's
// selections are put back.
#include "ui/card_draw.h"

#include <string>
#include <vector>

#include "core/handles.h"
#include "theme/fonts.h"
#include "theme/icon_font.h"
#include "ui/list_model.h"
#include "ui/side_panel.h"
#include "ui/thumbnail_cache.h"

namespace {

constexpr UINT kLine = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
constexpr UINT kWrapped = DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS | DT_NOPREFIX;

// Text is drawn with a transparent background; the old mode comes back.
class TransparentText {
public:
    explicit TransparentText(HDC dc) : dc_(dc), old_(SetBkMode(dc, TRANSPARENT)) {}
    ~TransparentText() {
        if (old_) SetBkMode(dc_, old_);
    }
    TransparentText(const TransparentText&) = delete;
    TransparentText& operator=(const TransparentText&) = delete;

private:
    HDC dc_;
    int old_;
};

HFONT font_of(const CardPaint& p) { return p.font ? p.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

void fill(HDC dc, const RECT& rc, COLORREF color) {
    raii::Brush brush(CreateSolidBrush(color));
    FillRect(dc, &rc, brush.get());
}

// A filled rounded rectangle without outline.
void round_fill(HDC dc, const RECT& rc, int corner, COLORREF color) {
    raii::Brush brush(CreateSolidBrush(color));
    raii::SelectGuard b(dc, brush.get());
    raii::SelectGuard pen(dc, GetStockObject(NULL_PEN));
    // With the null pen RoundRect fills one pixel less on the right and the
    // bottom, so the rectangle is widened by one to cover it exactly.
    RoundRect(dc, rc.left, rc.top, rc.right + 1, rc.bottom + 1, corner, corner);
}

void text_in(HDC dc, const std::wstring& text, RECT rc, COLORREF color, UINT format) {
    if (text.empty()) return;
    SetTextColor(dc, color);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, format);
}

int line_height(HDC dc) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    return static_cast<int>(tm.tmHeight);
}

int text_width(HDC dc, const std::wstring& text) {
    if (text.empty()) return 0;
    SIZE sz{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &sz);
    return sz.cx;
}

// Draws an emoji used as an icon in the DC's font, or, where neither that
// font nor an emoji font of the system has it, in the fallback icon font at
// the same size. Gives the drawn width.
int icon_in(HDC dc, const std::wstring& icon, const RECT& rc, COLORREF color, UINT format) {
    if (icon.empty()) return 0;
    if (system_draws_emoji(dc, icon)) {
        text_in(dc, icon, rc, color, format);
        return text_width(dc, icon);
    }
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    raii::Font fallback = create_fallback_icon_font(static_cast<int>(tm.tmHeight - tm.tmInternalLeading));
    raii::SelectGuard font(dc, fallback.get());
    SetTextColor(dc, color);
    return draw_by_glyph_index(dc, icon, rc);
}

// Draws a card's text, which may start with the pin marker (the pin and a
// blank). Where the system has no pin, the pin is drawn as an icon and the
// rest of the text follows it.
void marked_text_in(HDC dc, const std::wstring& text, RECT rc, COLORREF color, UINT format) {
    const std::wstring marker = kPinMarker;
    const std::wstring pin = marker.substr(0, marker.find(L' '));
    if (text.rfind(pin, 0) != 0 || system_draws_emoji(dc, pin)) {
        text_in(dc, text, rc, color, format);
        return;
    }
    rc.left += icon_in(dc, pin, rc, color, kLine);
    text_in(dc, text.substr(pin.size()), rc, color, format);
}

// The list font again at weight 600.
raii::Font bold_of(HFONT font) {
    LOGFONTW lf{};
    if (!GetObjectW(font, sizeof(lf), &lf)) return raii::Font();
    lf.lfWeight = 600;
    return raii::Font(CreateFontIndirectW(&lf));
}

struct TextColors {
    COLORREF main, secondary;
};

TextColors colors_for(const CardPaint& p) {
    const CardColors& c = card_colors(p.dark);
    if (p.selected) return {kSelectedTextColor, kSelectedTextColor};
    return {c.main_text, c.secondary_text};
}

void split_first_line(const std::wstring& text, std::wstring& first, std::wstring& rest) {
    std::size_t lf = text.find(L'\n');
    if (lf == std::wstring::npos) {
        first = text;
        rest.clear();
    } else {
        first = text.substr(0, lf);
        rest = text.substr(lf + 1);
    }
}

}  // namespace

void draw_card_background(const CardPaint& p) {
    const CardColors& c = card_colors(p.dark);
    fill(p.dc, p.rc, c.row_background);
    round_fill(p.dc, card_shape_rect(p.rc), 8, p.selected ? c.card_selected : c.card_fill);
}

void draw_group_header(const CardPaint& p, const std::wstring& name, int count) {
    TransparentText transparent(p.dc);
    const TextColors tc = colors_for(p);
    const HeaderLayout l = group_header_layout(p.rc);
    raii::SelectGuard font(p.dc, font_of(p));
    text_in(p.dc, L"\u25BE", l.arrow, tc.secondary, kLine);
    {
        raii::Font bold = bold_of(font_of(p));
        raii::SelectGuard b(p.dc, bold.get());
        text_in(p.dc, name, l.name, tc.main, kLine | DT_END_ELLIPSIS);
    }
    // "(пусто)": the count of an empty group.
    std::wstring n = count == 0 ? L"(\u043f\u0443\u0441\u0442\u043e)" : std::to_wstring(count);
    text_in(p.dc, n, l.count, tc.secondary, kLine | DT_RIGHT);
}

void draw_template_card(const CardPaint& p, const std::wstring& row_text, bool in_group) {
    TransparentText transparent(p.dc);
    const TextColors tc = colors_for(p);
    TemplateLayout l{};
    std::wstring title, body;
    split_first_line(row_text, title, body);
    raii::SelectGuard font(p.dc, font_of(p));
    {
        raii::Font bold = bold_of(font_of(p));
        raii::SelectGuard b(p.dc, bold.get());
        l = template_card_layout(p.rc, in_group, line_height(p.dc));
        text_in(p.dc, title, l.title, tc.main, kLine | DT_END_ELLIPSIS);
    }
    text_in(p.dc, body, l.body, tc.secondary, kWrapped);
}

void draw_image_card(const CardPaint& p, HBITMAP thumbnail, const std::wstring& display_name, bool pinned,
                     const std::wstring& meta) {
    TransparentText transparent(p.dc);
    const CardColors& c = card_colors(p.dark);
    const TextColors tc = colors_for(p);
    raii::SelectGuard font(p.dc, font_of(p));
    const ImageCardLayout l =
        image_card_layout(p.rc, line_height(p.dc), meta.empty() ? -1 : text_width(p.dc, meta));
    const COLORREF card_fill = p.selected ? c.card_selected : c.card_fill;
    round_fill(p.dc, l.frame, 6, c.thumbnail_frame);
    fill(p.dc, l.inside, card_fill);

    BITMAP bm{};
    if (thumbnail && GetObjectW(thumbnail, sizeof(bm), &bm) && bm.bmWidth > 0 && bm.bmHeight > 0) {
        const RECT dst = thumbnail_rect(l.inside, bm.bmWidth, bm.bmHeight);
        raii::MemoryDC mem(CreateCompatibleDC(p.dc));
        raii::SelectGuard sel(mem.get(), thumbnail);
        if (sel.ok())
            StretchBlt(p.dc, dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top, mem.get(), 0, 0,
                       bm.bmWidth, bm.bmHeight, SRCCOPY);
        // sel gives the bitmap back to the cache before mem is deleted.
    } else {
        fill(p.dc, l.inside, c.thumbnail_empty);
        text_in(p.dc, L"?", l.inside, tc.secondary, kLine | DT_CENTER);
    }

    std::wstring line1, line2;
    split_first_line(display_name, line1, line2);
    marked_text_in(p.dc, pinned ? kPinMarker + line1 : line1, l.line1, tc.main, kLine | DT_END_ELLIPSIS);
    if (!line2.empty()) text_in(p.dc, line2, l.line2, tc.secondary, kWrapped);
    if (!meta.empty()) text_in(p.dc, meta, l.meta, tc.secondary, kLine | DT_RIGHT | DT_END_ELLIPSIS);
}

void draw_text_card(const CardPaint& p, const std::wstring& row_text, const std::wstring& meta) {
    TransparentText transparent(p.dc);
    const TextColors tc = colors_for(p);
    raii::SelectGuard font(p.dc, font_of(p));
    const TextCardLayout l = text_card_layout(p.rc, meta.empty() ? -1 : text_width(p.dc, meta));
    if (!meta.empty()) text_in(p.dc, meta, l.meta, tc.secondary, kLine | DT_RIGHT | DT_END_ELLIPSIS);
    marked_text_in(p.dc, row_text, l.text, tc.main, kLine | DT_END_ELLIPSIS);
}

void draw_cards_item(const DRAWITEMSTRUCT& dis, const CardListContext& ctx) {
    if (dis.itemID == static_cast<UINT>(-1)) return;
    CardPaint p;
    p.dc = dis.hDC;
    p.rc = dis.rcItem;
    p.selected = (dis.itemState & ODS_SELECTED) != 0;
    p.dark = ctx.options.dark;
    p.font = reinterpret_cast<HFONT>(SendMessageW(dis.hwndItem, WM_GETFONT, 0, 0));

    const int index = static_cast<int>(dis.itemID);
    std::wstring text;
    const std::int64_t key = static_cast<std::int64_t>(SendMessageW(dis.hwndItem, LB_GETITEMDATA, index, 0));
    if ((GetWindowLongPtrW(dis.hwndItem, GWL_STYLE) & LBS_HASSTRINGS) == 0) {
        // A list box without texts: the row's text is the model's.
        if (ctx.model && ctx.model->row_key(index) == key) text = ctx.model->row_text(index);
    } else {
        LRESULT len = SendMessageW(dis.hwndItem, LB_GETTEXTLEN, index, 0);
        if (len > 0) {
            text.resize(static_cast<std::size_t>(len) + 1);
            LRESULT got = SendMessageW(dis.hwndItem, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
            text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        }
    }

    const int saved = SaveDC(p.dc);
    draw_card_background(p);
    const ListModel* model = ctx.model;
    if (is_group_header_key(key)) {
        const std::wstring name = key == kUngroupedHeaderKey ? std::wstring() : strip_group_prefix(text);
        draw_group_header(p, strip_group_prefix(text), model ? model->count_templates_in_group(name) : 0);
    } else if (key < 0) {
        draw_template_card(p, text, model && model->row_in_group(index));
    } else if (const HistoryEntry* image = model ? model->find_image_entry(key) : nullptr) {
        HBITMAP thumb = ctx.thumbnails ? ctx.thumbnails->get(image->id, image->image, kThumbnailSize) : nullptr;
        const std::wstring meta = ctx.options.show_time ? format_card_meta(*model, key, ctx.options) : L"";
        draw_image_card(p, thumb, entry_display_name(*image), image->effective_pinned, meta);
    } else {
        draw_text_card(p, text, model ? format_card_meta(*model, key, ctx.options) : L"");
    }
    RestoreDC(p.dc, saved);
}

void draw_side_row(const CardPaint& p, const std::wstring& text, bool indented) {
    TransparentText transparent(p.dc);
    const CardColors& c = card_colors(p.dark);
    const TextColors tc = colors_for(p);
    const SideRowLayout l = side_row_layout(p.rc, indented);
    fill(p.dc, p.rc, c.side_background);
    if (p.selected) round_fill(p.dc, l.highlight, 8, c.side_selected);
    raii::SelectGuard font(p.dc, font_of(p));
    icon_in(p.dc, side_row_icon(text), l.icon, tc.secondary, kLine);
    text_in(p.dc, side_row_label(text), l.label, tc.main, kLine | DT_END_ELLIPSIS);
}

void draw_side_item(const DRAWITEMSTRUCT& dis, const SidePanel& panel, bool dark) {
    if (dis.itemID == static_cast<UINT>(-1)) return;
    CardPaint p;
    p.dc = dis.hDC;
    p.rc = dis.rcItem;
    p.selected = (dis.itemState & ODS_SELECTED) != 0;
    p.dark = dark;
    p.font = reinterpret_cast<HFONT>(SendMessageW(dis.hwndItem, WM_GETFONT, 0, 0));
    const SidePanelRow* row = panel.row(static_cast<int>(dis.itemID));
    std::wstring text;
    if (row) {
        text = row->text;
    } else {
        LRESULT len = SendMessageW(dis.hwndItem, LB_GETTEXTLEN, dis.itemID, 0);
        if (len > 0) {
            text.resize(static_cast<std::size_t>(len) + 1);
            LRESULT got = SendMessageW(dis.hwndItem, LB_GETTEXT, dis.itemID, reinterpret_cast<LPARAM>(text.data()));
            text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        }
    }
    const int saved = SaveDC(p.dc);
    draw_side_row(p, text, row && side_row_indented(*row));
    RestoreDC(p.dc, saved);
}
