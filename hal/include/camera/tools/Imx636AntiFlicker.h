#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OrvaneExport.h"
#include "camera/tools/CameraToolRegisterWithCallback.h"

namespace orvane {

class ORVANE_EXPORT Imx636AntiFlicker : public CameraToolRegisterWithCallback {
public:
    using CameraToolRegisterWithCallback::CameraToolRegisterWithCallback;
    ~Imx636AntiFlicker() override = default;

    // The parameter names are the registry's keys, so they follow whatever
    // the library registered, prefix included.
    ToolInfo getToolInfo() override {
        ToolInfo info;
        info.tool_type = ToolType::ANTI_FLICKER;
        info.tool_name = "AntiFlicker";
        for (const auto& entry : param_map) {
            info.parameter_names.push_back(entry.first);
        }
        info.description = "Anti flicker of DVS cameras with IMX636 sensor.";
        return info;
    }

    // Sensor-side state of the filter, kept by the library.
    uint32_t low_frequency_hz = 0;
    uint32_t high_frequency_hz = 0;
    std::string filtering_mode;
    uint32_t duty_cycle_percent = 0;
    // The parameters the library built the registry from.
    std::vector<ParameterEntry> param_list;
};

}  // namespace orvane
