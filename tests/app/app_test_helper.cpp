// Test helper: another program on the desktop. Command line:
//   <ready event> <quit event> hotkey <modifiers> <virtual key>
//       holds a global hotkey (exits with 3 when it cannot be registered)
//   <ready event> <quit event> window <class name>
//       shows a window of that class in front
//   <ready event> <quit event> text <text>
//       puts the text on the clipboard from a window of its own
// It sets the ready event once it has done its part and ends when the quit
// event is set (or after two minutes).
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND make_window(const wchar_t* cls) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, cls, L"helper", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 200, 120, nullptr, nullptr,
                             wc.hInstance, nullptr);
    if (w) {
        SetForegroundWindow(w);
        UpdateWindow(w);
    }
    return w;
}

bool put_text(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool ok = false;
    if (mem) {
        void* p = GlobalLock(mem);
        std::memcpy(p, text.c_str(), bytes);
        GlobalUnlock(mem);
        ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
        if (!ok) GlobalFree(mem);
    }
    CloseClipboard();
    return ok;
}

void wait_for(HANDLE quit) {
    const ULONGLONG end = GetTickCount64() + 120000;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        DWORD r = MsgWaitForMultipleObjects(1, &quit, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return;
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, argv[2]);
    if (!ready || !quit) return 2;
    std::wstring mode = argv[3];
    if (mode == L"hotkey" && argc >= 6) {
        UINT mods = static_cast<UINT>(std::wcstoul(argv[4], nullptr, 0));
        UINT vk = static_cast<UINT>(std::wcstoul(argv[5], nullptr, 0));
        if (!RegisterHotKey(nullptr, 1, mods, vk)) return 3;
        SetEvent(ready);
        wait_for(quit);
        UnregisterHotKey(nullptr, 1);
        return 0;
    }
    if (mode == L"window" && argc >= 5) {
        HWND w = make_window(argv[4]);
        if (!w) return 3;
        SetEvent(ready);
        wait_for(quit);
        DestroyWindow(w);
        return 0;
    }
    if (mode == L"text" && argc >= 5) {
        HWND w = make_window(L"QuilletTestHelperWindow");
        if (!w || !put_text(w, argv[4])) return 3;
        SetEvent(ready);
        wait_for(quit);
        DestroyWindow(w);
        return 0;
    }
    return 2;
}
