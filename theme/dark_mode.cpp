#include "theme/dark_mode.h"

#include "core/handles.h"

namespace {

using AllowDarkModeForWindowFn = BOOL(WINAPI*)(HWND, BOOL);
using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
using SetPreferredAppModeFn = int(WINAPI*)(int);

raii::Module load_system_library(const wchar_t* name) {
    return raii::Module(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

template <class Fn>
Fn lookup(const raii::Module& module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module.get(), name)));
}

}  // namespace

void apply_dark_title_bar_with(DwmSetWindowAttributeFn set_attribute, HWND window, bool dark) {
    if (!window || !set_attribute) return;
    const BOOL value = dark ? TRUE : FALSE;
    if (FAILED(set_attribute(window, kDwmaUseImmersiveDarkMode, &value, sizeof(value))))
        set_attribute(window, kDwmaUseImmersiveDarkModeOld, &value, sizeof(value));
}

void apply_dark_title_bar(HWND window, bool dark) {
    if (!window) return;
    raii::Module dwm = load_system_library(L"dwmapi.dll");
    apply_dark_title_bar_with(lookup<DwmSetWindowAttributeFn>(dwm, "DwmSetWindowAttribute"), window, dark);
}

void apply_round_corners_with(DwmSetWindowAttributeFn set_attribute, bool windows11, HWND window) {
    if (!window || !set_attribute || !windows11) return;
    const int preference = kDwmCornerRound;
    set_attribute(window, kDwmaWindowCornerPreference, &preference, sizeof(preference));
}

void apply_round_corners(HWND window) {
    if (!window || !is_windows11_or_later()) return;
    raii::Module dwm = load_system_library(L"dwmapi.dll");
    apply_round_corners_with(lookup<DwmSetWindowAttributeFn>(dwm, "DwmSetWindowAttribute"), true, window);
}

bool is_windows11_version(DWORD major, DWORD /*minor*/, DWORD build) {
    return major > 10 || (major == 10 && build > 21999);
}

bool is_windows11_or_later_with(RtlGetVersionFn get_version) {
    if (!get_version) return false;
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (get_version(&info) != 0) return false;  // not STATUS_SUCCESS
    return is_windows11_version(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
}

bool is_windows11_or_later() {
    raii::Module ntdll = load_system_library(L"ntdll.dll");
    return is_windows11_or_later_with(lookup<RtlGetVersionFn>(ntdll, "RtlGetVersion"));
}

const wchar_t* window_theme_name(bool dark) { return dark ? L"DarkMode_Explorer" : L"Explorer"; }

void set_window_dark_theme(HWND window, bool dark) {
    if (!window) return;
    raii::Module uxtheme = load_system_library(L"uxtheme.dll");
    if (auto allow = lookup<AllowDarkModeForWindowFn>(uxtheme, "AllowDarkModeForWindow")) allow(window, TRUE);
    if (auto set_theme = lookup<SetWindowThemeFn>(uxtheme, "SetWindowTheme"))
        set_theme(window, window_theme_name(dark), nullptr);
}

bool set_preferred_app_mode(int mode) {
    raii::Module uxtheme = load_system_library(L"uxtheme.dll");
    auto set_mode = lookup<SetPreferredAppModeFn>(uxtheme, "SetPreferredAppMode");
    if (!set_mode) return false;
    set_mode(mode);
    return true;
}
