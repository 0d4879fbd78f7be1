#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CameraTool.h"
#include "OrvaneExport.h"
#include "camera/tools/CameraToolPrivate.h"

namespace orvane {

// The size of the sensor the tools work on. The IMX636's own is the default,
// and every other default size in the kit follows this one.
struct SensorSize {
    uint32_t width = 1280;
    uint32_t height = 720;
};

// A fresh bank of camera registers, to be shared by the tools of one camera.
ORVANE_EXPORT std::shared_ptr<RegisterBank> make_register_bank();

// The kinds of IMX636 tool: "Biases", "TriggerIn", "AntiFlicker",
// "EventRateControl", "EventTrailFilter", "ROI", in the order messages name them.
ORVANE_EXPORT std::vector<std::string> imx636_tool_kinds();

// The parameter set an IMX636 tool of `kind` starts with, on a sensor of
// `sensor`'s size (the ROI's window ranges and defaults cover it). `kind` is
// one of imx636_tool_kinds(); any other throws std::invalid_argument.
ORVANE_EXPORT std::vector<ParameterEntry> default_parameters(const std::string& kind,
                                                             SensorSize sensor = {});

// A new IMX636 tool of `kind` whose registry holds exactly `parameters`,
// keyed param_prefix + name, working on `bank` of a sensor of `sensor`'s
// size. Throws std::invalid_argument for an unknown kind or a parameter the
// registry cannot take.
ORVANE_EXPORT std::shared_ptr<CameraTool> make_imx636_tool(
    const std::string& kind, const std::string& param_prefix,
    const std::vector<ParameterEntry>& parameters, std::shared_ptr<RegisterBank> bank,
    SensorSize sensor = {});

}  // namespace orvane
