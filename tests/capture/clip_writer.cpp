// Test helper: puts data on the clipboard from a process of its own, as
// another program would. It shows a small window, which owns the clipboard
// and takes the foreground, and runs the steps of its command line in order:
//
//   --title <text>          window title
//   --text <text>           add CF_UNICODETEXT with the text
//   --file <format> <path>  add a format with the bytes of a file
//   --dword <format> <n>    add a format holding a 32-bit number
//   --long-text <n> <tag>   add CF_UNICODETEXT: n characters, ending in tag
//   --noise-dib <w> <h>     add CF_DIB: a 32-bit bitmap of random pixels
//   --gradient-dib <w> <h>  add CF_DIB: a 32-bit bitmap of smooth gradients
//   --commit                open, empty, place every added format, close
//   --wait <ms>             keep running (and answering messages) for a while
//   --hold-on-change <ms>   from here on, open the clipboard after every
//                           change and hold it open for ms milliseconds, as
//                           other clipboard tools do (while --wait runs)
//
// A format is "text" (CF_UNICODETEXT), "dib" (CF_DIB), "#<number>", or the
// name of a registered format. The exit code is 0 when every step worked;
// with --hold-on-change, the number of changes it held the clipboard for.
// WM_CLOSE ends a --wait early.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Pending {
    UINT format;
    std::vector<std::uint8_t> bytes;
};

UINT format_of(const std::wstring& name) {
    if (name == L"text") return CF_UNICODETEXT;
    if (name == L"dib") return CF_DIB;
    if (!name.empty() && name[0] == L'#') return static_cast<UINT>(std::wcstoul(name.c_str() + 1, nullptr, 10));
    return RegisterClipboardFormatW(name.c_str());
}

std::vector<std::uint8_t> read_file(const std::wstring& path) {
    std::vector<std::uint8_t> out;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return out;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!out.empty()) ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
    out.resize(got);
    CloseHandle(file);
    return out;
}

bool g_closed_early = false;

void pump_for(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (g_closed_early) return;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

// A w x h 32-bit bottom-up bitmap of random pixels (alpha 255): it hardly
// compresses, so its PNG is as large as the pixels.
std::vector<std::uint8_t> noise_dib(std::uint32_t w, std::uint32_t h) {
    std::vector<std::uint8_t> dib(40 + static_cast<size_t>(w) * h * 4);
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = static_cast<LONG>(w);
    header.biHeight = static_cast<LONG>(h);
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = w * h * 4;
    std::memcpy(dib.data(), &header, 40);
    std::uint64_t x = 0x9E3779B97F4A7C15ull;
    for (size_t i = 40; i + 8 <= dib.size(); i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        const std::uint64_t opaque = x | 0xFF000000FF000000ull;
        std::memcpy(dib.data() + i, &opaque, 8);
    }
    return dib;
}

// A w x h 32-bit bottom-up bitmap of gradients: its PNG is small.
std::vector<std::uint8_t> gradient_dib(std::uint32_t w, std::uint32_t h) {
    std::vector<std::uint8_t> dib = noise_dib(1, 1);
    dib.resize(40 + static_cast<size_t>(w) * h * 4);
    BITMAPINFOHEADER header{};
    std::memcpy(&header, dib.data(), 40);
    header.biWidth = static_cast<LONG>(w);
    header.biHeight = static_cast<LONG>(h);
    header.biSizeImage = w * h * 4;
    std::memcpy(dib.data(), &header, 40);
    for (std::uint32_t y = 0; y < h; ++y) {
        std::uint8_t* row = dib.data() + 40 + static_cast<size_t>(y) * w * 4;
        for (std::uint32_t x = 0; x < w; ++x) {
            row[4 * x] = static_cast<std::uint8_t>(x * 255 / w);
            row[4 * x + 1] = static_cast<std::uint8_t>(y * 255 / h);
            row[4 * x + 2] = static_cast<std::uint8_t>(128);
            row[4 * x + 3] = 255;
        }
    }
    return dib;
}

DWORD g_hold_ms = 0;
int g_held = 0;

LRESULT CALLBACK writer_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLIPBOARDUPDATE && g_hold_ms > 0) {
        // The change's writer may still hold it for a moment.
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (OpenClipboard(wnd)) {
                Sleep(g_hold_ms);
                CloseClipboard();
                ++g_held;
                break;
            }
            Sleep(1);
        }
        return 0;
    }
    if (msg == WM_CLOSE) {
        g_closed_early = true;
        return 0;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

bool commit(HWND owner, std::vector<Pending>& pending) {
    bool ok = false;
    // Another program may hold the clipboard open for a while (reading a
    // large bitmap): up to 10 s.
    for (int attempt = 0; attempt < 500 && !ok; ++attempt) {
        ok = OpenClipboard(owner) != FALSE;
        if (!ok) pump_for(20);
    }
    if (!ok) return false;
    EmptyClipboard();
    for (const Pending& p : pending) {
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, p.bytes.size());
        if (!mem) {
            ok = false;
            continue;
        }
        std::memcpy(GlobalLock(mem), p.bytes.data(), p.bytes.size());
        GlobalUnlock(mem);
        if (!SetClipboardData(p.format, mem)) {
            GlobalFree(mem);
            ok = false;
        }
    }
    CloseClipboard();
    pending.clear();
    return ok;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 2;

    WNDCLASSW wc{};
    wc.lpfnWndProc = writer_proc;
    wc.hInstance = instance;
    wc.lpszClassName = L"QuilletTestClipWriter";
    RegisterClassW(&wc);
    HWND wnd = CreateWindowExW(0, wc.lpszClassName, L"clip writer", WS_OVERLAPPEDWINDOW, 10, 10, 200, 120, nullptr,
                               nullptr, instance, nullptr);
    if (!wnd) return 3;
    ShowWindow(wnd, SW_SHOW);
    SetForegroundWindow(wnd);
    pump_for(50);

    std::vector<Pending> pending;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring op = argv[i];
        auto arg = [&](int k) { return i + k < argc ? std::wstring(argv[i + k]) : std::wstring(); };
        if (op == L"--title") {
            SetWindowTextW(wnd, arg(1).c_str());
            SetForegroundWindow(wnd);
            i += 1;
        } else if (op == L"--text") {
            const std::wstring t = arg(1);
            const auto* p = reinterpret_cast<const std::uint8_t*>(t.c_str());
            pending.push_back({CF_UNICODETEXT, std::vector<std::uint8_t>(p, p + (t.size() + 1) * sizeof(wchar_t))});
            i += 1;
        } else if (op == L"--long-text") {
            const std::wstring tag = arg(2);
            std::wstring t(std::wcstoul(arg(1).c_str(), nullptr, 10), L'w');
            for (std::size_t k = 0; k < t.size(); k += 61) t[k] = L' ';
            if (t.size() >= tag.size()) t.replace(t.size() - tag.size(), tag.size(), tag);
            const auto* p = reinterpret_cast<const std::uint8_t*>(t.c_str());
            pending.push_back({CF_UNICODETEXT, std::vector<std::uint8_t>(p, p + (t.size() + 1) * sizeof(wchar_t))});
            i += 2;
        } else if (op == L"--file") {
            pending.push_back({format_of(arg(1)), read_file(arg(2))});
            i += 2;
        } else if (op == L"--dword") {
            const DWORD v = std::wcstoul(arg(2).c_str(), nullptr, 10);
            const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
            pending.push_back({format_of(arg(1)), std::vector<std::uint8_t>(p, p + sizeof v)});
            i += 2;
        } else if (op == L"--noise-dib") {
            pending.push_back({CF_DIB, noise_dib(std::wcstoul(arg(1).c_str(), nullptr, 10),
                                                 std::wcstoul(arg(2).c_str(), nullptr, 10))});
            i += 2;
        } else if (op == L"--gradient-dib") {
            pending.push_back({CF_DIB, gradient_dib(std::wcstoul(arg(1).c_str(), nullptr, 10),
                                                    std::wcstoul(arg(2).c_str(), nullptr, 10))});
            i += 2;
        } else if (op == L"--commit") {
            if (!commit(wnd, pending)) status = 1;
        } else if (op == L"--hold-on-change") {
            g_hold_ms = std::wcstoul(arg(1).c_str(), nullptr, 10);
            if (!AddClipboardFormatListener(wnd)) status = 1;
            i += 1;
        } else if (op == L"--wait") {
            pump_for(std::wcstoul(arg(1).c_str(), nullptr, 10));
            i += 1;
        } else {
            status = 4;
        }
    }
    DestroyWindow(wnd);
    LocalFree(argv);
    if (status == 0 && g_hold_ms > 0) return g_held;
    return status;
}
