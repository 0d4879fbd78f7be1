#include "event_rate_control.h"

namespace orvane::sim {

namespace {

constexpr uint64_t kWindowUs = 1000;

}  // namespace

void EventRateControl::reset() {
    kept_.clear();
    oldest_ = 0;
    keep_share_ = 1.0;
    slice_count_ = 0;
}

void EventRateControl::configure(const EventRateControlSettings& settings) {
    if (settings.max_event_rate / 1000 != cap_) {
        reset();
        cap_ = settings.max_event_rate / 1000;
    }
}

bool EventRateControl::keeps(const Event2D& event) {
    const uint64_t slice = event.t / kWindowUs;
    if (slice != slice_) {
        const uint64_t previous_count = slice == slice_ + 1 ? slice_count_ : 0;
        keep_share_ = previous_count > cap_ ? static_cast<double>(cap_) / previous_count : 1.0;
        slice_ = slice;
        slice_count_ = 0;
    }
    ++slice_count_;
    kept_credit_ += keep_share_;
    if (kept_credit_ < 1.0) {
        return false;
    }
    kept_credit_ -= 1.0;
    // A full window: the event passes only once the oldest kept event has left it.
    if (kept_.size() == cap_) {
        if (kept_[oldest_] + kWindowUs > event.t) {
            return false;
        }
        kept_[oldest_] = event.t;
        oldest_ = (oldest_ + 1) % cap_;
        return true;
    }
    kept_.push_back(event.t);
    return true;
}

}  // namespace orvane::sim
