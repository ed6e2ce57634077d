// The accessibility walk over a browser window and the choice of its address.
#include "core/browser_info.h"

#include "core/handles.h"
#include "core/winutil.h"

namespace {

constexpr std::int32_t kRoleLink = 30;  // ROLE_SYSTEM_LINK
constexpr size_t kMaxTitleLength = 511;

const wchar_t* const kInternalPrefixes[] = {
    L"chrome://", L"filesystem:", L"about:", L"edge://", L"internal:", L"view-source:",
};

// A BSTR owned by the scope.
class Bstr {
public:
    Bstr() = default;
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* put() {
        SysFreeString(s_);
        s_ = nullptr;
        return &s_;
    }
    std::wstring text() const { return s_ ? std::wstring(s_, SysStringLen(s_)) : std::wstring(); }

private:
    BSTR s_ = nullptr;
};

// A VARIANT cleared when the scope ends.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &v_; }
    const VARIANT& value() const { return v_; }

private:
    VARIANT v_;
};

VARIANT child_id(long id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

bool starts_with(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

bool is_ascii_letter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

std::wstring accessible_name(IAccessible* node) {
    Bstr name;
    if (node->get_accName(child_id(CHILDID_SELF), name.put()) != S_OK) return {};
    return name.text();
}

}  // namespace

void collect_accessible_elements(IAccessible* node, int depth, std::vector<AccessibleElement>& out) {
    if (!node || depth > kAccessibleMaxDepth || out.size() > kAccessibleMaxElements) return;
    const VARIANT self = child_id(CHILDID_SELF);

    std::int32_t role = -1;
    {
        Variant v;
        if (SUCCEEDED(node->get_accRole(self, v.get())) && v.value().vt == VT_I4) role = v.value().lVal;
    }
    {
        Bstr value;
        if (SUCCEEDED(node->get_accValue(self, value.put()))) {
            std::wstring text = value.text();
            if (!text.empty()) out.push_back({role, std::move(text)});
        }
    }

    long count = 0;
    if (FAILED(node->get_accChildCount(&count)) || count < 1 || count > kAccessibleMaxChildren) return;
    for (long i = 1; i <= count; ++i) {
        if (out.size() > kAccessibleMaxElements) break;  // every further node would stop at once
        raii::ComPtr<IDispatch> dispatch;
        if (node->get_accChild(child_id(i), dispatch.put()) != S_OK || !dispatch) continue;
        raii::ComPtr<IAccessible> child;
        if (FAILED(dispatch->QueryInterface(IID_IAccessible, child.put_void())) || !child) continue;
        collect_accessible_elements(child.get(), depth + 1, out);
    }
}

std::wstring pick_address_url(const std::vector<AccessibleElement>& elements) {
    for (const AccessibleElement& e : elements) {
        if (e.role == kRoleLink) continue;
        const std::wstring& v = e.value;
        bool internal = false;
        for (const wchar_t* prefix : kInternalPrefixes)
            if (starts_with(v, prefix)) internal = true;
        if (internal) continue;
        if (starts_with(v, L"http://") || starts_with(v, L"https://")) return v;
        if (v.find_first_of(L" \t") == std::wstring::npos && v.find(L'.') != std::wstring::npos &&
            !v.empty() && is_ascii_letter(v[0]))
            return L"https://" + v;
    }
    return {};
}

void read_page_info(IAccessible* root, std::wstring& title, std::wstring& url) {
    title.clear();
    url.clear();
    if (!root) return;
    std::vector<AccessibleElement> elements;
    collect_accessible_elements(root, 0, elements);
    url = pick_address_url(elements);
    std::wstring name = accessible_name(root);
    if (!name.empty() && name.size() <= kMaxTitleLength) title = std::move(name);
}

namespace winutil {

void get_browser_page_info(std::wstring& title, std::wstring& url) {
    title.clear();
    url.clear();
    HWND wnd = GetForegroundWindow();
    if (!wnd) return;
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid == 0) return;
    if (!is_browser_process(process_name_of_window(wnd))) return;

    {
        raii::ComInit com(COINIT_APARTMENTTHREADED);
        raii::ComPtr<IAccessible> root;
        if (SUCCEEDED(AccessibleObjectFromWindow(wnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                                 root.put_void())) &&
            root) {
            read_page_info(root.get(), title, url);
        }
    }  // the root is released before COM is uninitialised
    if (title.empty()) {
        std::wstring caption = window_text(wnd);
        if (!caption.empty() && caption.size() <= kMaxTitleLength) title = std::move(caption);
    }
}

}  // namespace winutil
