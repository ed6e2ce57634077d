// Word-wrapped layout of long texts in a time that grows with the text:
// the advance widths of a font's characters are read from GDI once per
// block of 256 characters and kept, so a line break is found by adding
// widths instead of measuring the rest of a paragraph again for every
// line. The entry hint and the view window's text view lay out and draw
// their texts with it. Interface thread only (one DC at a time).
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <cstddef>
#include <string>
#include <vector>

// The advance widths of one font's characters as they are drawn. A unit
// of the Basic Multilingual Plane that the font has a glyph for takes the
// font's own advance width; one it has no glyph for, and a surrogate pair,
// is measured with the call the text is drawn with (the font fallback
// included) and is drawn on its own at the x the layout gives it, so that
// no run drifts from the layout. A pair counts as one glyph: its first
// half carries the width, its second half adds nothing.
class CharWidths {
public:
    // Fills the widths of the 256 units from first (first is a multiple of
    // 256); a width with kDrawnAlone set marks a unit drawn on its own.
    using BlockReader = std::function<void(wchar_t first, int* widths)>;
    // The drawn width of a surrogate pair (its two units).
    using PairReader = std::function<int(const wchar_t* pair)>;
    static constexpr int kDrawnAlone = 1 << 30;
    explicit CharWidths(BlockReader reader, int tab_width = 32, PairReader pairs = {});
    // The widths of the font selected into the DC (GetCharWidth32W, and
    // GetTextExtentPoint32W for units without a glyph and for pairs); the
    // DC and its font must stay as they are while the object is used.
    static CharWidths of_dc(HDC dc);

    // The width of a unit of its own (no pair).
    int width(wchar_t c) { return entry(c) & ~kDrawnAlone; }
    // The width of the unit at i of the text: the pair's drawn width for the
    // first half of a pair, 0 for its second half.
    int width_at(const std::wstring& text, std::size_t i);
    // True when the code point at i is drawn on its own (a pair, or a unit
    // the font has no glyph for).
    bool drawn_alone(const std::wstring& text, std::size_t i);
    // Tab stops are this many pixels apart.
    int tab_width() const { return tab_width_; }

private:
    int entry(wchar_t c) {
        auto& block = blocks_[static_cast<std::uint16_t>(c) >> 8];
        if (!block) load(c);
        return (*block)[static_cast<std::uint16_t>(c) & 0xFF];
    }
    void load(wchar_t c);
    int pair_width(wchar_t high, wchar_t low);
    BlockReader reader_;
    int tab_width_;
    PairReader pairs_;
    std::array<std::unique_ptr<std::array<int, 256>>, 256> blocks_;
    // The widths of the code points past U+FFFF by 256, -1 until measured.
    std::vector<std::unique_ptr<std::array<int, 256>>> pair_blocks_;
};

// True for the first and the second half of a surrogate pair.
inline bool is_high_surrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool is_low_surrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
// True when a text position falls between the halves of a pair.
bool inside_surrogate_pair(const std::wstring& text, std::size_t i);

// The widths of whichever font is asked for, read through a memory DC of
// its own; remade when the font changes.
class FontWidths {
public:
    FontWidths();
    ~FontWidths();
    FontWidths(const FontWidths&) = delete;
    FontWidths& operator=(const FontWidths&) = delete;
    // The widths of the font (null: DEFAULT_GUI_FONT).
    CharWidths& of(HFONT font);
    // The font's tmHeight: the height of a line.
    int line_height(HFONT font);

private:
    HDC dc_ = nullptr;
    HGDIOBJ old_font_ = nullptr;
    HFONT font_ = nullptr;
    int line_height_ = 1;
    std::unique_ptr<CharWidths> widths_;
};

// One display line: its first unit and its length without the line break.
struct TextLine {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
};

// The display lines of the text at the width: a new line after CR LF, LF
// or CR; a paragraph wider than the width breaks after the last blank or
// tab that fits (the blanks stay at the line's end), else before the first
// unit that does not fit (never inside a surrogate pair, at least one
// character a line). Tabs advance to the next tab stop. An empty text is
// one empty line.
std::vector<TextLine> wrap_text_lines(const std::wstring& text, int width, CharWidths& widths);

// The width of the widest line.
int text_lines_width(const std::wstring& text, const std::vector<TextLine>& lines, CharWidths& widths);

// The width of the line from x 0 (tabs included).
int text_line_width(const std::wstring& text, const TextLine& line, CharWidths& widths);

// The unit of the line nearest to x (the line's start at x <= 0, its end
// past its width).
std::uint32_t text_line_hit(const std::wstring& text, const TextLine& line, int x, CharWidths& widths);

// The x of the unit at offset (start..start + length) of the line.
int text_line_x(const std::wstring& text, const TextLine& line, std::uint32_t offset, CharWidths& widths);

// Draws part [from, to) of the line with its left edge (tab origin) at x0,
// from the part's own x, in the DC's font and colours: runs of the font's
// own glyphs at once, each unit drawn on its own at its layout x.
void draw_text_line_part(HDC dc, const std::wstring& text, const TextLine& line, std::uint32_t from,
                         std::uint32_t to, int x0, int y, CharWidths& widths);

// --- moving through a text by characters and words, as an edit box does ------

// The position after the character at i (a pair is one character).
std::uint32_t next_char_pos(const std::wstring& text, std::uint32_t i);
// The position before the character ending at i.
std::uint32_t prev_char_pos(const std::wstring& text, std::uint32_t i);
// Ctrl+Right: the start of the next word (past the blanks after this one),
// or the next line break, or the text's end.
std::uint32_t next_word_pos(const std::wstring& text, std::uint32_t i);
// Ctrl+Left: the start of the word before i (or of the one i is in).
std::uint32_t prev_word_pos(const std::wstring& text, std::uint32_t i);
// A double click: the word, the run of blanks or the run of other signs
// at i (the one after i at a boundary; the one before i at a line's end).
struct TextSpan {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
};
TextSpan word_at(const std::wstring& text, std::uint32_t i);
