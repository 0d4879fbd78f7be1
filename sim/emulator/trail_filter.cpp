#include "trail_filter.h"

#include <algorithm>

namespace orvane::sim {

TrailFilter::TrailFilter(int width, int height) : pixels_(width, height) {}

bool TrailFilter::keeps(const TrailFilterSettings& settings, const Event2D& event) {
    pixels_.prefetch(event.x, static_cast<uint16_t>(event.y + 1));
    PixelState& pixel = pixels_.at(event.x, event.y);
    const bool continues_burst = pixel.in_burst > 0 && pixel.seen_polarity == event.p &&
                                 event.t - pixel.seen_t <= settings.threshold_us;
    pixel.in_burst = continues_burst ? static_cast<uint8_t>(std::min(pixel.in_burst + 1, 3)) : 1;
    pixel.seen_t = event.t;
    pixel.seen_polarity = event.p;
    bool kept = false;
    switch (settings.type) {
        case TrailFilterType::Trail:
            kept = !pixel.any_kept || pixel.kept_polarity != event.p ||
                   event.t - pixel.kept_t > settings.threshold_us;
            break;
        case TrailFilterType::StcCutTrail:
            kept = pixel.in_burst == 2;
            break;
        case TrailFilterType::StcKeepTrail:
            kept = continues_burst;
            break;
    }
    if (kept) {
        pixel.kept_t = event.t;
        pixel.kept_polarity = event.p;
        pixel.any_kept = true;
    }
    return kept;
}

}  // namespace orvane::sim
