#include "store/salvage_rule.h"

#include "store/entry_rule.h"

SalvageKeep salvage_history_row(const SalvagedRowFacts& row) {
    const bool image = row.image_read && row.image_present && row.image_keepable;
    const std::size_t text_units = row.text_read ? row.text_units : 0;
    if (!holds_an_entry(text_units, image)) {
        return SalvageKeep::Drop;
    }
    if (image || (row.image_read && !row.image_present)) {
        return SalvageKeep::AsRead;
    }
    return SalvageKeep::TextOnly;
}
