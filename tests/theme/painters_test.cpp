// The text and fill painters on a memory DC: what they draw and that the
// DC's font is as it was afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/handles.h"
#include "theme/painters.h"

namespace {

class Canvas {
public:
    Canvas() : dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = kSize;
        bi.bmiHeader.biHeight = -kSize;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bitmap_.reset(CreateDIBSection(dc_.get(), &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0));
        old_ = SelectObject(dc_.get(), bitmap_.get());
        fill_rect_color(dc_.get(), RECT{0, 0, kSize, kSize}, RGB(255, 255, 255));
        SetBkMode(dc_.get(), TRANSPARENT);
    }
    ~Canvas() { SelectObject(dc_.get(), old_); }
    HDC dc() const { return dc_.get(); }
    int dark_pixels() const {
        GdiFlush();
        int n = 0;
        for (int i = 0; i < kSize * kSize; ++i)
            if ((bits_[i] & 0xFF) < 128) ++n;
        return n;
    }
    static constexpr int kSize = 64;

private:
    raii::MemoryDC dc_;
    raii::Bitmap bitmap_;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

TEST(Painters, FillRectColourFillsExactlyTheRectangle) {
    Canvas canvas;
    fill_rect_color(canvas.dc(), RECT{0, 0, 10, 8}, RGB(0, 0, 0));
    EXPECT_EQ(canvas.dark_pixels(), 80);
}

TEST(Painters, DrawTextInDrawsInTheColourAndPutsTheFontBack) {
    Canvas canvas;
    raii::Font font(CreateFontW(-20, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    const HGDIOBJ before = GetCurrentObject(canvas.dc(), OBJ_FONT);
    draw_text_in(canvas.dc(), font.get(), RGB(0, 0, 0), L"WM", RECT{0, 0, 64, 64}, DT_SINGLELINE);
    EXPECT_GT(canvas.dark_pixels(), 20);
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_FONT), before);
}

TEST(Painters, DrawTextInDrawsNothingForAnEmptyTextOrOutsideTheRectangle) {
    Canvas canvas;
    raii::Font font(CreateFontW(-20, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    draw_text_in(canvas.dc(), font.get(), RGB(0, 0, 0), L"", RECT{0, 0, 64, 64}, DT_SINGLELINE);
    EXPECT_EQ(canvas.dark_pixels(), 0);
    // Clipped to a rectangle that lies outside the canvas.
    draw_text_in(canvas.dc(), font.get(), RGB(0, 0, 0), L"WM", RECT{100, 100, 140, 140}, DT_SINGLELINE);
    EXPECT_EQ(canvas.dark_pixels(), 0);
}

}  // namespace
