// Screen grab, crop, foreground window and the thread's DPI awareness.
#include "screenshot/screen_grab.h"

#include <algorithm>
#include <cstring>

#include "core/handles.h"

std::vector<std::uint8_t> top_down_dib(std::int32_t width, std::int32_t height) {
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    std::vector<std::uint8_t> dib(40 + pixels, 0);
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = -height;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(pixels);
    std::memcpy(dib.data(), &h, 40);
    return dib;
}

ScreenGrab ScreenGrab::capture_virtual_screen() {
    ScreenGrab grab;
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) return grab;

    raii::WindowDC screen(nullptr);
    if (!screen) return grab;
    raii::MemoryDC mem(CreateCompatibleDC(screen.get()));
    raii::Bitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    if (!mem || !bitmap) return grab;
    {
        raii::SelectGuard select(mem.get(), bitmap.get());
        if (!select.ok()) return grab;
        if (!BitBlt(mem.get(), 0, 0, width, height, screen.get(), left, top, SRCCOPY | CAPTUREBLT)) return grab;
    }
    std::vector<std::uint8_t> dib = top_down_dib(width, height);
    BITMAPINFO info{};
    std::memcpy(&info.bmiHeader, dib.data(), 40);
    const int rows = GetDIBits(mem.get(), bitmap.get(), 0, static_cast<UINT>(height), dib.data() + 40, &info,
                               DIB_RGB_COLORS);
    if (rows != height) return grab;
    for (std::size_t i = 40 + 3; i < dib.size(); i += 4) dib[i] = 255;
    grab.dib = std::move(dib);
    grab.width = width;
    grab.height = height;
    grab.left = left;
    grab.top = top;
    grab.ok = true;
    return grab;
}

RECT ScreenGrab::crop_area(const ScreenGrab& source, const RECT& r) {
    if (!source.ok || source.width <= 0 || source.height <= 0) return RECT{};
    if (source.dib.size() < 40 + static_cast<std::size_t>(source.width) * source.height * 4) return RECT{};
    const std::int64_t x0 = std::max<std::int64_t>(source.left, r.left);
    const std::int64_t x1 = std::min<std::int64_t>(static_cast<std::int64_t>(source.left) + source.width, r.right);
    const std::int64_t y0 = std::max<std::int64_t>(source.top, r.top);
    const std::int64_t y1 = std::min<std::int64_t>(static_cast<std::int64_t>(source.top) + source.height, r.bottom);
    if (x1 - x0 <= 0 || y1 - y0 <= 0) return RECT{};
    return RECT{static_cast<LONG>(x0), static_cast<LONG>(y0), static_cast<LONG>(x1), static_cast<LONG>(y1)};
}

void ScreenGrab::copy_rows(const ScreenGrab& source, const RECT& area, std::uint8_t* out) {
    const std::size_t row_bytes = static_cast<std::size_t>(area.right - area.left) * 4;
    const auto column = static_cast<std::size_t>(area.left - source.left);
    for (LONG y = area.top; y < area.bottom; ++y) {
        std::memcpy(out, source.row(y - source.top) + column * 4, row_bytes);
        out += row_bytes;
    }
}

ScreenGrab ScreenGrab::crop(const ScreenGrab& source, const RECT& r) {
    ScreenGrab out;
    const RECT area = crop_area(source, r);
    if (IsRectEmpty(&area)) return out;
    const auto w = static_cast<std::int32_t>(area.right - area.left);
    const auto h = static_cast<std::int32_t>(area.bottom - area.top);
    out.dib = top_down_dib(w, h);
    copy_rows(source, area, out.dib.data() + 40);
    out.width = w;
    out.height = h;
    out.left = area.left;
    out.top = area.top;
    out.ok = true;
    return out;
}

RECT foreground_window_rect() {
    RECT none{};
    HWND fg = GetForegroundWindow();
    if (!fg) return none;
    DWORD pid = 0;
    GetWindowThreadProcessId(fg, &pid);
    if (pid == GetCurrentProcessId()) return none;
    RECT rc{};
    if (!GetWindowRect(fg, &rc)) return none;
    if (rc.right - rc.left <= 7 || rc.bottom - rc.top <= 7) return none;
    return rc;
}

namespace {

using SetThreadDpiFn = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);

SetThreadDpiFn set_thread_dpi() {
    static const SetThreadDpiFn fn = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        return user32 ? reinterpret_cast<SetThreadDpiFn>(
                            reinterpret_cast<void*>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")))
                      : nullptr;
    }();
    return fn;
}

}  // namespace

DPI_AWARENESS_CONTEXT enter_per_monitor_dpi() {
    SetThreadDpiFn fn = set_thread_dpi();
    if (!fn) return nullptr;
    return fn(reinterpret_cast<DPI_AWARENESS_CONTEXT>(static_cast<INT_PTR>(-4)));
}

void restore_thread_dpi(DPI_AWARENESS_CONTEXT previous) {
    if (!previous) return;
    if (SetThreadDpiFn fn = set_thread_dpi()) fn(previous);
}
