// The cards' thumbnails: one bitmap per history entry, made on first use
// and kept until the entry leaves the list, so drawing a card never decodes
// image bytes again. A thumbnail that could not be made is remembered too
// (as null) and not tried again.
//
// The main window owns one cache: the card drawing asks get (id, image
// bytes, 42); every history refresh calls prune with the listed ids (done
// by load_list); release_resources calls clear. Interface thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "core/handles.h"

class ThumbnailCache {
public:
    // Makes a new bitmap of the image bytes fitting size x size, or null.
    using Maker = std::function<HBITMAP(const std::vector<std::uint8_t>& image, int size)>;

    // The default maker is winutil::image_thumbnail without forced scaling.
    ThumbnailCache();
    explicit ThumbnailCache(Maker maker);
    ThumbnailCache(const ThumbnailCache&) = delete;
    ThumbnailCache& operator=(const ThumbnailCache&) = delete;

    // Reads the image bytes of an entry whose list came without them.
    using Source = std::function<std::vector<std::uint8_t>(std::int64_t id)>;
    void set_source(Source source) { source_ = std::move(source); }

    // The cached bitmap of the id (even a null one); otherwise a new one is
    // made of the image bytes (read from the source when none are given),
    // kept under the id and returned. The cache keeps ownership.
    HBITMAP get(std::int64_t id, const std::vector<std::uint8_t>& image, int size);

    // True when the id has a cached entry (null or not).
    bool contains(std::int64_t id) const { return items_.count(id) != 0; }

    // Deletes the bitmaps of every id that is not listed.
    void prune(const std::vector<std::int64_t>& listed_ids);

    // Deletes every bitmap.
    void clear() { items_.clear(); }

    std::size_t size() const { return items_.size(); }
    // How many thumbnails were made (or tried) since the cache was built.
    std::size_t made_count() const { return made_; }

private:
    Maker maker_;
    Source source_;
    std::unordered_map<std::int64_t, raii::Bitmap> items_;
    std::size_t made_ = 0;
};
