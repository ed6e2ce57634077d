#include "theme/fonts.h"

#include <cwchar>

#include "theme/icon_font.h"

namespace {

int CALLBACK note_family(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one match is enough
}

raii::Font make_font(const std::wstring& face, int size, int weight) {
    return raii::Font(CreateFontW(-size, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

}  // namespace

bool font_face_installed(const std::wstring& face) {
    if (face.empty() || face.size() >= LF_FACESIZE) return false;
    raii::WindowDC screen(nullptr);
    if (!screen) return false;
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(query.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(screen.get(), &query, note_family, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

std::wstring pick_font_face(const std::vector<std::wstring>& candidates, bool (*installed)(const std::wstring&)) {
    if (candidates.empty()) return {};
    for (const std::wstring& face : candidates)
        if (installed && installed(face)) return face;
    return candidates.front();
}

const std::wstring& ui_font_face() {
    static const std::wstring face = pick_font_face({kUiFontFace, L"Segoe UI"}, font_face_installed);
    return face;
}

std::wstring pick_icon_font_face(bool (*installed)(const std::wstring&), bool (*add_fallback)()) {
    for (const wchar_t* face : {kIconFontFace, L"Segoe Fluent Icons"})
        if (installed && installed(face)) return face;
    if (add_fallback && add_fallback()) return kFallbackIconFace;
    return kIconFontFace;
}

const std::wstring& icon_font_face() {
    static const std::wstring face = pick_icon_font_face(font_face_installed, fallback_icon_font_added);
    return face;
}

raii::Font create_ui_font(int size, int weight) { return make_font(ui_font_face(), size, weight); }

raii::Font create_icon_font(int size) { return make_font(icon_font_face(), size, FW_NORMAL); }

raii::Font create_fallback_icon_font(int size) {
    fallback_icon_font_added();
    return make_font(kFallbackIconFace, size, FW_NORMAL);
}
