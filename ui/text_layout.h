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
#include <string>
#include <vector>

// The advance widths of one font's characters, by UTF-16 unit. A low
// surrogate is 0 wide; its pair takes the width of its high half.
class CharWidths {
public:
    // Fills the widths of the 256 units from first (first is a multiple of 256).
    using BlockReader = std::function<void(wchar_t first, int* widths)>;
    explicit CharWidths(BlockReader reader, int tab_width = 32);
    // The widths of the font selected into the DC (GetCharWidth32W); the DC
    // and its font must stay as they are while the object is used.
    static CharWidths of_dc(HDC dc);

    int width(wchar_t c) {
        auto& block = blocks_[static_cast<std::uint16_t>(c) >> 8];
        if (!block) load(c);
        return (*block)[static_cast<std::uint16_t>(c) & 0xFF];
    }
    // Tab stops are this many pixels apart.
    int tab_width() const { return tab_width_; }

private:
    void load(wchar_t c);
    BlockReader reader_;
    int tab_width_;
    std::array<std::unique_ptr<std::array<int, 256>>, 256> blocks_;
};

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
// from the part's own x, in the DC's font and colours.
void draw_text_line_part(HDC dc, const std::wstring& text, const TextLine& line, std::uint32_t from,
                         std::uint32_t to, int x0, int y, CharWidths& widths);
