// Drives the program's modal windows with input, from a thread of the test
// while the interface thread runs their nested loops: menus chosen with
// the arrow keys and Enter, text typed into boxes and the template editor
// as characters, buttons pressed, common file dialogs cancelled. Also
// records the commands that reach the main window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/app_test_support.h"
#include "tests/theme/gui_support.h"
#include "app/app_ids.h"
#include "ui/main_window.h"
#include "ui/popup_menu.h"

namespace ui_driver {

inline constexpr wchar_t kMenuClass[] = L"QuilletPopupMenu";
inline constexpr wchar_t kInputBoxClass[] = L"QuilletInputBox";
inline constexpr wchar_t kConfirmBoxClass[] = L"QuilletConfirmBox";
inline constexpr wchar_t kEditorClass[] = L"QuilletSnippetEditor";
inline constexpr wchar_t kFileDialogClass[] = L"#32770";

// The newest visible window of the class that the thread owns, or null.
inline HWND newest_window(DWORD thread, const wchar_t* cls) {
    std::vector<HWND> found = gui_test::thread_windows(thread, cls);
    return found.empty() ? nullptr : found.front();
}

// The time a window is given to show up: a loaded machine (common file
// dialogs under Wine above all) can take seconds.
inline constexpr int kWindowTimeoutMs = 20000;

inline HWND wait_window(DWORD thread, const wchar_t* cls, int timeout_ms = kWindowTimeoutMs) {
    HWND w = nullptr;
    gui_test::wait_until([&] { return (w = newest_window(thread, cls)) != nullptr; }, timeout_ms);
    return w;
}

inline bool wait_gone(HWND w, int timeout_ms = kWindowTimeoutMs) {
    return gui_test::wait_until([&] { return !IsWindow(w) || !IsWindowVisible(w); }, timeout_ms);
}

// Types the text into a control as the keyboard's characters would arrive.
inline void type_text(HWND control, const std::wstring& text) {
    for (wchar_t c : text) PostMessageW(control, WM_CHAR, c, 1);
}

inline void press_key(HWND window, UINT vk) { gui_test::post_key(window, vk); }

// A push of a button as a click would give it.
inline void press_button(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

// The items of an open menu level (read while its loop runs).
inline const PopupMenuLevel* menu_level(HWND menu) {
    return reinterpret_cast<const PopupMenuLevel*>(GetWindowLongPtrW(menu, GWLP_USERDATA));
}

// Chooses the item with the id in the open menu with Down presses and
// Enter. False when the item is not there or cannot be reached (disabled).
inline bool choose_menu_item(HWND menu, std::uint64_t id) {
    const PopupMenuLevel* level = menu_level(menu);
    if (!level || !level->items) return false;
    const std::vector<PopupMenuItem>& items = *level->items;
    int target = -1;
    for (size_t i = 0; i < items.size(); ++i)
        if (!items[i].separator && items[i].id == id) target = static_cast<int>(i);
    if (target < 0 || !items[static_cast<size_t>(target)].enabled) return false;
    // One Down at a time, each waited for, until the item is highlighted (a
    // late pointer motion may move the highlight meanwhile; the keys go on
    // from wherever it is).
    for (size_t presses = 0; presses <= 3 * (items.size() + 1); ++presses) {
        const int hot = level->hot;
        if (hot == target) {
            press_key(menu, VK_RETURN);
            return true;
        }
        if (menu_step_hot(items, hot, +1) == hot) return false;
        press_key(menu, VK_DOWN);
        gui_test::wait_until([&] { return !IsWindow(menu) || level->hot != hot; }, 3000);
        if (!IsWindow(menu)) return false;
    }
    return false;
}

// One thing the driver does when a window of its class shows up.
struct Step {
    const wchar_t* cls;
    std::function<bool(HWND)> act;  // false: the step failed
};

inline Step menu_choice(std::uint64_t id) {
    return {kMenuClass, [id](HWND w) { return choose_menu_item(w, id); }};
}
inline Step menu_escape() {
    return {kMenuClass, [](HWND w) {
                press_key(w, VK_ESCAPE);
                return true;
            }};
}
// Replaces the input box's text by the typed text and presses OK.
inline Step input_answer(const std::wstring& text) {
    return {kInputBoxClass, [text](HWND box) {
                HWND edit = GetDlgItem(box, 100);
                if (!edit) return false;
                PostMessageW(edit, EM_SETSEL, 0, -1);
                PostMessageW(edit, WM_CLEAR, 0, 0);
                type_text(edit, text);
                press_button(GetDlgItem(box, 1));
                return true;
            }};
}
// Presses OK (1) or Cancel (2) in a confirmation box; reads its text first.
inline Step confirm_answer(bool ok, std::wstring* text_seen = nullptr) {
    return {kConfirmBoxClass, [ok, text_seen](HWND box) {
                if (text_seen) {
                    struct Collect {
                        std::wstring all;
                    } c;
                    EnumChildWindows(
                        box,
                        [](HWND child, LPARAM lp) -> BOOL {
                            wchar_t buf[1024] = {};
                            GetWindowTextW(child, buf, 1024);
                            reinterpret_cast<Collect*>(lp)->all += std::wstring(buf) + L"\n";
                            return TRUE;
                        },
                        reinterpret_cast<LPARAM>(&c));
                    *text_seen = c.all;
                }
                HWND button = GetDlgItem(box, ok ? 1 : 2);
                if (!button) return false;
                press_button(button);
                return true;
            }};
}
// Answers the thread's open or save dialog with a path: types it into the
// file-name box and presses OK, then Yes in an overwrite question; true
// once the dialog is gone.
inline bool answer_file_dialog(DWORD thread, const std::wstring& path) {
    HWND dialog = wait_window(thread, kFileDialogClass);
    if (!dialog) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (!gui_test::submit_file_name(dialog, path)) return false;
    // "Replace it?": yes.
    for (int i = 0; i < 200 && IsWindow(dialog); ++i) {
        for (HWND w : gui_test::thread_windows(thread, kFileDialogClass))
            if (w != dialog && GetDlgItem(w, IDYES)) PostMessageW(w, WM_COMMAND, IDYES, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return !IsWindow(dialog);
}

inline Step cancel_file_dialog() {
    return {kFileDialogClass, [](HWND dialog) {
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                return true;
            }};
}

// Closes whatever modal window of the thread is still open (menus with
// Esc, boxes and the editor with their close box, file dialogs with
// Cancel), so that a failed step never leaves the interface thread waiting.
inline void close_leftovers(DWORD ui_thread) {
    for (int round = 0; round < 50; ++round) {
        bool any = false;
        for (const wchar_t* cls : {kMenuClass, kInputBoxClass, kConfirmBoxClass, kEditorClass, kFileDialogClass})
            if (HWND w = newest_window(ui_thread, cls)) {
                any = true;
                if (wcscmp(cls, kMenuClass) == 0)
                    press_key(w, VK_ESCAPE);
                else if (wcscmp(cls, kFileDialogClass) == 0)
                    PostMessageW(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                else
                    PostMessageW(w, WM_CLOSE, 0, 0);
            }
        if (!any) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

// Runs the steps in order on a thread of its own while the interface
// thread carries out the action and pumps. Each step waits for its window,
// acts, and waits until that window is gone. True when every step found
// its window and acted.
inline bool run_with_steps(DWORD ui_thread, const std::vector<Step>& steps, const std::function<void()>& action,
                           int timeout_ms = 60000) {
    std::atomic<bool> done{false};
    std::atomic<bool> ok{true};
    std::thread driver([&] {
        for (const Step& step : steps) {
            HWND w = wait_window(ui_thread, step.cls);
            if (!w || !step.act(w) || !wait_gone(w)) {
                ok = false;
                close_leftovers(ui_thread);
                break;
            }
        }
        done = true;
    });
    action();
    app_test::pump_until([&] { return done.load(); }, static_cast<DWORD>(timeout_ms));
    app_test::pump(150);  // the posted commands and what they open
    driver.join();
    return ok && done;
}

// Chooses the category's row of the main window's side panel as a click
// would (the selection and its LBN_SELCHANGE); false when there is no such row.
inline bool choose_side_category(MainWindow& mw, std::int64_t id) {
    const auto& rows = mw.panel.rows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].kind == SideRowKind::Category && rows[i].category_id == id) {
            SendMessageW(mw.side, LB_SETCURSEL, i, 0);
            SendMessageW(mw.window, WM_COMMAND, MAKEWPARAM(kIdSide, LBN_SELCHANGE), reinterpret_cast<LPARAM>(mw.side));
            return true;
        }
    return false;
}

// Records every WM_COMMAND without a sender (menu choices) that reaches the
// window while the object lives.
class CommandRecorder {
public:
    explicit CommandRecorder(HWND window) : window_(window) {
        SetWindowSubclass(window_, proc, kId, reinterpret_cast<DWORD_PTR>(this));
    }
    ~CommandRecorder() {
        if (IsWindow(window_)) RemoveWindowSubclass(window_, proc, kId);
    }
    CommandRecorder(const CommandRecorder&) = delete;
    CommandRecorder& operator=(const CommandRecorder&) = delete;
    std::vector<int> take() {
        std::vector<int> out;
        out.swap(ids_);
        return out;
    }

private:
    static constexpr UINT_PTR kId = 0x51AB;
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
        if (msg == WM_COMMAND && lp == 0) reinterpret_cast<CommandRecorder*>(data)->ids_.push_back(LOWORD(wp));
        return DefSubclassProc(w, msg, wp, lp);
    }
    HWND window_;
    std::vector<int> ids_;
};

}  // namespace ui_driver
