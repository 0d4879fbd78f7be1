#pragma once

#include <vector>

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

void apply_roi(const RoiSettings& settings, std::vector<Event2D>& events);

}  // namespace orvane::sim
