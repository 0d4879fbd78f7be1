#pragma once

#include "Event2D.h"

namespace orvane::sim {

// The ROI tool: a window of the sensor, and whether events inside it (ROI)
// or outside it (RONI) are kept.
struct RoiSettings {
    bool enabled = false;
    bool keep_inside = true;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Whether the enabled ROI tool lets `event` through. Inline: it is asked
// about every event.
inline bool roi_keeps(const RoiSettings& settings, const Event2D& event) {
    const bool inside = event.x >= settings.x && event.x < settings.x + settings.width &&
                        event.y >= settings.y && event.y < settings.y + settings.height;
    return inside == settings.keep_inside;
}

}  // namespace orvane::sim
