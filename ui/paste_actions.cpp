// Paste and copy actions of the main window, and the paste thread.
#include "ui/paste_actions.h"

#include <optional>
#include <thread>

#include "app/app_ids.h"
#include "capture/clipboard.h"
#include "capture/watcher.h"
#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/winutil.h"
#include "store/database.h"
#include "ui/list_model.h"
#include "ui/whole_text.h"

// --- the paste thread ------------------------------------------------------------

void run_paste_job(PasteJob job) {
    Sleep(kPasteFirstWaitMs);
    if (job.target) winutil::bring_to_front(job.target);
    Sleep(kPasteFrontWaitMs);
    winutil::send_ctrl_v();
    if (job.reactivate) {
        Sleep(kPasteReactivateWaitMs);
        if (job.main) PostMessageW(job.main, WM_SHOW_MAIN, 0, 0);
    }
}

void start_paste_thread(const PasteJob& job) { std::thread(run_paste_job, job).detach(); }

HWND current_paste_target(HWND remembered, HWND main) {
    if (!remembered || !IsWindow(remembered) || remembered == main) return nullptr;
    return remembered;
}

// --- texts -------------------------------------------------------------------------------

void JoinedLines::add(const std::wstring& piece) {
    if (piece.empty()) return;
    if (!first_) text_ += L"\r\n";
    text_ += piece;
    first_ = false;
}

std::wstring template_display_text(const Snippet& snippet) { return expand_placeholders(snippet.text); }

// --- look-ups ----------------------------------------------------------------------------

const HistoryEntry* find_listed_entry(const PasteContext& ctx, std::int64_t key) {
    if (!is_entry_key(key) || !ctx.entries) return nullptr;
    for (const HistoryEntry& e : *ctx.entries)
        if (e.id == key) return &e;
    return nullptr;
}

const Snippet* find_listed_template(const PasteContext& ctx, std::int64_t key) {
    if (!is_template_key(key) || !ctx.templates) return nullptr;
    for (const Snippet& s : *ctx.templates)
        if (s.id == -key) return &s;
    return nullptr;
}

namespace {

// The text the watcher is told for an entry: an image without text stands
// as the localised image word.
std::wstring own_text_of(const HistoryEntry& entry) {
    return entry.is_image && entry.text.empty() ? tr(L"card.image") : entry.text;
}

void play_sound(const PasteContext& ctx) {
    if (ctx.settings && ctx.settings->sound_on_paste) winutil::play_paste_sound(ctx.settings->sound_paste_id);
}

void hide_main(const PasteContext& ctx) {
    if (ctx.main_window) ShowWindow(ctx.main_window, SW_HIDE);
}

// The last steps of every paste: the target, the hide and the thread.
void launch_paste(const PasteContext& ctx) {
    HWND target = current_paste_target(ctx.remembered_target, ctx.main_window);
    if (ctx.close_on_paste) hide_main(ctx);
    start_paste_thread(PasteJob{target, ctx.main_window, !ctx.close_on_paste});
}

void remember_text(const PasteContext& ctx, const std::wstring& text) {
    if (ctx.watcher) ctx.watcher->remember_own_text(text);
}

// The whole text of a listed entry (a listed entry may hold only its start,
// or no text yet); nothing, the user told, when the store cannot give it.
std::optional<std::wstring> whole_text(const PasteContext& ctx, const HistoryEntry& entry) {
    std::optional<HistoryEntry> whole = whole_entry_or_tell(ctx.db, entry, false, ctx.main_window);
    if (!whole) return std::nullopt;
    return std::move(whole->text);
}

// The joined texts of the selected rows; with count_entries, each found
// history entry's use is counted (a found template's always is). Nothing,
// and no use counted, when a row's whole text cannot be read: a part of the
// selection is not the selection.
std::optional<std::wstring> join_selected(const PasteContext& ctx, bool count_entries) {
    JoinedLines joined;
    std::vector<std::int64_t> templates_used, entries_used;
    for (std::int64_t key : ctx.selected) {
        if (const Snippet* s = find_listed_template(ctx, key)) {
            templates_used.push_back(s->id);
            joined.add(template_display_text(*s));
        } else if (const HistoryEntry* e = find_listed_entry(ctx, key)) {
            std::optional<std::wstring> text = whole_text(ctx, *e);
            if (!text) return std::nullopt;
            entries_used.push_back(e->id);
            joined.add(*text);
        }
    }
    if (ctx.db) {
        for (std::int64_t id : templates_used) ctx.db->increment_snippet_use_count(id);
        if (count_entries)
            for (std::int64_t id : entries_used) ctx.db->increment_use_count(id);
    }
    return joined.text();
}

// A template's text, placeholders filled, on the clipboard; its use counted.
// True when the clipboard took it.
bool write_template_to_clipboard(const PasteContext& ctx, const Snippet& snippet) {
    if (ctx.db) ctx.db->increment_snippet_use_count(snippet.id);
    const std::wstring text = template_display_text(snippet);
    remember_text(ctx, text);
    return winutil::set_clipboard_text(text);
}

// The single selected row when it is a listed entry that is not an image.
const HistoryEntry* single_text_entry(const PasteContext& ctx) {
    if (ctx.selected.size() != 1) return nullptr;
    const HistoryEntry* e = find_listed_entry(ctx, ctx.selected.front());
    return e && !e->is_image ? e : nullptr;
}

bool paste_entry_text(const PasteContext& ctx, const HistoryEntry& entry, const std::wstring& text) {
    remember_text(ctx, text);
    // Nothing is pasted when the clipboard did not take the text.
    if (!winutil::set_clipboard_text(text)) return false;
    if (ctx.db) ctx.db->increment_use_count(entry.id);
    play_sound(ctx);
    launch_paste(ctx);
    return true;
}

}  // namespace

// --- clipboard writes ----------------------------------------------------------------

bool put_entry_on_clipboard(const HistoryEntry& entry, ClipboardWatcher* watcher) {
    if (entry.is_image && !entry.image.empty()) {
        auto remember_image = [watcher](const std::vector<std::uint8_t>& dib) {
            if (watcher) watcher->remember_own_image(dib);
        };
        return winutil::set_clipboard_entry(entry.text, std::string(), std::string(), entry.image, remember_image);
    }
    if (!entry.rtf.empty() || !entry.html.empty())
        return winutil::set_clipboard_entry(entry.text, entry.rtf, entry.html, {});
    return winutil::set_clipboard_text(entry.text);
}

bool write_entry_to_clipboard(const HistoryEntry& entry, Database* db, ClipboardWatcher* watcher, HWND tell_owner) {
    // Read whole before the clipboard is touched: a refusal leaves it as it was.
    std::optional<HistoryEntry> full = whole_entry_or_tell(db, entry, true, tell_owner);
    if (!full) return false;
    if (watcher) watcher->remember_own_text(own_text_of(*full));
    return put_entry_on_clipboard(*full, watcher);
}

// --- paste -------------------------------------------------------------------------------

bool on_paste_selected(const PasteContext& ctx) {
    if (ctx.selected.size() > 1) return on_paste_multiple(ctx);
    if (ctx.selected.size() != 1) return false;
    const std::int64_t key = ctx.selected.front();
    if (key == 0 || is_group_header_key(key)) return false;

    // Nothing is pasted when the clipboard did not take the row: Ctrl+V would
    // paste whatever was there before.
    if (key < 0) {
        const Snippet* s = find_listed_template(ctx, key);
        if (!s || !write_template_to_clipboard(ctx, *s)) return false;
    } else {
        const HistoryEntry* e = find_listed_entry(ctx, key);
        if (!e) return false;
        // A copy: the message box of a refused read runs a message loop.
        const HistoryEntry entry = *e;
        if (!write_entry_to_clipboard(entry, ctx.db, ctx.watcher, ctx.main_window)) return false;
        if (ctx.db) ctx.db->increment_use_count(entry.id);
    }
    play_sound(ctx);
    launch_paste(ctx);
    return true;
}

bool on_paste_multiple(const PasteContext& ctx) {
    if (ctx.selected.empty() || ctx.trash_view) return false;
    const std::optional<std::wstring> joined = join_selected(ctx, true);
    if (!joined || joined->empty()) return false;
    remember_text(ctx, *joined);
    if (!winutil::set_clipboard_text(*joined)) return false;
    play_sound(ctx);
    launch_paste(ctx);
    return true;
}

bool paste_selected_plain(const PasteContext& ctx) {
    const HistoryEntry* e = single_text_entry(ctx);
    if (!e) return false;
    const HistoryEntry entry = *e;
    const std::optional<std::wstring> text = whole_text(ctx, entry);
    return text && paste_entry_text(ctx, entry, *text);
}

bool paste_selected_transformed(const PasteContext& ctx, int transform) {
    if (transform < 0 || transform > 6) return false;
    const HistoryEntry* e = single_text_entry(ctx);
    if (!e) return false;
    const HistoryEntry entry = *e;
    const std::optional<std::wstring> text = whole_text(ctx, entry);
    return text && paste_entry_text(ctx, entry, transform_text(*text, static_cast<unsigned>(transform)));
}

void paste_text_to_window(const PasteContext& ctx, const std::wstring& text) {
    winutil::set_clipboard_text(text);
    launch_paste(ctx);
}

// --- copy ---------------------------------------------------------------------------------

bool copy_entry_to_clipboard(const PasteContext& ctx, std::int64_t key) {
    if (key == 0 || is_group_header_key(key)) return false;
    if (key < 0) {
        const Snippet* s = find_listed_template(ctx, key);
        return s && write_template_to_clipboard(ctx, *s);
    }
    const HistoryEntry* e = find_listed_entry(ctx, key);
    if (!e) return false;
    const HistoryEntry entry = *e;
    return write_entry_to_clipboard(entry, ctx.db, ctx.watcher, ctx.main_window);
}

bool copy_selected(const PasteContext& ctx) {
    if (ctx.selected.empty()) return false;
    const bool hide = ctx.settings && ctx.settings->hide_on_copy;
    if (ctx.selected.size() == 1) {
        if (!copy_entry_to_clipboard(ctx, ctx.selected.front())) return false;
        if (hide) hide_main(ctx);
        return true;
    }
    const std::optional<std::wstring> joined = join_selected(ctx, false);
    if (!joined || joined->empty()) return false;
    remember_text(ctx, *joined);
    if (!winutil::set_clipboard_text(*joined)) return false;
    if (hide) hide_main(ctx);
    return true;
}

// --- click-to-copy ------------------------------------------------------------------------

bool click_to_copy_enabled(const Settings* settings) { return settings && settings->click_to_copy; }

bool should_arm_click_copy(bool click_to_copy, bool trash_view, bool ctrl_down, bool shift_down,
                           std::int64_t row_key) {
    return click_to_copy && !trash_view && !ctrl_down && !shift_down && row_key != 0 &&
           !is_group_header_key(row_key);
}

void ClickCopy::arm(HWND cards, std::int64_t key) {
    pending_ = key;
    if (cards) SetTimer(cards, kClickCopyTimer, kClickCopyMs, nullptr);
}

void ClickCopy::cancel(HWND cards) {
    pending_ = 0;
    if (cards) KillTimer(cards, kClickCopyTimer);
}

std::int64_t ClickCopy::take() {
    const std::int64_t key = pending_;
    pending_ = 0;
    return key;
}

bool on_click_copy_timer(const PasteContext& ctx, std::int64_t pending_key) {
    if (pending_key == 0) return false;
    if (ctx.selected.size() != 1 || ctx.selected.front() != pending_key) return false;
    return copy_entry_to_clipboard(ctx, pending_key);
}
