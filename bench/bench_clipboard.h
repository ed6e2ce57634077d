// The writing side of the clipboard benchmarks: a screen-like bitmap, a
// copy put on the clipboard as another program does it, and waiting while
// answering messages as a clipboard owner must.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace bench {

constexpr int kScreenWidth = 1920, kScreenHeight = 1080;

// A screen-like 1920x1080 32-bit bottom-up bitmap: gradients and bands.
inline std::vector<std::uint8_t> screen_bitmap(int variant) {
    std::vector<std::uint8_t> dib(40 + static_cast<size_t>(kScreenWidth) * kScreenHeight * 4);
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = kScreenWidth;
    h.biHeight = kScreenHeight;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(kScreenWidth) * kScreenHeight * 4;
    std::memcpy(dib.data(), &h, 40);
    for (int y = 0; y < kScreenHeight; ++y) {
        std::uint8_t* row = dib.data() + 40 + static_cast<size_t>(y) * kScreenWidth * 4;
        for (int x = 0; x < kScreenWidth; ++x) {
            const bool band = (y / 40) % 3 == 0;
            row[4 * x] = static_cast<std::uint8_t>(band ? 240 : x / 8);
            row[4 * x + 1] = static_cast<std::uint8_t>(band ? 240 : y / 5);
            row[4 * x + 2] = static_cast<std::uint8_t>(band ? 245 : (x + y) / 12);
            row[4 * x + 3] = 255;
        }
    }
    // Each copy differs in a few pixels.
    std::uint8_t* p = dib.data() + 40;
    for (int k = 0; k < 16; ++k) p[4 * k] = static_cast<std::uint8_t>(variant + k);
    return dib;
}

// Retries for up to 5 s while someone else (a reader of the previous copy)
// holds the clipboard open.
inline bool put_on_clipboard(HWND owner, UINT format, const void* data, size_t size) {
    for (int attempt = 0; attempt < 2500; ++attempt) {
        if (OpenClipboard(owner)) {
            EmptyClipboard();
            HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
            bool ok = false;
            if (mem) {
                std::memcpy(GlobalLock(mem), data, size);
                GlobalUnlock(mem);
                ok = SetClipboardData(format, mem) != nullptr;
                if (!ok) GlobalFree(mem);
            }
            CloseClipboard();
            return ok;
        }
        Sleep(2);
    }
    return false;
}

// Waits for the event while answering messages, as a program that owns the
// clipboard must (the system may ask the owner about its data).
inline bool wait_answering_messages(HANDLE event, DWORD timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        const DWORD r = MsgWaitForMultipleObjects(1, &event, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

}  // namespace bench
