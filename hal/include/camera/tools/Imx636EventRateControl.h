#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "OrvaneExport.h"
#include "camera/tools/CameraToolRegisterWithCallback.h"

namespace orvane {

class ORVANE_EXPORT Imx636EventRateControl : public CameraToolRegisterWithCallback {
public:
    using CameraToolRegisterWithCallback::CameraToolRegisterWithCallback;
    ~Imx636EventRateControl() override = default;

    ToolInfo getToolInfo() override {
        ToolInfo info;
        info.tool_type = ToolType::EVENT_RATE_CONTROL;
        info.tool_name = "EventRateControl";
        info.parameter_names = {"enable", "max_event_rate"};
        info.description = "ERC of DVS cameras with IMX636 sensor";
        return info;
    }

    // Sensor-side state of the controller, kept by the library.
    uint32_t reference_period_us = 0;
    uint32_t events_per_period = 0;
    // Register block name -> (register address -> value).
    std::map<std::string, std::map<uint32_t, uint32_t>> register_blocks;
    // The parameters the library built the registry from.
    std::vector<ParameterEntry> param_list;
};

}  // namespace orvane
