// Process start: the single-instance rule, the data folders, the window
// class, and the creation and first placement of the main window.
#include "app/app_startup.h"

#include <commctrl.h>
#include <propkey.h>
#include <propvarutil.h>
#include <shellapi.h>
#include <shobjidl.h>

#include "app/app.h"
#include "app/app_ids.h"
#include "app/main_wndproc.h"
#include "app/window_placement.h"
#include "core/handles.h"
#include "core/i18n.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/winutil.h"
#include "theme/dark_mode.h"
#include "ui/quick_menu.h"

namespace {

const wchar_t kMutexName[] = L"QuilletSingleInstanceMutex";

// The System.AppUserModel property set.
constexpr GUID kAppUserModelSet = {0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}};
constexpr PROPERTYKEY kRelaunchCommand = {kAppUserModelSet, 2};
constexpr PROPERTYKEY kRelaunchIconResource = {kAppUserModelSet, 3};
constexpr PROPERTYKEY kRelaunchDisplayNameResource = {kAppUserModelSet, 4};

// The drawn icon used when the icon resource is missing; it lives as long
// as the class.
raii::Icon& fallback_icon() {
    static raii::Icon* icon = new raii::Icon;
    return *icon;
}

void set_text_property(IPropertyStore* store, const PROPERTYKEY& key, const std::wstring& value) {
    PROPVARIANT var;
    if (FAILED(InitPropVariantFromString(value.c_str(), &var))) return;
    store->SetValue(key, var);
    PropVariantClear(&var);
}

void set_taskbar_identity(HWND window) {
    wchar_t path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    std::wstring exe(path, n);
    raii::ComPtr<IPropertyStore> store;
    if (FAILED(SHGetPropertyStoreForWindow(window, __uuidof(IPropertyStore), store.put_void())) || !store) return;
    set_text_property(store.get(), kRelaunchCommand, L"\"" + exe + L"\"");
    set_text_property(store.get(), kRelaunchDisplayNameResource, L"Quillet");
    set_text_property(store.get(), kRelaunchIconResource, exe + L",0");
    store->Commit();
}

void exclude_from_capture_unless_allowed(HWND window) {
    wchar_t value[8] = {};
    DWORD n = GetEnvironmentVariableW(L"QUILLET_ALLOW_CAPTURE", value, 8);
    bool present = n > 0 && n < 8;
    if (capture_exclusion_wanted(present, present ? std::wstring(value, n) : std::wstring()))
        SetWindowDisplayAffinity(window, 0x11 /* WDA_EXCLUDEFROMCAPTURE */);
}

void set_window_icons(HWND window) {
    auto big = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
    auto small = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM));
    if (big) SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (small) {
        SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
        SendMessageW(window, WM_SETICON, ICON_SMALL2, reinterpret_cast<LPARAM>(small));
    }
}

RECT current_work_area() {
    RECT reported{};
    bool ok = SystemParametersInfoW(SPI_GETWORKAREA, 0, &reported, 0) != FALSE;
    return usable_work_area(ok, reported, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

}  // namespace

void register_main_window_class(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kMainWindowClass;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_SHARED));
    if (!wc.hIcon) {
        if (!fallback_icon()) fallback_icon() = winutil::make_fallback_icon(32);
        wc.hIcon = fallback_icon().get();
    }
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    RegisterClassExW(&wc);
}

bool App::create_main_window() {
    const RECT work = current_work_area();
    const SIZE size = initial_window_size(settings->window_w, settings->window_h, work);
    const CreatePosition pos = initial_window_position(settings->window_x, settings->window_y);

    HWND wnd = CreateWindowExW(settings->always_on_top ? WS_EX_TOPMOST : 0, kMainWindowClass, tr(L"title.main").c_str(),
                               WS_OVERLAPPEDWINDOW, pos.x, pos.y, size.cx, size.cy, nullptr, nullptr, instance, this);
    if (!wnd) return false;

    set_window_icons(wnd);
    set_taskbar_identity(wnd);
    apply_round_corners(wnd);
    apply_dark_title_bar(wnd, settings->dark_mode);
    exclude_from_capture_unless_allowed(wnd);
    if (quick_menu) quick_menu->create(instance, wnd, QuickMenuServices{database.get(), settings.get(), watcher.get()});
    SetTimer(wnd, kTimerClipboardPoll, kClipboardPollMs, nullptr);
    SetTimer(wnd, kTimerUpdateStart, kUpdateStartMs, nullptr);

    if (settings->start_in_tray) return true;
    ShowWindow(wnd, SW_SHOW);
    apply_dark_title_bar(wnd, settings->dark_mode);
    POINT cursor{};
    if (pos.placed_by_cursor && GetCursorPos(&cursor)) {
        POINT at = cursor_placement(cursor, size, work);
        SetWindowPos(wnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    // Painted before the program takes its first input: a key pressed the
    // moment the window shows would otherwise come first and wait for the
    // whole first paint as well.
    UpdateWindow(wnd);
    return true;
}

int run_program(HINSTANCE instance) {
    raii::Handle mutex(CreateMutexW(nullptr, TRUE, kMutexName));
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        mutex.reset();
        if (HWND running = FindWindowW(kMainWindowClass, nullptr)) PostMessageW(running, WM_SHOW_MAIN, 0, 0);
        return 0;
    }

    INITCOMMONCONTROLSEX icc{sizeof(icc), 0x40FF};
    InitCommonControlsEx(&icc);
    set_preferred_app_mode(2);
    winutil::prepare_data_dirs();

    App app;
    if (!app.init(instance)) {
        MessageBoxW(nullptr, L"Failed to initialize Quillet", L"Error", MB_ICONERROR);
        mutex.reset();
        app.shutdown();
        return 1;
    }
    int code = app.run();
    app.shutdown();
    mutex.reset();
    return code;
}
