#include "camera/tools/Imx636Biases.h"

namespace orvane {

Imx636Biases::~Imx636Biases() = default;

ToolInfo Imx636Biases::getToolInfo() {
    ToolInfo info;
    info.tool_type = ToolType::BIAS;
    info.tool_name = "Biases";
    for (const auto& entry : param_map) {
        info.parameter_names.push_back(entry.first);
    }
    info.description = "Biases of DVS cameras with IMX636 sensor";
    return info;
}

}  // namespace orvane
