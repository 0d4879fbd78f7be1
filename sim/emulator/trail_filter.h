#pragma once

#include <algorithm>
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

    // What the pixels were at the checkpoint comes back at roll_back().
    // checkpoint() may throw std::bad_alloc, changing nothing.
    void checkpoint() { pixels_.checkpoint(); }
    void roll_back() noexcept { pixels_.roll_back(); }

private:
    // Sixteen bytes a pixel, so that a cache line holds four neighbours: a
    // word for the last event seen and one for the last kept, each a time
    // stamp of 56 bits (two thousand years of microseconds) and a polarity
    // bit; then, in `seen`, the events seen so far in the pixel's burst,
    // counted up to 3 (0 before its first event), and in `kept`, whether any
    // was kept. Plain words rather than bit fields: storing one bit field and
    // then loading its word again would stall on every event.
    struct PixelState {
        uint64_t seen;
        uint64_t kept;
    };
    static constexpr uint64_t kTimeMask = (uint64_t{1} << 56) - 1;
    static constexpr int kPolarityBit = 56;
    static constexpr int kCountShift = 57;

    PixelGrid<PixelState> pixels_;
};

// Inline: it is asked about every event.
inline bool TrailFilter::keeps(const TrailFilterSettings& settings, const Event2D& event) {
    pixels_.prefetch(event.x, static_cast<uint16_t>(event.y + 1));
    PixelState& pixel = pixels_.changing(event.x, event.y);
    const uint64_t seen = pixel.seen;
    const uint64_t polarity = event.p & 1u;
    const uint64_t in_burst = seen >> kCountShift;
    const bool continues_burst = in_burst > 0 && ((seen >> kPolarityBit) & 1u) == polarity &&
                                 event.t - (seen & kTimeMask) <= settings.threshold_us;
    const uint64_t now_in_burst = continues_burst ? std::min<uint64_t>(in_burst + 1, 3) : 1;
    const uint64_t stamp = (event.t & kTimeMask) | polarity << kPolarityBit;
    pixel.seen = stamp | now_in_burst << kCountShift;
    bool kept = false;
    switch (settings.type) {
        case TrailFilterType::Trail: {
            const uint64_t last = pixel.kept;
            kept = (last >> kCountShift) == 0 || ((last >> kPolarityBit) & 1u) != polarity ||
                   event.t - (last & kTimeMask) > settings.threshold_us;
            break;
        }
        case TrailFilterType::StcCutTrail:
            kept = now_in_burst == 2;
            break;
        case TrailFilterType::StcKeepTrail:
            kept = continues_burst;
            break;
    }
    if (kept) {
        pixel.kept = stamp | uint64_t{1} << kCountShift;
    }
    return kept;
}

}  // namespace orvane::sim
