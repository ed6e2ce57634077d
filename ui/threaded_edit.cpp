#include "ui/threaded_edit.h"

#include <commctrl.h>

#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "core/handles.h"
#include "theme/controls.h"
#include "theme/dark_mode.h"

namespace {

constexpr UINT_PTR kSubclassId = 0x51E7;
// Posted to the box: take the keyboard if its window still holds it.
constexpr UINT kTakeFocus = WM_APP + 0x2E1;

// What the calling thread hands over, and the box it gets back.
struct Job {
    HWND parent = nullptr;
    std::wstring text;
    ThreadedEditOptions options;
    LOGFONTW font{};
    bool has_font = false;
    raii::Handle made;          // set once the box exists (or could not be made)
    HWND edit = nullptr;        // written before `made` is set
};

LRESULT CALLBACK edit_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
        case kTakeFocus: {
            HWND focus = GetFocus();
            if (!focus || focus == GetAncestor(w, GA_ROOT)) SetFocus(w);
            return 0;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(w, edit_proc, id);
            PostQuitMessage(0);
            return DefSubclassProc(w, msg, wp, lp);
        default:
            return DefSubclassProc(w, msg, wp, lp);
    }
}

// On the parent's thread: the box is closed with its parent. The system
// destroys a parent's children of other threads too; this does not leave
// the box's thread to rely on that.
LRESULT CALLBACK parent_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
    if (msg == WM_DESTROY || msg == WM_NCDESTROY) {
        HWND edit = reinterpret_cast<HWND>(data);
        if (IsWindow(edit) && GetParent(edit) == w) PostMessageW(edit, WM_CLOSE, 0, 0);
        RemoveWindowSubclass(w, parent_proc, id);
    }
    return DefSubclassProc(w, msg, wp, lp);
}

// Esc in the box is the parent's key (its loop cancels on it).
bool pass_to_parent(const MSG& msg, HWND edit, HWND parent) {
    if (msg.hwnd != edit || msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE) return false;
    PostMessageW(parent, WM_KEYDOWN, msg.wParam, msg.lParam);
    return true;
}

// The box's thread: makes, themes and fills the box, then runs its
// messages until it is destroyed.
void run_edit(const std::shared_ptr<Job>& job) {
    const ThreadedEditOptions& o = job->options;
    raii::Font font(job->has_font ? CreateFontIndirectW(&job->font) : nullptr);
    HWND edit = CreateWindowExW(o.ex_style, L"EDIT", L"", WS_CHILD | WS_VISIBLE | o.style, o.rect.left, o.rect.top,
                                o.rect.right - o.rect.left, o.rect.bottom - o.rect.top, job->parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(o.id)), GetModuleHandleW(nullptr),
                                nullptr);
    if (edit) {
        SetWindowSubclass(edit, edit_proc, kSubclassId, 0);
        prepare_edit(edit, font.get(), o.limit, o.dark);
    }
    job->edit = edit;
    SetEvent(job->made.get());
    if (!edit) return;
    // Filled once its font, limit and frame are set: laid out a single time.
    SetWindowTextW(edit, job->text.c_str());
    job->text = std::wstring();
    if (o.caret != 0) {
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(o.caret), static_cast<LPARAM>(o.caret));
        SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    }
    const HWND parent = job->parent;
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (pass_to_parent(msg, edit, parent)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Waits for the event while answering the messages other threads send
// to this thread's windows (the new box notifies its parent as it is made).
void wait_answering(HANDLE event) {
    for (;;) {
        const DWORD r = MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_SENDMESSAGE, 0);
        if (r != WAIT_OBJECT_0 + 1) return;
        MSG msg{};
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

void prepare_edit(HWND edit, HFONT font, std::size_t limit, bool dark) {
    if (font) SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // 0 lifts the default limit of about 30,000 characters.
    SendMessageW(edit, EM_SETLIMITTEXT, static_cast<WPARAM>(limit), 0);
    theme_child_colors(edit, dark);
    theme_framed_control(edit, dark);
    set_window_dark_theme(edit, dark);
}

HWND create_threaded_edit(HWND parent, const std::wstring& text, const ThreadedEditOptions& options) {
    if (!parent) return nullptr;
    auto job = std::make_shared<Job>();
    job->parent = parent;
    job->text = text;
    job->options = options;
    job->has_font = options.font && GetObjectW(options.font, sizeof(job->font), &job->font) == sizeof(job->font);
    job->made.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!job->made) return nullptr;
    try {
        // The thread ends by itself when its box is destroyed.
        std::thread(run_edit, job).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    wait_answering(job->made.get());
    if (job->edit)
        SetWindowSubclass(parent, parent_proc, reinterpret_cast<UINT_PTR>(job->edit),
                          reinterpret_cast<DWORD_PTR>(job->edit));
    return job->edit;
}

void focus_threaded_edit(HWND edit) {
    if (edit) PostMessageW(edit, kTakeFocus, 0, 0);
}
