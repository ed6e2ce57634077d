// The capture step of the clipboard watcher.
#include "capture/watcher.h"

#include <algorithm>
#include <chrono>

#include "capture/image.h"
#include "capture/image_file.h"
#include "capture/link_title.h"
#include "core/browser_info.h"
#include "core/image_header.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/web_url.h"
#include "core/winutil.h"
#include "store/database.h"

std::uint64_t image_hash(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (std::uint8_t b : bytes) {
        hash ^= b;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

ClipboardWatcher::ClipboardWatcher(Database& db, const Settings& settings, Hooks hooks)
    : db_(db), settings_(settings), hooks_(std::move(hooks)) {}

ClipboardWatcher::~ClipboardWatcher() {
    if (listening_ && IsWindow(main_)) RemoveClipboardFormatListener(main_);
}

double ClipboardWatcher::now() {
    using namespace std::chrono;
    return static_cast<double>(duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count()) / 1e9;
}

void ClipboardWatcher::take_as_seen(const ClipboardSnapshot& snap, std::uint64_t hash,
                                    const TextFingerprint& text_mark) {
    last_text_ = text_mark;
    if (!snap.dib.empty()) {
        last_image_hash_ = hash;
        has_last_image_hash_ = true;
    }
}

void ClipboardWatcher::take_current_clipboard_as_seen() {
    const ClipboardSnapshot snap = winutil::read_clipboard();
    take_as_seen(snap, snap.dib.empty() ? 0 : image_hash(snap.dib), text_fingerprint(snap.text));
    if (snap.opened) {
        last_sequence_ = snap.sequence;
        has_last_sequence_ = true;
    }
}

void ClipboardWatcher::start(HWND main) {
    main_ = main;
    enabled_ = settings_.watch_clipboard;
    ignore_until_ = 0;
    filter_mode_ = L"all";
    last_filter_reload_ = 0;
    filters_loaded_ = false;
    if (main_) {
        // The text now; the whole content (a bitmap may take long) on the
        // read thread.
        last_text_ = winutil::clipboard_text_fingerprint();
        reader_ = std::make_unique<ClipboardReader>(main_, kMsgClipboardRead);
        prime_pending_ = true;
        if (enabled_) request_read();
        listening_ = AddClipboardFormatListener(main_) != FALSE;
    } else {
        take_current_clipboard_as_seen();
    }
}

void ClipboardWatcher::set_enabled(bool on) {
    if (on && !enabled_) {
        if (reader_) {
            last_text_ = winutil::clipboard_text_fingerprint();
            prime_pending_ = true;
            enabled_ = true;
            request_read();
            return;
        }
        take_current_clipboard_as_seen();
    }
    enabled_ = on;
}

void ClipboardWatcher::reload_filters() {
    filter_mode_ = settings_.app_filter_mode;
    filter_apps_ = settings_.app_filter_items();
    last_filter_reload_ = static_cast<int>(now());
    filters_loaded_ = true;
}

void ClipboardWatcher::hold_off_reads() {
    // The program's write comes right after: it could not open a clipboard
    // that the read thread holds. A text is read in milliseconds; a huge
    // bitmap is not waited for longer than a second. What was read before
    // the write is still decided, but does not replace what the watcher
    // remembers of the program's own write.
    if (reader_) reader_->hold_off(500, 1000);
}

void ClipboardWatcher::remember_own_text(const std::wstring& text) {
    hold_off_reads();
    last_text_ = text_fingerprint(text);
    ignore_until_ = now() + 0.5;
}

void ClipboardWatcher::remember_own_image(const std::vector<std::uint8_t>& dib) {
    hold_off_reads();
    if (dib.empty()) return;
    own_image_hash_ = image_hash(dib);
    own_image_pending_ = true;
    own_image_deadline_ = now() + 2.0;
}

void ClipboardWatcher::poll() {
    if (exiting_) return;
    store_waiting_captures();
    if (!enabled_ || now() < ignore_until_) return;
    if (!reader_) {
        check_clipboard(false);
        return;
    }
    take_finished_read();
    // Results whose messages were not taken (a nested loop ran): the rest
    // follow at once rather than one a tick.
    if (reader_->has_results() && main_) PostMessageW(main_, kMsgClipboardRead, 0, 0);
    request_read();
}

ClipboardReadRequest ClipboardWatcher::read_request() const {
    ClipboardReadRequest request;
    request.take_as_seen = prime_pending_;
    request.image_limit = kStoredImageLimit;
    if (has_last_image_hash_) request.known_hashes.push_back(last_image_hash_);
    if (own_image_pending_) request.known_hashes.push_back(own_image_hash_);
    request.known_hashes.insert(request.known_hashes.end(), refused_hashes_.begin(), refused_hashes_.end());
    return request;
}

void ClipboardWatcher::request_read() {
    if (!enabled_ || exiting_ || !reader_ || !reader_->end_if_idle()) return;
    // An unchanged clipboard is not read again. 0 means the number cannot
    // be had: then every look reads.
    const DWORD sequence = GetClipboardSequenceNumber();
    if (!prime_pending_ && sequence != 0 && has_last_sequence_ && sequence == last_sequence_) return;
    reader_->start(read_request());
}

void ClipboardWatcher::keep_reading() {
    // A thread that runs reads every change by itself.
    if (!enabled_ || exiting_ || !reader_ || reader_->busy() || prime_pending_) return;
    ClipboardReadRequest request = read_request();
    if (has_last_sequence_) request.watch_from = last_sequence_;
    reader_->start(std::move(request));
}

void ClipboardWatcher::take_finished_read() {
    if (!reader_) return;
    std::optional<ClipboardRead> read = reader_->take();
    if (!read) return;
    // A read that could not open the clipboard (for seconds) is tried again
    // at the next poll; one begun before capture was switched off or on is
    // dropped.
    if (!read->snap.opened || !enabled_) return;
    if (prime_pending_ && !read->request.take_as_seen) {
        request_read();
        return;
    }
    // Read before the program's own write: the text remembered for that
    // write stays what the watcher compares with.
    const TextFingerprint own_text = last_text_;
    if (read->request.take_as_seen) {
        take_as_seen(read->snap, read->hash, read->text_mark);
        prime_pending_ = false;
    } else {
        decide(read->snap, false, &*read);
    }
    if (read->before_own_write) last_text_ = own_text;
    last_sequence_ = read->snap.sequence;
    has_last_sequence_ = true;
    read.reset();
    // Copied again while this one was read.
    request_read();
}

bool ClipboardWatcher::is_refused(std::uint64_t hash) const {
    return std::find(refused_hashes_.begin(), refused_hashes_.end(), hash) != refused_hashes_.end();
}

void ClipboardWatcher::remember_refused(std::uint64_t hash) {
    if (is_refused(hash)) return;
    refused_hashes_.push_back(hash);
    constexpr std::size_t kRemembered = 16;
    if (refused_hashes_.size() > kRemembered) refused_hashes_.pop_front();
}

std::int64_t ClipboardWatcher::check_clipboard(bool force) {
    if (!enabled_) return 0;
    ClipboardSnapshot snap = winutil::read_clipboard();
    const std::int64_t id = decide(snap, force, nullptr);
    if (snap.opened) {
        last_sequence_ = snap.sequence;
        has_last_sequence_ = true;
    }
    return id;
}

std::int64_t ClipboardWatcher::check_snapshot(const ClipboardSnapshot& snap, bool force) {
    ClipboardSnapshot copy = snap;
    return decide(copy, force, nullptr);
}

std::int64_t ClipboardWatcher::check_snapshot(ClipboardSnapshot&& snap, bool force) {
    return decide(snap, force, nullptr);
}

std::int64_t ClipboardWatcher::decide(ClipboardSnapshot& snap, bool force, ClipboardRead* read) {
    if (!enabled_) return 0;
    // A bitmap too large to read counts as a bitmap without a hash: it is
    // new whenever the clipboard is.
    const bool has_bitmap = snap.has_bitmap();
    const bool has_bytes = !snap.dib.empty();
    if (snap.text.empty() && !has_bitmap) return 0;

    const std::uint64_t hash = !has_bytes ? 0 : read ? read->hash : image_hash(snap.dib);
    const TextFingerprint text_mark = read ? read->text_mark : text_fingerprint(snap.text);
    const double t = now();

    // The program's own screenshot or image paste.
    if (has_bytes && own_image_pending_) {
        if (hash == own_image_hash_) {
            last_image_hash_ = hash;
            has_last_image_hash_ = true;
            own_image_pending_ = false;
            return 0;
        }
        if (t > own_image_deadline_) own_image_pending_ = false;
    }

    // Nothing new since the last look.
    if (!force) {
        if (has_bytes) {
            if (has_last_image_hash_ && hash == last_image_hash_) return 0;
        } else if (!has_bitmap && !snap.text.empty() && text_mark == last_text_) {
            return 0;
        }
    }

    // Seen from here on, even when a later step drops it.
    last_text_ = text_mark;
    if (has_bytes) {
        last_image_hash_ = hash;
        has_last_image_hash_ = true;
    }

    if (!filters_loaded_ || static_cast<int>(t) - last_filter_reload_ > 1) reload_filters();
    if ((filter_mode_ == L"whitelist" || filter_mode_ == L"blacklist") && !filter_apps_.empty()) {
        const std::wstring& owner = snap.owner_app;
        if (winutil::is_app_blocked(filter_mode_, filter_apps_, owner)) return 0;
        const std::wstring fg = winutil::foreground_process_name();
        if (fg != owner && winutil::is_app_blocked(filter_mode_, filter_apps_, fg)) return 0;
    }

    // Privacy: marked content never, with or without a bitmap; card numbers
    // in text-only copies.
    if (snap.excluded) return 0;
    if (!has_bitmap && looks_like_card_number(snap.text)) return 0;

    // The image bytes by the size rule. A bitmap refused once is not
    // converted again; its copy goes on with its text alone, as it did.
    std::vector<std::uint8_t> image;
    if (has_bytes) {
        if (read && read->prepared) {
            image = std::move(read->image);
        } else if (read && read->refused) {
            remember_refused(hash);
        } else if (!is_refused(hash) &&
                   !winutil::prepare_image_for_storage(snap.dib, kStoredImageLimit, image)) {
            remember_refused(hash);
        }
    }

    // A bitmap the program cannot draw is no image: the copy is kept as
    // its text alone.
    bool keeps_bitmap = has_bitmap;
    if (has_bytes && image.empty() && !winutil::image_bytes_keepable(snap.dib)) {
        keeps_bitmap = false;
        if (looks_like_card_number(snap.text)) return 0;
    }

    const std::wstring& app = snap.owner_app;
    const bool is_browser = winutil::is_browser_process(app);
    std::wstring page_title, page_url;
    if (is_browser) {
        winutil::get_browser_page_info(page_title, page_url);
        if (page_url.empty()) page_url = html_source_url_bytes(snap.html);
    }

    PendingCapture capture;
    capture.text = std::move(snap.text);
    snap.text.clear();
    capture.rtf = std::move(snap.rtf);
    capture.html = std::move(snap.html);
    capture.image = std::move(image);
    capture.source_app = app;
    capture.is_image = keeps_bitmap;
    capture.repeat = settings_.repeat_on_copy;
    capture.category = hooks_.capture_category ? hooks_.capture_category() : std::optional<std::int64_t>();
    capture.page_title = std::move(page_title);
    capture.page_url = std::move(page_url);
    capture.is_browser = is_browser;
    capture.copied_at = now_iso_timestamp();
    return store_capture(std::move(capture));
}

std::int64_t ClipboardWatcher::store_capture(PendingCapture&& capture) {
    // Those kept earlier go first.
    store_waiting_captures();
    if (!waiting_.empty()) {
        if (!waiting_.push(std::move(capture))) {
            if (exiting_)
                ++refused_at_exit_;
            else if (hooks_.store_failed)
                hooks_.store_failed();
        }
        return 0;
    }
    std::int64_t id = 0;
    const CaptureWrite result = write_capture(capture, true, &id);
    waiting_.note_result(result, now());
    if (result == CaptureWrite::busy) waiting_.push(std::move(capture));
    return id;
}

void ClipboardWatcher::store_waiting_captures() {
    if (waiting_.empty()) return;
    keep_reading();
    write_waiting_slice(kSliceStoreMs, false);
    if (waiting_.take_tell(now()) && hooks_.store_busy) hooks_.store_busy();
}

bool ClipboardWatcher::writing_waiting_captures() const {
    return !exiting_ && !waiting_.empty() && waiting_.store_takes_writes();
}

std::size_t ClipboardWatcher::write_waiting_slice(double store_ms, bool at_once) {
    std::vector<CapturedItem> stored;
    const std::size_t left = waiting_.drain_batch(
        [&](const std::vector<PendingCapture*>& batch) { return write_batch(batch, store_ms, stored); },
        kSliceBytes, now(), at_once);
    if (stored.empty()) return left;
    // One sound, and one notice when the owner takes them together.
    if (settings_.sound_on_copy) winutil::play_copy_sound(settings_.sound_copy_id);
    if (hooks_.captured_batch) {
        hooks_.captured_batch(stored);
    } else if (hooks_.captured) {
        for (const CapturedItem& item : stored) hooks_.captured(item);
    }
    return left;
}

std::vector<CaptureWrite> ClipboardWatcher::write_batch(const std::vector<PendingCapture*>& batch, double store_ms,
                                                        std::vector<CapturedItem>& stored) {
    const std::vector<const NewEntry*> entries(batch.begin(), batch.end());
    const std::vector<Database::CapturedWrite> written = db_.add_entries(entries, store_ms);
    std::vector<CaptureWrite> results;
    for (std::size_t i = 0; i < written.size() && i < batch.size(); ++i) {
        const Database::CapturedWrite& w = written[i];
        if (w.id != 0) {
            CapturedItem item = complete_capture(*batch[i], w.id);
            if (!exiting_) stored.push_back(std::move(item));
            results.push_back(CaptureWrite::stored);
        } else if (w.busy) {
            results.push_back(CaptureWrite::busy);
            break;
        } else if (!w.failed) {
            results.push_back(CaptureWrite::stored);  // nothing to store
        } else {
            note_refused();
            results.push_back(CaptureWrite::failed);
        }
    }
    return results;
}

void ClipboardWatcher::note_refused() {
    if (exiting_)
        ++refused_at_exit_;
    else if (hooks_.store_failed)
        hooks_.store_failed();
}

CaptureWrite ClipboardWatcher::write_capture(PendingCapture& c, bool announce, std::int64_t* stored_id) {
    bool failed = false;
    bool busy = false;
    const std::int64_t id = db_.add_entry(c, &failed, &busy);
    if (stored_id) *stored_id = id;
    if (id == 0) {
        if (busy) return CaptureWrite::busy;
        if (!failed) return CaptureWrite::stored;  // nothing to store
        if (announce) note_refused();
        return CaptureWrite::failed;
    }
    if (announce) {
        CapturedItem item = complete_capture(c, id);
        if (!exiting_) announce_capture(item);
    }
    return CaptureWrite::stored;
}

std::size_t ClipboardWatcher::store_before_exit(double seconds) {
    const double deadline = now() + seconds;
    if (!exiting_) {
        exiting_ = true;
        if (listening_ && IsWindow(main_)) RemoveClipboardFormatListener(main_);
        listening_ = false;
        if (reader_) {
            // The read under way ends; what the thread read is decided in
            // order, as the main window would have.
            constexpr DWORD kLastReadMs = 1000;
            reader_->finish_reads(kLastReadMs);
            for (std::size_t i = 0; reader_->busy() && i <= ClipboardReader::kMaxQueued; ++i) take_finished_read();
        }
    }
    for (bool first = true;; first = false) {
        // Nothing waits for the window here: larger slices, up to the
        // deadline (one slice at least).
        if (!waiting_.empty() && (first || now() < deadline)) {
            const double left_ms = (deadline - now()) * 1000.0;
            if (write_waiting_slice(std::clamp(left_ms, kSliceStoreMs, 1000.0), true) > 0) continue;
        }
        if (waiting_.empty() || now() >= deadline) break;
        // Each try waits the store's busy time-out first.
        constexpr DWORD kRetryMs = 150;
        Sleep(kRetryMs);
    }
    return waiting_.size() + refused_at_exit_;
}

CapturedItem ClipboardWatcher::complete_capture(PendingCapture& c, std::int64_t id) {
    CapturedItem item;
    item.id = id;
    // At exit the entry is only completed: no window takes a title or a
    // notice any more.
    if (exiting_) {
        item.image_path = save_image_file(c, id);
        return item;
    }
    if (is_web_url(c.text) && main_ && IsWindow(main_)) start_link_title_fetch(main_, id, c.text);

    // The text is held once from here: moved into the item, with a label of
    // its start only.
    item.text = std::move(c.text);
    c.text.clear();
    item.has_bitmap = c.is_image;
    if (item.text.empty()) {
        item.label = kClipboardImageLabel;
    } else {
        item.label.assign(item.text, 0, pair_safe_length(item.text, kCapturedLabelLimit));
    }

    item.image_path = save_image_file(c, id);
    return item;
}

void ClipboardWatcher::announce_capture(const CapturedItem& item) {
    if (settings_.sound_on_copy) winutil::play_copy_sound(settings_.sound_copy_id);
    if (hooks_.captured) hooks_.captured(item);
}

std::wstring ClipboardWatcher::save_image_file(const PendingCapture& c, std::int64_t id) {
    if (!settings_.clipboard_images_autosave || c.image.empty() || !c.is_image) return {};
    std::wstring folder = settings_.screenshot_folder;
    if (folder.empty()) folder = winutil::screenshots_dir();
    std::wstring path;
    if (folder.empty() || !winutil::save_png_file(folder, kClipboardImageBaseWord, c.image, path) ||
        !db_.set_image_path(id, path))
        return {};
    return path;
}
