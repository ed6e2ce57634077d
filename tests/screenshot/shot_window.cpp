// Test helper: another program's window of one colour. Command line:
//   <ready event> <quit event> <x> <y> <width> <height> <colour 0xBBGGRR> [pattern]
// Shows a borderless window there in front, filled with the colour or, with
// "pattern", with pattern_at of the screen pixel (shot_test_support.h),
// sets the ready event once it is painted and ends when the quit event is
// set (or after two minutes).
#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace {

COLORREF g_colour = 0;
bool g_pattern = false;

void paint_pattern(HWND w, HDC dc) {
    RECT rc{};
    GetClientRect(w, &rc);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    const int width = rc.right, height = rc.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    DWORD* pixels = static_cast<DWORD*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(width) * height * 4));
    if (!pixels) return;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int sx = origin.x + x, sy = origin.y + y;
            // pattern_at: red (7x + 3y), green y, blue x, each modulo 256.
            pixels[y * width + x] = (((sx * 7 + sy * 3) & 0xFF) << 16) | ((sy & 0xFF) << 8) | (sx & 0xFF);
        }
    SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, pixels, &bi, DIB_RGB_COLORS);
    HeapFree(GetProcessHeap(), 0, pixels);
}

LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(w, &ps);
        if (g_pattern) {
            paint_pattern(w, dc);
            EndPaint(w, &ps);
            return 0;
        }
        HBRUSH brush = CreateSolidBrush(g_colour);
        RECT rc{};
        GetClientRect(w, &rc);
        FillRect(dc, &rc, brush);
        DeleteObject(brush);
        EndPaint(w, &ps);
        return 0;
    }
    if (msg == WM_ERASEBKGND) return 1;
    return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 8) return 2;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, argv[2]);
    if (!ready || !quit) return 2;
    const int x = _wtoi(argv[3]), y = _wtoi(argv[4]), w = _wtoi(argv[5]), h = _wtoi(argv[6]);
    g_colour = static_cast<COLORREF>(std::wcstoul(argv[7], nullptr, 0));
    g_pattern = argc >= 9 && wcscmp(argv[8], L"pattern") == 0;
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuilletTestShotWindow";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    HWND wnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"shot target", WS_POPUP | WS_VISIBLE, x, y, w, h,
                               nullptr, nullptr, wc.hInstance, nullptr);
    if (!wnd) return 3;
    SetForegroundWindow(wnd);
    UpdateWindow(wnd);
    const ULONGLONG painted = GetTickCount64() + 300;
    bool signalled = false;
    const ULONGLONG end = GetTickCount64() + 120000;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        const ULONGLONG now = GetTickCount64();
        if (!signalled && now >= painted) {
            SetEvent(ready);
            signalled = true;
        }
        if (now >= end) break;
        if (MsgWaitForMultipleObjects(1, &quit, FALSE, 20, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    }
    DestroyWindow(wnd);
    return 0;
}
