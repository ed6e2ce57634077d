#include "ui/whole_text.h"

#include "core/i18n.h"
#include "store/database.h"
#include "ui/message_boxes.h"

std::optional<HistoryEntry> read_whole_entry(Database* db, const HistoryEntry& listed, bool with_payload) {
    const bool text_held = listed.text_state == TextState::Whole;
    const bool payload_held = !with_payload || !listed.payload_deferred;
    if (text_held && payload_held) return listed;
    if (!db) return std::nullopt;
    HistoryEntry entry = listed;
    if (!payload_held && !db->load_payload(entry)) return std::nullopt;
    if (!text_held && !db->load_whole_text(entry)) return std::nullopt;
    if (entry.text_state != TextState::Whole) return std::nullopt;
    return entry;
}

void tell_text_unreadable(HWND owner) {
    show_message(owner && IsWindow(owner) ? owner : nullptr, tr(L"title.main"), tr(L"message.text_unreadable"));
}

std::optional<HistoryEntry> whole_entry_or_tell(Database* db, const HistoryEntry& listed, bool with_payload,
                                                HWND owner) {
    std::optional<HistoryEntry> entry = read_whole_entry(db, listed, with_payload);
    if (!entry) tell_text_unreadable(owner);
    return entry;
}
