// Reads the clipboard on a thread of its own, so that a very large bitmap
// (hundreds of megabytes take seconds to fetch and hash) never holds up the
// interface thread. The thread reads one snapshot, hashes its bitmap, makes
// the image bytes to store when the bitmap is new, and posts the message
// given at construction to the window; the interface thread then takes the
// result and decides about it.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "capture/clipboard.h"
#include "core/handles.h"

// Posted to the watcher's window when a read has finished (no parameters).
inline constexpr UINT kMsgClipboardRead = WM_APP + 12;

struct ClipboardReadRequest {
    // The result only marks the content as seen; no image is made.
    bool take_as_seen = false;
    // Hashes of bitmaps that need no image bytes: seen last, about to be
    // written by the program itself, or refused by the size rule before.
    std::vector<std::uint64_t> known_hashes;
    // Largest image kept (the stored-image limit).
    std::size_t image_limit = 0;
    // The thread only watches at first: it reads once the clipboard's
    // sequence number is no longer this one.
    std::optional<DWORD> watch_from;
};

struct ClipboardRead {
    ClipboardReadRequest request;
    ClipboardSnapshot snap;
    std::uint64_t hash = 0;       // of snap.dib when it is not empty
    TextFingerprint text_mark;    // of snap.text
    // The bitmap was new and image holds what to store for it; refused: it
    // fits the limit neither as it is nor as a PNG.
    bool prepared = false;
    bool refused = false;
    std::vector<std::uint8_t> image;
    // The program wrote the clipboard itself after this was read (see
    // ClipboardReader::hold_off).
    bool before_own_write = false;
};

// The thread opens the clipboard for a message-only window of its own, so
// that no other thread of the program can open it (and empty it) while the
// data is being copied.
//
// Other programs open the clipboard too, many of them on every change
// (clipboard tools, remote-desktop clients, password managers). When it is
// held, the thread tries again every kStepMs for kOpenRetryMs; then it stops
// trying and only watches, every kStepMs, for the holder to close it or for a
// new content, and tries at once when either happens. A read that has not
// opened the clipboard within kOpenGiveUpMs ends unopened.
//
// While results wait to be taken (the interface thread is busy storing or
// drawing), the thread stays and reads every new content as it comes, so
// that a copy is not lost for being replaced before the interface thread
// got round to it. Those results queue in order, up to kMaxQueued of them
// and kMaxQueuedBytes of snapshot data; beyond that only the newest content
// is read once the queue has room. The thread ends when the interface thread,
// done with every result, finds the clipboard unchanged since the last read
// (end_if_idle), or after kIdleEndMs without results or changes.
class ClipboardReader {
public:
    static constexpr DWORD kStepMs = 15;
    static constexpr DWORD kOpenRetryMs = 200;
    static constexpr DWORD kOpenGiveUpMs = 5000;
    static constexpr std::size_t kMaxQueued = 32;
    static constexpr std::size_t kMaxQueuedBytes = 256u * 1024 * 1024;
    static constexpr DWORD kIdleEndMs = 10000;

    ClipboardReader(HWND notify, UINT message);
    // Ends the thread (a read waiting for the clipboard gives up) and waits
    // for it.
    ~ClipboardReader();
    ClipboardReader(const ClipboardReader&) = delete;
    ClipboardReader& operator=(const ClipboardReader&) = delete;

    // The thread runs or a result waits to be taken.
    bool busy() const { return started_; }
    // Starts the thread with a first read; false while busy.
    bool start(ClipboardReadRequest request);
    // The oldest finished read, once; none while the thread reads or when
    // nothing waits. Once nothing waits and the thread has ended, no longer
    // busy.
    std::optional<ClipboardRead> take();
    // Results wait to be taken.
    bool has_results();
    // Every result taken and decided: ends the thread when the clipboard has
    // not changed since its last read. True when no longer busy.
    bool end_if_idle();
    // The program is about to write the clipboard itself: every result not
    // yet taken, and the read under way, are marked before_own_write, and no
    // further read starts for ms milliseconds. Then waits up to wait_ms milliseconds until
    // no read holds the clipboard open; true when none does.
    bool hold_off(DWORD ms, DWORD wait_ms);
    // Waits up to ms milliseconds until no read holds the clipboard open;
    // true when none does (or no read runs).
    bool wait_clipboard_free(DWORD ms) const;
    // At exit: the thread makes no read after the one under way and ends;
    // waits up to ms milliseconds for that, then makes a read still waiting
    // for the clipboard give up. What was read stays to be taken; no read
    // starts any more.
    void finish_reads(DWORD ms);

private:
    void run(ClipboardReadRequest request);
    // One read (see above), on the thread.
    ClipboardRead read_once(HWND opener, const ClipboardReadRequest& request);
    // The snapshot, once the clipboard could be opened; an unopened one when
    // it could not.
    ClipboardSnapshot read_when_free(HWND opener);
    // On the thread: waits until no hold-off keeps a read from starting,
    // then marks the clipboard as held; false when the thread is to end.
    bool begin_read(unsigned& generation);
    // On the thread, after a read: waits until another read is due (true)
    // or the thread is to end (false).
    bool wait_for_next(DWORD last_sequence);
    // Joins the thread that has decided to end.
    void finish();

    HWND notify_;
    UINT message_;
    bool started_ = false;  // interface thread only
    // Signalled while no read holds the clipboard open (manual reset).
    raii::Handle clipboard_free_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> closing_{false};  // finish_reads: no further read
    std::mutex mutex_;
    std::condition_variable wake_;
    // Guarded by mutex_:
    std::deque<ClipboardRead> results_;
    std::size_t queued_bytes_ = 0;
    bool running_ = false;           // the thread has not decided to end
    bool waiting_ = false;           // the thread waits for a next read
    bool idle_requested_ = false;    // end_if_idle came before the thread waited
    DWORD last_sequence_ = 0;        // of the thread's last read
    unsigned generation_ = 0;        // raised by hold_off: older reads are dropped
    ULONGLONG held_off_until_ = 0;   // GetTickCount64 time before which no read starts
};
