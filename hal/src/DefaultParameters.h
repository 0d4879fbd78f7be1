#pragma once

#include <vector>

#include "camera/tools/CameraToolPrivate.h"
#include "camera/tools/ToolFactory.h"

namespace orvane {

// The parameter sets the IMX636 tools start with, each parameter kept in its
// own sensor register.
std::vector<ParameterEntry> default_bias_parameters();
std::vector<ParameterEntry> default_trigger_in_parameters();
std::vector<ParameterEntry> default_anti_flicker_parameters();
std::vector<ParameterEntry> default_event_rate_control_parameters();
std::vector<ParameterEntry> default_event_trail_filter_parameters();
// The window covers the whole sensor by default and can cover no more.
std::vector<ParameterEntry> default_roi_parameters(SensorSize sensor);

}  // namespace orvane
