#pragma once

#include <cstdint>

#include "Event2D.h"
#include "pixel_grid.h"

namespace orvane::sim {

enum class TrailFilterType { Trail, StcCutTrail, StcKeepTrail };

struct TrailFilterSettings {
    bool enabled = false;
    TrailFilterType type = TrailFilterType::Trail;
    uint64_t threshold_us = 10000;
};

// The event trail filter. At each pixel, a burst is a run of events of one
// polarity, each within threshold_us of the one before it.
// - Trail: an event is dropped when the last event kept at its pixel has its
//   polarity and came within threshold_us.
// - StcCutTrail: only the second event of each burst is kept.
// - StcKeepTrail: every event of a burst but the first is kept.
class TrailFilter {
public:
    TrailFilter(int width, int height);

    // Whether the enabled filter lets `event` through; events must come in
    // time order.
    bool keeps(const TrailFilterSettings& settings, const Event2D& event);

private:
    // Sixteen bytes a pixel, so that a cache line holds four neighbours: time
    // stamps keep 56 bits (two thousand years of microseconds).
    struct PixelState {
        uint64_t seen_t : 56;
        uint64_t seen_polarity : 1;
        // Events seen so far in the pixel's burst, counted up to 3; 0 before
        // its first event.
        uint64_t in_burst : 2;
        uint64_t kept_t : 56;
        uint64_t kept_polarity : 1;
        uint64_t any_kept : 1;
    };

    PixelGrid<PixelState> pixels_;
};

}  // namespace orvane::sim
