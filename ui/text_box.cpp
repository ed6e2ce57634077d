#include "ui/text_box.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include "core/clipboard_text.h"
#include "core/winutil.h"
#include "ui/text_edit_style.h"

namespace {

constexpr UINT_PTR kSubclassId = 0x7B0C;
// Posted to a word-wrapped box: put a sideways box in its place.
constexpr UINT kBecomeSideways = WM_APP + 0x2E2;

// What a word-wrapped box keeps to be replaced.
struct Growth {
    ThreadedEditOptions options;
    std::optional<PastedText> pasted;  // the text with a paste it did not take itself
    bool posted = false;               // kBecomeSideways is on its way
};

bool key_down(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// The box's selection, its full offsets (the return value stops at 65,535).
std::pair<std::size_t, std::size_t> selection_of(HWND box) {
    DWORD start = 0, end = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
}

void post_becoming_sideways(HWND box, Growth& growth) {
    if (growth.posted) return;
    growth.posted = true;
    PostMessageW(box, kBecomeSideways, 0, 0);
}

// Puts a sideways box holding the text in the word-wrapped box's place.
// The old box goes only once the new one exists: when none can be made,
// the old one takes the text itself (slowly), and nothing is lost.
void become_sideways(HWND box, const ThreadedEditOptions& options, const PastedText& text) {
    HWND parent = GetParent(box);
    ThreadedEditOptions o = options;
    GetWindowRect(box, &o.rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&o.rect), 2);
    o.style |= multiline_wrap_style(text.text.size());
    o.caret = text.caret;
    HWND sideways = create_threaded_edit(parent, text.text, o);
    if (!sideways) {
        SetWindowTextW(box, text.text.c_str());
        SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(text.caret), static_cast<LPARAM>(text.caret));
        SendMessageW(box, EM_SCROLLCARET, 0, 0);
        return;
    }
    const bool had_focus = GetFocus() == box;
    DestroyWindow(box);
    // Nothing holds the keyboard until the new box is filled.
    if (had_focus) focus_threaded_edit(sideways);
}

LRESULT on_become_sideways(HWND box, Growth& growth) {
    growth.posted = false;
    PastedText text = growth.pasted ? std::move(*growth.pasted) : PastedText{winutil::window_text(box), selection_of(box).second};
    growth.pasted.reset();
    // The box and its state are gone afterwards.
    const ThreadedEditOptions options = growth.options;
    if (lays_out_slowly(text.text.size())) become_sideways(box, options, text);
    return 0;
}

// A paste into a word-wrapped box: true when it makes the text too long
// to wrap, and the box is to be replaced. A paste that comes while one
// waits for the replacing goes on top of it, at its caret.
bool paste_grows_past_wrapping(HWND box, Growth& growth) {
    const std::wstring clip = winutil::get_clipboard_text();
    if (clip.empty()) return false;
    PastedText pasted;
    if (growth.pasted) {
        const std::size_t at = growth.pasted->caret;
        pasted = paste_over_selection(growth.pasted->text, at, at, clip, growth.options.limit);
    } else {
        const auto [start, end] = selection_of(box);
        pasted = paste_over_selection(winutil::window_text(box), start, end, clip, growth.options.limit);
    }
    if (!lays_out_slowly(pasted.text.size())) return false;
    growth.pasted = std::move(pasted);
    post_becoming_sideways(box, growth);
    return true;
}

// After a change the box made itself (a key typed, a text put in, an
// undo): a text grown too long to wrap is moved to a sideways box, as it
// stands when the replacing comes.
LRESULT after_change(HWND box, Growth& growth, LRESULT result) {
    if (lays_out_slowly(static_cast<std::size_t>(std::max(0, GetWindowTextLengthW(box)))))
        post_becoming_sideways(box, growth);
    return result;
}

LRESULT CALLBACK wrapped_box_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
    auto* growth = reinterpret_cast<Growth*>(data);
    const bool read_only = (GetWindowLongPtrW(w, GWL_STYLE) & ES_READONLY) != 0;
    switch (msg) {
        case WM_CHAR:
            if (read_only) break;
            // Ctrl+V, as the edit box takes it, by way of WM_PASTE.
            if (wp == 0x16) {
                SendMessageW(w, WM_PASTE, 0, 0);
                return 0;
            }
            return after_change(w, *growth, DefSubclassProc(w, msg, wp, lp));
        case EM_REPLACESEL:
        case WM_UNDO:
        case EM_UNDO:
            return after_change(w, *growth, DefSubclassProc(w, msg, wp, lp));
        case WM_KEYDOWN:
            if (wp != VK_INSERT || !key_down(VK_SHIFT) || key_down(VK_CONTROL) || read_only) break;
            SendMessageW(w, WM_PASTE, 0, 0);
            return 0;
        case WM_PASTE:
            if (!read_only && paste_grows_past_wrapping(w, *growth)) return 0;
            break;
        case kBecomeSideways:
            return on_become_sideways(w, *growth);
        case WM_NCDESTROY:
            RemoveWindowSubclass(w, wrapped_box_proc, id);
            delete growth;  // made in make_text_box, owned by the box
            return DefSubclassProc(w, msg, wp, lp);
        default:
            break;
    }
    return DefSubclassProc(w, msg, wp, lp);
}

}  // namespace

HWND make_text_box(HWND parent, const std::wstring& text, const ThreadedEditOptions& options) {
    if (lays_out_slowly(text.size())) {
        ThreadedEditOptions o = options;
        o.style |= multiline_wrap_style(text.size());
        return create_threaded_edit(parent, text, o);
    }
    const RECT& r = options.rect;
    HWND box = CreateWindowExW(options.ex_style, L"EDIT", L"", WS_CHILD | WS_VISIBLE | options.style, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(options.id)), GetModuleHandleW(nullptr),
                               nullptr);
    if (!box) return nullptr;
    // The box owns its state from here; it is freed with the box.
    auto growth = std::make_unique<Growth>(Growth{options, {}, false});
    if (SetWindowSubclass(box, wrapped_box_proc, kSubclassId, reinterpret_cast<DWORD_PTR>(growth.get())))
        growth.release();
    prepare_edit(box, options.font, options.limit, options.dark);
    // Filled once its font, limit and frame are set: laid out a single time.
    SetWindowTextW(box, text.c_str());
    return box;
}

PastedText paste_over_selection(const std::wstring& text, std::size_t start, std::size_t end,
                                const std::wstring& pasted, std::size_t limit) {
    if (start > end) std::swap(start, end);
    start = std::min(start, text.size());
    end = std::min(end, text.size());
    const std::size_t kept = text.size() - (end - start);
    const std::size_t room = limit == 0 ? pasted.size() : (limit > kept ? limit - kept : 0);
    const std::size_t taken = std::min(room, pasted.size());
    PastedText result;
    result.text.reserve(kept + taken);
    result.text.append(text, 0, start).append(pasted, 0, taken).append(text, end, std::wstring::npos);
    result.caret = start + taken;
    return result;
}
