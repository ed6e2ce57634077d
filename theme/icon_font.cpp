#include "theme/icon_font.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "theme/fonts.h"
#include "theme/icon_font_resource.h"

namespace {

std::uint16_t u16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// Format 4: segments of the basic plane.
std::uint16_t format4_glyph(const std::uint8_t* t, std::size_t size, char32_t cp) {
    if (cp > 0xFFFF || size < 14) return 0;
    const std::size_t length = std::min<std::size_t>(u16(t + 2), size);
    const std::size_t segs = u16(t + 6) / 2;
    const std::size_t ends = 14, starts = ends + 2 * segs + 2, deltas = starts + 2 * segs, offsets = deltas + 2 * segs;
    if (offsets + 2 * segs > length) return 0;
    for (std::size_t i = 0; i < segs; ++i) {
        const std::uint16_t end = u16(t + ends + 2 * i), start = u16(t + starts + 2 * i);
        if (cp > end) continue;
        if (cp < start) return 0;
        const std::uint16_t delta = u16(t + deltas + 2 * i), range = u16(t + offsets + 2 * i);
        if (range == 0) return static_cast<std::uint16_t>(cp + delta);
        const std::size_t at = offsets + 2 * i + range + 2 * (cp - start);
        if (at + 2 > length) return 0;
        const std::uint16_t g = u16(t + at);
        return g ? static_cast<std::uint16_t>(g + delta) : 0;
    }
    return 0;
}

// Format 12: groups of consecutive code points over all planes.
std::uint16_t format12_glyph(const std::uint8_t* t, std::size_t size, char32_t cp) {
    if (size < 16) return 0;
    const std::size_t length = std::min<std::size_t>(u32(t + 4), size);
    const std::uint32_t groups = u32(t + 12);
    for (std::uint32_t i = 0; i < groups && 16 + 12 * static_cast<std::size_t>(i) + 12 <= length; ++i) {
        const std::uint8_t* g = t + 16 + 12 * static_cast<std::size_t>(i);
        const std::uint32_t first = u32(g), last = u32(g + 4);
        if (cp >= first && cp <= last) return static_cast<std::uint16_t>(u32(g + 8) + (cp - first));
    }
    return 0;
}

struct GlyphKey {
    std::wstring face;
    char32_t code_point;
    bool operator<(const GlyphKey& o) const {
        return face != o.face ? face < o.face : code_point < o.code_point;
    }
};

// The "cmap" table of the font selected into the DC; empty when it has none.
std::vector<std::uint8_t> cmap_of(HDC dc) {
    constexpr DWORD kCmapTag = 'c' | 'm' << 8 | 'a' << 16 | 'p' << 24;
    const DWORD size = GetFontData(dc, kCmapTag, 0, nullptr, 0);
    if (size == GDI_ERROR || size == 0) return {};
    std::vector<std::uint8_t> table(size);
    if (GetFontData(dc, kCmapTag, 0, table.data(), size) != size) return {};
    return table;
}

std::wstring dc_face(HDC dc) {
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    return face;
}

}  // namespace

raii::FontMemResource add_font_resource(HMODULE module, int id) {
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!res) return {};
    HGLOBAL data = LoadResource(module, res);
    void* bytes = data ? LockResource(data) : nullptr;
    const DWORD size = SizeofResource(module, res);
    if (!bytes || size == 0) return {};
    DWORD fonts = 0;
    raii::FontMemResource added(AddFontMemResourceEx(bytes, size, nullptr, &fonts));
    if (fonts == 0) added.reset();
    return added;
}

bool fallback_icon_font_added() {
    static const raii::FontMemResource font = add_font_resource(GetModuleHandleW(nullptr), QUILLET_ICON_FONT_RESOURCE);
    return static_cast<bool>(font);
}

std::uint16_t cmap_glyph(const std::uint8_t* cmap, std::size_t size, char32_t code_point) {
    if (!cmap || size < 4) return 0;
    const std::size_t count = u16(cmap + 2);
    std::uint16_t found = 0;
    for (std::size_t i = 0; i < count && 4 + 8 * i + 8 <= size; ++i) {
        const std::uint8_t* rec = cmap + 4 + 8 * i;
        const std::uint16_t platform = u16(rec), encoding = u16(rec + 2);
        const std::uint32_t offset = u32(rec + 4);
        if (platform != 3 || (encoding != 1 && encoding != 10) || offset + 4 > size) continue;
        const std::uint8_t* t = cmap + offset;
        const std::size_t left = size - offset;
        const std::uint16_t format = u16(t);
        if (format == 12) {
            if (std::uint16_t g = format12_glyph(t, left, code_point)) return g;
        } else if (format == 4 && !found) {
            found = format4_glyph(t, left, code_point);
        }
    }
    return found;
}

bool dc_font_has_glyph(HDC dc, char32_t code_point) {
    if (code_point <= 0xFFFF) {
        const wchar_t c = static_cast<wchar_t>(code_point);
        WORD glyph = 0xFFFF;
        return GetGlyphIndicesW(dc, &c, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 && glyph != 0xFFFF;
    }
    const std::vector<std::uint8_t> table = cmap_of(dc);
    return cmap_glyph(table.data(), table.size(), code_point) != 0;
}

std::vector<WORD> glyph_indices_of(HDC dc, const std::wstring& text) {
    const std::vector<std::uint8_t> table = cmap_of(dc);
    std::vector<WORD> glyphs;
    for (char32_t cp : code_points_of(text)) glyphs.push_back(cmap_glyph(table.data(), table.size(), cp));
    return glyphs;
}

int draw_by_glyph_index(HDC dc, const std::wstring& text, const RECT& rc) {
    const std::vector<WORD> glyphs = glyph_indices_of(dc, text);
    if (glyphs.empty()) return 0;
    const int n = static_cast<int>(glyphs.size());
    SIZE size{};
    GetTextExtentPointI(dc, const_cast<WORD*>(glyphs.data()), n, &size);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const int y = rc.top + ((rc.bottom - rc.top) - static_cast<int>(tm.tmHeight)) / 2;
    const UINT old_align = SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    ExtTextOutW(dc, rc.left, y, ETO_GLYPH_INDEX | ETO_CLIPPED, &rc, reinterpret_cast<LPCWSTR>(glyphs.data()),
                static_cast<UINT>(n), nullptr);
    if (old_align != GDI_ERROR) SetTextAlign(dc, old_align);
    return size.cx;
}

bool face_has_glyph(const std::wstring& face, char32_t code_point) {
    if (face.empty() || face.size() >= LF_FACESIZE) return false;
    LOGFONTW lf{};
    lf.lfHeight = -16;
    lf.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    raii::Font font(CreateFontIndirectW(&lf));
    raii::MemoryDC dc(CreateCompatibleDC(nullptr));
    if (!font || !dc) return false;
    raii::SelectGuard select(dc.get(), font.get());
    return dc_font_has_glyph(dc.get(), code_point);
}

std::u32string code_points_of(const std::wstring& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

bool system_draws_emoji(HDC dc, const std::wstring& icon) {
    static std::mutex lock;
    static std::map<GlyphKey, bool> known;
    const std::wstring face = dc_face(dc);
    for (char32_t cp : code_points_of(icon)) {
        const std::lock_guard<std::mutex> hold(lock);
        auto it = known.find({face, cp});
        if (it == known.end()) {
            bool drawn = dc_font_has_glyph(dc, cp);
            for (const wchar_t* emoji_face : {L"Segoe UI Emoji", L"Segoe UI Symbol"})
                if (!drawn && font_face_installed(emoji_face)) drawn = face_has_glyph(emoji_face, cp);
            it = known.emplace(GlyphKey{face, cp}, drawn).first;
        }
        if (!it->second) return false;
    }
    return true;
}
