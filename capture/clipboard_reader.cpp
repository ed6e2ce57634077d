// The clipboard read thread.
#include "capture/clipboard_reader.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "capture/image.h"
#include "capture/watcher.h"
#include "core/handles.h"

ClipboardReader::ClipboardReader(HWND notify, UINT message)
    : notify_(notify), message_(message), clipboard_free_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

bool ClipboardReader::wait_clipboard_free(DWORD ms) const {
    return !clipboard_free_ || WaitForSingleObject(clipboard_free_.get(), ms) == WAIT_OBJECT_0;
}

ClipboardReader::~ClipboardReader() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

bool ClipboardReader::start(ClipboardReadRequest request) {
    if (started_) return false;
    if (thread_.joinable()) thread_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        result_.reset();
    }
    // Reset here, on the thread that also writes the clipboard, so that a
    // write after a started read always waits for it.
    if (clipboard_free_) ResetEvent(clipboard_free_.get());
    try {
        thread_ = std::thread(&ClipboardReader::run, this, std::move(request));
    } catch (const std::system_error&) {
        if (clipboard_free_) SetEvent(clipboard_free_.get());
        return false;
    }
    started_ = true;
    return true;
}

std::optional<ClipboardRead> ClipboardReader::take() {
    if (!started_) return std::nullopt;
    std::optional<ClipboardRead> out;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!result_) return std::nullopt;
        out = std::move(result_);
        result_.reset();
    }
    if (thread_.joinable()) thread_.join();
    started_ = false;
    return out;
}

ClipboardSnapshot ClipboardReader::read_when_free(HWND opener) {
    const ULONGLONG start = GetTickCount64();
    ULONGLONG tried_until = start + kOpenRetryMs;
    DWORD sequence = GetClipboardSequenceNumber();
    for (;;) {
        ClipboardSnapshot snap = winutil::read_clipboard(opener);
        if (snap.opened || stopping_) return snap;
        for (;;) {
            Sleep(kOpenRetryStepMs);
            const ULONGLONG now = GetTickCount64();
            if (stopping_ || now - start >= kOpenGiveUpMs) return ClipboardSnapshot{};
            if (now < tried_until) break;
            // Given up trying: watched without opening. A holder that opened
            // it for no window shows no window here, and is tried every step.
            const DWORD current = GetClipboardSequenceNumber();
            if (current != sequence || GetOpenClipboardWindow() == nullptr) {
                sequence = current;
                tried_until = now + kOpenRetryMs;
                break;
            }
        }
    }
}

void ClipboardReader::run(ClipboardReadRequest request) {
    // The image encoder needs COM on this thread.
    raii::ComInit com;
    ClipboardRead read;
    try {
        {
            raii::Window opener(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                GetModuleHandleW(nullptr), nullptr));
            read.snap = read_when_free(opener.get());
        }
        if (clipboard_free_) SetEvent(clipboard_free_.get());
        read.text_mark = text_fingerprint(read.snap.text);
        if (!read.snap.dib.empty()) {
            read.hash = image_hash(read.snap.dib);
            const auto& known = request.known_hashes;
            const bool is_known = std::find(known.begin(), known.end(), read.hash) != known.end();
            if (!request.take_as_seen && !is_known && !read.snap.excluded) {
                read.prepared = winutil::prepare_image_for_storage(read.snap.dib, request.image_limit, read.image);
                read.refused = !read.prepared;
            }
        }
    } catch (const std::bad_alloc&) {
        // Out of memory half-way: the content counts as not read.
        read = ClipboardRead{};
    }
    if (clipboard_free_) SetEvent(clipboard_free_.get());
    read.request = std::move(request);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        result_ = std::move(read);
    }
    PostMessageW(notify_, message_, 0, 0);
}
