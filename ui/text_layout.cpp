// Advance widths by block, line breaking, hit tests and line drawing.
#include "ui/text_layout.h"

#include <algorithm>

namespace {

bool is_low_surrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The x after the unit c drawn at x (tabs from a line starting at 0).
int advance(wchar_t c, int x, CharWidths& widths) {
    if (c == L'\t') {
        const int tab = std::max(widths.tab_width(), 1);
        return (x / tab + 1) * tab;
    }
    return x + widths.width(c);
}

}  // namespace

CharWidths::CharWidths(BlockReader reader, int tab_width) : reader_(std::move(reader)), tab_width_(tab_width) {}

CharWidths CharWidths::of_dc(HDC dc) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const int tab = std::max<int>(tm.tmAveCharWidth, 1) * 8;
    const int fallback = std::max<int>(tm.tmAveCharWidth, 1);
    return CharWidths(
        [dc, fallback](wchar_t first, int* widths) {
            if (!GetCharWidth32W(dc, first, static_cast<UINT>(first) + 255, widths))
                std::fill(widths, widths + 256, fallback);
        },
        tab);
}

void CharWidths::load(wchar_t c) {
    const wchar_t first = static_cast<wchar_t>(static_cast<std::uint16_t>(c) & 0xFF00);
    auto block = std::make_unique<std::array<int, 256>>();
    block->fill(0);
    if (reader_) reader_(first, block->data());
    for (int& w : *block) w = std::max(w, 0);
    // A pair is as wide as its first half says; its second half adds nothing.
    if (first == 0xDC00 || first == 0xDD00 || first == 0xDE00 || first == 0xDF00) block->fill(0);
    blocks_[static_cast<std::uint16_t>(c) >> 8] = std::move(block);
}

FontWidths::FontWidths() : dc_(CreateCompatibleDC(nullptr)) {}

FontWidths::~FontWidths() {
    if (!dc_) return;
    if (old_font_) SelectObject(dc_, old_font_);
    DeleteDC(dc_);
}

CharWidths& FontWidths::of(HFONT font) {
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (widths_ && font == font_) return *widths_;
    font_ = font;
    HGDIOBJ old = dc_ ? SelectObject(dc_, font) : nullptr;
    if (!old_font_) old_font_ = old;
    TEXTMETRICW tm{};
    line_height_ = dc_ && GetTextMetricsW(dc_, &tm) ? std::max<int>(tm.tmHeight, 1) : 16;
    widths_ = std::make_unique<CharWidths>(CharWidths::of_dc(dc_));
    return *widths_;
}

int FontWidths::line_height(HFONT font) {
    of(font);
    return line_height_;
}

int text_lines_width(const std::wstring& text, const std::vector<TextLine>& lines, CharWidths& widths) {
    int most = 0;
    for (const TextLine& l : lines) most = std::max(most, text_line_width(text, l, widths));
    return most;
}

std::vector<TextLine> wrap_text_lines(const std::wstring& text, int width, CharWidths& widths) {
    std::vector<TextLine> lines;
    const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), 0xFFFFFFF0u));
    width = std::max(width, 1);
    std::uint32_t start = 0;
    int x = 0;
    std::uint32_t last_blank_end = 0;   // the unit after the last blank of the line; 0 for none
    std::uint32_t i = 0;
    while (i < n) {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            lines.push_back(TextLine{start, i - start});
            i += (c == L'\r' && i + 1 < n && text[i + 1] == L'\n') ? 2 : 1;
            start = i;
            x = 0;
            last_blank_end = 0;
            continue;
        }
        const int next = advance(c, x, widths);
        if (next > width && i > start && !is_blank(c) && !is_low_surrogate(c)) {
            // Break after the last blank, else before this unit.
            const std::uint32_t end = last_blank_end > start ? last_blank_end : i;
            lines.push_back(TextLine{start, end - start});
            start = end;
            x = 0;
            last_blank_end = 0;
            i = end;
            continue;
        }
        x = next;
        ++i;
        if (is_blank(c)) last_blank_end = i;
    }
    lines.push_back(TextLine{start, n - start});
    return lines;
}

int text_line_width(const std::wstring& text, const TextLine& line, CharWidths& widths) {
    int x = 0;
    for (std::uint32_t i = line.start; i < line.start + line.length; ++i) x = advance(text[i], x, widths);
    return x;
}

std::uint32_t text_line_hit(const std::wstring& text, const TextLine& line, int x, CharWidths& widths) {
    int at = 0;
    const std::uint32_t end = line.start + line.length;
    for (std::uint32_t i = line.start; i < end; ++i) {
        if (is_low_surrogate(text[i])) continue;
        const int next = advance(text[i], at, widths);
        if (x < (at + next + 1) / 2) return i;
        at = next;
    }
    return end;
}

int text_line_x(const std::wstring& text, const TextLine& line, std::uint32_t offset, CharWidths& widths) {
    int x = 0;
    const std::uint32_t end = std::min(offset, line.start + line.length);
    for (std::uint32_t i = line.start; i < end; ++i) x = advance(text[i], x, widths);
    return x;
}

void draw_text_line_part(HDC dc, const std::wstring& text, const TextLine& line, std::uint32_t from,
                         std::uint32_t to, int x0, int y, CharWidths& widths) {
    from = std::max(from, line.start);
    to = std::min(to, line.start + line.length);
    if (from >= to) return;
    int x = text_line_x(text, line, from, widths);
    std::uint32_t run = from;
    // Tab-free runs drawn one by one at the x the layout gives them.
    for (std::uint32_t i = from; i <= to; ++i) {
        if (i < to && text[i] != L'\t') continue;
        if (i > run) {
            ExtTextOutW(dc, x0 + x, y, 0, nullptr, text.c_str() + run, static_cast<UINT>(i - run), nullptr);
            for (std::uint32_t k = run; k < i; ++k) x += widths.width(text[k]);
        }
        if (i < to) x = advance(L'\t', x, widths);
        run = i + 1;
    }
}
