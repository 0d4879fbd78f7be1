#include "event_rate_control.h"

#include <algorithm>

namespace orvane::sim {

namespace {

constexpr uint64_t kWindowUs = 1000;

}  // namespace

void EventRateControl::apply(const EventRateControlSettings& settings,
                             std::vector<Event2D>& events) {
    if (!settings.enabled) {
        kept_in_window_.clear();
        keep_share_ = 1.0;
        return;
    }
    const uint64_t cap = settings.max_event_rate / 1000;
    std::size_t kept = 0;
    for (const Event2D& event : events) {
        const uint64_t slice = event.t / kWindowUs;
        if (slice != slice_) {
            const uint64_t previous_count = slice == slice_ + 1 ? slice_count_ : 0;
            keep_share_ = previous_count > cap ? static_cast<double>(cap) / previous_count : 1.0;
            slice_ = slice;
            slice_count_ = 0;
        }
        ++slice_count_;
        kept_credit_ += keep_share_;
        if (kept_credit_ < 1.0) {
            continue;
        }
        kept_credit_ -= 1.0;
        while (!kept_in_window_.empty() && kept_in_window_.front() + kWindowUs <= event.t) {
            kept_in_window_.pop_front();
        }
        if (kept_in_window_.size() >= cap) {
            continue;
        }
        kept_in_window_.push_back(event.t);
        events[kept++] = event;
    }
    events.resize(kept);
}

}  // namespace orvane::sim
