// The queue of captures waiting for the store.
#include "capture/capture_queue.h"

#include <algorithm>
#include <utility>

bool CaptureQueue::push(PendingCapture&& capture) {
    const std::size_t size = capture.bytes();
    if (!waiting_.empty() &&
        (waiting_.size() >= kMaxCaptures || bytes_ >= kMaxBytes || size > kMaxBytes - bytes_))
        return false;
    bytes_ += size;
    waiting_.push_back(Waiting{std::move(capture), size});
    return true;
}

void CaptureQueue::drain(const std::function<CaptureWrite(PendingCapture&)>& write, double now, bool at_once) {
    if (!at_once && last_refusal_ && now - *last_refusal_ < kRetrySpacingSeconds) return;
    while (!waiting_.empty()) {
        const CaptureWrite result = write(waiting_.front().capture);
        note_result(result, now);
        if (result == CaptureWrite::busy) return;
        bytes_ -= waiting_.front().bytes;
        waiting_.pop_front();
    }
}

std::size_t CaptureQueue::drain_batch(const BatchWrite& write, std::size_t max_bytes, double now, bool at_once) {
    if (waiting_.empty() || (!at_once && last_refusal_ && now - *last_refusal_ < kRetrySpacingSeconds)) return 0;
    std::vector<PendingCapture*> batch;
    std::size_t bytes = 0;
    for (Waiting& w : waiting_) {
        if (!batch.empty() && w.bytes > max_bytes - std::min(bytes, max_bytes)) break;
        bytes += w.bytes;
        batch.push_back(&w.capture);
    }
    const std::vector<CaptureWrite> results = write(batch);
    std::size_t left = 0;
    for (std::size_t i = 0; i < results.size() && i < batch.size(); ++i) {
        note_result(results[i], now);
        if (results[i] == CaptureWrite::busy) break;
        bytes_ -= waiting_.front().bytes;
        waiting_.pop_front();
        ++left;
    }
    return left;
}

void CaptureQueue::note_result(CaptureWrite result, double now) {
    if (result != CaptureWrite::busy) {
        refused_since_.reset();
        last_refusal_.reset();
        told_ = false;
        return;
    }
    if (!refused_since_) refused_since_ = now;
    last_refusal_ = now;
}

bool CaptureQueue::take_tell(double now) {
    if (told_ || !refused_since_ || waiting_.empty() || now - *refused_since_ <= kTellAfterSeconds) return false;
    told_ = true;
    return true;
}
