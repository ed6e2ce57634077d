// Small move-only owners for the Win32 handles the program uses.
//
// Every owner releases its handle in its destructor; a moved-from owner is
// empty. `get()` reads the handle, `release()` gives it up without closing,
// `reset(v)` closes the current one and takes `v`, and `put()` closes the
// current one and returns the address of the inner handle for out-parameters
// (RegOpenKeyExW, CoCreateInstance ...).
//
// Scope-bound state (an open clipboard, a GlobalLock, a selected GDI object,
// COM on a thread) is restored by a guard class instead.
//
// Order matters for SelectGuard: declare the object first and the guard
// after it, so the guard puts the old object back before the new one is
// deleted.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace raii {

// ---------------------------------------------------------------------------
// Generic owner over a traits type:
//   using type = ...;  static type none();  static bool empty(type);
//   static void close(type);
template <class Traits>
class Unique {
public:
    using value_type = typename Traits::type;

    Unique() noexcept = default;
    explicit Unique(value_type v) noexcept : v_(v) {}
    ~Unique() { reset(); }

    Unique(Unique&& other) noexcept : v_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;

    value_type get() const noexcept { return v_; }
    explicit operator bool() const noexcept { return !Traits::empty(v_); }

    value_type release() noexcept {
        value_type v = v_;
        v_ = Traits::none();
        return v;
    }

    void reset(value_type v = Traits::none()) noexcept {
        value_type old = v_;
        v_ = v;
        if (old != v && !Traits::empty(old)) Traits::close(old);
    }

    value_type* put() noexcept {
        reset();
        return &v_;
    }

private:
    value_type v_ = Traits::none();
};

namespace detail {

// Traits for handles whose empty value is null, closed by one call. A plain
// inline function instead of a function-pointer template argument keeps this
// valid for imported functions on every compiler.
#define RAII_NULL_TRAITS(Name, T, Close)                                 \
    struct Name {                                                        \
        using type = T;                                                  \
        static type none() noexcept { return nullptr; }                  \
        static bool empty(type v) noexcept { return v == nullptr; }      \
        static void close(type v) noexcept { ::Close(v); }               \
    };

RAII_NULL_TRAITS(MemoryDCTraits, HDC, DeleteDC)
RAII_NULL_TRAITS(IconTraits, HICON, DestroyIcon)
RAII_NULL_TRAITS(RegKeyTraits, HKEY, RegCloseKey)
RAII_NULL_TRAITS(HookTraits, HHOOK, UnhookWindowsHookEx)
RAII_NULL_TRAITS(ModuleTraits, HMODULE, FreeLibrary)
RAII_NULL_TRAITS(WindowTraits, HWND, DestroyWindow)
RAII_NULL_TRAITS(GlobalTraits, HGLOBAL, GlobalFree)
RAII_NULL_TRAITS(FontMemTraits, HANDLE, RemoveFontMemResourceEx)

#undef RAII_NULL_TRAITS

struct HandleTraits {
    using type = HANDLE;
    static type none() noexcept { return nullptr; }
    static bool empty(type v) noexcept { return v == nullptr || v == INVALID_HANDLE_VALUE; }
    static void close(type v) noexcept { ::CloseHandle(v); }
};

struct FindTraits {
    using type = HANDLE;
    static type none() noexcept { return nullptr; }
    static bool empty(type v) noexcept { return v == nullptr || v == INVALID_HANDLE_VALUE; }
    static void close(type v) noexcept { ::FindClose(v); }
};

template <class T>
struct GdiTraits {
    using type = T;
    static type none() noexcept { return nullptr; }
    static bool empty(type v) noexcept { return v == nullptr; }
    static void close(type v) noexcept { ::DeleteObject(v); }
};

}  // namespace detail

// Kernel handles (events, processes, threads, files, mutexes). Both NULL and
// INVALID_HANDLE_VALUE count as empty.
using Handle = Unique<detail::HandleTraits>;
// FindFirstFileW search handles (FindClose).
using FindHandle = Unique<detail::FindTraits>;

// GDI objects (DeleteObject).
template <class T>
using GdiObject = Unique<detail::GdiTraits<T>>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Font = GdiObject<HFONT>;
using Bitmap = GdiObject<HBITMAP>;
using Region = GdiObject<HRGN>;

// A DC made by CreateCompatibleDC or CreateDCW (DeleteDC).
using MemoryDC = Unique<detail::MemoryDCTraits>;
// Icons and cursors made by the program (DestroyIcon).
using Icon = Unique<detail::IconTraits>;
// Registry keys opened or created by the program (RegCloseKey). Never put a
// predefined key such as HKEY_CURRENT_USER in here.
using RegKey = Unique<detail::RegKeyTraits>;
// Windows hooks (UnhookWindowsHookEx).
using Hook = Unique<detail::HookTraits>;
// Libraries loaded with LoadLibraryW (FreeLibrary).
using Module = Unique<detail::ModuleTraits>;
// Windows owned by a scope (DestroyWindow; call on the window's own thread).
using Window = Unique<detail::WindowTraits>;
// Global memory owned by the program (GlobalFree). Call release() once the
// block has been handed to the system, e.g. after a successful SetClipboardData.
using GlobalMemory = Unique<detail::GlobalTraits>;
// Fonts added for the process from memory by AddFontMemResourceEx
// (RemoveFontMemResourceEx).
using FontMemResource = Unique<detail::FontMemTraits>;

// ---------------------------------------------------------------------------
// The wait cursor while the interface thread does a long task; the cursor
// shown before comes back on destruction.
class WaitCursor {
public:
    WaitCursor() noexcept : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

// SelectObject, put back on destruction.
class SelectGuard {
public:
    SelectGuard() noexcept = default;
    SelectGuard(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(dc && obj ? ::SelectObject(dc, obj) : nullptr) {
        if (old_ == nullptr || old_ == HGDI_ERROR) {
            dc_ = nullptr;
            old_ = nullptr;
        }
    }
    ~SelectGuard() { restore(); }

    SelectGuard(SelectGuard&& o) noexcept : dc_(std::exchange(o.dc_, nullptr)), old_(std::exchange(o.old_, nullptr)) {}
    SelectGuard& operator=(SelectGuard&& o) noexcept {
        if (this != &o) {
            restore();
            dc_ = std::exchange(o.dc_, nullptr);
            old_ = std::exchange(o.old_, nullptr);
        }
        return *this;
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

    // True when the selection took place (and will be undone).
    bool ok() const noexcept { return dc_ != nullptr; }
    // The object that was selected before.
    HGDIOBJ previous() const noexcept { return old_; }

    void restore() noexcept {
        if (dc_) ::SelectObject(dc_, old_);
        dc_ = nullptr;
        old_ = nullptr;
    }

private:
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// ---------------------------------------------------------------------------
// GetDC / ReleaseDC. A null window gives the screen DC.
class WindowDC {
public:
    WindowDC() noexcept = default;
    explicit WindowDC(HWND wnd) noexcept : wnd_(wnd), dc_(::GetDC(wnd)) {}
    ~WindowDC() { reset(); }

    WindowDC(WindowDC&& o) noexcept : wnd_(std::exchange(o.wnd_, nullptr)), dc_(std::exchange(o.dc_, nullptr)) {}
    WindowDC& operator=(WindowDC&& o) noexcept {
        if (this != &o) {
            reset();
            wnd_ = std::exchange(o.wnd_, nullptr);
            dc_ = std::exchange(o.dc_, nullptr);
        }
        return *this;
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

    void reset() noexcept {
        if (dc_) ::ReleaseDC(wnd_, dc_);
        wnd_ = nullptr;
        dc_ = nullptr;
    }

private:
    HWND wnd_ = nullptr;
    HDC dc_ = nullptr;
};

// ---------------------------------------------------------------------------
// OpenClipboard / CloseClipboard.
class ClipboardOpen {
public:
    explicit ClipboardOpen(HWND owner = nullptr) noexcept : open_(::OpenClipboard(owner) != FALSE) {}
    ~ClipboardOpen() { close(); }

    ClipboardOpen(ClipboardOpen&& o) noexcept : open_(std::exchange(o.open_, false)) {}
    ClipboardOpen& operator=(ClipboardOpen&& o) noexcept {
        if (this != &o) {
            close();
            open_ = std::exchange(o.open_, false);
        }
        return *this;
    }
    ClipboardOpen(const ClipboardOpen&) = delete;
    ClipboardOpen& operator=(const ClipboardOpen&) = delete;

    bool ok() const noexcept { return open_; }

    // Closes now; the result of CloseClipboard, false when it was not open.
    bool close() noexcept {
        if (!open_) return false;
        open_ = false;
        return ::CloseClipboard() != FALSE;
    }

private:
    bool open_ = false;
};

// ---------------------------------------------------------------------------
// GlobalLock / GlobalUnlock. get() is null when the lock failed.
template <class T = void>
class GlobalLocked {
public:
    GlobalLocked() noexcept = default;
    explicit GlobalLocked(HGLOBAL mem) noexcept : mem_(mem), p_(mem ? static_cast<T*>(::GlobalLock(mem)) : nullptr) {
        if (!p_) mem_ = nullptr;
    }
    ~GlobalLocked() { unlock(); }

    GlobalLocked(GlobalLocked&& o) noexcept : mem_(std::exchange(o.mem_, nullptr)), p_(std::exchange(o.p_, nullptr)) {}
    GlobalLocked& operator=(GlobalLocked&& o) noexcept {
        if (this != &o) {
            unlock();
            mem_ = std::exchange(o.mem_, nullptr);
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    GlobalLocked(const GlobalLocked&) = delete;
    GlobalLocked& operator=(const GlobalLocked&) = delete;

    bool ok() const noexcept { return p_ != nullptr; }
    T* get() const noexcept { return p_; }
    // Size of the locked block in bytes (GlobalSize), 0 when not locked.
    SIZE_T size() const noexcept { return mem_ ? ::GlobalSize(mem_) : 0; }

    void unlock() noexcept {
        if (mem_) ::GlobalUnlock(mem_);
        mem_ = nullptr;
        p_ = nullptr;
    }

private:
    HGLOBAL mem_ = nullptr;
    T* p_ = nullptr;
};

// ---------------------------------------------------------------------------
// COM on the calling thread. Every successful CoInitializeEx (S_OK and
// S_FALSE alike) is balanced by one CoUninitialize on destruction; a thread
// already in the other apartment mode (RPC_E_CHANGED_MODE) may use COM but
// takes no reference. Destroy it on the thread that made it.
class ComInit {
public:
    explicit ComInit(DWORD flags = COINIT_APARTMENTTHREADED) noexcept : hr_(::CoInitializeEx(nullptr, flags)) {}
    ~ComInit() { uninit(); }

    ComInit(ComInit&& o) noexcept : hr_(std::exchange(o.hr_, E_FAIL)) {}
    ComInit& operator=(ComInit&& o) noexcept {
        if (this != &o) {
            uninit();
            hr_ = std::exchange(o.hr_, E_FAIL);
        }
        return *this;
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;

    HRESULT hr() const noexcept { return hr_; }
    // COM can be used on this thread.
    bool ok() const noexcept { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }
    // This object holds a reference that it will give back.
    bool owns() const noexcept { return SUCCEEDED(hr_); }

private:
    void uninit() noexcept {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
        hr_ = E_FAIL;
    }

    HRESULT hr_ = E_FAIL;
};

// ---------------------------------------------------------------------------
// A COM interface pointer owning one reference (Release).
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    // Takes over a reference the caller already holds (no AddRef).
    explicit ComPtr(T* p) noexcept : p_(p) {}
    ~ComPtr() { reset(); }

    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) reset(std::exchange(o.p_, nullptr));
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    T* release() noexcept { return std::exchange(p_, nullptr); }
    void reset(T* p = nullptr) noexcept {
        T* old = std::exchange(p_, p);
        if (old) old->Release();
    }
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* p_ = nullptr;
};

}  // namespace raii
