// The one read of a listed history entry's whole text. A listed entry holds
// its text not at all (the list has not read it yet), only its start, or
// whole (HistoryEntry::text_state); whatever needs the text itself (paste
// in every form, copy, click-to-copy, edit, the view window, the hint's
// view button, the quick menu) takes it from here, which either gives the
// whole text or refuses: never the start, never an empty text for one not
// read.
#pragma once

#include <windows.h>

#include <optional>

#include "store/records.h"

class Database;

// A copy of the listed entry holding its whole text (text_state Whole) and,
// with_payload, its RTF, HTML and image bytes: read from the store unless
// the entry holds them already. Nothing when they cannot be read (the row
// gone from the store, the store unreadable, no store).
std::optional<HistoryEntry> read_whole_entry(Database* db, const HistoryEntry& listed, bool with_payload);

// read_whole_entry; on a refusal the user is told in a box over owner
// (tr("message.text_unreadable")) before nothing is returned.
std::optional<HistoryEntry> whole_entry_or_tell(Database* db, const HistoryEntry& listed, bool with_payload,
                                                HWND owner);

// Tells the user that an entry's text could not be read.
void tell_text_unreadable(HWND owner);
