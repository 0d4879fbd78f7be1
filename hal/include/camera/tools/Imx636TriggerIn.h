#pragma once

#include <vector>

#include "OrvaneExport.h"
#include "camera/tools/CameraToolRegisterWithCallback.h"

namespace orvane {

class ORVANE_EXPORT Imx636TriggerIn : public CameraToolRegisterWithCallback {
public:
    using CameraToolRegisterWithCallback::CameraToolRegisterWithCallback;
    ~Imx636TriggerIn() override = default;

    ToolInfo getToolInfo() override {
        ToolInfo info;
        info.tool_type = ToolType::TRIGGER_IN;
        info.tool_name = "TriggerIn";
        info.parameter_names = {"enable"};
        info.description = "Trigger in of DVS cameras with IMX636 sensors";
        return info;
    }

    // The parameters the library built the registry from.
    std::vector<ParameterEntry> param_list;
};

}  // namespace orvane
