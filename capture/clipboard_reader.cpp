// The clipboard read thread.
#include "capture/clipboard_reader.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>

#include "capture/image.h"
#include "capture/watcher.h"
#include "core/handles.h"

namespace {

std::size_t bytes_of(const ClipboardRead& read) {
    return read.snap.text.size() * sizeof(wchar_t) + read.snap.rtf.size() + read.snap.html.size() +
           read.snap.dib.size() + read.image.size();
}

constexpr std::chrono::milliseconds kStep{ClipboardReader::kStepMs};

}  // namespace

ClipboardReader::ClipboardReader(HWND notify, UINT message)
    : notify_(notify), message_(message), clipboard_free_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

bool ClipboardReader::wait_clipboard_free(DWORD ms) const {
    return !clipboard_free_ || WaitForSingleObject(clipboard_free_.get(), ms) == WAIT_OBJECT_0;
}

ClipboardReader::~ClipboardReader() {
    stopping_ = true;
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool ClipboardReader::start(ClipboardReadRequest request) {
    if (started_ || closing_) return false;
    if (thread_.joinable()) thread_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        results_.clear();
        queued_bytes_ = 0;
        running_ = true;
        waiting_ = false;
        idle_requested_ = false;
    }
    try {
        thread_ = std::thread(&ClipboardReader::run, this, std::move(request));
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        return false;
    }
    started_ = true;
    return true;
}

std::optional<ClipboardRead> ClipboardReader::take() {
    if (!started_) return std::nullopt;
    std::optional<ClipboardRead> out;
    bool ended = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!results_.empty()) {
            queued_bytes_ -= std::min(queued_bytes_, bytes_of(results_.front()));
            out = std::move(results_.front());
            results_.pop_front();
        }
        ended = !running_ && results_.empty();
    }
    if (ended) finish();
    return out;
}

bool ClipboardReader::has_results() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !results_.empty();
}

bool ClipboardReader::end_if_idle() {
    if (!started_) return true;
    bool ended = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (results_.empty() && running_) {
            if (waiting_) {
                const DWORD sequence = GetClipboardSequenceNumber();
                if (sequence == 0 || sequence == last_sequence_) running_ = false;
            } else {
                // Still about to wait: it ends there unless something new came.
                idle_requested_ = true;
            }
        }
        ended = !running_ && results_.empty();
    }
    if (ended) finish();
    return ended;
}

void ClipboardReader::finish() {
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    started_ = false;
}

bool ClipboardReader::hold_off(DWORD ms, DWORD wait_ms) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (ClipboardRead& r : results_) r.before_own_write = true;
        ++generation_;
        held_off_until_ = GetTickCount64() + ms;
    }
    return wait_clipboard_free(wait_ms);
}

void ClipboardReader::finish_reads(DWORD ms) {
    closing_ = true;
    wake_.notify_all();
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!running_) break;
        }
        if (GetTickCount64() >= end) {
            stopping_ = true;
            wake_.notify_all();
            break;
        }
        Sleep(kStepMs);
    }
    if (thread_.joinable()) thread_.join();
}

bool ClipboardReader::begin_read(unsigned& generation) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stopping_) {
            running_ = false;
            return false;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= held_off_until_) break;
        wake_.wait_for(lock, std::min(kStep, std::chrono::milliseconds(held_off_until_ - now)));
    }
    generation = generation_;
    // Under the lock that hold_off takes: a write that follows hold_off
    // either keeps this read from starting or waits for it.
    if (clipboard_free_) ResetEvent(clipboard_free_.get());
    return true;
}

bool ClipboardReader::wait_for_next(DWORD last_sequence) {
    std::unique_lock<std::mutex> lock(mutex_);
    last_sequence_ = last_sequence;
    waiting_ = true;
    const ULONGLONG idle_since = GetTickCount64();
    for (;;) {
        if (stopping_ || closing_ || !running_) break;
        const DWORD sequence = GetClipboardSequenceNumber();
        const bool changed = sequence != 0 && sequence != last_sequence;
        if (changed && results_.size() < kMaxQueued && queued_bytes_ < kMaxQueuedBytes) {
            waiting_ = false;
            idle_requested_ = false;
            return true;
        }
        // Everything was taken and decided, or nobody came for a while:
        // the next change starts a thread anew.
        if (!changed && results_.empty() && (idle_requested_ || GetTickCount64() - idle_since >= kIdleEndMs))
            break;
        wake_.wait_for(lock, kStep);
    }
    waiting_ = false;
    idle_requested_ = false;
    running_ = false;
    return false;
}

ClipboardSnapshot ClipboardReader::read_when_free(HWND opener) {
    const ULONGLONG start = GetTickCount64();
    ULONGLONG tried_until = start + kOpenRetryMs;
    DWORD sequence = GetClipboardSequenceNumber();
    for (;;) {
        ClipboardSnapshot snap = winutil::read_clipboard(opener);
        if (snap.opened || stopping_) return snap;
        for (;;) {
            Sleep(kStepMs);
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

ClipboardRead ClipboardReader::read_once(HWND opener, const ClipboardReadRequest& request) {
    ClipboardRead read;
    try {
        read.snap = read_when_free(opener);
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
    read.request = request;
    return read;
}

void ClipboardReader::run(ClipboardReadRequest request) {
    // The image encoder needs COM on this thread.
    raii::ComInit com;
    raii::Window opener(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleW(nullptr), nullptr));
    unsigned generation = 0;
    bool go_on = !request.watch_from || wait_for_next(*request.watch_from);
    while (go_on && begin_read(generation)) {
        ClipboardRead read = read_once(opener.get(), request);
        const DWORD sequence = read.snap.opened ? read.snap.sequence : GetClipboardSequenceNumber();
        // The next read records what comes next; the bitmap just read needs
        // no image made again.
        request.take_as_seen = false;
        if (!read.snap.dib.empty() &&
            std::find(request.known_hashes.begin(), request.known_hashes.end(), read.hash) ==
                request.known_hashes.end()) {
            request.known_hashes.push_back(read.hash);
            constexpr std::size_t kKnownKept = 64;
            if (request.known_hashes.size() > kKnownKept) request.known_hashes.erase(request.known_hashes.begin());
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            read.before_own_write = generation != generation_;
            // An end asked for before this read was about the older ones.
            idle_requested_ = false;
            queued_bytes_ += bytes_of(read);
            results_.push_back(std::move(read));
        }
        PostMessageW(notify_, message_, 0, 0);
        if (!wait_for_next(sequence)) break;
    }
    // An end of its own accord is taken up at the next message, so that
    // the reader is no longer busy.
    if (!stopping_) PostMessageW(notify_, message_, 0, 0);
}
