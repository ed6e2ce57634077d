// The program's resources, compiled from resources/quillet.rc into this
// test program: the version block (1.3.7), the manifest (as invoker, long
// paths, Common Controls 6), the icon in all its sizes and the fallback
// icon font.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/handles.h"
#include "resources/version.h"
#include "theme/app_icon.h"
#include "theme/icon_font.h"
#include "theme/icon_font_resource.h"

namespace {

std::wstring self_path() {
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return path;
}

std::string manifest_text() {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(self, MAKEINTRESOURCEW(1), RT_MANIFEST);
    if (!res) return {};
    HGLOBAL data = LoadResource(self, res);
    const char* bytes = static_cast<const char*>(LockResource(data));
    return std::string(bytes, SizeofResource(self, res));
}

TEST(Resources, VersionBlock) {
    const std::wstring path = self_path();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(3, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 7));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(3, 1));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &len));
    EXPECT_EQ(std::wstring(text), QUILLET_VERSION_WTEXT);
    EXPECT_EQ(std::wstring(text), L"1.3.7");
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductName",
                               reinterpret_cast<void**>(&text), &len));
    EXPECT_EQ(std::wstring(text), L"Quillet");
}

TEST(Resources, Manifest) {
    const std::string m = manifest_text();
    ASSERT_FALSE(m.empty());
    EXPECT_NE(m.find("level=\"asInvoker\""), std::string::npos);
    const size_t lp = m.find("<longPathAware");
    ASSERT_NE(lp, std::string::npos);
    EXPECT_EQ(m.compare(m.find('>', lp) + 1, 4, "true"), 0);
    const size_t cc = m.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(cc, std::string::npos);
    EXPECT_NE(m.find("version=\"6.0.0.0\"", cc), std::string::npos);
}

TEST(Resources, ManifestActivatesCommonControls6) {
    // The dependency makes the loader take the side-by-side version 6 of
    // the common controls instead of the system folder's version 5.
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(comctl, path, MAX_PATH * 2);
    std::wstring lower(path);
    CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    EXPECT_NE(lower.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::wstring::npos)
        << "comctl32 loaded from the system folder";
}

TEST(Resources, IconInEverySize) {
    HINSTANCE self = GetModuleHandleW(nullptr);
    ASSERT_TRUE(has_app_icon_resource(self));
    for (int size : {16, 20, 24, 32, 40, 48, 64, 256}) {
        raii::Icon icon(static_cast<HICON>(LoadImageW(self, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0)));
        ASSERT_TRUE(icon) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        raii::Bitmap mask(info.hbmMask), color(info.hbmColor);
        BITMAP bm{};
        GetObjectW(color.get(), sizeof(bm), &bm);
        EXPECT_EQ(bm.bmWidth, size);
        EXPECT_EQ(bm.bmHeight, size);
    }
    // The loader hands out the shared resource icon, not the drawn one.
    HICON shared = load_app_icon(self, 32, 32);
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(load_app_icon(self, 32, 32), shared);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(shared, &info));
    raii::Bitmap mask(info.hbmMask), color(info.hbmColor);
    // Its tile is the program's accent blue in the middle of the left edge.
    raii::MemoryDC dc(CreateCompatibleDC(nullptr));
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 32;
    bi.bmiHeader.biHeight = -32;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<uint32_t> px(32 * 32);
    ASSERT_EQ(GetDIBits(dc.get(), color.get(), 0, 32, px.data(), &bi, DIB_RGB_COLORS), 32);
    EXPECT_EQ(px[16 * 32 + 3] & 0xFFFFFF, 0x0066CCu) << "RGB(0, 102, 204)";
}

// The fallback icon font is a TrueType file with the family "Quillet Icons".
TEST(Resources, FallbackIconFont) {
    raii::FontMemResource font = add_font_resource(GetModuleHandleW(nullptr), QUILLET_ICON_FONT_RESOURCE);
    ASSERT_TRUE(font);
    EXPECT_TRUE(face_has_glyph(kFallbackIconFace, 0xE77F));
}

}  // namespace
