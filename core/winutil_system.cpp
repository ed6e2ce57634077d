// COM start-up, the compositor wait, window sizing and the fallback icon.
#include <algorithm>

#include "core/winutil.h"

namespace winutil {

namespace {

using DwmFlushFn = HRESULT(WINAPI*)();
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

template <class Fn>
Fn proc(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// The library stays loaded for the life of the process.
HMODULE system_library(const wchar_t* name) {
    HMODULE module = GetModuleHandleW(name);
    return module ? module : LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

struct DpiFunctions {
    AdjustWindowRectExForDpiFn adjust = nullptr;
    GetDpiForWindowFn dpi_for_window = nullptr;
};

const DpiFunctions& dpi_functions() {
    static const DpiFunctions fns = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        DpiFunctions f;
        f.adjust = proc<AdjustWindowRectExForDpiFn>(user32, "AdjustWindowRectExForDpi");
        f.dpi_for_window = proc<GetDpiForWindowFn>(user32, "GetDpiForWindow");
        return f;
    }();
    return fns;
}

void round_page(HDC dc, int s) { RoundRect(dc, 3, 2, s - 3, s - 2, 4, 4); }

}  // namespace

bool ensure_com() {
    // COM belongs to a thread, so each thread initialises it once for itself.
    thread_local const bool ok = [] {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
    }();
    return ok;
}

void flush_dwm() {
    static const DwmFlushFn dwm_flush = proc<DwmFlushFn>(system_library(L"dwmapi.dll"), "DwmFlush");
    if (dwm_flush) dwm_flush();
    Sleep(60);
}

bool register_window_class(const wchar_t* name, WNDPROC proc, UINT style, const wchar_t* cursor) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, cursor);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

int window_width_for_client(HWND wnd, int client_width) {
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD ex_style = 0;
    if (wnd) {
        style = static_cast<DWORD>(GetWindowLongPtrW(wnd, GWL_STYLE));
        ex_style = static_cast<DWORD>(GetWindowLongPtrW(wnd, GWL_EXSTYLE));
    }
    RECT rc{0, 0, std::max(client_width, 0), 100};
    const DpiFunctions& fns = dpi_functions();
    bool adjusted = false;
    if (fns.adjust) {
        UINT dpi = fns.dpi_for_window && wnd ? fns.dpi_for_window(wnd) : 0;
        if (dpi == 0) dpi = 96;
        adjusted = fns.adjust(&rc, style, FALSE, ex_style, dpi) != FALSE;
    }
    if (!adjusted) AdjustWindowRectEx(&rc, style, FALSE, ex_style);
    return rc.right - rc.left;
}

raii::Icon make_fallback_icon(int size) {
    const int s = size;
    if (s <= 0) return {};
    raii::WindowDC screen(nullptr);
    if (!screen) return {};
    raii::MemoryDC dc(CreateCompatibleDC(screen.get()));
    raii::Bitmap color(CreateCompatibleBitmap(screen.get(), s, s));
    raii::Bitmap mask(CreateBitmap(s, s, 1, 1, nullptr));
    if (!dc || !color || !mask) return {};

    // Colour: black outside the page (shows nothing where the mask is set),
    // a white rounded page, a black bar near its top.
    {
        raii::SelectGuard bitmap(dc.get(), color.get());
        PatBlt(dc.get(), 0, 0, s, s, BLACKNESS);
        {
            raii::Brush white(CreateSolidBrush(RGB(255, 255, 255)));
            raii::SelectGuard brush(dc.get(), white.get());
            raii::SelectGuard pen(dc.get(), GetStockObject(NULL_PEN));
            round_page(dc.get(), s);
        }
        {
            raii::Brush black(CreateSolidBrush(RGB(0, 0, 0)));
            raii::Pen outline(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
            raii::SelectGuard brush(dc.get(), black.get());
            raii::SelectGuard pen(dc.get(), outline.get());
            Rectangle(dc.get(), s / 4, s / 5, 3 * s / 4, s / 5 + s / 6);
        }
    }
    // Mask: 0 (opaque) on the page, 1 (transparent) around it.
    {
        raii::SelectGuard bitmap(dc.get(), mask.get());
        PatBlt(dc.get(), 0, 0, s, s, WHITENESS);
        raii::SelectGuard brush(dc.get(), GetStockObject(BLACK_BRUSH));
        raii::SelectGuard pen(dc.get(), GetStockObject(NULL_PEN));
        round_page(dc.get(), s);
    }

    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask.get();
    info.hbmColor = color.get();
    return raii::Icon(CreateIconIndirect(&info));  // copies both bitmaps
}

}  // namespace winutil
