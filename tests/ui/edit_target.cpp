// A window with a multi-line edit box in a process of its own, the paste
// target of the quick-menu test. The window's title is the first argument;
// the edit has the keyboard focus whenever the window is active. Ends on
// WM_CLOSE, or after two minutes at the latest.
#include <windows.h>

#include <string>

namespace {

HWND g_edit = nullptr;

LRESULT CALLBACK target_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            g_edit = CreateWindowExW(0, L"EDIT", L"",
                                     WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, 0, 0,
                                     300, 120, w, reinterpret_cast<HMENU>(1), GetModuleHandleW(nullptr), nullptr);
            SetTimer(w, 1, 120000, nullptr);
            return 0;
        case WM_SIZE:
            MoveWindow(g_edit, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
            return 0;
        case WM_SETFOCUS:
        case WM_ACTIVATE:
            if (msg == WM_SETFOCUS || LOWORD(wp) != WA_INACTIVE) SetFocus(g_edit);
            return 0;
        case WM_TIMER:
            DestroyWindow(w);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(w, msg, wp, lp);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmd, int) {
    std::wstring title = cmd && *cmd ? cmd : L"QuilletEditTarget";
    WNDCLASSW wc{};
    wc.lpfnWndProc = target_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"QuilletTestEditTarget";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 120, 360, 200,
                             nullptr, nullptr, instance, nullptr);
    if (!w) return 1;
    SetForegroundWindow(w);
    SetFocus(g_edit);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
