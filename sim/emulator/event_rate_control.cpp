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

void EventRateControl::control(const EventRateControlSettings& settings, EventBuffer& events,
                               std::size_t later) noexcept {
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
            slice_share_ = 0;
        }
        if (keeps(event)) {
            events[kept++] = event;
        }
    }
    events.truncate(kept);
}

bool EventRateControl::keeps(const Event2D& event) noexcept {
    // The share of the slice's events seen so far, in events, gains quota /
    // count with each one; an event is kept when it reaches a whole event,
    // which spaces the kept ones evenly. Only the fraction is carried, in
    // units of 1 / count.
    slice_share_ += slice_quota_;
    if (slice_share_ < slice_count_) {
        return false;
    }
    slice_share_ -= slice_count_;
    // A full window: the event passes only once the oldest kept event has left it.
    if (kept_.size() == cap_) {
        if (kept_[oldest_] + kWindowUs > event.t) {
            return false;
        }
        kept_[oldest_] = event.t;
        if (++oldest_ == cap_) {
            oldest_ = 0;
        }
        return true;
    }
    kept_.push_back(event.t);
    return true;
}

}  // namespace orvane::sim
