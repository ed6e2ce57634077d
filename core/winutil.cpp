// Window and process queries, application names, the application filter,
// card source lines and tones.
#include "core/winutil.h"

#include <cwctype>
#include <initializer_list>

#include "core/i18n.h"

namespace winutil {

namespace {

// Read once at start-up: the windows of this process are never paste targets.
const DWORD kOwnProcessId = GetCurrentProcessId();

const wchar_t* const kShellClasses[] = {
    L"NotifyIconOverflowWindow", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd", L"Progman", L"WorkerW",
};

const wchar_t* const kBrowserExes[] = {
    L"chrome.exe", L"chromium.exe", L"msedge.exe", L"firefox.exe",
    L"opera.exe",  L"brave.exe",    L"yandex.exe", L"browser.exe",
};

struct NamedApp {
    const wchar_t* stem;
    const wchar_t* name;
};

const NamedApp kAppNames[] = {
    {L"chrome", L"Chrome"},
    {L"chromium", L"Chrome"},
    {L"msedge", L"Chrome"},
    {L"firefox", L"Firefox"},
    {L"opera", L"Opera"},
    {L"opera_gx", L"Opera"},
    {L"brave", L"Brave"},
    {L"iexplore", L"Internet Explorer"},
    {L"yandex", L"Yandex Browser"},
    {L"browser", L"Yandex Browser"},
    {L"winword", L"Microsoft Word"},
    {L"excel", L"Microsoft Excel"},
    {L"powerpnt", L"Microsoft PowerPoint"},
    {L"outlook", L"Outlook"},
};

// Character by character, as the executable names are compared.
std::wstring lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::wstring last_component(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring process_name_of_pid(DWORD pid) {
    if (pid == 0) return {};
    raii::Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return {};
    // MAX_PATH first; an install under a long path needs more room.
    for (DWORD cap : {DWORD(MAX_PATH), DWORD(32768)}) {
        std::wstring path(cap, L'\0');
        DWORD len = cap;
        if (QueryFullProcessImageNameW(process.get(), 0, path.data(), &len)) {
            path.resize(len);
            return lower(last_component(path));
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    }
    return {};
}

}  // namespace

// --- windows and processes --------------------------------------------------

std::wstring window_text(HWND wnd) {
    int len = GetWindowTextLengthW(wnd);
    if (len <= 0) return {};
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    int got = GetWindowTextW(wnd, text.data(), len + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

std::wstring window_class(HWND wnd) {
    wchar_t name[256] = {};
    int got = GetClassNameW(wnd, name, 256);
    return got > 0 ? std::wstring(name, static_cast<size_t>(got)) : std::wstring();
}

bool is_shell_window_class(const std::wstring& class_name) {
    for (const wchar_t* shell : kShellClasses)
        if (class_name == shell) return true;
    return false;
}

bool is_ignorable_window(HWND wnd) {
    if (!wnd) return true;
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid == kOwnProcessId) return true;
    return is_shell_window_class(window_class(wnd));
}

std::wstring process_name_of_window(HWND wnd) {
    if (!wnd) return {};
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    return process_name_of_pid(pid);
}

std::wstring foreground_process_name() { return process_name_of_window(GetForegroundWindow()); }

std::wstring clipboard_owner_process_name() {
    std::wstring name = process_name_of_window(GetClipboardOwner());
    return name.empty() ? foreground_process_name() : name;
}

// --- application names and the application filter -----------------------------

bool is_browser_process(const std::wstring& exe_path_or_name) {
    const std::wstring name = lower(last_component(exe_path_or_name));
    for (const wchar_t* browser : kBrowserExes)
        if (name == browser) return true;
    return false;
}

std::wstring app_display_name(const std::wstring& exe_path_or_name) {
    std::wstring stem = last_component(exe_path_or_name);
    size_t dot = stem.rfind(L'.');
    if (dot != std::wstring::npos) stem.resize(dot);
    if (stem.empty()) return tr(L"card.app.unknown");

    const std::wstring key = lower(stem);
    for (const NamedApp& app : kAppNames)
        if (key == app.stem) return app.name;
    if (key == L"notepad") return tr(L"card.app.notepad");
    if (key == L"explorer") return tr(L"card.app.explorer");
    return stem;
}

bool is_app_blocked(const std::wstring& mode, const std::vector<std::wstring>& items, const std::wstring& exe_name) {
    if (exe_name.empty()) return false;
    const std::wstring name = lower(exe_name);
    bool listed = false;
    for (const std::wstring& item : items) {
        if (lower(item) == name) {
            listed = true;
            break;
        }
    }
    if (mode == L"whitelist") return !listed;
    if (mode == L"blacklist") return listed;
    return false;
}

// --- sounds --------------------------------------------------------------------

Tone tone_for(int tone) {
    switch (tone) {
        case 1: return {880, 160};
        case 2: return {660, 220};
        case 3: return {523, 200};
        case 4: return {330, 260};
        default: return {};
    }
}

void play_tone(int tone) {
    const Tone t = tone_for(tone);
    if (t.frequency_hz != 0) Beep(t.frequency_hz, t.duration_ms);
}

void play_copy_sound(int tone) { play_tone(tone); }

void play_paste_sound(int tone) { play_tone(tone); }

}  // namespace winutil

// --- history card source lines ----------------------------------------------------

namespace {

std::wstring app_line(const std::wstring& exe_name) {
    return exe_name.empty() ? std::wstring(L"\u2014") : winutil::app_display_name(exe_name);
}

std::wstring page_lines(const std::wstring& title, const std::wstring& url) {
    std::wstring out;
    if (!title.empty()) out += L"\n" + tr(L"card.page") + title;
    if (!url.empty()) out += L"\n" + tr(L"card.url") + url;
    return out;
}

}  // namespace

std::wstring card_info_text(const std::wstring& exe_name, bool with_page, const std::wstring& page_title,
                            const std::wstring& page_url) {
    std::wstring out = app_line(exe_name);
    if (with_page) out += page_lines(page_title, page_url);
    return out;
}

std::wstring card_tooltip_text(const std::wstring& exe_name, bool with_page, const std::wstring& page_title,
                               const std::wstring& page_url, const std::wstring& created_text) {
    std::wstring out = tr(L"card.app") + app_line(exe_name);
    if (with_page) out += page_lines(page_title, page_url);
    out += L"\n" + tr(L"card.created") + created_text;
    return out;
}
