#pragma once

#include <cstdint>
#include <string>

#include "OrvaneExport.h"

namespace orvane {

// The adjustable functions of a camera. There is no tool with the value 2.
enum class ToolType : int32_t {
    BIAS = 0,
    TRIGGER_IN = 1,
    ANTI_FLICKER = 3,
    EVENT_TRAIL_FILTER = 4,
    EVENT_RATE_CONTROL = 5,
    ROI = 6,
    APS_CTRL = 7,
};

// The member name ("BIAS" ... "APS_CTRL"), or "UNKNOWN" for a value with no member.
ORVANE_EXPORT std::string to_string(ToolType type);

}  // namespace orvane
