// The pure part of the card drawing: dates, the meta line, colours and the
// rectangles of every row kind.
#include <algorithm>
#include <cwchar>

#include "core/i18n.h"
#include "core/winutil.h"
#include "ui/card_draw.h"
#include "ui/list_model.h"

// --- dates ----------------------------------------------------------------------

std::int64_t days_from_civil(int year, int month, int day) {
    // Howard Hinnant's days_from_civil, in 64 bits.
    std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (month + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

namespace {

bool is_leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool is_real_date(const CivilDate& d) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.month < 1 || d.month > 12 || d.day < 1) return false;
    int last = kDays[d.month - 1] + (d.month == 2 && is_leap(d.year) ? 1 : 0);
    return d.day <= last;
}

}  // namespace

std::optional<std::int64_t> calendar_day_difference(const CivilDate& from, const CivilDate& to) {
    if (!is_real_date(from) || !is_real_date(to)) return std::nullopt;
    return days_from_civil(to.year, to.month, to.day) - days_from_civil(from.year, from.month, from.day);
}

CivilDate today_local() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return CivilDate{st.wYear, st.wMonth, st.wDay};
}

// --- meta line -------------------------------------------------------------------

std::wstring format_card_meta(const CardMetaInput& in) {
    std::wstring meta;
    if (in.view_kind == kViewSlots && in.position >= 1 && in.position <= 9)
        meta += L"Ctrl+Shift+" + std::to_wstring(in.position) + L"  ";
    if (in.show_category && in.view_kind == kViewAll && in.category_name)
        meta += L"[" + *in.category_name + L"] ";
    if (in.show_time) {
        auto st = parse_created_at(in.created_at);
        if (st && st->year != 0) {
            auto days = calendar_day_difference(CivilDate{st->year, st->month, st->day}, in.today);
            if (days && *days == 0) {
                meta += tr_format(L"time.today", st->hour, st->minute);
            } else if (days && *days == 1) {
                meta += tr_format(L"time.yesterday", st->hour, st->minute);
            } else {
                wchar_t buf[64];
                std::swprintf(buf, 64, L"%02d.%02d %02d:%02d", st->day, st->month, st->hour, st->minute);
                meta += buf;
            }
        }
    }
    while (!meta.empty() && meta.back() == L' ') meta.pop_back();
    return meta;
}

std::wstring format_card_meta(const ListModel& model, std::int64_t id, const CardOptions& options) {
    const HistoryEntry* e = model.find_entry(id);
    if (!e) return L"";
    CardMetaInput in;
    in.view_kind = model.view().view_kind;
    in.position = model.entry_position(id) + 1;
    in.show_category = options.show_category;
    in.show_time = options.show_time;
    if (e->category_id) {
        auto it = model.category_names().find(*e->category_id);
        if (it != model.category_names().end()) in.category_name = &it->second;
    }
    in.created_at = e->created_at;
    in.today = options.today;
    return format_card_meta(in);
}

std::wstring entry_display_name(const HistoryEntry& entry) {
    if (!entry.custom_title.empty()) return entry.custom_title;
    std::wstring info = card_info_text(entry.source_app, entry.is_browser_page, entry.source_title, entry.source_url);
    if (!info.empty() && (entry.is_browser_page || !entry.source_title.empty())) return info;
    return tr_format(L"card.screenshot", format_created_at(entry.created_at));
}

// --- colours ----------------------------------------------------------------------

const CardColors& card_colors(bool dark) {
    static const CardColors light{0xFFFFFF, 0xF0F0F0, 0xCC6600, 0x141414, 0x606060,
                                  0xD5D5D5, 0xFBFBFB, 0xFBFBFB, 0xCC6600, 0xF3F3F3};
    static const CardColors night{0x2B2B2B, 0x2C2A2A, 0xD06B0A, 0xF2F2F2, 0xC7C7C7,
                                  0x4A4A4A, 0x272727, 0x272727, 0xD06B0A, 0x202020};
    return dark ? night : light;
}

// --- layout -------------------------------------------------------------------------

int card_row_height(const std::wstring& row_text, bool image_row) {
    if (row_text.compare(0, 4, kGroupRowPrefix) == 0) return kHeaderRowHeight;
    if (image_row) return kTallRowHeight;
    if (row_text.find(L'\n') != std::wstring::npos) return kTallRowHeight;
    return kTextRowHeight;
}

int card_row_height(const ListModel* model, int index) {
    if (!model || index < 0 || static_cast<std::size_t>(index) >= model->row_count()) return kTextRowHeight;
    // An entry's row is one line (or an image) whatever its text.
    if (is_entry_key(model->row_key(index))) return model->row_is_image(index) ? kTallRowHeight : kTextRowHeight;
    return card_row_height(model->row_text(index), model->row_is_image(index));
}

RECT card_shape_rect(const RECT& r) { return RECT{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2}; }

HeaderLayout group_header_layout(const RECT& r) {
    return HeaderLayout{RECT{r.left + 10, r.top, r.left + 26, r.bottom}, RECT{r.left + 30, r.top, r.right - 60, r.bottom},
                        RECT{r.right - 56, r.top, r.right - 8, r.bottom}};
}

TemplateLayout template_card_layout(const RECT& r, bool in_group, int font_height) {
    const int indent = in_group ? 0 : -14;
    const int title_bottom = r.top + 3 + std::max(20, font_height);
    return TemplateLayout{RECT{r.left + 28 + indent, r.top + 3, r.right - 8, title_bottom},
                          RECT{r.left + 29 + indent, title_bottom - 1, r.right - 8, r.bottom - 3}};
}

ImageCardLayout image_card_layout(const RECT& r) { return image_card_layout(r, 0, -1); }

ImageCardLayout image_card_layout(const RECT& r, int font_height, int meta_width) {
    ImageCardLayout l;
    const int x = r.left + 8;
    const int y = r.top + (r.bottom - r.top - 44) / 2;
    l.frame = RECT{x, y, x + 44, y + 44};
    l.inside = RECT{x + 1, y + 1, x + 43, y + 43};
    l.line1 = RECT{r.left + 62, r.top + 4, r.right - 8, r.top + 4 + std::max(18, font_height)};
    const int meta_height = std::max(15, font_height);
    l.meta = RECT{r.left, r.bottom - 3 - meta_height, r.right - 8, r.bottom - 3};
    l.line2 = RECT{r.left + 62, l.line1.bottom + 2, r.right - 8, l.meta.top + 2};
    if (meta_width >= 0 && l.line2.bottom - l.line2.top < font_height) {
        l.meta.left = std::max<LONG>(r.right - 8 - meta_width, r.left + 62);
        l.line2.bottom = r.bottom - 3;
        l.line2.right = std::max<LONG>(l.meta.left - 8, l.line2.left);
    }
    return l;
}

RECT thumbnail_rect(const RECT& inside, int bitmap_width, int bitmap_height) {
    const int w = std::min(bitmap_width, kThumbnailSize);
    const int h = std::min(bitmap_height, kThumbnailSize);
    const int x = inside.left + (inside.right - inside.left - w) / 2;
    const int y = inside.top + (inside.bottom - inside.top - h) / 2;
    return RECT{x, y, x + w, y + h};
}

TextCardLayout text_card_layout(const RECT& r, int meta_width) {
    TextCardLayout l{RECT{r.left + 12, r.top, r.right - 8, r.bottom}, RECT{}};
    if (meta_width >= 0) {
        l.meta = RECT{r.right - 16 - meta_width, r.top, r.right - 8, r.bottom};
        l.text.right = r.right - 16 - meta_width;
    }
    return l;
}

SideRowLayout side_row_layout(const RECT& r, bool indented) {
    const int indent = indented ? kSideRowIndent : 0;
    return SideRowLayout{RECT{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2},
                         RECT{r.left + 6, r.top, r.left + 24, r.bottom},
                         RECT{r.left + indent + 24, r.top, r.right - 4, r.bottom}};
}
