#include "roi_filter.h"

namespace orvane::sim {

bool roi_keeps(const RoiSettings& settings, const Event2D& event) {
    const bool inside = event.x >= settings.x && event.x < settings.x + settings.width &&
                        event.y >= settings.y && event.y < settings.y + settings.height;
    return inside == settings.keep_inside;
}

}  // namespace orvane::sim
