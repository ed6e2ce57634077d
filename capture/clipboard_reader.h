// Reads the clipboard on a thread of its own, so that a very large bitmap
// (hundreds of megabytes take seconds to fetch and hash) never holds up the
// interface thread. The thread reads one snapshot, hashes its bitmap, makes
// the image bytes to store when the bitmap is new, and posts the message
// given at construction to the window; the interface thread then takes the
// result and decides about it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
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
};

// The thread opens the clipboard for a message-only window of its own, so
// that no other thread of the program can open it (and empty it) while the
// data is being copied.
//
// Other programs open the clipboard too, many of them on every change
// (clipboard tools, remote-desktop clients, password managers). When it is
// held, the thread tries again every kOpenRetryStepMs for kOpenRetryMs; then
// it stops trying and only watches, every kOpenRetryStepMs, for the holder to
// close it or for a new content, and tries at once when either happens. A
// read that has not opened the clipboard within kOpenGiveUpMs ends unopened.
class ClipboardReader {
public:
    static constexpr DWORD kOpenRetryStepMs = 15;
    static constexpr DWORD kOpenRetryMs = 200;
    static constexpr DWORD kOpenGiveUpMs = 5000;

    ClipboardReader(HWND notify, UINT message);
    // Ends a read still waiting for the clipboard and waits for it.
    ~ClipboardReader();
    ClipboardReader(const ClipboardReader&) = delete;
    ClipboardReader& operator=(const ClipboardReader&) = delete;

    // A read was started and its result not yet taken.
    bool busy() const { return started_; }
    // Starts a read; false while one is busy.
    bool start(ClipboardReadRequest request);
    // The finished read, once; none while it runs or when none was started.
    std::optional<ClipboardRead> take();
    // Waits up to ms milliseconds until the read no longer holds the
    // clipboard open; true when it does not (or no read runs).
    bool wait_clipboard_free(DWORD ms) const;

private:
    void run(ClipboardReadRequest request);
    // The snapshot, once the clipboard could be opened (see above); an
    // unopened one when it could not.
    ClipboardSnapshot read_when_free(HWND opener);

    HWND notify_;
    UINT message_;
    bool started_ = false;  // interface thread only
    // Signalled while no read holds the clipboard open (manual reset).
    raii::Handle clipboard_free_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::optional<ClipboardRead> result_;  // guarded by mutex_
};
