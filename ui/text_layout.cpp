// Advance widths by block, line breaking, hit tests and line drawing.
#include "ui/text_layout.h"

#include <algorithm>

namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The x after the unit at i drawn at x (tabs from a line starting at 0).
int advance_at(const std::wstring& text, std::size_t i, int x, CharWidths& widths) {
    if (text[i] == L'\t') {
        const int tab = std::max(widths.tab_width(), 1);
        return (x / tab + 1) * tab;
    }
    return x + widths.width_at(text, i);
}

}  // namespace

bool inside_surrogate_pair(const std::wstring& text, std::size_t i) {
    return i > 0 && i < text.size() && is_low_surrogate(text[i]) && is_high_surrogate(text[i - 1]);
}

CharWidths::CharWidths(BlockReader reader, int tab_width, PairReader pairs)
    : reader_(std::move(reader)), tab_width_(tab_width), pairs_(std::move(pairs)) {}

CharWidths CharWidths::of_dc(HDC dc) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const int tab = std::max<int>(tm.tmAveCharWidth, 1) * 8;
    const int fallback = std::max<int>(tm.tmAveCharWidth, 1);
    // A unit the font has no glyph for is drawn from a fallback font (or as
    // the missing glyph): its width is the one the drawing gives it.
    auto drawn_width = [dc, fallback](const wchar_t* units, int count) {
        SIZE size{};
        return GetTextExtentPoint32W(dc, units, count, &size) ? static_cast<int>(size.cx) : fallback;
    };
    return CharWidths(
        [dc, fallback, drawn_width](wchar_t first, int* widths) {
            if (!GetCharWidth32W(dc, first, static_cast<UINT>(first) + 255, widths))
                std::fill(widths, widths + 256, fallback);
            wchar_t units[256];
            WORD glyphs[256];
            for (int i = 0; i < 256; ++i) units[i] = static_cast<wchar_t>(first + i);
            if (GetGlyphIndicesW(dc, units, 256, glyphs, GGI_MARK_NONEXISTING_GLYPHS) != 256) return;
            for (int i = 0; i < 256; ++i)
                if (glyphs[i] == 0xFFFF) widths[i] = std::max(drawn_width(&units[i], 1), 0) | kDrawnAlone;
        },
        tab, [drawn_width](const wchar_t* pair) { return drawn_width(pair, 2); });
}

void CharWidths::load(wchar_t c) {
    const wchar_t first = static_cast<wchar_t>(static_cast<std::uint16_t>(c) & 0xFF00);
    auto block = std::make_unique<std::array<int, 256>>();
    block->fill(0);
    if (reader_) reader_(first, block->data());
    for (int& w : *block) w = std::max(w, 0);
    blocks_[static_cast<std::uint16_t>(c) >> 8] = std::move(block);
}

int CharWidths::pair_width(wchar_t high, wchar_t low) {
    const std::uint32_t cp = 0x10000u + ((static_cast<std::uint32_t>(high) - 0xD800u) << 10) +
                             (static_cast<std::uint32_t>(low) - 0xDC00u);
    const std::size_t index = (cp - 0x10000u) >> 8;
    if (pair_blocks_.size() <= index) pair_blocks_.resize(index + 1);
    auto& block = pair_blocks_[index];
    if (!block) {
        block = std::make_unique<std::array<int, 256>>();
        block->fill(-1);
    }
    int& w = (*block)[cp & 0xFF];
    if (w < 0) {
        const wchar_t pair[2] = {high, low};
        // Without a reader of its own, a pair is as wide as its two halves.
        w = std::max(pairs_ ? pairs_(pair) : width(high) + width(low), 0);
    }
    return w;
}

int CharWidths::width_at(const std::wstring& text, std::size_t i) {
    const wchar_t c = text[i];
    if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) return pair_width(c, text[i + 1]);
    if (inside_surrogate_pair(text, i)) return 0;
    return width(c);
}

bool CharWidths::drawn_alone(const std::wstring& text, std::size_t i) {
    const wchar_t c = text[i];
    if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) return true;
    if (inside_surrogate_pair(text, i)) return true;
    return (entry(c) & kDrawnAlone) != 0;
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
        const int next = advance_at(text, i, x, widths);
        if (next > width && i > start && !is_blank(c) && !inside_surrogate_pair(text, i)) {
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
    for (std::uint32_t i = line.start; i < line.start + line.length; ++i) x = advance_at(text, i, x, widths);
    return x;
}

std::uint32_t text_line_hit(const std::wstring& text, const TextLine& line, int x, CharWidths& widths) {
    int at = 0;
    const std::uint32_t end = line.start + line.length;
    for (std::uint32_t i = line.start; i < end; ++i) {
        if (inside_surrogate_pair(text, i)) continue;
        const int next = advance_at(text, i, at, widths);
        if (x < (at + next + 1) / 2) return i;
        at = next;
    }
    return end;
}

int text_line_x(const std::wstring& text, const TextLine& line, std::uint32_t offset, CharWidths& widths) {
    int x = 0;
    const std::uint32_t end = std::min(offset, line.start + line.length);
    for (std::uint32_t i = line.start; i < end; ++i) x = advance_at(text, i, x, widths);
    return x;
}

void draw_text_line_part(HDC dc, const std::wstring& text, const TextLine& line, std::uint32_t from,
                         std::uint32_t to, int x0, int y, CharWidths& widths) {
    from = std::max(from, line.start);
    to = std::min(to, line.start + line.length);
    if (from >= to) return;
    int x = text_line_x(text, line, from, widths);
    // Runs of the font's own glyphs drawn at once; a tab ends a run, and a
    // unit drawn on its own (a pair: its two units) is a run of its own.
    std::uint32_t i = from;
    while (i < to) {
        if (text[i] == L'\t') {
            x = advance_at(text, i, x, widths);
            ++i;
            continue;
        }
        std::uint32_t end = i + 1;
        if (widths.drawn_alone(text, i)) {
            if (end < to && is_high_surrogate(text[i]) && is_low_surrogate(text[end])) ++end;
        } else {
            while (end < to && text[end] != L'\t' && !widths.drawn_alone(text, end)) ++end;
        }
        ExtTextOutW(dc, x0 + x, y, 0, nullptr, text.c_str() + i, static_cast<UINT>(end - i), nullptr);
        for (std::uint32_t k = i; k < end; ++k) x += widths.width_at(text, k);
        i = end;
    }
}

// --- characters and words ------------------------------------------------------------

namespace {

enum class CharClass { line_break, blank, word, other };

CharClass class_at(const std::wstring& text, std::size_t i) {
    const wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') return CharClass::line_break;
    if (is_blank(c)) return CharClass::blank;
    // Letters and digits of any script, the halves of a pair (emoji and
    // other characters past U+FFFF) and combining marks join a word.
    if (c == L'_' || is_high_surrogate(c) || is_low_surrogate(c) || (c >= 0x0300 && c <= 0x036F) ||
        IsCharAlphaNumericW(c))
        return CharClass::word;
    return CharClass::other;
}

std::uint32_t size_of(const std::wstring& text) {
    return static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), 0xFFFFFFF0u));
}

}  // namespace

std::uint32_t next_char_pos(const std::wstring& text, std::uint32_t i) {
    const std::uint32_t n = size_of(text);
    if (i >= n) return n;
    ++i;
    if (inside_surrogate_pair(text, i)) ++i;
    // CR LF is one line break.
    else if (i < n && text[i - 1] == L'\r' && text[i] == L'\n') ++i;
    return i;
}

std::uint32_t prev_char_pos(const std::wstring& text, std::uint32_t i) {
    i = std::min(i, size_of(text));
    if (i == 0) return 0;
    --i;
    if (inside_surrogate_pair(text, i)) --i;
    else if (i > 0 && text[i] == L'\n' && text[i - 1] == L'\r') --i;
    return i;
}

std::uint32_t next_word_pos(const std::wstring& text, std::uint32_t i) {
    const std::uint32_t n = size_of(text);
    if (i >= n) return n;
    const CharClass c = class_at(text, i);
    if (c == CharClass::line_break) return next_char_pos(text, i);
    if (c != CharClass::blank)
        while (i < n && class_at(text, i) == c) ++i;
    while (i < n && class_at(text, i) == CharClass::blank) ++i;
    return i;
}

std::uint32_t prev_word_pos(const std::wstring& text, std::uint32_t i) {
    i = std::min(i, size_of(text));
    std::uint32_t j = i;
    while (j > 0 && class_at(text, j - 1) == CharClass::blank) --j;
    if (j == 0) return 0;
    const CharClass c = class_at(text, j - 1);
    if (c == CharClass::line_break) return j < i ? j : prev_char_pos(text, j);
    while (j > 0 && class_at(text, j - 1) == c) --j;
    return j;
}

TextSpan word_at(const std::wstring& text, std::uint32_t i) {
    const std::uint32_t n = size_of(text);
    std::uint32_t p = std::min(i, n);
    if (p == n || class_at(text, p) == CharClass::line_break) {
        if (p == 0 || class_at(text, p - 1) == CharClass::line_break) return TextSpan{p, p};
        --p;
    }
    const CharClass c = class_at(text, p);
    std::uint32_t a = p, b = p + 1;
    while (a > 0 && class_at(text, a - 1) == c) --a;
    while (b < n && class_at(text, b) == c) ++b;
    return TextSpan{a, b};
}
