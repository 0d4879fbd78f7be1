#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OrvaneExport.h"
#include "camera/tools/CameraToolRegisterWithCallback.h"

namespace orvane {

class ORVANE_EXPORT Imx636EventTrailFilter : public CameraToolRegisterWithCallback {
public:
    using CameraToolRegisterWithCallback::CameraToolRegisterWithCallback;
    ~Imx636EventTrailFilter() override = default;

    ToolInfo getToolInfo() override {
        ToolInfo info;
        info.tool_type = ToolType::EVENT_TRAIL_FILTER;
        info.tool_name = "EventTrailFilter";
        info.parameter_names = {"enable", "threshold", "type"};
        info.description = "Event Trail Filter of DVS cameras with IMX636 sensor";
        return info;
    }

    // Sensor-side state of the filter, kept by the library.
    uint32_t threshold_us = 0;
    std::string filter_type;
    uint32_t threshold_step_us = 0;
    std::vector<std::string> filter_types;
    // The parameters the library built the registry from.
    std::vector<ParameterEntry> param_list;
};

}  // namespace orvane
