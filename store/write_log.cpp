// The log of the rows one connection writes.
#include "store/write_log.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include <sqlite3.h>

void WriteLog::on_row_written(void* self, int, const char*, const char* table, long long rowid) {
    // Called inside the writing statement, whose caller holds the store's lock.
    WriteLog& log = *static_cast<WriteLog*>(self);
    if (std::strcmp(table, "history") != 0) {
        ++log.others_;
        return;
    }
    if (log.ids_.size() >= kMaxRows) {
        log.base_ += log.ids_.size();
        log.ids_.clear();
    }
    log.ids_.push_back(static_cast<std::int64_t>(rowid));
}

void WriteLog::attach(sqlite3* connection, std::int64_t data_version) {
    if (!connection) {
        return;
    }
    void* previous = sqlite3_update_hook(connection, &WriteLog::on_row_written, this);
    // The hook sees this connection's writes only. What another connection
    // (another program on the same file) commits moves the file's data
    // version instead, and then what was written is not known either.
    if (previous == this && hooked_ == connection && data_version >= 0 && data_version == data_version_) {
        return;
    }
    static std::atomic<std::uint64_t> epochs{0};
    data_version_ = data_version;
    hooked_ = connection;
    epoch_ = ++epochs;
    base_ = 0;
    ids_.clear();
    others_ = 0;
}

WriteMark WriteLog::mark(const sqlite3* connection) const {
    WriteMark m;
    if (!connection || hooked_ != connection) {
        return m;
    }
    m.epoch = epoch_;
    m.rows = base_ + ids_.size();
    m.others = others_;
    return m;
}

bool WriteLog::writes_since(const WriteMark& mark, const sqlite3* connection, std::vector<std::int64_t>& ids,
                            bool* others_written) const {
    ids.clear();
    const WriteMark now = this->mark(connection);
    if (mark.epoch == 0 || now.epoch != mark.epoch || mark.rows < base_ || mark.rows > now.rows) {
        return false;
    }
    if (others_written) {
        *others_written = now.others != mark.others;
    }
    const std::size_t from = static_cast<std::size_t>(mark.rows - base_);
    ids.assign(ids_.begin() + static_cast<std::ptrdiff_t>(from), ids_.end());
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return true;
}
