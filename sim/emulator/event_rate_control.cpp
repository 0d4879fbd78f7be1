#include "event_rate_control.h"

#include <algorithm>

namespace orvane::sim {

namespace {

constexpr uint64_t kWindowUs = 1000;

// Slice k holds the time stamps (k ms, k + 1 ms], as the sensor's steps do.
uint64_t slice_of(uint64_t t_us) { return (t_us - 1) / kWindowUs; }

uint64_t cap_of(const EventRateControlSettings& settings) { return settings.max_event_rate / 1000; }

}  // namespace

void EventRateControl::reserve(const EventRateControlSettings& settings) {
    kept_.reserve(cap_of(settings));
}

void EventRateControl::reset() noexcept {
    kept_.clear();
    oldest_ = 0;
    in_slice_ = false;
}

void EventRateControl::control(const EventRateControlSettings& settings,
                               std::vector<Event2D>& events, std::size_t later) noexcept {
    if (cap_of(settings) != cap_) {
        reset();
        cap_ = cap_of(settings);
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event2D event = events[i];
        const uint64_t slice = slice_of(event.t);
        if (!in_slice_ || slice != slice_) {
            // The share of a slice comes from its own events: those here and,
            // for the last slice, those that the next call will get.
            std::size_t end = i;
            while (end < events.size() && slice_of(events[end].t) == slice) {
                ++end;
            }
            slice_ = slice;
            in_slice_ = true;
            slice_count_ = end - i + (end == events.size() ? later : 0);
            slice_quota_ = std::min(slice_count_, cap_);
            slice_seen_ = 0;
        }
        if (keeps(event)) {
            events[kept++] = event;
        }
    }
    events.resize(kept);
}

bool EventRateControl::keeps(const Event2D& event) noexcept {
    // The n-th event is kept when the share reaches a new whole event, which
    // spaces the kept ones evenly.
    const uint64_t seen = slice_seen_++;
    if ((seen + 1) * slice_quota_ / slice_count_ == seen * slice_quota_ / slice_count_) {
        return false;
    }
    // A full window: the event passes only once the oldest kept event has left it.
    if (kept_.size() == cap_) {
        if (cap_ == 0 || kept_[oldest_] + kWindowUs > event.t) {
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
