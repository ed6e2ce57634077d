// The entry hint's colours, placement and size arithmetic, its texts and
// the cache of its picture previews.
#include <algorithm>
#include <unordered_set>

#include "capture/image.h"
#include "capture/link_title.h"
#include "core/i18n.h"
#include "core/text.h"
#include "core/web_url.h"
#include "core/winutil.h"
#include "ui/entry_hint.h"
#include "ui/list_model.h"

const EntryHintColors& entry_hint_colors(bool dark) {
    static const EntryHintColors light{0xFBFBFB, 0xD5D5D5, 0x141414, 0x606060, 0xFAFAFA, 0xC7C7C7, 0xE8E8E8, 0xA0A0A0};
    static const EntryHintColors dark_colors{0x272727, 0x4A4A4A, 0xF2F2F2, 0xC7C7C7,
                                             0x2E2E2E, 0x555555, 0x2C2A2A, 0x8A8A8A};
    return dark ? dark_colors : light;
}

// --- placement and sizes ------------------------------------------------------------------

int hint_meta_line_height(int tm_height) { return tm_height < 12 ? 20 : tm_height + 8; }

int hint_width(int body_width, int meta_width) {
    return std::clamp(std::max(std::max(body_width, 60), meta_width) + 28, 120, 460);
}

POINT place_hint(const RECT& m, const RECT& work, int y, int w, int h) {
    int x = m.left - w - 8;
    if (x <= work.left + 7) {
        x = m.right + 8;
        if (x + w >= work.right - 7 || x <= work.left + 7) x = work.left + 8;
    }
    if (x + w >= work.right - 7) x = work.right - 8 - w;
    if (y + h >= work.bottom - 7) y = work.bottom - 8 - h;
    x = std::max<int>(x, work.left);
    y = std::max<int>(y, work.top);
    return POINT{x, y};
}

int hint_row_y(int main_top, int list_top, int row_top) { return main_top + list_top + row_top - 8; }

int align_hint_y(int y, int height, const RECT& work) {
    if (y + height >= work.bottom - 7) y = work.bottom - height - 8;
    return std::max<int>(y, work.top);
}

int scroll_hint_by(int scroll, int delta, int content_height, int visible_height) {
    const int most = std::max(content_height - visible_height, 0);
    return std::clamp(scroll + delta, 0, most);
}

RECT hint_view_button_rect(int label_width, int tm_height, int body_top, int body_bottom, int left_limit,
                           int clip_right) {
    const int bh = std::max(std::max(tm_height, 12) + 12, 26);
    int top = body_top;
    if (body_bottom - bh - 6 > top) top = body_bottom - bh - 6;
    if (top + bh > body_bottom) return RECT{};
    const int bw = std::max(label_width + 26, 78);
    const int left = std::max(clip_right - bw - 6, left_limit);
    if (left + bw > clip_right) return RECT{};
    return RECT{left, top, left + bw, top + bh};
}

ScrollThumb hint_scroll_thumb(int track_top, int u, int visible_height, int content_height, int scroll) {
    ScrollThumb t;
    int height = content_height > 0 ? static_cast<int>(static_cast<long long>(visible_height) * u / content_height) : u;
    height = std::min(std::max(height, 16), u);
    t.height = height;
    const int range = std::max(content_height - visible_height, 1);
    t.top = track_top + static_cast<int>(static_cast<long long>(scroll) * (u - height) / range);
    return t;
}

// --- texts -------------------------------------------------------------------------------------

std::wstring hint_body_text(const std::wstring& text, bool goes_on) {
    // A long text shows its start, as its card does: laid out and drawn
    // whole it would hold the interface (and the mouse, through the hook)
    // for seconds.
    const std::size_t n = pair_safe_length(text, kRowTextLimit);
    std::wstring out = text.substr(0, n);
    std::replace(out.begin(), out.end(), L'\r', L' ');
    if (n < text.size() || goes_on) out += L"\u2026";
    return out;
}

std::wstring hint_text_meta(const HistoryEntry& e, const std::wstring& app, const std::wstring& address,
                            const std::wstring& created) {
    std::wstring out = tr(L"card.app") + app;
    const bool web = is_web_url(e.text);
    if (!web) {
        if (e.is_browser_page && !e.source_title.empty()) out += L"\n" + tr(L"card.page") + e.source_title;
    } else if (!e.link_title.empty()) {
        out += L"\n" + tr(L"card.name") + e.link_title;
    } else if (e.is_browser_page && !e.source_title.empty()) {
        out += L"\n" + tr(L"card.page") + strip_window_title_suffix(e.source_title);
    }
    if (e.is_browser_page && !e.source_url.empty() && e.source_url == address)
        out += L"\n" + tr(L"card.url") + e.source_url;
    else if (!address.empty())
        out += L"\n" + tr(L"card.url") + address;
    out += L"\n" + tr(L"card.created") + created;
    return out;
}

std::wstring hint_image_meta(const HistoryEntry& e, const std::wstring& address, const std::wstring& created) {
    std::wstring out = card_tooltip_text(e.source_app, e.is_browser_page, e.source_title, address, created);
    if (!e.custom_title.empty()) out = tr(L"card.name") + e.custom_title + L"\n" + out;
    return out;
}

// --- previews ------------------------------------------------------------------------------------

HintPreviewCache::HintPreviewCache()
    : HintPreviewCache([](const std::vector<std::uint8_t>& image) {
          return winutil::image_thumbnail(image, kHintImageWidth, kHintImageHeight, true);
      }) {}

HintPreviewCache::HintPreviewCache(Maker maker, std::size_t capacity)
    : maker_(std::move(maker)), capacity_(std::max<std::size_t>(capacity, 1)) {}

HBITMAP HintPreviewCache::get(std::int64_t id, const std::vector<std::uint8_t>& image) {
    for (auto it = items_.begin(); it != items_.end(); ++it) {
        if (it->id != id) continue;
        items_.splice(items_.begin(), items_, it);
        return items_.front().bitmap.get();
    }
    HBITMAP made = maker_ && !image.empty() ? maker_(image) : nullptr;
    ++made_;
    items_.push_front(Item{id, raii::Bitmap(made)});
    while (items_.size() > capacity_) items_.pop_back();
    return items_.front().bitmap.get();
}

void HintPreviewCache::prune(const std::vector<std::int64_t>& listed_ids) {
    if (items_.empty()) return;
    const std::unordered_set<std::int64_t> listed(listed_ids.begin(), listed_ids.end());
    items_.remove_if([&](const Item& item) { return listed.count(item.id) == 0; });
}
