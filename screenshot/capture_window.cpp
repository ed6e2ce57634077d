// The capture overlay's window: class, window procedure, the text box,
// resources and the modal loop of run_capture.
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>

#include "capture/image.h"
#include "core/i18n.h"
#include "core/winutil.h"
#include "screenshot/capture_colors.h"
#include "screenshot/capture_overlay.h"
#include "theme/fonts.h"
#include "ui/modal_loop.h"
#include "ui/own_popups.h"

namespace {

constexpr wchar_t kClassName[] = L"QuilletCaptureOverlay";
constexpr UINT_PTR kTextBoxSubclassId = 1;
constexpr int kTextBoxId = 1;
constexpr int kTextBoxMaxChars = 1023;

CaptureOverlay* overlay_of(HWND wnd) { return reinterpret_cast<CaptureOverlay*>(GetWindowLongPtrW(wnd, GWLP_USERDATA)); }

LRESULT CALLBACK text_edit_proc(HWND box, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<CaptureOverlay*>(data);
    switch (msg) {
        case WM_KEYDOWN:
            if (wp == VK_RETURN) {
                self->commit_text_box();
                return 0;
            }
            if (wp == VK_ESCAPE) {
                self->cancel_text_box();
                return 0;
            }
            break;
        case WM_CHAR:
            // Enter and Esc were handled on key down; the single-line box
            // would only beep at them.
            if (wp == L'\r' || wp == 27) return 0;
            break;
        case WM_KILLFOCUS:
            if (self->text_box == box) {
                self->commit_text_box();
                return 0;
            }
            break;
        case WM_NCDESTROY: RemoveWindowSubclass(box, text_edit_proc, kTextBoxSubclassId); break;
        default: break;
    }
    return DefSubclassProc(box, msg, wp, lp);
}

POINT point_of(LPARAM lp) { return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

LRESULT on_create(HWND wnd, LPARAM lp) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto* self = static_cast<CaptureOverlay*>(cs->lpCreateParams);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd = wnd;
    return 0;
}

LRESULT on_paint(CaptureOverlay& self, HWND wnd) {
    raii::Region update(CreateRectRgn(0, 0, 0, 0));
    const bool partial = update && GetUpdateRgn(wnd, update.get(), FALSE) > NULLREGION;
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(wnd, &ps);
    self.paint_clip = partial ? update.get() : nullptr;
    if (dc) self.paint_buffered(dc);
    self.paint_clip = nullptr;
    EndPaint(wnd, &ps);
    return 0;
}

LRESULT on_set_cursor(CaptureOverlay& self, HWND wnd, WPARAM wp, LPARAM lp) {
    if (LOWORD(lp) != HTCLIENT) return DefWindowProcW(wnd, WM_SETCURSOR, wp, lp);
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(wnd, &p);
    self.update_cursor(p);
    return 1;
}

LRESULT on_ctl_color_edit(CaptureOverlay& self, HDC dc) {
    const CaptureColors& c = capture_colors(self.dark);
    SetTextColor(dc, c.text_box_text);
    SetBkColor(dc, c.text_box_background);
    return reinterpret_cast<LRESULT>(self.edit_brush.get());
}

LRESULT CALLBACK capture_overlay_wnd_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CREATE) return on_create(wnd, lp);
    CaptureOverlay* self = overlay_of(wnd);
    if (!self) return DefWindowProcW(wnd, msg, wp, lp);
    switch (msg) {
        case WM_DESTROY: self->hwnd = nullptr; return 0;
        case WM_PAINT: return on_paint(*self, wnd);
        case WM_CLOSE:
        case WM_RBUTTONDOWN: self->close(); return 0;
        case WM_SETCURSOR: return on_set_cursor(*self, wnd, wp, lp);
        case WM_ERASEBKGND: return 1;
        case WM_KEYDOWN:
            self->on_key_down(static_cast<UINT>(wp), GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0);
            return 0;
        case WM_CTLCOLOREDIT: return on_ctl_color_edit(*self, reinterpret_cast<HDC>(wp));
        case WM_MOUSEMOVE: self->on_mouse_move(point_of(lp), GetKeyState(VK_SHIFT) < 0); return 0;
        case WM_LBUTTONDOWN: self->on_mouse_down(point_of(lp)); return 0;
        case WM_LBUTTONUP: self->on_mouse_up(point_of(lp)); return 0;
        case WM_MOUSEWHEEL: self->on_mouse_wheel(GET_WHEEL_DELTA_WPARAM(wp)); return 0;
        default: return DefWindowProcW(wnd, msg, wp, lp);
    }
}

bool register_overlay_class(HINSTANCE instance) {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = capture_overlay_wnd_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_CROSS);
    wc.lpszClassName = kClassName;
    registered = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

}  // namespace

// ---- resources ------------------------------------------------------------------------

bool CaptureOverlay::make_fonts() {
    if (!label_font) label_font = create_ui_font(11, 400);
    if (!bold_font) bold_font = create_ui_font(12, 600);
    if (!symbol_font) symbol_font = create_icon_font(16);
    return label_font && bold_font && symbol_font;
}

bool CaptureOverlay::make_snapshot() {
    if (snapshot_select.ok()) return true;
    if (!grab.ok) return false;
    snapshot_bitmap.reset(winutil::dib_to_bitmap(grab.dib, grab.width, grab.height, false));
    if (!snapshot_bitmap) return false;
    snapshot_dc.reset(CreateCompatibleDC(nullptr));
    if (!snapshot_dc) return false;
    snapshot_select = raii::SelectGuard(snapshot_dc.get(), snapshot_bitmap.get());
    return snapshot_select.ok();
}

void CaptureOverlay::make_dimmed() {
    if (dimmed_select.ok() || !snapshot_select.ok()) return;
    // The one-pixel black source, stretched with a constant alpha.
    if (!dim_select.ok()) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = 1;
        bi.bmiHeader.biHeight = -1;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        dim_dc.reset(CreateCompatibleDC(nullptr));
        dim_bitmap.reset(CreateDIBSection(dim_dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!dim_dc || !dim_bitmap || !bits) return;
        *static_cast<std::uint32_t*>(bits) = 0;
        dim_select = raii::SelectGuard(dim_dc.get(), dim_bitmap.get());
        if (!dim_select.ok()) return;
    }
    dimmed_dc.reset(CreateCompatibleDC(snapshot_dc.get()));
    dimmed_bitmap.reset(CreateCompatibleBitmap(snapshot_dc.get(), grab.width, grab.height));
    if (!dimmed_dc || !dimmed_bitmap) return;
    dimmed_select = raii::SelectGuard(dimmed_dc.get(), dimmed_bitmap.get());
    if (!dimmed_select.ok()) return;
    BitBlt(dimmed_dc.get(), 0, 0, grab.width, grab.height, snapshot_dc.get(), 0, 0, SRCCOPY);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, kDimAlpha, 0};
    AlphaBlend(dimmed_dc.get(), 0, 0, grab.width, grab.height, dim_dc.get(), 0, 0, 1, 1, blend);
}

bool CaptureOverlay::create_window() {
    make_fonts();
    if (!edit_brush) edit_brush.reset(CreateSolidBrush(capture_colors(dark).text_box_background));
    if (!make_snapshot()) return false;
    make_dimmed();
    if (!register_overlay_class(hinstance)) return false;
    // Owned by the program's hidden popup owner, so that it has no taskbar
    // button and no Alt+Tab entry (the main window is hidden meanwhile; the
    // owner never is, nor minimised). Not a tool window: under X a window
    // manager gives the keyboard to no tool window of its own accord, and
    // the overlay is there to be typed at (Enter, Esc, Ctrl+C, Ctrl+S).
    HWND wnd = CreateWindowExW(WS_EX_TOPMOST, kClassName, tr(L"capture.title").c_str(), WS_POPUP, grab.left,
                               grab.top, grab.width, grab.height, popup_owner_window(), nullptr, hinstance, this);
    return wnd != nullptr;
}

void CaptureOverlay::release_resources() {
    cancel_text_box();
    back_select.restore();
    back_bitmap.reset();
    back_dc.reset();
    back_size = SIZE{};
    snapshot_select.restore();
    snapshot_bitmap.reset();
    snapshot_dc.reset();
    dimmed_select.restore();
    dimmed_bitmap.reset();
    dimmed_dc.reset();
    dim_select.restore();
    dim_bitmap.reset();
    dim_dc.reset();
    blur_source = nullptr;
    label_font.reset();
    bold_font.reset();
    symbol_font.reset();
    text_box_font.reset();
    edit_brush.reset();
}

// ---- text box ---------------------------------------------------------------------------

void CaptureOverlay::open_text_box(POINT p) {
    commit_text_box();
    text_point = p;
    text_box_font = create_ui_font(3 * thickness + 14, 400);
    if (!hwnd) return;
    text_box = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, p.x, p.y, 320,
                               3 * thickness + 24, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextBoxId)),
                               hinstance, nullptr);
    if (!text_box) {
        text_box_font.reset();
        return;
    }
    SendMessageW(text_box, EM_LIMITTEXT, kTextBoxMaxChars, 0);
    SendMessageW(text_box, WM_SETFONT, reinterpret_cast<WPARAM>(text_box_font.get()), TRUE);
    SetWindowSubclass(text_box, text_edit_proc, kTextBoxSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetFocus(text_box);
    repaint();
}

void CaptureOverlay::commit_text_box() {
    if (!text_box || text_box_busy) return;
    text_box_busy = true;
    wchar_t buffer[kTextBoxMaxChars + 1] = {};
    const int n = GetWindowTextW(text_box, buffer, kTextBoxMaxChars + 1);
    const std::wstring text(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    HWND box = text_box;
    text_box = nullptr;
    DestroyWindow(box);
    text_box_font.reset();
    if (hwnd) SetFocus(hwnd);
    text_box_busy = false;
    // Measured with a font of its own, the one the annotation is drawn with.
    add_text_annotation(text_point, text);
    repaint();
}

void CaptureOverlay::cancel_text_box() {
    if (!text_box || text_box_busy) return;
    text_box_busy = true;
    HWND box = text_box;
    text_box = nullptr;
    DestroyWindow(box);
    text_box_font.reset();
    if (hwnd) SetFocus(hwnd);
    text_box_busy = false;
    repaint();
}

// ---- the modal run -----------------------------------------------------------------------

CaptureResult run_capture(CaptureResult& result_out, CaptureOverlay& overlay, HINSTANCE instance,
                          const ScreenGrab& grab, bool dark, bool show_editor, const Box* initial, int colour,
                          int thickness) {
    overlay.hinstance = instance;
    overlay.prepare(grab, dark, show_editor, initial, colour, thickness);
    if (overlay.create_window()) {
        ShowWindow(overlay.hwnd, SW_SHOW);
        winutil::bring_to_front(overlay.hwnd);
        SetFocus(overlay.hwnd);
        ModalLoopScope modal;
        bool quit = false;
        WPARAM quit_code = 0;
        MSG msg{};
        while (overlay.hwnd && IsWindow(overlay.hwnd)) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0) {
                // The program is ending: the outer loop must see it too.
                quit = true;
                quit_code = msg.wParam;
                break;
            }
            if (got == -1) break;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (overlay.hwnd && IsWindow(overlay.hwnd)) DestroyWindow(overlay.hwnd);
        overlay.hwnd = nullptr;
        if (quit) PostQuitMessage(static_cast<int>(quit_code));
    }
    overlay.release_resources();
    result_out = overlay.result;
    return overlay.result;
}
