#include "roi_filter.h"

#include <algorithm>

namespace orvane::sim {

void apply_roi(const RoiSettings& settings, std::vector<Event2D>& events) {
    if (!settings.enabled) {
        return;
    }
    const auto dropped = [&settings](const Event2D& event) {
        const bool inside = event.x >= settings.x && event.x < settings.x + settings.width &&
                            event.y >= settings.y && event.y < settings.y + settings.height;
        return inside != settings.keep_inside;
    };
    events.erase(std::remove_if(events.begin(), events.end(), dropped), events.end());
}

}  // namespace orvane::sim
