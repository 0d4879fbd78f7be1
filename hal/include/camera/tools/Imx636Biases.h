#pragma once

#include "OrvaneExport.h"
#include "camera/tools/CameraToolRegisterWithCallback.h"

namespace orvane {

// The sensor's analog biases, defined by the library.
class ORVANE_EXPORT Imx636Biases : public CameraToolRegisterWithCallback {
public:
    using CameraToolRegisterWithCallback::CameraToolRegisterWithCallback;
    ~Imx636Biases() override;

    ToolInfo getToolInfo() override;
};

}  // namespace orvane
