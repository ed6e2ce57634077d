// The handle owners release what they hold, exactly once, and a moved-from
// owner is empty.
#include "core/handles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

namespace {

bool handle_is_valid(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

DWORD gdi_count() { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); }

HWND make_window(const wchar_t* cls = L"STATIC") {
    return CreateWindowExW(0, cls, L"handles test", WS_OVERLAPPEDWINDOW, 0, 0, 120, 80, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// A window of the calling thread to own a clipboard open. Wine lets two
// opens with no window succeed together, so the other side always uses one.
HWND make_clipboard_owner() {
    return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

// Opens the clipboard on another thread, as a second program would.
bool clipboard_opens_elsewhere() {
    bool opened = false;
    std::thread t([&] {
        raii::Window owner(make_clipboard_owner());
        opened = OpenClipboard(owner.get()) != FALSE;
        if (opened) CloseClipboard();
    });
    t.join();
    return opened;
}

TEST(Handles, HandleClosesEventAndTreatsInvalidAsEmpty) {
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    {
        raii::Handle h(raw);
        EXPECT_TRUE(h);
        EXPECT_TRUE(handle_is_valid(raw));
    }
    EXPECT_FALSE(handle_is_valid(raw));

    EXPECT_FALSE(raii::Handle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(raii::Handle());
}

TEST(Handles, HandleMoveResetAndRelease) {
    HANDLE a = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE b = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(a && b);

    raii::Handle first(a);
    raii::Handle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(first.get(), nullptr);
    EXPECT_EQ(second.get(), a);

    second.reset(b);  // closes a
    EXPECT_FALSE(handle_is_valid(a));
    EXPECT_TRUE(handle_is_valid(b));

    raii::Handle third;
    third = std::move(second);
    EXPECT_FALSE(second);
    HANDLE kept = third.release();  // gives b up without closing it
    EXPECT_FALSE(third);
    EXPECT_TRUE(handle_is_valid(kept));
    CloseHandle(kept);
}

TEST(Handles, GdiObjectsAreDeleted) {
    const DWORD baseline = gdi_count();
    HGDIOBJ raw[5] = {};
    {
        raii::Brush brush(CreateSolidBrush(RGB(1, 2, 3)));
        raii::Pen pen(CreatePen(PS_SOLID, 1, RGB(4, 5, 6)));
        raii::Font font(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
        raii::Bitmap bitmap(CreateBitmap(4, 4, 1, 32, nullptr));
        raii::Region region(CreateRectRgn(0, 0, 10, 10));
        raw[0] = brush.get();
        raw[1] = pen.get();
        raw[2] = font.get();
        raw[3] = bitmap.get();
        raw[4] = region.get();
        EXPECT_EQ(GetObjectType(raw[0]), static_cast<DWORD>(OBJ_BRUSH));
        EXPECT_EQ(GetObjectType(raw[1]), static_cast<DWORD>(OBJ_PEN));
        EXPECT_EQ(GetObjectType(raw[2]), static_cast<DWORD>(OBJ_FONT));
        EXPECT_EQ(GetObjectType(raw[3]), static_cast<DWORD>(OBJ_BITMAP));
        EXPECT_EQ(GetObjectType(raw[4]), static_cast<DWORD>(OBJ_REGION));
        // Wine does not count GDI objects (GetGuiResources gives 0); Windows does.
        if (baseline != 0) {
            EXPECT_GE(gdi_count(), baseline + 5);
        }
    }
    for (HGDIOBJ h : raw) EXPECT_EQ(GetObjectType(h), 0u);
    if (baseline != 0) {
        EXPECT_EQ(gdi_count(), baseline);
    }
}

TEST(Handles, GdiObjectMoveLeavesSourceEmpty) {
    raii::Brush a(CreateSolidBrush(RGB(9, 9, 9)));
    HGDIOBJ raw = a.get();
    raii::Brush b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.get(), raw);
    b.reset();
    EXPECT_EQ(GetObjectType(raw), 0u);
}

TEST(Handles, SelectGuardPutsThePreviousObjectBack) {
    raii::MemoryDC dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BITMAP);
    HGDIOBJ bitmap_raw = nullptr;
    {
        raii::Bitmap bitmap(CreateBitmap(8, 8, 1, 32, nullptr));
        bitmap_raw = bitmap.get();
        raii::SelectGuard sel(dc.get(), bitmap.get());
        EXPECT_TRUE(sel.ok());
        EXPECT_EQ(sel.previous(), original);
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap_raw);

        raii::SelectGuard moved(std::move(sel));
        EXPECT_FALSE(sel.ok());
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap_raw);
    }  // guard first, then the bitmap: it is no longer selected, so it is deleted
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), original);
    EXPECT_EQ(GetObjectType(bitmap_raw), 0u);
}

TEST(Handles, MemoryDCIsDeleted) {
    HDC raw = nullptr;
    {
        raii::MemoryDC dc(CreateCompatibleDC(nullptr));
        raw = dc.get();
        EXPECT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_MEMDC));
    }
    EXPECT_EQ(GetObjectType(raw), 0u);
}

TEST(Handles, WindowDCIsReleased) {
    raii::Window wnd(make_window());
    ASSERT_TRUE(wnd);
    HDC raw = nullptr;
    {
        raii::WindowDC dc(wnd.get());
        ASSERT_TRUE(dc);
        raw = dc.get();
        EXPECT_EQ(WindowFromDC(raw), wnd.get());
        raii::WindowDC moved(std::move(dc));
        EXPECT_FALSE(dc);
        EXPECT_EQ(moved.get(), raw);
    }
    // A released DC no longer belongs to the window, and cannot be released twice.
    EXPECT_NE(WindowFromDC(raw), wnd.get());
    EXPECT_EQ(ReleaseDC(wnd.get(), raw), 0);
}

TEST(Handles, IconIsDestroyed) {
    BYTE and_mask[32 * 4];
    BYTE xor_mask[32 * 4] = {};
    memset(and_mask, 0xFF, sizeof and_mask);
    HICON raw = CreateIcon(nullptr, 32, 32, 1, 1, and_mask, xor_mask);
    ASSERT_NE(raw, nullptr);
    {
        raii::Icon icon(raw);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        DeleteObject(info.hbmMask);
        if (info.hbmColor) DeleteObject(info.hbmColor);
    }
    ICONINFO after{};
    EXPECT_FALSE(GetIconInfo(raw, &after));
}

TEST(Handles, RegKeyIsClosed) {
    const wchar_t* path = L"Software\\QuilletHandlesTest";
    HKEY raw = nullptr;
    {
        raii::RegKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        raw = key.get();
        DWORD values = 0;
        EXPECT_EQ(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                                   nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
    }
    DWORD values = 0;
    EXPECT_EQ(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_INVALID_HANDLE);
    RegDeleteKeyW(HKEY_CURRENT_USER, path);
}

TEST(Handles, ClipboardOpenClosesSoOthersCanOpen) {
    {
        raii::ClipboardOpen clip;
        ASSERT_TRUE(clip.ok());
        EXPECT_FALSE(clipboard_opens_elsewhere());

        raii::ClipboardOpen moved(std::move(clip));
        EXPECT_FALSE(clip.ok());
        EXPECT_TRUE(moved.ok());
        EXPECT_FALSE(clipboard_opens_elsewhere());
    }
    EXPECT_TRUE(clipboard_opens_elsewhere());

    raii::ClipboardOpen early;
    ASSERT_TRUE(early.ok());
    EXPECT_TRUE(early.close());
    EXPECT_FALSE(early.ok());
    EXPECT_FALSE(early.close());  // only once
    EXPECT_TRUE(clipboard_opens_elsewhere());
}

TEST(Handles, ClipboardOpenFailureIsNotOk) {
    std::atomic<int> stage{0};
    std::thread holder([&] {
        raii::Window owner(make_clipboard_owner());
        if (OpenClipboard(owner.get())) {
            stage = 1;
            while (stage != 2) Sleep(5);
            CloseClipboard();
        } else {
            stage = -1;
        }
    });
    while (stage == 0) Sleep(5);
    ASSERT_EQ(stage.load(), 1);
    {
        raii::ClipboardOpen clip;
        EXPECT_FALSE(clip.ok());
    }  // must not close the other thread's clipboard
    EXPECT_FALSE(clipboard_opens_elsewhere());
    stage = 2;
    holder.join();
    EXPECT_TRUE(clipboard_opens_elsewhere());
}

TEST(Handles, GlobalLockedUnlocks) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 64);
    ASSERT_NE(mem, nullptr);
    {
        raii::GlobalLocked<char> lock(mem);
        ASSERT_TRUE(lock.ok());
        EXPECT_NE(lock.get(), nullptr);
        EXPECT_GE(lock.size(), 64u);
        EXPECT_EQ(GlobalFlags(mem) & GMEM_LOCKCOUNT, 1u);
        raii::GlobalLocked<char> moved(std::move(lock));
        EXPECT_FALSE(lock.ok());
        EXPECT_EQ(GlobalFlags(mem) & GMEM_LOCKCOUNT, 1u);
    }
    EXPECT_EQ(GlobalFlags(mem) & GMEM_LOCKCOUNT, 0u);
    GlobalFree(mem);

    raii::GlobalLocked<void> none(nullptr);
    EXPECT_FALSE(none.ok());
    EXPECT_EQ(none.size(), 0u);
}

TEST(Handles, GlobalMemoryIsFreedUnlessReleased) {
    HGLOBAL freed = nullptr;
    {
        raii::GlobalMemory mem(GlobalAlloc(GMEM_MOVEABLE, 32));
        ASSERT_TRUE(mem);
        freed = mem.get();
        EXPECT_NE(GlobalFlags(freed), static_cast<UINT>(GMEM_INVALID_HANDLE));
    }
    EXPECT_EQ(GlobalFlags(freed), static_cast<UINT>(GMEM_INVALID_HANDLE));

    HGLOBAL kept = nullptr;
    {
        raii::GlobalMemory mem(GlobalAlloc(GMEM_MOVEABLE, 32));
        raii::GlobalMemory moved(std::move(mem));
        EXPECT_FALSE(mem);
        kept = moved.release();
    }
    EXPECT_NE(GlobalFlags(kept), static_cast<UINT>(GMEM_INVALID_HANDLE));
    GlobalFree(kept);
}

// COM is per thread: each case runs on a fresh thread. After every ComInit
// is gone, CoInitializeEx gives S_OK again only when all of them balanced.
template <class Fn>
HRESULT on_fresh_thread_then_probe(Fn fn) {
    HRESULT probe = E_FAIL;
    std::thread t([&] {
        fn();
        probe = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(probe)) CoUninitialize();
    });
    t.join();
    return probe;
}

TEST(Handles, ComInitBalancesIncludingSFalse) {
    HRESULT first = E_FAIL, second = E_FAIL;
    HRESULT probe = on_fresh_thread_then_probe([&] {
        raii::ComInit a;
        raii::ComInit b;
        first = a.hr();
        second = b.hr();
        EXPECT_TRUE(a.ok() && a.owns());
        EXPECT_TRUE(b.ok() && b.owns());
    });
    EXPECT_EQ(first, S_OK);
    EXPECT_EQ(second, S_FALSE);
    EXPECT_EQ(probe, S_OK);
}

TEST(Handles, ComInitChangedModeIsUsableButNotUninitialised) {
    HRESULT probe = on_fresh_thread_then_probe([&] {
        raii::ComInit sta(COINIT_APARTMENTTHREADED);
        {
            raii::ComInit mta(COINIT_MULTITHREADED);
            EXPECT_EQ(mta.hr(), RPC_E_CHANGED_MODE);
            EXPECT_TRUE(mta.ok());
            EXPECT_FALSE(mta.owns());
        }
        // sta still holds COM: the failed init took nothing away
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        CoUninitialize();
    });
    EXPECT_EQ(probe, S_OK);
}

TEST(Handles, ComInitMoveTransfersTheReference) {
    HRESULT probe = on_fresh_thread_then_probe([&] {
        raii::ComInit a;
        raii::ComInit b(std::move(a));
        EXPECT_FALSE(a.owns());
        EXPECT_TRUE(b.owns());
    });
    EXPECT_EQ(probe, S_OK);
}

struct Counted : IUnknown {
    LONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(Handles, ComPtrReleasesItsReference) {
    Counted obj;
    {
        raii::ComPtr<IUnknown> p(&obj);
        EXPECT_EQ(obj.refs, 1);
        raii::ComPtr<IUnknown> q(std::move(p));
        EXPECT_FALSE(p);
        EXPECT_EQ(q.get(), &obj);
        EXPECT_EQ(obj.refs, 1);
    }
    EXPECT_EQ(obj.refs, 0);

    Counted other;
    obj.refs = 1;
    raii::ComPtr<IUnknown> p(&obj);
    IUnknown** slot = p.put();  // releases obj before the out-parameter is filled
    EXPECT_EQ(obj.refs, 0);
    other.AddRef();
    *slot = &other;
    EXPECT_EQ(other.refs, 2);
    p.reset();
    EXPECT_EQ(other.refs, 1);
}

LRESULT CALLBACK pass_on(int code, WPARAM wp, LPARAM lp) { return CallNextHookEx(nullptr, code, wp, lp); }

TEST(Handles, HookIsRemoved) {
    HHOOK raw = nullptr;
    {
        raii::Hook hook(SetWindowsHookExW(WH_CBT, pass_on, nullptr, GetCurrentThreadId()));
        ASSERT_TRUE(hook);
        raw = hook.get();
    }
    EXPECT_FALSE(UnhookWindowsHookEx(raw));  // already removed
}

TEST(Handles, ModuleIsFreed) {
    const wchar_t* name = L"cabinet.dll";
    ASSERT_EQ(GetModuleHandleW(name), nullptr) << "pick a library the test does not load otherwise";
    {
        raii::Module lib(LoadLibraryW(name));
        ASSERT_TRUE(lib);
        EXPECT_EQ(GetModuleHandleW(name), lib.get());
    }
    EXPECT_EQ(GetModuleHandleW(name), nullptr);
}

TEST(Handles, WindowIsDestroyed) {
    HWND raw = nullptr;
    {
        raii::Window wnd(make_window());
        ASSERT_TRUE(wnd);
        raw = wnd.get();
        raii::Window moved(std::move(wnd));
        EXPECT_FALSE(wnd);
        EXPECT_TRUE(IsWindow(raw));
    }
    EXPECT_FALSE(IsWindow(raw));
}

TEST(Handles, FindHandleIsClosed) {
    wchar_t dir[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(dir, MAX_PATH), 0u);
    std::wstring pattern = std::wstring(dir) + L"\\*";
    WIN32_FIND_DATAW data;
    HANDLE raw = nullptr;
    {
        raii::FindHandle find(FindFirstFileW(pattern.c_str(), &data));
        ASSERT_TRUE(find);
        raw = find.get();
        EXPECT_TRUE(FindNextFileW(raw, &data));
    }
    SetLastError(0);
    EXPECT_FALSE(FindNextFileW(raw, &data));
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));

    EXPECT_FALSE(raii::FindHandle(INVALID_HANDLE_VALUE));
}

}  // namespace

namespace {

TEST(Handles, WaitCursorShowsTheWaitCursorAndPutsThePreviousBack) {
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    ASSERT_NE(arrow, wait);
    SetCursor(arrow);
    {
        raii::WaitCursor busy;
        EXPECT_EQ(GetCursor(), wait);
        {
            raii::WaitCursor nested;
            EXPECT_EQ(GetCursor(), wait);
        }
        EXPECT_EQ(GetCursor(), wait) << "an inner guard keeps the outer one's cursor";
    }
    EXPECT_EQ(GetCursor(), arrow);
}

}  // namespace
