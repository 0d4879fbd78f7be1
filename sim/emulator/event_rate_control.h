#pragma once

#include <cstdint>
#include <vector>

#include "Event2D.h"

namespace orvane::sim {

struct EventRateControlSettings {
    bool enabled = false;
    uint64_t max_event_rate = 20000000;  // events per second
};

// Caps the stream at max_event_rate / 1000 events in any 1 ms window.
// Each 1 ms slice of the camera's clock keeps the share of its events that
// the previous slice's count allows, taking every k-th event so that the
// dropped ones are spread over the slice and the sensor; a sliding window
// then drops whatever would still pass the cap.
class EventRateControl {
public:
    // Takes the settings of the next events.
    void configure(const EventRateControlSettings& settings);
    // Whether the enabled control lets `event` through; events must come in
    // time order.
    bool keeps(const Event2D& event);
    // Forgets the events seen, as the control does while it is disabled.
    void reset();

private:
    uint64_t slice_ = 0;
    uint64_t slice_count_ = 0;
    double keep_share_ = 1.0;
    double kept_credit_ = 0.0;
    uint64_t cap_ = 0;
    // The time stamps of the last cap_ events kept, oldest at `oldest_`.
    std::vector<uint64_t> kept_;
    std::size_t oldest_ = 0;
};

}  // namespace orvane::sim
