// Without an icon resource (this test program has none) the application
// icon is the drawn stand-in: a white page with a black bar whose corners
// are transparent, made once per size.
#include "theme/app_icon.h"

#include <gtest/gtest.h>

#include "core/handles.h"
#include "tests/theme/gui_support.h"

namespace {

TEST(AppIcon, FallbackWhenTheResourceIsMissing) {
    HINSTANCE self = GetModuleHandleW(nullptr);
    ASSERT_FALSE(has_app_icon_resource(self));
    HICON a = load_app_icon(self, 32, 32);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(load_app_icon(self, 32, 32), a) << "made once per size";
    HICON small = load_app_icon(self, 16, 16);
    ASSERT_NE(small, nullptr);
    EXPECT_NE(small, a);

    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(a, &info));
    raii::Bitmap mask(info.hbmMask), color(info.hbmColor);
    EXPECT_TRUE(info.fIcon);
    ASSERT_TRUE(mask);
    ASSERT_TRUE(color) << "a colour icon, not a monochrome one";
    BITMAP bm{};
    GetObjectW(color.get(), sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    EXPECT_EQ(bm.bmHeight, 32);
}

TEST(AppIcon, FallbackCornersAreTransparent) {
    const int s = 32;
    HICON icon = load_app_icon(GetModuleHandleW(nullptr), s, s);
    ASSERT_NE(icon, nullptr);
    // Drawn over red: the corners stay red, the page is white, the bar black.
    gui_test::Canvas canvas(s, s);
    canvas.fill(RGB(255, 0, 0));
    ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, icon, s, s, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(canvas.at(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(canvas.at(s - 1, s - 1), RGB(255, 0, 0));
    EXPECT_EQ(canvas.at(1, s / 2), RGB(255, 0, 0)) << "left of the page";
    EXPECT_EQ(canvas.at(s / 2, s - 6), RGB(255, 255, 255)) << "the page";
    EXPECT_EQ(canvas.at(s / 2, s / 5 + s / 12), RGB(0, 0, 0)) << "the bar";
    // Over blue the same: nothing of the background is inverted.
    canvas.fill(RGB(0, 0, 255));
    DrawIconEx(canvas.dc(), 0, 0, icon, s, s, 0, nullptr, DI_NORMAL);
    EXPECT_EQ(canvas.at(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(canvas.at(s / 2, s - 6), RGB(255, 255, 255));
}

TEST(AppIcon, LoadingAgainMakesNoGdiObjects) {
    HINSTANCE self = GetModuleHandleW(nullptr);
    load_app_icon(self, 24, 24);
    const DWORD before = gui_test::gdi_object_count();
    for (int i = 0; i < 100; ++i) load_app_icon(self, 24, 24);
    EXPECT_EQ(gui_test::gdi_object_count(), before);
}

}  // namespace
