// Scope guards of painting: BeginPaint / EndPaint and a memory back buffer
// that is copied to the target when the scope ends.
#pragma once

#include <windows.h>

#include "core/handles.h"

class PaintScope {
public:
    explicit PaintScope(HWND window) noexcept : window_(window), dc_(BeginPaint(window, &ps_)) {}
    ~PaintScope() {
        if (dc_) EndPaint(window_, &ps_);
    }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC dc() const noexcept { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// Drawing goes to dc() (a memory DC of the rectangle's size whose origin is
// the rectangle's top-left); the destructor copies it to the target with
// SRCCOPY and frees the bitmap and the DC. Without memory (ok() false),
// dc() is the target itself.
class BackBuffer {
public:
    BackBuffer(HDC target, const RECT& rc) noexcept
        : target_(target),
          rc_(rc),
          mem_(CreateCompatibleDC(target)),
          bitmap_(CreateCompatibleBitmap(target, width(), height())),
          select_(mem_.get(), bitmap_.get()) {
        if (select_.ok()) SetWindowOrgEx(mem_.get(), rc.left, rc.top, nullptr);
    }
    ~BackBuffer() {
        if (select_.ok()) {
            SetWindowOrgEx(mem_.get(), 0, 0, nullptr);
            BitBlt(target_, rc_.left, rc_.top, width(), height(), mem_.get(), 0, 0, SRCCOPY);
        }
        // select_ puts the old bitmap back before bitmap_ and mem_ go.
    }
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;

    bool ok() const noexcept { return select_.ok(); }
    HDC dc() const noexcept { return select_.ok() ? mem_.get() : target_; }

private:
    int width() const noexcept { return rc_.right - rc_.left > 0 ? rc_.right - rc_.left : 1; }
    int height() const noexcept { return rc_.bottom - rc_.top > 0 ? rc_.bottom - rc_.top : 1; }

    HDC target_;
    RECT rc_;
    raii::MemoryDC mem_;
    raii::Bitmap bitmap_;
    raii::SelectGuard select_;
};
