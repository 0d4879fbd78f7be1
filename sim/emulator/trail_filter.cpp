#include "trail_filter.h"

#include <algorithm>

namespace orvane::sim {

TrailFilter::TrailFilter(int width, int height)
    : width_(width),
      last_seen_(static_cast<std::size_t>(width) * height),
      last_kept_(last_seen_.size()) {}

void TrailFilter::apply(const TrailFilterSettings& settings, std::vector<Event2D>& events) {
    if (!settings.enabled) {
        return;
    }
    events.erase(std::remove_if(events.begin(), events.end(),
                                [&](const Event2D& event) { return !keeps(settings, event); }),
                 events.end());
}

bool TrailFilter::keeps(const TrailFilterSettings& settings, const Event2D& event) {
    const std::size_t pixel = static_cast<std::size_t>(event.y) * width_ + event.x;
    PixelState& seen = last_seen_[pixel];
    const bool continues_burst = seen.in_burst > 0 && seen.polarity == event.p &&
                                 event.t - seen.t <= settings.threshold_us;
    seen.in_burst = continues_burst ? static_cast<uint8_t>(std::min(seen.in_burst + 1, 3)) : 1;
    seen.t = event.t;
    seen.polarity = event.p;
    bool kept = false;
    switch (settings.type) {
        case TrailFilterType::Trail: {
            const PixelState& last = last_kept_[pixel];
            kept = last.in_burst == 0 || last.polarity != event.p ||
                   event.t - last.t > settings.threshold_us;
            break;
        }
        case TrailFilterType::StcCutTrail:
            kept = seen.in_burst == 2;
            break;
        case TrailFilterType::StcKeepTrail:
            kept = continues_burst;
            break;
    }
    if (kept) {
        last_kept_[pixel] = {event.t, event.p, 1};
    }
    return kept;
}

}  // namespace orvane::sim
