#include "event_readout.h"

#include <limits>

namespace orvane::sim {

void EventReadout::stamp(Event2D* first, Event2D* last) noexcept {
    for (Event2D* event = first; event != last; ++event) {
        if (event->t > busy_us_) {
            busy_us_ = event->t;
            carried_ = 0;
        }
        // At the end of the clock nothing is left to spread a burst over.
        if (carried_ == per_us_ && busy_us_ != std::numeric_limits<uint64_t>::max()) {
            ++busy_us_;
            carried_ = 0;
        }
        event->t = busy_us_;
        ++carried_;
    }
}

}  // namespace orvane::sim
