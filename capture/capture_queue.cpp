// The queue of captures waiting for the store.
#include "capture/capture_queue.h"

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
