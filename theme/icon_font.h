// The fallback icon font and the glyph checks behind it.
//
// Where "Segoe MDL2 Assets" is not installed, the program draws its icons
// with "Quillet Icons", a small TrueType font inside the executable (an
// RCDATA resource) that holds a glyph at every code point the program draws
// as an icon: the MDL2 code points and the emoji of the side panel and the
// cards. It is added for this process alone (AddFontMemResourceEx): no
// other program sees it, and Windows leaves it out of the font list that
// EnumFontFamiliesExW gives (Wine lists it).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/handles.h"

inline constexpr const wchar_t* kFallbackIconFace = L"Quillet Icons";

// Adds the fonts of a TrueType file held in the RCDATA resource `id` of
// `module` for this process. Empty when the resource is missing or holds no
// font.
raii::FontMemResource add_font_resource(HMODULE module, int id);

// Adds the fallback icon font from the executable's resources once per
// process and keeps it for the process's life. True when it is there.
bool fallback_icon_font_added();

// The glyph index of a code point in the font's character map (the bytes of
// its "cmap" table): formats 4 and 12 of the Windows Unicode subtables.
// 0 when the font has no glyph for it or the table is not understood.
std::uint16_t cmap_glyph(const std::uint8_t* cmap, std::size_t size, char32_t code_point);

// True when the font selected into the DC has a glyph for the code point:
// GetGlyphIndicesW (GGI_MARK_NONEXISTING_GLYPHS) for the basic plane, the
// font's character map for the planes above it, which GetGlyphIndicesW
// cannot name.
bool dc_font_has_glyph(HDC dc, char32_t code_point);

// The glyph indices of the text's code points in the font selected into
// the DC, from the font's character map (0 where it has none).
std::vector<WORD> glyph_indices_of(HDC dc, const std::wstring& text);

// Draws the text in the DC's font by glyph index, left-aligned and centred
// in the height of `rc`, so that code points above the basic plane come out
// of a font that has them on every system (Wine's ExtTextOutW maps each
// UTF-16 unit of a pair alone). Gives the drawn width.
int draw_by_glyph_index(HDC dc, const std::wstring& text, const RECT& rc);

// True when a font of the face (as GDI picks it for the name) has a glyph
// for the code point.
bool face_has_glyph(const std::wstring& face, char32_t code_point);

// The code points of a UTF-16 text, surrogate pairs joined.
std::u32string code_points_of(const std::wstring& text);

// True when text drawn in the font selected into the DC shows every code
// point of `icon`: the font has it, or an emoji font that GDI falls back to
// does ("Segoe UI Emoji", "Segoe UI Symbol"). When false the icon is drawn
// with the icon font instead (create_icon_font). Remembered per code point.
bool system_draws_emoji(HDC dc, const std::wstring& icon);
