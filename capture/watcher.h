// The clipboard watcher: decides, on every poll, whether what is on the
// clipboard is a new item for the history, and stores it.
//
// Interface thread only; the clipboard itself is read on a thread of the
// watcher's own (capture/clipboard_reader.h), which only posts back. The
// main window calls poll() from its 500 ms clipboard timer and on
// WM_CLIPBOARDUPDATE, and take_finished_read() on kMsgClipboardRead; every
// road that writes the clipboard itself first calls remember_own_text /
// remember_own_image.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/capture_queue.h"
#include "capture/clipboard.h"
#include "capture/clipboard_reader.h"

class Database;
struct Settings;

// What a stored capture was, handed to the captured hook.
struct CapturedItem {
    std::int64_t id = 0;           // the stored (or bumped) history entry
    std::wstring text;             // the clipboard text as read (not trimmed)
    bool has_bitmap = false;
    // The text's first kCapturedLabelLimit characters (one fewer when the
    // cut would split a surrogate pair), or "[изображение]" when it is empty.
    std::wstring label;
    std::wstring image_path;       // the PNG file saved for it, or empty
};

// Base word of the image files saved for clipboard images.
inline constexpr wchar_t kClipboardImageBaseWord[] = L"\u0418\u0437\u043e\u0431\u0440\u0430\u0436\u0435\u043d\u0438\u0435";
// Longest label of a capture: a notice shows no more than its start.
inline constexpr std::size_t kCapturedLabelLimit = 256;
// Label of a capture without text.
inline constexpr wchar_t kClipboardImageLabel[] =
    L"[\u0438\u0437\u043e\u0431\u0440\u0430\u0436\u0435\u043d\u0438\u0435]";

// 64-bit FNV-1a of the bytes (offset basis 0xCBF29CE484222325, prime 0x100000001B3).
std::uint64_t image_hash(const std::vector<std::uint8_t>& bytes);

class ClipboardWatcher {
public:
    struct Hooks {
        // The category the main window shows (captures are filed there); none
        // when not given. A category that no longer exists files into none.
        std::function<std::optional<std::int64_t>()> capture_category;
        // Called after each stored capture, once its link-title fetch, image
        // file and sound are done (one sound for the captures of a slice
        // written together): the owner refreshes its list and shows the
        // tray balloon with the label.
        std::function<void(const CapturedItem&)> captured;
        // When given, called instead of captured for the captures one slice
        // of the waiting ones stored (see store_waiting_captures): once,
        // oldest first, so that the owner refreshes and notifies once.
        std::function<void(const std::vector<CapturedItem>&)> captured_batch;
        // Called when a capture was to be stored and the store could not
        // write it (the item is still taken as seen and not retried), or
        // when one was lost because too many already waited.
        std::function<void()> store_failed;
        // Called once when another program has held the store for more than
        // a few seconds while captures wait to be written.
        std::function<void()> store_busy;
    };

    ClipboardWatcher(Database& db, const Settings& settings, Hooks hooks = {});
    ~ClipboardWatcher();
    ClipboardWatcher(const ClipboardWatcher&) = delete;
    ClipboardWatcher& operator=(const ClipboardWatcher&) = delete;

    // Once, while the main window is created: takes enabled from
    // Settings::watch_clipboard, takes what is on the clipboard now as seen
    // (it is not recorded), and registers main as a clipboard listener.
    // Link-title results and kMsgClipboardRead are posted to main.
    //
    // From here on the clipboard is read on a thread of the watcher's own:
    // poll() starts a read when the clipboard's sequence number has changed
    // since the last complete look, and the main window hands
    // kMsgClipboardRead to take_finished_read(), where the decision runs.
    void start(HWND main);

    bool enabled() const { return enabled_; }
    // Switching on first takes the current clipboard (text and image) as
    // seen, so what was copied while capture was off is not recorded.
    void set_enabled(bool on);

    // Copies the application filter from the settings.
    void reload_filters();

    // The program is about to write this text: the clipboard is ignored for
    // 0.5 s and the text is not recorded afterwards (only its fingerprint
    // is kept).
    void remember_own_text(const std::wstring& text);
    // The program is about to write these exact bitmap bytes: the first
    // check within 2 s that sees them does not record them.
    void remember_own_image(const std::vector<std::uint8_t>& dib);

    // The timer's and WM_CLIPBOARDUPDATE's step, unless disabled or inside
    // an ignore window: takes a finished read, then starts a read when the
    // clipboard changed since the last complete look. Before start():
    // check_clipboard(false).
    void poll();

    // kMsgClipboardRead's step: decides about the oldest finished read, if
    // any, and reads again when the clipboard changed meanwhile. While the
    // interface thread is busy, the read thread goes on reading each new
    // content, so these results queue in order.
    void take_finished_read();
    // The read thread runs or a result waits to be taken.
    bool reading() const { return reader_ && reader_->busy(); }
    // The bitmap with this hash fitted the size rule neither way; it is not
    // converted again.
    bool is_refused(std::uint64_t hash) const;

    // Captures that met a store held by another program: they are written,
    // in order and before any newer one, at the following polls.
    std::size_t waiting_captures() const { return waiting_.size(); }
    // Writes one slice of the waiting captures that the store takes now
    // (poll does it first): several in one transaction, for at most
    // kSliceStoreMs in the store and kSliceBytes of captures, so that the
    // interface thread is never held long; the slice's stored captures are
    // announced together (one sound; captured_batch when given). The store_busy hook follows when the store
    // has refused them for more than a few seconds.
    void store_waiting_captures();
    // Captures wait and the store took the last slice: the owner calls
    // store_waiting_captures again soon (between its other messages)
    // rather than at the next poll.
    bool writing_waiting_captures() const;
    static constexpr double kSliceStoreMs = 40.0;
    static constexpr std::size_t kSliceBytes = 8u * 1024 * 1024;

    // At quit or sign-out: no read starts any more, the reads already made
    // are decided, and the captures waiting are written as the store takes
    // them, tried again until seconds have passed. Nothing is announced (no
    // hook, sound or link title; an image file is still saved). Returns how
    // many captures could not be written: those still waiting and those
    // the store refused. Called again, it goes on trying for those waiting.
    std::size_t store_before_exit(double seconds);

    // Reads the clipboard and stores a new item. force skips the unchanged
    // tests. The id stored, or 0 when nothing was stored (yet: a capture
    // that meets a busy store waits, see waiting_captures).
    std::int64_t check_clipboard(bool force);

    // The same decision for a snapshot read elsewhere (a snapshot handed
    // over is not copied: its text goes on to the captured hook).
    std::int64_t check_snapshot(const ClipboardSnapshot& snap, bool force);
    std::int64_t check_snapshot(ClipboardSnapshot&& snap, bool force);

private:
    static double now();
    void take_current_clipboard_as_seen();
    void take_as_seen(const ClipboardSnapshot& snap, std::uint64_t hash, const TextFingerprint& text_mark);
    // Before the program writes the clipboard: no read starts for the
    // ignore time, and a read holding the clipboard is waited for briefly.
    void hold_off_reads();
    // The decision; read, when given, brings the hashes and the image bytes
    // made on the read thread. A stored capture's text is moved out of snap
    // into the item handed to the captured hook.
    std::int64_t decide(ClipboardSnapshot& snap, bool force, ClipboardRead* read);
    // Starts a read when none runs and the clipboard changed since the last
    // complete look (or a take-as-seen read is due).
    void request_read();
    // Before the store may hold this thread (a busy time-out, or many
    // waiting captures written at once with their notices): a read thread
    // watches meanwhile, so that a copy replaced in that time is still read.
    void keep_reading();
    ClipboardReadRequest read_request() const;
    void remember_refused(std::uint64_t hash);
    // Writes a capture, or keeps it behind those waiting; the id stored or 0.
    std::int64_t store_capture(PendingCapture&& capture);
    // One write; announce: the captured or store_failed hook follows.
    CaptureWrite write_capture(PendingCapture& capture, bool announce, std::int64_t* stored_id);
    // One slice of the waiting captures (see store_waiting_captures), with
    // store_ms in the store; at_once: also right after a refusal. How many
    // left the queue.
    std::size_t write_waiting_slice(double store_ms, bool at_once);
    // The batch write of a slice: each stored capture is completed, and
    // those to be announced are added to stored.
    std::vector<CaptureWrite> write_batch(const std::vector<PendingCapture*>& batch, double store_ms,
                                          std::vector<CapturedItem>& stored);
    // A capture the store refused for good: counted at exit, else the
    // store_failed hook.
    void note_refused();
    // After a stored capture: link title and image file; the item for the
    // notice (at exit only the image file, and an item with the id).
    CapturedItem complete_capture(PendingCapture& capture, std::int64_t id);
    // The notice of a stored capture: sound and captured hook.
    void announce_capture(const CapturedItem& item);
    // The PNG file of a stored image capture, when the settings keep one:
    // its path, or empty.
    std::wstring save_image_file(const PendingCapture& capture, std::int64_t id);

    Database& db_;
    const Settings& settings_;
    Hooks hooks_;
    HWND main_ = nullptr;
    bool listening_ = false;

    bool enabled_ = true;
    // The clipboard text as of the last look (or the program's own last text
    // write), kept as its fingerprint: a long text is not held twice.
    TextFingerprint last_text_;
    double ignore_until_ = 0;
    std::uint64_t last_image_hash_ = 0;
    bool has_last_image_hash_ = false;
    bool own_image_pending_ = false;
    std::uint64_t own_image_hash_ = 0;
    double own_image_deadline_ = 0;
    int last_filter_reload_ = 0;
    bool filters_loaded_ = false;
    std::wstring filter_mode_ = L"all";
    std::vector<std::wstring> filter_apps_;

    std::unique_ptr<ClipboardReader> reader_;
    // The clipboard's sequence number at the last complete look.
    DWORD last_sequence_ = 0;
    bool has_last_sequence_ = false;
    // The next read only takes the content as seen (start, switching on).
    bool prime_pending_ = false;
    // Bitmaps whose image fitted the size rule neither way, newest last:
    // they are never converted again.
    std::deque<std::uint64_t> refused_hashes_;
    CaptureQueue waiting_;
    // store_before_exit has begun; captures it could not write for good.
    bool exiting_ = false;
    std::size_t refused_at_exit_ = 0;
};
