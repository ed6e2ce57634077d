// Started by the Wine wrapper before a program of the build runs: creating
// one window makes Wine start its desktop process now, with no terminal
// attached, instead of inside the first test (whose output pipe it would
// then hold open for as long as the Wine server lives).
#include <windows.h>

int main() {
    HWND wnd = CreateWindowExW(0, L"STATIC", L"warm-up", WS_POPUP, 0, 0, 1, 1,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (wnd) {
        DestroyWindow(wnd);
    }
    return 0;
}
