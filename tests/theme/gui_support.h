// Helpers of the window tests: counting the process's GDI objects, finding
// the program's windows from a helper thread, waiting, grabbing pixels from
// the screen or a DC, and writing PNG files.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "core/handles.h"

namespace gui_test {

// --- GDI objects ---------------------------------------------------------------------

namespace detail {
// One entry of the GDI handle table that the PEB points at (x64 layout,
// the same on Windows and Wine): a free entry has type 0.
struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t user;
};
static_assert(sizeof(GdiHandleEntry) == 24);

// The process's PEB, through NtQueryInformationProcess (basic information).
inline uint8_t* process_peb() {
    struct BasicInformation {
        LONG exit_status;
        void* peb;
        ULONG_PTR affinity;
        LONG priority;
        ULONG_PTR pid;
        ULONG_PTR parent_pid;
    } info{};
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    if (!query || query(GetCurrentProcess(), 0, &info, sizeof(info), nullptr) != 0) return nullptr;
    return static_cast<uint8_t*>(info.peb);
}

inline DWORD count_handle_table() {
    uint8_t* peb = process_peb();
    auto* table = peb ? *reinterpret_cast<uint8_t**>(peb + 0xF8) : nullptr;  // GdiSharedHandleTable
    if (!table) return 0;
    DWORD n = 0;
    uint8_t* p = table;
    uint8_t* const end = table + sizeof(GdiHandleEntry) * 65536;
    while (p < end) {
        MEMORY_BASIC_INFORMATION mbi{};
        if (!VirtualQuery(p, &mbi, sizeof(mbi))) break;
        uint8_t* region_end = static_cast<uint8_t*>(mbi.BaseAddress) + mbi.RegionSize;
        if (region_end > end) region_end = end;
        if (mbi.State == MEM_COMMIT && !(mbi.Protect & (PAGE_NOACCESS | PAGE_GUARD))) {
            for (auto* e = reinterpret_cast<GdiHandleEntry*>(p); reinterpret_cast<uint8_t*>(e + 1) <= region_end; ++e)
                if (e->type) ++n;
        }
        p = region_end;
    }
    return n;
}
}  // namespace detail

// The number of GDI objects the process holds: GetGuiResources where the
// system counts them (Windows), else the live entries of the process's own
// handle table (Wine, whose GetGuiResources gives 0).
inline DWORD gdi_object_count() {
    const DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    return n ? n : detail::count_handle_table();
}

// --- Wine --------------------------------------------------------------------------------

inline bool running_under_wine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The test display has no window manager. Wine hands every window that was
// ever active to one and, when such a window is hidden or destroyed, waits
// 2 s for an answer that never comes. Under Wine this program's own windows
// are therefore kept unmanaged (Wine's per-program "Managed" option of its
// X11 driver); elsewhere nothing changes. The driver reads the option when
// the process starts, before any code of the test runs, so the first time
// the option is set the program runs itself again and exits with that
// run's exit code. Call it from a namespace-scope initialiser.
inline bool use_unmanaged_windows_under_wine() {
    if (!running_under_wine()) return false;
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring name(path);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + name + L"\\X11 Driver";
    auto set_to_no = [](const wchar_t* path) {
        wchar_t value[8] = {};
        DWORD size = sizeof(value);
        return RegGetValueW(HKEY_CURRENT_USER, path, L"Managed", RRF_RT_REG_SZ, nullptr, value, &size) ==
                   ERROR_SUCCESS &&
               (value[0] == L'N' || value[0] == L'n');
    };
    // Already so for every program of the prefix, or for this one.
    if (set_to_no(L"Software\\Wine\\X11 Driver") || set_to_no(key.c_str())) return true;
    raii::RegKey reg;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, reg.put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    static const wchar_t kNo[] = L"N";
    if (RegSetValueExW(reg.get(), L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo), sizeof(kNo)) !=
        ERROR_SUCCESS)
        return false;
    reg.reset();
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
        if (h && h != INVALID_HANDLE_VALUE) SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    std::wstring command = GetCommandLineW();
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(path, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return true;
    raii::Handle process(pi.hProcess), thread(pi.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    ExitProcess(code);
}

// --- windows ---------------------------------------------------------------------------

inline std::vector<HWND> thread_windows(DWORD thread, const wchar_t* cls) {
    struct Search {
        const wchar_t* cls;
        std::vector<HWND> found;
    } search{cls, {}};
    EnumThreadWindows(
        thread,
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t name[128] = {};
            GetClassNameW(w, name, 128);
            if (wcscmp(name, s->cls) == 0 && IsWindowVisible(w)) s->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// --- the test thread's own windows ---------------------------------------------------

// Dispatches what is in the thread's queue now (a WM_QUIT is dropped).
inline void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A click as the system delivers it: press and release in the middle of the control.
inline void click(HWND control) {
    RECT rc{};
    GetClientRect(control, &rc);
    const LPARAM at = MAKELPARAM(rc.right / 2, rc.bottom / 2);
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(control, WM_LBUTTONUP, 0, at);
}

// The window's whole text.
inline std::wstring text_of(HWND w) {
    const int n = GetWindowTextLengthW(w);
    std::wstring t(static_cast<size_t>(n > 0 ? n : 0) + 1, L'\0');
    const int got = GetWindowTextW(w, t.data(), n + 1);
    t.resize(static_cast<size_t>(got > 0 ? got : 0));
    return t;
}

// The window with the keyboard focus in the thread, or null.
inline HWND focus_of(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// Polls the condition every 10 ms until it holds or the time is up.
inline bool wait_until(const std::function<bool()>& condition, int timeout_ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Waits until the thread shows `count` visible windows of the class (the
// menu's levels, a box) and returns them in creation order.
inline std::vector<HWND> wait_for_windows(DWORD thread, const wchar_t* cls, size_t count, int timeout_ms = 5000) {
    std::vector<HWND> found;
    wait_until(
        [&] {
            found = thread_windows(thread, cls);
            return found.size() >= count;
        },
        timeout_ms);
    // EnumThreadWindows lists top-level windows newest first.
    return std::vector<HWND>(found.rbegin(), found.rend());
}

inline RECT window_rect(HWND w) {
    RECT rc{};
    GetWindowRect(w, &rc);
    return rc;
}

inline POINT rect_center(const RECT& rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }

// Moves the pointer and waits until it stays there: under Wine the motion
// of an earlier move can arrive late and put the pointer back.
inline void move_pointer(POINT screen) {
    int stable = 0;
    for (int i = 0; i < 50 && stable < 3; ++i) {
        POINT now{};
        GetCursorPos(&now);
        if (now.x == screen.x && now.y == screen.y) {
            ++stable;
        } else {
            stable = 0;
            SetCursorPos(screen.x, screen.y);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
}

// A real click of a mouse button at a screen point: the pointer moved
// there, the button pressed and released through the system's input queue.
inline void mouse_click_at(POINT screen, DWORD down, DWORD up) {
    move_pointer(screen);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = down;
    in[1].mi.dwFlags = up;
    SendInput(1, &in[0], sizeof(INPUT));
    Sleep(40);
    SendInput(1, &in[1], sizeof(INPUT));
}

inline void left_click_at(POINT screen) { mouse_click_at(screen, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); }
inline void right_click_at(POINT screen) { mouse_click_at(screen, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }

// Moves the pointer and posts the mouse message to the window, with the
// point in its client coordinates, as the system would deliver it.
inline void post_mouse(HWND window, UINT msg, POINT screen, WPARAM keys = 0) {
    move_pointer(screen);
    POINT client = screen;
    ScreenToClient(window, &client);
    PostMessageW(window, msg, keys, MAKELPARAM(client.x, client.y));
}

// Types path into a file dialog's name field (the combo box, or the plain
// edit) and presses its OK button; false when the dialog shows neither.
inline bool submit_file_name(HWND dialog, const std::wstring& path) {
    HWND name = nullptr;
    for (int id : {0x47C, 0x480}) {
        HWND c = GetDlgItem(dialog, id);
        if (c && IsWindowVisible(c)) {
            name = c;
            break;
        }
    }
    if (!name) return false;
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return true;
}

inline void post_key(HWND window, UINT vk) {
    PostMessageW(window, WM_KEYDOWN, vk, 1);
    PostMessageW(window, WM_KEYUP, vk, 0xC0000001);
}

// Real key input of one character, whatever the keyboard layout
// (KEYEVENTF_UNICODE): a press and a release.
inline void send_unicode_char(wchar_t c) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wScan = in[1].ki.wScan = c;
    in[0].ki.dwFlags = KEYEVENTF_UNICODE;
    in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

// Real key input: the keys pressed in order and released in reverse
// (a chord such as Ctrl+Shift+End).
inline void send_key_chord(std::initializer_list<WORD> keys) {
    std::vector<INPUT> in;
    auto add = [&in](WORD k, DWORD flags) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = k;
        i.ki.dwFlags = flags;
        in.push_back(i);
    };
    for (WORD k : keys) add(k, 0);
    for (auto it = keys.end(); it != keys.begin();) add(*--it, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

// --- pixels ----------------------------------------------------------------------------

// A 32-bit top-down copy of some pixels.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> bgra;  // 0x00RRGGBB per pixel

    // The pixel as a COLORREF (0x00BBGGRR), or CLR_INVALID outside.
    COLORREF at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
        const uint32_t p = bgra[static_cast<size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

// A 32-bit DIB section selected into a memory DC, to paint into and read.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        bitmap_.reset(CreateDIBSection(dc_.get(), &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0));
        select_ = raii::SelectGuard(dc_.get(), bitmap_.get());
    }
    HDC dc() const { return dc_.get(); }
    void fill(COLORREF c) {
        raii::Brush b(CreateSolidBrush(c));
        RECT rc{0, 0, width_, height_};
        FillRect(dc_.get(), &rc, b.get());
    }
    Pixels pixels() const {
        GdiFlush();
        Pixels p;
        p.width = width_;
        p.height = height_;
        p.bgra.assign(bits_, bits_ + static_cast<size_t>(width_) * height_);
        for (uint32_t& v : p.bgra) v &= 0x00FFFFFF;
        return p;
    }
    COLORREF at(int x, int y) const {
        GdiFlush();
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
        const uint32_t v = bits_[static_cast<size_t>(y) * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }

private:
    int width_, height_;
    raii::MemoryDC dc_;
    raii::Bitmap bitmap_;
    uint32_t* bits_ = nullptr;
    raii::SelectGuard select_;
};

// The screen's pixels in the rectangle (what the display shows).
inline Pixels grab_screen(const RECT& rc) {
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    Canvas canvas(w, h);
    raii::WindowDC screen(nullptr);
    BitBlt(canvas.dc(), 0, 0, w, h, screen.get(), rc.left, rc.top, SRCCOPY);
    return canvas.pixels();
}

// Waits until the window has painted (it and its children redrawn, frame
// included), then grabs it from the screen.
inline Pixels grab_painted_window(HWND w) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    return grab_screen(window_rect(w));
}

// --- files -----------------------------------------------------------------------------

inline std::wstring exe_dir() {
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring p(path);
    return p.substr(0, p.find_last_of(L"\\/"));
}

// Writes the pixels as a PNG file through the imaging component.
inline bool save_png(const Pixels& pixels, const std::wstring& path) {
    raii::ComInit com;
    if (!com.ok()) return false;
    raii::ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(factory.put()))))
        return false;
    raii::ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)))
        return false;
    raii::ComPtr<IWICBitmapEncoder> encoder;
    if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)))
        return false;
    raii::ComPtr<IWICBitmapFrameEncode> frame;
    if (FAILED(encoder->CreateNewFrame(frame.put(), nullptr)) || FAILED(frame->Initialize(nullptr))) return false;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    if (FAILED(frame->SetSize(pixels.width, pixels.height)) || FAILED(frame->SetPixelFormat(&format))) return false;
    std::vector<uint32_t> rows = pixels.bgra;
    if (FAILED(frame->WritePixels(pixels.height, pixels.width * 4, static_cast<UINT>(rows.size() * 4),
                                  reinterpret_cast<BYTE*>(rows.data()))))
        return false;
    return SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace gui_test
