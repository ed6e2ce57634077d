#include "ui/thumbnail_cache.h"

#include <unordered_set>

#include "capture/image.h"

ThumbnailCache::ThumbnailCache()
    : maker_([](const std::vector<std::uint8_t>& image, int size) {
          return winutil::image_thumbnail(image, size, size, false);
      }) {}

ThumbnailCache::ThumbnailCache(Maker maker) : maker_(std::move(maker)) {}

HBITMAP ThumbnailCache::get(std::int64_t id, const std::vector<std::uint8_t>& image, int size) {
    auto it = items_.find(id);
    if (it != items_.end()) return it->second.get();
    HBITMAP made = nullptr;
    if (maker_ && !image.empty()) {
        made = maker_(image, size);
    } else if (maker_ && source_) {
        const std::vector<std::uint8_t> read = source_(id);
        if (!read.empty()) made = maker_(read, size);
    }
    ++made_;
    return items_.emplace(id, raii::Bitmap(made)).first->second.get();
}

void ThumbnailCache::prune(const std::vector<std::int64_t>& listed_ids) {
    if (items_.empty()) return;
    std::unordered_set<std::int64_t> listed(listed_ids.begin(), listed_ids.end());
    for (auto it = items_.begin(); it != items_.end();) {
        if (listed.count(it->first))
            ++it;
        else
            it = items_.erase(it);
    }
}
