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

// Whether the enabled ROI tool lets `event` through.
bool roi_keeps(const RoiSettings& settings, const Event2D& event);

}  // namespace orvane::sim
