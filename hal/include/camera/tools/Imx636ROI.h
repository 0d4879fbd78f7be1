#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OrvaneExport.h"
#include "camera/tools/CameraToolRegisterWithCallback.h"

namespace orvane {

class ORVANE_EXPORT Imx636ROI : public CameraToolRegisterWithCallback {
public:
    using CameraToolRegisterWithCallback::CameraToolRegisterWithCallback;
    ~Imx636ROI() override = default;

    ToolInfo getToolInfo() override {
        ToolInfo info;
        info.tool_type = ToolType::ROI;
        info.tool_name = "ROI";
        info.parameter_names = {"enable", "mode", "x", "y", "x_width", "y_height"};
        info.description = "ROI of DVS cameras with IMX636 sensor";
        return info;
    }

    // Sensor-side state of the window, kept by the library.
    uint32_t window_count = 0;
    std::string mode;
    std::vector<std::string> modes;
    uint32_t sensor_width = 0;
    uint32_t sensor_height = 0;
    // The parameters the library built the registry from.
    std::vector<ParameterEntry> param_list;
};

}  // namespace orvane
