// Captures that met a store held by another program's write, kept in order
// until the store takes writes again.
//
// Plain data and logic, no window and no store: the watcher hands the
// writing in as a function, and the clock as seconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/records.h"

// Everything a capture stores, held until it is written.
using PendingCapture = NewEntry;

// What became of one write.
enum class CaptureWrite {
    stored,   // in the store (or nothing to store)
    busy,     // another connection holds the store: to be tried again
    failed,   // the store refused it for another reason: not tried again
};

class CaptureQueue {
public:
    // At most this many captures, or this many bytes, wait at once; the
    // first one always may, however large.
    static constexpr std::size_t kMaxCaptures = 200;
    static constexpr std::size_t kMaxBytes = 64u * 1024 * 1024;
    // Writes refused this long in a row are told to the user.
    static constexpr double kTellAfterSeconds = 3.0;
    // A busy store is tried again this long after its last refusal at the
    // earliest, however often drain is called: each try may hold the
    // interface thread for the store's busy time-out.
    static constexpr double kRetrySpacingSeconds = 0.25;

    bool empty() const { return waiting_.empty(); }
    std::size_t size() const { return waiting_.size(); }
    std::size_t bytes() const { return bytes_; }

    // Keeps a capture behind those waiting; false, keeping nothing, when it
    // would pass the bound.
    bool push(PendingCapture&& capture);

    // Writes the waiting captures oldest first until one meets a busy store:
    // that one stays first and the rest wait behind it. Every capture that
    // leaves the queue was stored or failed for good; write may take its
    // contents once it is written. now: the clock. Nothing is tried sooner
    // than kRetrySpacingSeconds after a refusal, unless at_once.
    void drain(const std::function<CaptureWrite(PendingCapture&)>& write, double now, bool at_once = false);

    // One write of several waiting captures: write gets the oldest ones in
    // order, at most max_bytes of them (counted as push counts them; the
    // first always), and returns what became of as many of the first as it
    // wrote. Those stored or refused for good leave the queue; a busy one
    // stays first with the rest behind it. The same spacing after a refusal
    // as drain. How many left the queue.
    using BatchWrite = std::function<std::vector<CaptureWrite>(const std::vector<PendingCapture*>&)>;
    std::size_t drain_batch(const BatchWrite& write, std::size_t max_bytes, double now, bool at_once = false);
    // The store took the last write: what still waits may be written at once.
    bool store_takes_writes() const { return !last_refusal_; }

    // The clock of refused writes: a busy store starts it, a write it took
    // (or refused for another reason) stops it.
    void note_result(CaptureWrite result, double now);
    // True once per run of refusals, when it has lasted longer than
    // kTellAfterSeconds and captures still wait.
    bool take_tell(double now);

private:
    struct Waiting {
        PendingCapture capture;
        std::size_t bytes = 0;  // as counted when it came
    };
    std::deque<Waiting> waiting_;
    std::size_t bytes_ = 0;
    std::optional<double> refused_since_;
    std::optional<double> last_refusal_;
    bool told_ = false;
};
