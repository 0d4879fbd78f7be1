#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Event2D.h"
#include "event_buffer.h"

namespace orvane::sim {

struct EventRateControlSettings {
    bool enabled = false;
    uint64_t max_event_rate = 20000000;  // events per second
};

// Caps the stream at max_event_rate / 1000 events in any 1 ms window.
// Each slice (k ms, k + 1 ms] of the camera's clock keeps the share of its
// own events that the cap allows, taking evenly spread events in time order
// (events of one time stamp come in pixel order), so that what is dropped is
// spread over the slice and the sensor; a sliding window then drops whatever
// would still pass the cap.
class EventRateControl {
public:
    // Makes room for what `settings` need: the one call that may throw.
    void reserve(const EventRateControlSettings& settings);
    // Keeps, in place, the events of `events` that the control lets through.
    // They must continue the events given before, in time order, and the
    // slice of the last one holds `later` more events, which the next call
    // will get.
    // Needs reserve() with the same settings first.
    void control(const EventRateControlSettings& settings, EventBuffer& events,
                 std::size_t later) noexcept;
    // Forgets the events seen, as the control does while it is disabled.
    void reset() noexcept;

private:
    bool keeps(const Event2D& event) noexcept;

    uint64_t cap_ = 0;
    // The slice being judged, how many of its events it keeps and has, and
    // the share of an event carried to its next one, in 1 / count units.
    uint64_t slice_ = 0;
    bool in_slice_ = false;
    uint64_t slice_quota_ = 0;
    uint64_t slice_count_ = 0;
    uint64_t slice_share_ = 0;
    // The time stamps of the last cap_ events kept, oldest at `oldest_`.
    std::vector<uint64_t> kept_;
    std::size_t oldest_ = 0;
};

}  // namespace orvane::sim
