// The tray icon: adding and removing it, balloons, and its callback.
#include "app/tray_icon.h"

#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "app/app.h"
#include "app/app_ids.h"
#include "app/main_wndproc.h"
#include "core/i18n.h"
#include "core/text.h"
#include "core/settings.h"
#include "ui/main_window.h"
#include "ui/popup_menu.h"

namespace {

constexpr UINT kIconId = 1;
UINT g_taskbar_created = 0;

HICON tray_icon_image(HINSTANCE instance) {
    int size = GetSystemMetrics(SM_CXSMICON);
    HICON icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_SHARED));
    if (!icon) icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!icon) icon = LoadIconW(nullptr, IDI_APPLICATION);
    return icon;
}

void copy_field(wchar_t* field, size_t capacity, const std::wstring& text) {
    std::wstring cut = fit_balloon_field(text, capacity - 1);
    wmemcpy(field, cut.c_str(), cut.size());
    field[cut.size()] = L'\0';
}

}  // namespace

std::wstring shorten_with_ellipsis(const std::wstring& text, size_t max_chars) {
    if (text.size() <= max_chars) return text;
    return text.substr(0, pair_safe_length(text, max_chars)) + L"\u2026";
}

std::wstring fit_balloon_field(const std::wstring& text, size_t room) { return text.substr(0, pair_safe_length(text, room)); }

UINT TrayIcon::taskbar_created_message() { return g_taskbar_created; }

bool TrayIcon::add(HWND wnd, App* owner) {
    window = wnd;
    app = owner;
    if (g_taskbar_created == 0) g_taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
    added = notify_add();
    if (!listed) listed = std::make_unique<OwnPopup>([this] { return take_down_balloon(); });
    return added;
}

bool TrayIcon::add_again() {
    if (!window) return false;
    added = notify_add();
    return added;
}

bool TrayIcon::notify_add() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = WM_TRAYICON;
    data.hIcon = tray_icon_image(app ? app->instance : GetModuleHandleW(nullptr));
    wcscpy_s(data.szTip, L"Quillet");
    return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TrayIcon::remove() {
    if (!added) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = kIconId;
    Shell_NotifyIconW(NIM_DELETE, &data);
    added = false;
    balloon_up = false;
    listed.reset();
}

void TrayIcon::show_balloon(const std::wstring& title, const std::wstring& text) {
    if (!added) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = kIconId;
    data.uFlags = NIF_INFO;
    copy_field(data.szInfoTitle, std::size(data.szInfoTitle), title);
    copy_field(data.szInfo, std::size(data.szInfo), text);
    data.dwInfoFlags = NIIF_NONE;
    Shell_NotifyIconW(NIM_MODIFY, &data);
    last_balloon_title = data.szInfoTitle;
    last_balloon_text = data.szInfo;
    ++balloons_shown;
    balloon_up = true;
}

bool TrayIcon::take_down_balloon() {
    if (!added || !balloon_up) return false;
    // An empty balloon text takes the showing balloon down (or one that
    // waits to be shown).
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = kIconId;
    data.uFlags = NIF_INFO;
    Shell_NotifyIconW(NIM_MODIFY, &data);
    balloon_up = false;
    return true;
}

std::vector<PopupMenuItem> tray_menu_items() {
    std::vector<PopupMenuItem> items;
    PopupMenu::add_item(items, kTrayOpenHistory, tr(L"tray.open_history"));
    PopupMenu::add_item(items, kTraySettings, tr(L"action.open_settings"));
    PopupMenu::add_item(items, kTrayClearHistory, tr(L"tray.clear_history"));
    PopupMenu::add_item(items, kTraySnippets, tr(L"tray.snippets"));
    PopupMenu::add_item(items, kTrayScreenshot, tr(L"action.screenshot"));
    PopupMenu::add_separator(items);
    PopupMenu::add_item(items, kTrayQuit, tr(L"action.quit"));
    return items;
}

namespace {

void show_tray_menu(App& app, HWND window) {
    const std::vector<PopupMenuItem> items = tray_menu_items();

    POINT pt{};
    GetCursorPos(&pt);
    bool dark = app.settings && app.settings->dark_mode;
    // The tray menu opens upwards from the pointer.
    auto choice = PopupMenu::track(window, pt.x, pt.y, items, dark, 1);
    switch (choice) {
        case kTrayOpenHistory:
            app.remember_foreground_window();
            ShowWindow(window, SW_SHOW);
            SetForegroundWindow(window);
            if (app.main_window) app.main_window->refresh_view(false);
            break;
        case kTraySettings: app.show_settings(); break;
        case kTrayClearHistory: app.clear_history(); break;
        case kTrayQuit: DestroyWindow(window); break;
        case kTraySnippets:
            app.remember_foreground_window();
            if (app.main_window) app.main_window->open_templates();
            break;
        case kTrayScreenshot: app.take_screenshot(0); break;
        default: break;
    }
}

}  // namespace

void on_tray_notify(App& app, HWND window, LPARAM lparam) {
    switch (LOWORD(lparam)) {
        case WM_RBUTTONUP: show_tray_menu(app, window); break;
        case NIN_BALLOONHIDE:
        case NIN_BALLOONTIMEOUT:
        case NIN_BALLOONUSERCLICK:
            // The shell took the balloon down itself.
            if (app.tray_icon) app.tray_icon->balloon_up = false;
            break;
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            show_main_window(app, window);
            if (app.main_window) app.main_window->refresh_view(false);
            break;
        default: break;
    }
}
