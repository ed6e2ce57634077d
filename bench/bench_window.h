// Window helpers shared by the benchmarks: the message pump, the cards list
// in a window of its own, and the bitmap of an image entry.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "theme/fonts.h"
#include "ui/card_draw.h"
#include "ui/list_model.h"
#include "ui/thumbnail_cache.h"

namespace bench {

// Handles every message waiting for this thread (a WM_QUIT is dropped).
inline void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Handles messages for ms milliseconds, waking at least every slice_ms.
inline void pump_for(DWORD ms, DWORD slice_ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        pump();
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, slice_ms)),
                                  QS_ALLINPUT);
    }
}

// A 32-bit DIB (BITMAPINFOHEADER then the pixels) of width x height pixels
// of noise, the same for the same seed.
inline std::vector<std::uint8_t> noise_dib(std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
    const std::size_t pixels = static_cast<std::size_t>(width) * height * 4;
    std::vector<std::uint8_t> dib(40 + pixels);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) dib[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, width);
    put32(8, height);
    dib[12] = 1;
    dib[14] = 32;
    put32(20, static_cast<std::uint32_t>(pixels));
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 40; i < dib.size(); ++i) {
        x = x * 1103515245u + 12345u;
        dib[i] = static_cast<std::uint8_t>(x >> 24);
    }
    return dib;
}

// The cards list of the main window in a window of its own: it measures
// and draws its rows through the model. Shown is what the list box is told
// it shows (the rows of apply_rows_to_list or the ShownRows of
// apply_model_to_list).
template <class Shown>
struct CardsHost {
    ListModel model;
    Shown shown;
    ThumbnailCache thumbnails;
    CardOptions options;
    HWND parent = nullptr;
    HWND list = nullptr;
    raii::Font font = create_ui_font(14, 400);
    int measured = 0;  // WM_MEASUREITEM calls

    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<CardsHost*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self && msg == WM_MEASUREITEM) {
            ++self->measured;
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            mis->itemHeight = card_row_height(&self->model, static_cast<int>(mis->itemID));
            return TRUE;
        }
        if (self && msg == WM_DRAWITEM) {
            draw_cards_item(*reinterpret_cast<DRAWITEMSTRUCT*>(lp),
                            CardListContext{&self->model, &self->thumbnails, self->options});
            return TRUE;
        }
        return DefWindowProcW(w, msg, wp, lp);
    }

    // A shown window of class class_name with the owner-drawn list box
    // (101) of list_width pixels; extra_style adds list box styles such as
    // LBS_HASSTRINGS.
    bool create(const wchar_t* class_name, int list_width, DWORD extra_style) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = class_name;
        RegisterClassW(&wc);
        parent = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20,
                                 list_width + 40, 760, nullptr, nullptr, wc.hInstance, nullptr);
        if (!parent) return false;
        SetWindowLongPtrW(parent, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        list = CreateWindowExW(0, L"LISTBOX", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_OWNERDRAWVARIABLE |
                                   extra_style | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT,
                               12, 12, list_width, 700, parent, reinterpret_cast<HMENU>(101), wc.hInstance, nullptr);
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        options.today = today_local();
        return list != nullptr;
    }
};

}  // namespace bench
