// The program's two fonts: the text font "Segoe UI Variable Text" and the
// symbol font "Segoe MDL2 Assets".
//
// Where neither "Segoe MDL2 Assets" nor "Segoe Fluent Icons" is installed,
// the icons come from the fallback icon font inside the executable,
// "Quillet Icons" (theme/icon_font.h), which has the same icons at the same
// code points.
//
// Both are made with CreateFontW at the height minus the size (the size is
// the character height in pixels), default character set and precision,
// ClearType quality, no italic, underline or strike-out. Where the face is
// not installed (Windows 10 has no "Segoe UI Variable Text"), the closest
// face of the same design that is installed is asked for instead, and when
// none of them is, GDI's own font mapping picks a substitute.
#pragma once

#include <string>
#include <vector>

#include "core/handles.h"

inline constexpr const wchar_t* kUiFontFace = L"Segoe UI Variable Text";
inline constexpr const wchar_t* kIconFontFace = L"Segoe MDL2 Assets";

// The text font at the size and weight (400 normal, 600 semi-bold ...).
raii::Font create_ui_font(int size, int weight);

// The symbol font at the size, weight 400.
raii::Font create_icon_font(int size);

// The fallback icon font "Quillet Icons" at the size, added first if it is
// not yet: the emoji used as icons where no font of the system has them.
raii::Font create_fallback_icon_font(int size);

// The face to ask GDI for: the first of the candidates that is installed,
// else the first candidate. Empty candidates give an empty name.
std::wstring pick_font_face(const std::vector<std::wstring>& candidates,
                            bool (*installed)(const std::wstring& face));

// The icon face: the first of "Segoe MDL2 Assets" and "Segoe Fluent Icons"
// that is installed; else "Quillet Icons" when add_fallback adds it (it is
// called only then); else "Segoe MDL2 Assets", for GDI to substitute.
std::wstring pick_icon_font_face(bool (*installed)(const std::wstring& face), bool (*add_fallback)());

// True when a font family of that name is installed (EnumFontFamiliesExW).
bool font_face_installed(const std::wstring& face);

// The faces actually asked for by create_ui_font and create_icon_font.
const std::wstring& ui_font_face();
const std::wstring& icon_font_face();
