// The window helpers against real windows, processes, the clipboard and
// injected keystrokes.
//
// Windows of another process come from a copy of this very executable,
// started with QUILLET_WINUTIL_HELPER_CLASSES set: before the tests run, it
// then creates one hidden window per listed class, optionally puts a text on
// the clipboard, and waits until it is told to close.
#include "core/winutil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/clipboard_text.h"
#include "core/handles.h"
#include "core/text.h"
#include "tests/core/temp_folder.h"

namespace {

const wchar_t kHelperClassesVar[] = L"QUILLET_WINUTIL_HELPER_CLASSES";  // ";"-separated
const wchar_t kHelperClipVar[] = L"QUILLET_WINUTIL_HELPER_CLIP";        // text for the clipboard
const wchar_t kHelperExe[] = L"Winutil-Helper.EXE";

std::wstring env(const wchar_t* name) {
    wchar_t buf[1024] = {};
    DWORD n = GetEnvironmentVariableW(name, buf, 1024);
    return n > 0 && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

std::vector<std::wstring> split(const std::wstring& list) {
    std::vector<std::wstring> out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(L';', start);
        if (end == std::wstring::npos) end = list.size();
        if (end > start) out.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// --- helper process side ------------------------------------------------------

LRESULT CALLBACK helper_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

void run_helper(const std::wstring& classes) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    std::vector<HWND> windows;
    for (const std::wstring& cls : split(classes)) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = helper_proc;
        wc.hInstance = inst;
        wc.lpszClassName = cls.c_str();
        RegisterClassW(&wc);
        windows.push_back(CreateWindowExW(0, cls.c_str(), L"helper", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                          inst, nullptr));
    }
    const std::wstring clip = env(kHelperClipVar);
    if (!clip.empty() && !windows.empty() && OpenClipboard(windows.front())) {
        EmptyClipboard();
        winutil::place_clipboard_text(clip);
        CloseClipboard();
    }
    SetTimer(nullptr, 0, 30000, nullptr);  // never outlive a test run
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr) break;
        DispatchMessageW(&msg);
    }
}

struct HelperMode {
    HelperMode() {
        const std::wstring classes = env(kHelperClassesVar);
        if (classes.empty()) return;
        run_helper(classes);
        ExitProcess(0);
    }
};
const HelperMode helper_mode;

// --- test side ------------------------------------------------------------------

std::wstring own_exe_path() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), 32768));
    return path;
}

std::wstring ascii_lower(std::wstring s) {
    for (wchar_t& c : s)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return s;
}

std::wstring own_exe_name() {
    std::wstring path = own_exe_path();
    return ascii_lower(path.substr(path.find_last_of(L'\\') + 1));
}

// Runs fn on a worker thread while this thread keeps dispatching its
// messages (the keyboard hook and the windows of the tests live here).
void run_pumping(const std::function<void()>& fn, DWORD extra_ms = 300) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        fn();
        done = true;
    });
    ULONGLONG until = 0;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done && until == 0) until = GetTickCount64() + extra_ms;
        if (until != 0 && GetTickCount64() >= until) break;
        Sleep(2);
    }
    worker.join();
}

void pump_for(DWORD ms) {
    run_pumping([] {}, ms);
}

class HelperProcess {
public:
    explicit HelperProcess(const std::wstring& classes, const std::wstring& clip = L"") {
        exe_ = folder_.file(kHelperExe);
        if (!CopyFileW(own_exe_path().c_str(), exe_.c_str(), FALSE)) return;
        SetEnvironmentVariableW(kHelperClassesVar, classes.c_str());
        SetEnvironmentVariableW(kHelperClipVar, clip.empty() ? nullptr : clip.c_str());
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring cmd = L"\"" + exe_ + L"\"";
        if (CreateProcessW(exe_.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            process_.reset(pi.hProcess);
            CloseHandle(pi.hThread);
            pid_ = pi.dwProcessId;
        }
        SetEnvironmentVariableW(kHelperClassesVar, nullptr);
        SetEnvironmentVariableW(kHelperClipVar, nullptr);
        const std::vector<std::wstring> wanted = split(classes);
        // The system may add windows of its own (an input method window), so
        // wait for each listed class.
        auto all_found = [&] {
            for (const std::wstring& cls : wanted)
                if (!window(cls)) return false;
            return true;
        };
        for (int i = 0; i < 1000 && process_ && !all_found(); ++i) {
            Sleep(10);
            find_windows();
        }
    }
    ~HelperProcess() {
        for (auto& [cls, wnd] : windows_) PostMessageW(wnd, WM_CLOSE, 0, 0);
        if (process_ && WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_.get(), 1);
        if (process_) WaitForSingleObject(process_.get(), 5000);
        process_.reset();
    }
    HWND window(const std::wstring& cls) const {
        auto it = windows_.find(cls);
        return it == windows_.end() ? nullptr : it->second;
    }
    bool running() const { return process_ && pid_ != 0; }

private:
    void find_windows() {
        EnumWindows(
            [](HWND wnd, LPARAM self) -> BOOL {
                auto* me = reinterpret_cast<HelperProcess*>(self);
                DWORD pid = 0;
                GetWindowThreadProcessId(wnd, &pid);
                if (pid == me->pid_) {
                    wchar_t cls[256] = {};
                    GetClassNameW(wnd, cls, 256);
                    me->windows_[cls] = wnd;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(this));
    }

    test_support::TempFolder folder_;
    std::wstring exe_;
    raii::Handle process_;
    DWORD pid_ = 0;
    std::map<std::wstring, HWND> windows_;
};

// Keystrokes seen by a low-level keyboard hook; left and right keys are
// reported as the generic key.
struct KeyEvent {
    DWORD vk;
    bool up;
    DWORD time;
};
std::vector<KeyEvent> g_keys;

LRESULT CALLBACK record_keys(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) {
        const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
        DWORD vk = k->vkCode;
        if (vk == VK_LCONTROL || vk == VK_RCONTROL) vk = VK_CONTROL;
        if (vk == VK_LSHIFT || vk == VK_RSHIFT) vk = VK_SHIFT;
        if (vk == VK_CONTROL || vk == VK_SHIFT || vk == 'V')
            g_keys.push_back({vk, (k->flags & LLKHF_UP) != 0, k->time});
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK plain_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(wnd, msg, wp, lp); }

const wchar_t kTopClass[] = L"QuilletWinutilTestTop";

void register_top_class() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = plain_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kTopClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

HWND make_top(const wchar_t* title, int x = 50) {
    register_top_class();
    return CreateWindowExW(0, kTopClass, title, WS_OVERLAPPEDWINDOW, x, 50, 400, 200, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

std::wstring edit_text(HWND edit) { return winutil::window_text(edit); }

// A visible window holding a multi-line edit that has the keyboard focus.
class PasteTarget : public ::testing::Test {
protected:
    void SetUp() override {
        top_.reset(make_top(L"paste target"));
        ASSERT_TRUE(top_);
        edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 380, 150, top_.get(),
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(edit_, nullptr);
        ShowWindow(top_.get(), SW_SHOW);
        SetForegroundWindow(top_.get());
        SetFocus(edit_);
        pump_for(100);
        ASSERT_EQ(GetFocus(), edit_);
        g_keys.clear();
        hook_.reset(SetWindowsHookExW(WH_KEYBOARD_LL, record_keys, GetModuleHandleW(nullptr), 0));
        ASSERT_TRUE(hook_);
    }
    void TearDown() override {
        hook_.reset();
        // Never leave a modifier down for the next test.
        if (GetAsyncKeyState(VK_SHIFT) & 0x8000) keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
        pump_for(50);
    }

    // The recorded key events of the given keys only.
    std::vector<KeyEvent> keys_of(std::initializer_list<DWORD> vks) const {
        std::vector<KeyEvent> out;
        for (const KeyEvent& k : g_keys)
            for (DWORD vk : vks)
                if (k.vk == vk) out.push_back(k);
        return out;
    }

    void expect_ctrl_v_sequence() const {
        std::vector<KeyEvent> seq = keys_of({VK_CONTROL, 'V'});
        ASSERT_EQ(seq.size(), 4u);
        EXPECT_TRUE(seq[0].vk == VK_CONTROL && !seq[0].up);
        EXPECT_TRUE(seq[1].vk == 'V' && !seq[1].up);
        EXPECT_TRUE(seq[2].vk == 'V' && seq[2].up);
        EXPECT_TRUE(seq[3].vk == VK_CONTROL && seq[3].up);
        for (size_t i = 1; i < seq.size(); ++i)
            EXPECT_GE(seq[i].time - seq[i - 1].time, 30u) << "step " << i << " follows too soon";  // 40 ms apart
    }

    raii::Window top_;
    HWND edit_ = nullptr;
    raii::Hook hook_;
};

TEST_F(PasteTarget, SendCtrlVPastesIntoTheFocusedWindow) {
    const std::wstring text = L"Gr\u00FC\u00DFe \u2713 \u043C\u0438\u0440";
    ASSERT_TRUE(winutil::set_clipboard_text(text));
    run_pumping([] { winutil::send_ctrl_v(); });
    EXPECT_EQ(edit_text(edit_), text);
    expect_ctrl_v_sequence();
    EXPECT_FALSE(winutil::any_modifier_down());
}

// The quick-slot paste: wait until the user lets go of the hotkey's
// modifiers, then paste.
TEST_F(PasteTarget, PasteFollowsTheReleaseOfTheModifiers) {
    ASSERT_TRUE(winutil::set_clipboard_text(L"after the release"));
    keybd_event(VK_SHIFT, 0, 0, 0);
    pump_for(50);
    ASSERT_TRUE(winutil::any_modifier_down());

    std::atomic<ULONGLONG> waited{0};
    std::thread releaser([] {
        Sleep(250);
        keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    });
    run_pumping([&] {
        ULONGLONG start = GetTickCount64();
        winutil::wait_modifiers_released(1200);
        waited = GetTickCount64() - start;
        winutil::send_ctrl_v();
    });
    releaser.join();

    EXPECT_GE(waited.load(), 200u);
    EXPECT_LT(waited.load(), 1200u);
    EXPECT_EQ(edit_text(edit_), L"after the release");
    std::vector<KeyEvent> seq = keys_of({VK_SHIFT, VK_CONTROL, 'V'});
    ASSERT_GE(seq.size(), 6u);
    EXPECT_TRUE(seq[0].vk == VK_SHIFT && !seq[0].up);
    EXPECT_TRUE(seq[1].vk == VK_SHIFT && seq[1].up);  // released before Ctrl goes down
    expect_ctrl_v_sequence();
}

TEST_F(PasteTarget, WaitReturnsAtOnceWhenNoModifierIsDown) {
    ASSERT_FALSE(winutil::any_modifier_down());
    ULONGLONG start = GetTickCount64();
    winutil::wait_modifiers_released(1200);
    EXPECT_LT(GetTickCount64() - start, 100u);
}

TEST_F(PasteTarget, WaitGivesUpAtTheTimeout) {
    keybd_event(VK_SHIFT, 0, 0, 0);
    pump_for(50);
    ASSERT_TRUE(winutil::any_modifier_down());
    ULONGLONG waited = 0, waited_negative = 0;
    run_pumping(
        [&] {
            ULONGLONG start = GetTickCount64();
            winutil::wait_modifiers_released(150);
            waited = GetTickCount64() - start;
            start = GetTickCount64();
            winutil::wait_modifiers_released(-5);  // checks once
            waited_negative = GetTickCount64() - start;
        },
        0);
    keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    pump_for(50);
    EXPECT_GE(waited, 140u);
    EXPECT_LT(waited, 700u);
    EXPECT_LT(waited_negative, 30u);
    EXPECT_FALSE(winutil::any_modifier_down());
}

TEST_F(PasteTarget, RepasteWritesPlainTextAndPastesIt) {
    const std::wstring text = L"plain \u2713 text";
    const UINT html = RegisterClipboardFormatW(L"HTML Format");
    {
        raii::ClipboardOpen clip;
        ASSERT_TRUE(clip.ok());
        EmptyClipboard();
        ASSERT_TRUE(winutil::place_clipboard_text(text));
        const char body[] = "Version:0.9\r\n<b>plain</b>";
        raii::GlobalMemory mem(GlobalAlloc(GMEM_MOVEABLE, sizeof body));
        ASSERT_TRUE(mem);
        {
            raii::GlobalLocked<char> lock(mem.get());
            ASSERT_TRUE(lock.ok());
            std::memcpy(lock.get(), body, sizeof body);
        }
        ASSERT_TRUE(SetClipboardData(html, mem.get()));
        mem.release();
    }
    std::vector<std::wstring> announced;
    bool pasted = false;
    run_pumping([&] {
        pasted = winutil::repaste_clipboard_text([&](const std::wstring& t) { announced.push_back(t); });
    });
    EXPECT_TRUE(pasted);
    ASSERT_EQ(announced.size(), 1u);
    EXPECT_EQ(announced[0], text);
    EXPECT_EQ(edit_text(edit_), text);
    {
        raii::ClipboardOpen clip;
        ASSERT_TRUE(clip.ok());
        EXPECT_FALSE(IsClipboardFormatAvailable(html));
        EXPECT_EQ(winutil::read_open_clipboard_text(), text);
    }
    expect_ctrl_v_sequence();
}

TEST_F(PasteTarget, RepasteOfAnEmptyClipboardDoesNothing) {
    {
        raii::ClipboardOpen clip;
        ASSERT_TRUE(clip.ok());
        EmptyClipboard();
    }
    int announced = 0;
    bool pasted = true;
    run_pumping([&] { pasted = winutil::repaste_clipboard_text([&](const std::wstring&) { ++announced; }); });
    EXPECT_FALSE(pasted);
    EXPECT_EQ(announced, 0);
    EXPECT_TRUE(keys_of({VK_CONTROL, 'V'}).empty());
    EXPECT_EQ(edit_text(edit_), L"");
}

// Wine does not enforce the foreground-lock rules of Windows, so these
// tests show only that the calls are made in an order that works (attach,
// restore, SetForegroundWindow, BringWindowToTop, detach), not that Windows
// would grant the switch to a background process.
TEST(WinutilFocus, BringToFrontActivatesTheWindow) {
    raii::Window a(make_top(L"first", 50));
    raii::Window b(make_top(L"second", 500));
    ASSERT_TRUE(a && b);
    ShowWindow(a.get(), SW_SHOW);
    ShowWindow(b.get(), SW_SHOW);
    pump_for(50);

    EXPECT_FALSE(winutil::bring_to_front(nullptr));

    EXPECT_TRUE(winutil::bring_to_front(a.get()));
    pump_for(50);
    EXPECT_EQ(GetForegroundWindow(), a.get());

    // From a paste thread: the foreground belongs to another thread.
    bool ok = false;
    run_pumping([&] { ok = winutil::bring_to_front(b.get()); }, 100);
    EXPECT_TRUE(ok);
    EXPECT_EQ(GetForegroundWindow(), b.get());

    // A minimised window comes back.
    ShowWindow(a.get(), SW_MINIMIZE);
    pump_for(50);
    ASSERT_TRUE(IsIconic(a.get()));
    run_pumping([&] { ok = winutil::bring_to_front(a.get()); }, 100);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(IsIconic(a.get()));
    EXPECT_EQ(GetForegroundWindow(), a.get());
}

TEST(WinutilWindows, WindowTextAndClass) {
    const std::wstring title = L"Fen\u00EAtre \u043E\u043A\u043D\u043E \U0001F600";
    raii::Window titled(make_top(title.c_str()));
    raii::Window untitled(make_top(L""));
    ASSERT_TRUE(titled && untitled);
    EXPECT_EQ(winutil::window_text(titled.get()), title);
    EXPECT_EQ(winutil::window_text(untitled.get()), L"");
    EXPECT_EQ(winutil::window_text(nullptr), L"");
    EXPECT_EQ(winutil::window_class(titled.get()), kTopClass);
    EXPECT_EQ(winutil::window_class(nullptr), L"");
}

TEST(WinutilWindows, IgnorableWindows) {
    raii::Window own(make_top(L"own"));
    ASSERT_TRUE(own);
    EXPECT_TRUE(winutil::is_ignorable_window(nullptr));
    EXPECT_TRUE(winutil::is_ignorable_window(own.get()));  // any window of the program itself

    const wchar_t* shell[] = {L"Progman", L"WorkerW", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd",
                              L"NotifyIconOverflowWindow"};
    HelperProcess other(L"Progman;WorkerW;Shell_TrayWnd;Shell_SecondaryTrayWnd;NotifyIconOverflowWindow;"
                        L"QuilletPlainHelper");
    ASSERT_TRUE(other.running());
    for (const wchar_t* cls : shell) {
        HWND wnd = other.window(cls);
        ASSERT_NE(wnd, nullptr) << to_utf8(cls);
        EXPECT_TRUE(winutil::is_ignorable_window(wnd)) << to_utf8(cls);
    }
    HWND plain = other.window(L"QuilletPlainHelper");
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(winutil::is_ignorable_window(plain));
    // (A class registered as "progman" cannot be made here: class names are
    // atoms, and the system reports the spelling of the first registration.
    // The exact comparison is covered by the class-name table.)
}

TEST(WinutilWindows, ProcessNames) {
    HelperProcess other(L"QuilletPlainHelper");
    HWND wnd = other.window(L"QuilletPlainHelper");
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(winutil::process_name_of_window(wnd), L"winutil-helper.exe");  // lower-cased file name

    raii::Window own(make_top(L"own"));
    ShowWindow(own.get(), SW_SHOW);
    SetForegroundWindow(own.get());
    pump_for(50);
    EXPECT_EQ(winutil::process_name_of_window(own.get()), own_exe_name());
    EXPECT_EQ(winutil::foreground_process_name(), own_exe_name());
    EXPECT_EQ(winutil::process_name_of_window(nullptr), L"");
}

TEST(WinutilWindows, ClipboardOwnerProcessName) {
    const std::wstring text = L"from another program \u2713";
    {
        HelperProcess other(L"QuilletClipHelper", text);
        HWND wnd = other.window(L"QuilletClipHelper");
        ASSERT_NE(wnd, nullptr);
        for (int i = 0; i < 500 && GetClipboardOwner() != wnd; ++i) Sleep(10);
        ASSERT_EQ(GetClipboardOwner(), wnd);
        EXPECT_EQ(winutil::clipboard_owner_process_name(), L"winutil-helper.exe");
        EXPECT_EQ(winutil::get_clipboard_text(), text);
    }

    // Without an owner, the foreground window's process answers.
    raii::Window own(make_top(L"own"));
    ShowWindow(own.get(), SW_SHOW);
    SetForegroundWindow(own.get());
    pump_for(50);
    ASSERT_TRUE(winutil::set_clipboard_text(L"no owner"));
    ASSERT_EQ(GetClipboardOwner(), nullptr);
    EXPECT_EQ(winutil::clipboard_owner_process_name(), own_exe_name());
}

std::atomic<int> g_class_creates{0};

LRESULT CALLBACK counting_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CREATE) ++g_class_creates;
    return DefWindowProcW(w, msg, wp, lp);
}

TEST(WindowClass, RegisteredOnceAndAgainWithItsProcedureStyleAndCursor) {
    const wchar_t* name = L"QuilletTestRegisteredClass";
    ASSERT_TRUE(winutil::register_window_class(name, counting_proc, CS_HREDRAW | CS_VREDRAW, IDC_CROSS));
    EXPECT_TRUE(winutil::register_window_class(name, counting_proc)) << "a class that exists already is fine";
    raii::Window w(CreateWindowExW(0, name, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(w);
    EXPECT_EQ(g_class_creates.load(), 1);
    EXPECT_EQ(GetClassLongPtrW(w.get(), GCL_STYLE), static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(w.get(), GCLP_HCURSOR)), LoadCursorW(nullptr, IDC_CROSS));
    EXPECT_EQ(GetClassLongPtrW(w.get(), GCLP_HBRBACKGROUND), 0u) << "the windows paint their own background";
}

TEST(WindowClass, AClassWithoutANameIsRefused) {
    EXPECT_FALSE(winutil::register_window_class(L"", counting_proc));
}

}  // namespace
