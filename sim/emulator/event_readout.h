#pragma once

#include <cstdint>

#include "Event2D.h"

namespace orvane::sim {

// Events per microsecond that the realistic sensor's readout carries.
constexpr uint32_t kReadoutPerUs = 50;

// The sensor's readout: events leave the pixel array at most `per_us` in
// each microsecond, in the order the pixels made them (by time, then row,
// then column), and are stamped with the microsecond they leave in. A burst
// waits its turn, so it spreads over time; nothing is dropped. What waits
// carries from one call to the next, so the stamps do not depend on how
// the events were handed over.
class EventReadout {
public:
    explicit EventReadout(uint32_t per_us) : per_us_(per_us) {}

    // Stamps [first, last), which follow in time order the events stamped before.
    void stamp(Event2D* first, Event2D* last) noexcept;

private:
    uint32_t per_us_;
    // The microsecond the readout is busy with, and how many events it carried in it.
    uint64_t busy_us_ = 0;
    uint32_t carried_ = 0;
};

}  // namespace orvane::sim
