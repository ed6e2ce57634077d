// The main window's actions that put history entries and templates on the
// clipboard: paste (the clipboard is written, the window the user came from
// is brought back to the front and Ctrl+V injected into it), paste of
// several rows, plain and transformed paste, copy without pasting, and the
// click-to-copy gesture.
//
// The actions are plain functions over a PasteContext that the main window
// fills for each call: the store, the watcher, the settings, its own window,
// the remembered paste target, and the selected row keys with the listed
// entries and templates they are looked up in (the store is read for the
// whole text and the RTF, HTML and image bytes of an entry listed without
// them, through read_whole_entry). Everything runs on the interface thread except the paste thread,
// which owns its PasteJob and only posts WM_APP+4 to the main window.
//
// Every clipboard write here tells the watcher first: the text written, and
// for an image the exact bitmap bytes placed on the clipboard, so that the
// program never records its own paste or copy.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "store/records.h"

class Database;
class ClipboardWatcher;
struct Settings;

// What a paste thread owns.
struct PasteJob {
    HWND target = nullptr;    // the window to paste into; null when none is known
    HWND main = nullptr;      // the main window, to which WM_APP+4 is posted
    bool reactivate = false;  // post WM_APP+4 after pasting (close-on-paste off)
};

// Milliseconds of the paste thread's steps.
inline constexpr DWORD kPasteFirstWaitMs = 60;
inline constexpr DWORD kPasteFrontWaitMs = 80;
inline constexpr DWORD kPasteReactivateWaitMs = 200;

// The paste thread's body: 60 ms; the target brought to the front when there
// is one; 80 ms; Ctrl+V (sent even without a target, into whatever window
// has the focus); with reactivate, 200 ms and WM_APP+4 to the main window.
void run_paste_job(PasteJob job);
// Starts run_paste_job on a detached thread.
void start_paste_thread(const PasteJob& job);

// The paste target: the remembered window when it is non-null, still a
// window and not the main window itself; otherwise null.
HWND current_paste_target(HWND remembered, HWND main);

// Texts of several rows joined by CR LF: empty pieces are skipped and no
// separator stands at either end.
class JoinedLines {
public:
    void add(const std::wstring& piece);
    const std::wstring& text() const { return text_; }

private:
    std::wstring text_;
    bool first_ = true;
};

// A template's body with its placeholders expanded.
std::wstring template_display_text(const Snippet& snippet);

// What an action acts on and whom it tells.
struct PasteContext {
    Database* db = nullptr;
    ClipboardWatcher* watcher = nullptr;
    const Settings* settings = nullptr;  // hide_on_copy, sound_on_paste, sound_paste_id, click_to_copy
    HWND main_window = nullptr;
    HWND remembered_target = nullptr;  // the App's paste target
    bool close_on_paste = true;        // the main window's copy of the setting
    bool trash_view = false;
    std::vector<std::int64_t> selected;                   // row keys of the selected rows, in list order
    const std::vector<HistoryEntry>* entries = nullptr;   // the listed entries
    const std::vector<Snippet>* templates = nullptr;      // the listed templates
};

// The listed entry of an id above 0, or null.
const HistoryEntry* find_listed_entry(const PasteContext& ctx, std::int64_t key);
// The listed template of a template key (below 0, above the group headers), or null.
const Snippet* find_listed_template(const PasteContext& ctx, std::int64_t key);

// Puts a history entry that has its payload on the clipboard: image bytes
// with the entry's own text; else text, RTF and HTML when it has RTF or
// HTML; else its text alone. The watcher is told the bitmap bytes written
// for an image (its text is the caller's to tell). True when the clipboard
// took everything.
bool put_entry_on_clipboard(const HistoryEntry& entry, ClipboardWatcher* watcher);

// The paste's and copy's write of a listed entry: its whole text and its
// payload read through read_whole_entry (ui/whole_text.h), the watcher told
// the text (tr("card.image") for an image without text), then
// put_entry_on_clipboard. False, with the clipboard untouched and the user
// told in a box over tell_owner, when they cannot be read.
bool write_entry_to_clipboard(const HistoryEntry& entry, Database* db, ClipboardWatcher* watcher, HWND tell_owner);

// Paste of the selection: several selected rows go to on_paste_multiple;
// one template or history row is written, its use counted, and pasted.
// True when a paste thread was started.
bool on_paste_selected(const PasteContext& ctx);
// The texts of all selected rows joined by CR LF, each found row's use
// counted; nothing in the trash view or when the joined text is empty.
bool on_paste_multiple(const PasteContext& ctx);
// The single selected history entry's text only (not for images).
bool paste_selected_plain(const PasteContext& ctx);
// The single selected history entry's text after transform_text with
// transform 0..6 (not for images).
bool paste_selected_transformed(const PasteContext& ctx, int transform);
// Puts the text on the clipboard, hides the main window when close-on-paste
// is on and starts the paste thread. Tells the watcher nothing and plays no
// sound: its callers do both first.
void paste_text_to_window(const PasteContext& ctx, const std::wstring& text);

// One row on the clipboard without pasting; true when the row was found and
// written. A template's use is counted, a history entry's is not.
bool copy_entry_to_clipboard(const PasteContext& ctx, std::int64_t key);
// The selected rows on the clipboard (several joined by CR LF); the main
// window is hidden afterwards when hide_on_copy is on. True when something
// was written.
bool copy_selected(const PasteContext& ctx);

// --- click-to-copy ---------------------------------------------------------------

// Timer of the cards list window that ends the wait for a second click.
inline constexpr UINT_PTR kClickCopyTimer = 19523;
inline constexpr UINT kClickCopyMs = 250;

// Settings click_to_copy; false without settings.
bool click_to_copy_enabled(const Settings* settings);

// Whether a left button press on a row arms the timer: click_to_copy on, not
// the trash view, neither Ctrl nor Shift held, and a row that is not a
// group header (key 0 is no row).
bool should_arm_click_copy(bool click_to_copy, bool trash_view, bool ctrl_down, bool shift_down,
                           std::int64_t row_key);

// The pending click of the cards list.
class ClickCopy {
public:
    // Remembers the key and starts the timer on the cards list window.
    void arm(HWND cards, std::int64_t key);
    // Forgets the key and kills the timer.
    void cancel(HWND cards);
    // The pending key, cleared (0 when none).
    std::int64_t take();
    std::int64_t pending() const { return pending_; }

private:
    std::int64_t pending_ = 0;
};

// The timer's expiry with the key taken from ClickCopy: copies the row when
// it is still the single selected row. True when it was copied (the caller
// shows the toast); the window is never hidden here.
bool on_click_copy_timer(const PasteContext& ctx, std::int64_t pending_key);
