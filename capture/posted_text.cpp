// The register of texts posted to the main window.
#include "capture/posted_text.h"

#include <cstring>
#include <mutex>
#include <unordered_set>

namespace {

struct Register {
    std::mutex lock;
    std::unordered_set<const wchar_t*> outstanding;
};

// Never destroyed: detached worker threads may still post while the process ends.
Register& posted() {
    static Register* const r = new Register;
    return *r;
}

}  // namespace

bool post_text_message(HWND target, UINT msg, WPARAM wparam, const std::wstring& text) {
    if (!target || !IsWindow(target)) return false;
    wchar_t* copy = new wchar_t[text.size() + 1];
    std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    Register& r = posted();
    {
        std::lock_guard<std::mutex> guard(r.lock);
        r.outstanding.insert(copy);
    }
    if (PostMessageW(target, msg, wparam, reinterpret_cast<LPARAM>(copy))) return true;
    bool mine = false;
    {
        std::lock_guard<std::mutex> guard(r.lock);
        mine = r.outstanding.erase(copy) != 0;
    }
    if (mine) delete[] copy;
    return false;
}

std::optional<std::wstring> take_posted_text(LPARAM lparam) {
    const wchar_t* p = reinterpret_cast<const wchar_t*>(lparam);
    if (!p) return std::nullopt;
    Register& r = posted();
    {
        std::lock_guard<std::mutex> guard(r.lock);
        if (r.outstanding.erase(p) == 0) return std::nullopt;
    }
    std::wstring text(p);
    delete[] p;
    return text;
}
