// What a salvage keeps of one history row read from a damaged file.
#pragma once

#include <cstddef>

// What read of the row's text and image.
struct SalvagedRowFacts {
    bool text_read = false;       // the text column read (NULL reads as "")
    std::size_t text_units = 0;   // its UTF-16 units once trimmed (trimmed_text_units)
    bool image_read = false;      // the image column read (bytes or none)
    bool image_present = false;   // it holds bytes
    bool image_keepable = false;  // bytes a capture keeps (image_bytes_keepable)
};

enum class SalvageKeep {
    Drop,      // no longer an entry: counted as not read
    AsRead,    // the columns that read, the others at their defaults
    TextOnly,  // as read, but a text entry: no image, is_image 0
};

// A row is kept when it still holds what a capture would store (a keepable
// image, or a text of at least two characters after trimming); an image
// that did not read or is not keepable leaves a text entry.
SalvageKeep salvage_history_row(const SalvagedRowFacts& row);
