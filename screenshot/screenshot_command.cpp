// The screenshot command: grab, overlay, and the filing of the result.
#include "screenshot/screenshot_command.h"

#include <commdlg.h>

#include <algorithm>

#include "capture/clipboard.h"
#include "capture/image.h"
#include "capture/image_file.h"
#include "capture/watcher.h"
#include "core/i18n.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/winutil.h"
#include "screenshot/capture_overlay.h"
#include "screenshot/screen_grab.h"
#include "store/database.h"
#include "ui/cards_list.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/own_popups.h"

namespace {

// Base word of autosaved screenshots.
constexpr wchar_t kScreenshotBaseWord[] = L"\u0421\u043a\u0440\u0438\u043d\u0448\u043e\u0442";

// The Save-as dialog; the chosen path, or empty when cancelled.
std::wstring ask_save_path(HWND owner, const std::wstring& folder) {
    wchar_t file[260] = {};
    const std::wstring name = screenshot_file_name();
    wcsncpy(file, name.c_str(), 259);
    // "PNG (*.png)" NUL "*.png" NUL NUL.
    static const wchar_t kFilter[] = L"PNG (*.png)\0*.png\0";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kFilter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 260;
    ofn.lpstrDefExt = L"png";
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&ofn)) return {};
    return file;
}

// The result filed: file, history entry, clipboard, list, balloon, sound.
void file_result(ScreenshotContext& ctx, const CaptureResult& result) {
    Settings& settings = *ctx.settings;
    settings.screenshot_color = static_cast<int>(result.colour);
    settings.screenshot_thickness = result.thickness;

    std::wstring folder = settings.screenshot_folder;
    if (folder.empty()) folder = winutil::screenshots_dir();
    HWND main = ctx.main_window ? ctx.main_window->window : nullptr;

    std::wstring saved_path;
    std::wstring unwritten_path;  // chosen in Save-as, but the write failed
    if (result.action == 3) {
        const std::wstring chosen = ask_save_path(main, folder);
        if (!chosen.empty()) {
            if (write_file_bytes(chosen, result.png))
                saved_path = chosen;
            else
                unwritten_path = chosen;
        }
    }
    std::wstring image_path;
    bool user_file = false;
    if (!saved_path.empty() && winutil::is_path_inside(saved_path, folder)) {
        image_path = saved_path;
        user_file = true;
    } else if (settings.screenshot_autosave && !folder.empty()) {
        std::wstring path;
        if (winutil::save_png_file(folder, kScreenshotBaseWord, result.png, path)) image_path = path;
    }

    std::int64_t id = 0;
    if (ctx.database) {
        id = ctx.database->add_entry({.image = result.png, .source_app = own_executable_name(), .is_image = true,
            .repeat = true, .category = ctx.capture_category});
        // A file saved through Save-as stays the user's: the store never
        // deletes it with the entry.
        if (id != 0 && !image_path.empty()) ctx.database->set_image_path(id, image_path, user_file);
    }

    const bool to_clipboard =
        result.action == 2 || (result.action == 1 && settings.screenshot_copy_to_clipboard);
    if (to_clipboard) {
        std::vector<std::uint8_t> dib;
        if (winutil::png_to_dib(result.png, dib)) {
            if (ctx.watcher) ctx.watcher->remember_own_image(dib);
            winutil::set_clipboard_entry(L"", "", "", dib);
        }
    }

    if (id != 0 && ctx.main_window) {
        ctx.main_window->refresh_view(false);
        list_select_entry(ctx.main_window->cards, id);
    }
    if (!unwritten_path.empty()) {
        // The user asked for that file: a message that stays until read,
        // naming the whole path, says it is not there.
        std::wstring text = tr_format(L"screenshot.save_failed", unwritten_path);
        if (id != 0) text += L"\n" + tr(L"screenshot.saved_to_images");
        show_message(main, tr(L"tray.screenshot"), text);
    }
    if (id == 0) return;
    if (ctx.balloon && unwritten_path.empty())
        ctx.balloon(tr(L"tray.screenshot_added"), tr(L"screenshot.saved_to_images"));
    if (settings.sound_on_copy) winutil::play_copy_sound(settings.sound_copy_id);
}

// Takes down every popup of the program before the screen is grabbed, so
// that no text of it (the entry hint, the toast, an open menu, the quick
// menu, the tray balloon) is in the frozen screen; true when anything was
// on screen.
bool hide_own_popups() {
    // A menu of the system's (a window's system menu) ends its own loop.
    EndMenu();
    return take_down_own_popups();
}

// Waits for the given time answering only the messages other threads send
// to this one (nothing posted is taken from the queue).
void answer_sent_messages_for(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_SENDMESSAGE);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// The program's windows left on screen draw what the hidden ones covered
// before the grab.
void repaint_own_windows() {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM) -> BOOL {
            if (IsWindowVisible(w)) RedrawWindow(w, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            return TRUE;
        },
        0);
}

}  // namespace

InitialSelection initial_selection(int mode, const RECT& r, std::int32_t grab_left, std::int32_t grab_top,
                                   std::int32_t grab_width, std::int32_t grab_height) {
    InitialSelection s;
    if (mode == kShotFullScreen) {
        s = InitialSelection{true, 0, 0, grab_width, grab_height};
    } else if (mode == kShotWindow && r.right - r.left > 0 && r.bottom - r.top > 0) {
        const std::int32_t w = std::min<std::int32_t>(r.right - r.left, grab_width);
        const std::int32_t h = std::min<std::int32_t>(r.bottom - r.top, grab_height);
        const std::int32_t x = std::min<std::int32_t>(std::max<std::int32_t>(r.left - grab_left, 0), grab_width - w);
        const std::int32_t y = std::min<std::int32_t>(std::max<std::int32_t>(r.top - grab_top, 0), grab_height - h);
        if (w > 0 && h > 0) s = InitialSelection{true, x, y, w, h};
    }
    return s;
}

std::wstring own_executable_name() {
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    if (n == 0 || n >= MAX_PATH * 4) return L"Quillet.exe";
    std::wstring p(path, n);
    const size_t slash = p.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? p : p.substr(slash + 1);
    return name.empty() ? L"Quillet.exe" : name;
}

void take_screenshot(ScreenshotContext& ctx, int mode) {
    if (!ctx.busy || *ctx.busy || !ctx.settings || !ctx.main_window || !ctx.main_window->window) return;
    *ctx.busy = true;
    HWND main = ctx.main_window->window;
    bool hidden = false;
    const bool popups = hide_own_popups();
    if (IsWindowVisible(main) && !IsIconic(main)) {
        ShowWindow(main, SW_HIDE);
        hidden = true;
    }
    if (popups || hidden) {
        repaint_own_windows();
        winutil::flush_dwm();
        // The windows below draw what the hidden ones covered; a window
        // that sends to this thread meanwhile (activation moves when a
        // window goes) is answered, or it could not draw before the grab.
        answer_sent_messages_for(100);
    }
    const DPI_AWARENESS_CONTEXT previous_dpi = enter_per_monitor_dpi();
    ScreenGrab grab = ScreenGrab::capture_virtual_screen();
    if (!grab.ok) {
        *ctx.busy = false;
        if (hidden) ShowWindow(main, SW_SHOW);
        if (ctx.balloon) ctx.balloon(tr(L"tray.screenshot"), tr(L"screenshot.capture_failed"));
        restore_thread_dpi(previous_dpi);
        return;
    }

    const RECT window = mode == kShotWindow ? foreground_window_rect() : RECT{};
    const InitialSelection initial = initial_selection(mode, window, grab.left, grab.top, grab.width, grab.height);
    const Box box{initial.x, initial.y, initial.w, initial.h};
    CaptureResult result;
    {
        CaptureOverlay overlay;
        run_capture(result, overlay, ctx.instance, grab, ctx.settings->dark_mode,
                    ctx.settings->screenshot_editor_enabled, initial.has ? &box : nullptr,
                    ctx.settings->screenshot_color, ctx.settings->screenshot_thickness);
    }
    // Nothing of the grab is kept once the overlay is gone.
    grab = ScreenGrab{};
    restore_thread_dpi(previous_dpi);
    *ctx.busy = false;
    if (hidden) ShowWindow(main, SW_SHOW);

    if (!result.ok) return;
    file_result(ctx, result);
    // The list refresh of the filing would show the hint of the selected
    // row again; it comes back only when the user selects a row.
    ctx.main_window->hide_entry_hint();
}
