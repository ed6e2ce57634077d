// A watcher over a real store in a temporary folder, for the watcher tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "capture/watcher.h"
#include "core/settings.h"
#include "store/database.h"
#include "tests/store/store_fixture.h"

namespace capture_test {

class WatcherTest : public ::testing::Test {
protected:
    WatcherTest() : db_path_(dir_.file(L"quillet.db")), db_(db_path_) {
        settings_.sound_on_copy = false;
        make_watcher();
    }

    void make_watcher() {
        ClipboardWatcher::Hooks hooks;
        hooks.capture_category = [this] { return category_; };
        hooks.captured = [this](const CapturedItem& item) { captured_.push_back(item); };
        watcher_ = std::make_unique<ClipboardWatcher>(db_, settings_, hooks);
    }

    // Every stored entry, oldest first.
    std::vector<HistoryEntry> entries() {
        std::vector<HistoryEntry> all = db_.list_entries(L"every", false, false);
        std::reverse(all.begin(), all.end());
        return all;
    }

    store_test::TempDir dir_;
    std::wstring db_path_;
    Database db_;
    Settings settings_;
    std::optional<std::int64_t> category_;
    std::vector<CapturedItem> captured_;
    std::unique_ptr<ClipboardWatcher> watcher_;
};

}  // namespace capture_test
