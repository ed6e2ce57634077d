// The capture step of the clipboard watcher.
#include "capture/watcher.h"

#include <chrono>

#include "capture/image.h"
#include "capture/image_file.h"
#include "capture/link_title.h"
#include "core/browser_info.h"
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

void ClipboardWatcher::take_current_clipboard_as_seen() {
    const ClipboardSnapshot snap = winutil::read_clipboard();
    last_text_ = snap.text;
    if (!snap.dib.empty()) {
        last_image_hash_ = image_hash(snap.dib);
        has_last_image_hash_ = true;
    }
}

void ClipboardWatcher::start(HWND main) {
    main_ = main;
    enabled_ = settings_.watch_clipboard;
    take_current_clipboard_as_seen();
    ignore_until_ = 0;
    filter_mode_ = L"all";
    last_filter_reload_ = 0;
    filters_loaded_ = false;
    if (main_) listening_ = AddClipboardFormatListener(main_) != FALSE;
}

void ClipboardWatcher::set_enabled(bool on) {
    if (on && !enabled_) take_current_clipboard_as_seen();
    enabled_ = on;
}

void ClipboardWatcher::reload_filters() {
    filter_mode_ = settings_.app_filter_mode;
    filter_apps_ = settings_.app_filter_items();
    last_filter_reload_ = static_cast<int>(now());
    filters_loaded_ = true;
}

void ClipboardWatcher::remember_own_text(const std::wstring& text) {
    last_text_ = text;
    ignore_until_ = now() + 0.5;
}

void ClipboardWatcher::remember_own_image(const std::vector<std::uint8_t>& dib) {
    if (dib.empty()) return;
    own_image_hash_ = image_hash(dib);
    own_image_pending_ = true;
    own_image_deadline_ = now() + 2.0;
}

void ClipboardWatcher::poll() {
    if (enabled_ && now() >= ignore_until_) check_clipboard(false);
}

std::int64_t ClipboardWatcher::check_clipboard(bool force) {
    if (!enabled_) return 0;
    return check_snapshot(winutil::read_clipboard(), force);
}

std::int64_t ClipboardWatcher::check_snapshot(const ClipboardSnapshot& snap, bool force) {
    if (!enabled_) return 0;
    const bool has_bitmap = !snap.dib.empty();
    if (snap.text.empty() && !has_bitmap) return 0;

    const std::uint64_t hash = has_bitmap ? image_hash(snap.dib) : 0;
    const double t = now();

    // The program's own screenshot or image paste.
    if (has_bitmap && own_image_pending_) {
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
        if (has_bitmap) {
            if (has_last_image_hash_ && hash == last_image_hash_) return 0;
        } else if (!snap.text.empty() && snap.text == last_text_) {
            return 0;
        }
    }

    // Seen from here on, even when a later step drops it.
    last_text_ = snap.text;
    if (has_bitmap) {
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

    std::vector<std::uint8_t> image;
    if (has_bitmap) winutil::prepare_image_for_storage(snap.dib, kStoredImageLimit, image);

    const std::wstring& app = snap.owner_app;
    const bool is_browser = winutil::is_browser_process(app);
    std::wstring page_title, page_url;
    if (is_browser) {
        winutil::get_browser_page_info(page_title, page_url);
        if (page_url.empty()) page_url = html_source_url_bytes(snap.html);
    }

    const std::optional<std::int64_t> category =
        hooks_.capture_category ? hooks_.capture_category() : std::optional<std::int64_t>();
    const std::int64_t id = db_.add_entry(snap.text, snap.rtf, snap.html, image, app, has_bitmap,
                                          settings_.repeat_on_copy, category, page_title, page_url, is_browser);
    if (id == 0) return 0;

    if (is_web_url(snap.text) && main_ && IsWindow(main_)) start_link_title_fetch(main_, id, snap.text);

    CapturedItem item;
    item.id = id;
    item.text = snap.text;
    item.has_bitmap = has_bitmap;
    item.label = snap.text.empty() ? std::wstring(kClipboardImageLabel) : snap.text;

    std::wstring folder = settings_.screenshot_folder;
    if (folder.empty()) folder = winutil::screenshots_dir();
    if (!folder.empty() && settings_.clipboard_images_autosave && !image.empty() && has_bitmap) {
        std::wstring path;
        if (winutil::save_png_file(folder, kClipboardImageBaseWord, image, path) && db_.set_image_path(id, path))
            item.image_path = path;
    }

    if (settings_.sound_on_copy) winutil::play_copy_sound(settings_.sound_copy_id);
    if (hooks_.captured) hooks_.captured(item);
    return id;
}
