#include "camera/tools/ToolFactory.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

#include "DefaultParameters.h"
#include "PrintableText.h"
#include "RegisterBank.h"
#include "camera/tools/Imx636AntiFlicker.h"
#include "camera/tools/Imx636Biases.h"
#include "camera/tools/Imx636EventRateControl.h"
#include "camera/tools/Imx636EventTrailFilter.h"
#include "camera/tools/Imx636ROI.h"
#include "camera/tools/Imx636TriggerIn.h"

namespace orvane {

namespace {

using Parameters = std::vector<ParameterEntry>;

template <typename Tool>
std::shared_ptr<Tool> build(const std::string& param_prefix, const Parameters& parameters,
                            std::shared_ptr<RegisterBank> bank) {
    auto tool = std::make_shared<Tool>(param_prefix, std::move(bank));
    for (const auto& parameter : parameters) {
        tool->addParameter(parameter);
    }
    return tool;
}

// Header-defined tools also keep the list their registry was built from.
template <typename Tool>
std::shared_ptr<Tool> build_listed(const std::string& param_prefix, const Parameters& parameters,
                                   std::shared_ptr<RegisterBank> bank) {
    auto tool = build<Tool>(param_prefix, parameters, std::move(bank));
    tool->param_list = parameters;
    return tool;
}

std::shared_ptr<CameraTool> make_anti_flicker(const std::string& prefix, const Parameters& params,
                                              std::shared_ptr<RegisterBank> bank) {
    auto tool = build_listed<Imx636AntiFlicker>(prefix, params, std::move(bank));
    tool->low_frequency_hz = 50;
    tool->high_frequency_hz = 520;
    tool->filtering_mode = "BAND_STOP";
    tool->duty_cycle_percent = 50;
    return tool;
}

std::shared_ptr<CameraTool> make_event_rate_control(const std::string& prefix,
                                                    const Parameters& params,
                                                    std::shared_ptr<RegisterBank> bank) {
    auto tool = build_listed<Imx636EventRateControl>(prefix, params, std::move(bank));
    tool->reference_period_us = 200;
    tool->events_per_period = 4000;
    tool->register_blocks["erc"] = {{0x4000, 0}, {0x4004, 20000000}};
    return tool;
}

std::shared_ptr<CameraTool> make_event_trail_filter(const std::string& prefix,
                                                    const Parameters& params,
                                                    std::shared_ptr<RegisterBank> bank) {
    auto tool = build_listed<Imx636EventTrailFilter>(prefix, params, std::move(bank));
    tool->threshold_us = 10000;
    tool->filter_type = "TRAIL";
    tool->threshold_step_us = 1000;
    tool->filter_types = {"TRAIL", "STC_CUT_TRAIL", "STC_KEEP_TRAIL"};
    return tool;
}

std::shared_ptr<CameraTool> make_roi(const std::string& prefix, const Parameters& params,
                                     std::shared_ptr<RegisterBank> bank, SensorSize sensor) {
    auto tool = build_listed<Imx636ROI>(prefix, params, std::move(bank));
    tool->window_count = 1;
    tool->mode = "ROI";
    tool->modes = {"ROI", "RONI"};
    tool->sensor_width = sensor.width;
    tool->sensor_height = sensor.height;
    return tool;
}

using MakeTool = std::function<std::shared_ptr<CameraTool>(
    const std::string&, const Parameters&, std::shared_ptr<RegisterBank>, SensorSize)>;

// Only the ROI depends on the sensor's size; the other tools are the same on every sensor.
template <auto Defaults>
Parameters same_defaults(SensorSize /*sensor*/) {
    return Defaults();
}

template <auto Make>
std::shared_ptr<CameraTool> same_tool(const std::string& prefix, const Parameters& params,
                                      std::shared_ptr<RegisterBank> bank, SensorSize /*sensor*/) {
    return Make(prefix, params, std::move(bank));
}

struct ToolKind {
    std::string name;
    std::function<Parameters(SensorSize)> defaults;
    MakeTool make;
};

const std::vector<ToolKind>& tool_kinds() {
    static const std::vector<ToolKind> kinds = {
        {"Biases", same_defaults<default_bias_parameters>, same_tool<build<Imx636Biases>>},
        {"TriggerIn", same_defaults<default_trigger_in_parameters>,
         same_tool<build_listed<Imx636TriggerIn>>},
        {"AntiFlicker", same_defaults<default_anti_flicker_parameters>,
         same_tool<make_anti_flicker>},
        {"EventRateControl", same_defaults<default_event_rate_control_parameters>,
         same_tool<make_event_rate_control>},
        {"EventTrailFilter", same_defaults<default_event_trail_filter_parameters>,
         same_tool<make_event_trail_filter>},
        {"ROI", default_roi_parameters, make_roi},
    };
    return kinds;
}

const ToolKind& tool_kind(const std::string& kind) {
    const auto& kinds = tool_kinds();
    const auto found = std::find_if(kinds.begin(), kinds.end(),
                                    [&](const ToolKind& known) { return known.name == kind; });
    if (found == kinds.end()) {
        std::string names;
        for (const auto& known : kinds) {
            names += (names.empty() ? "" : ", ") + known.name;
        }
        throw std::invalid_argument("Unknown tool kind '" + printable_text(kind) +
                                    "'; expected one of " + names);
    }
    return *found;
}

}  // namespace

std::shared_ptr<RegisterBank> make_register_bank() { return std::make_shared<RegisterBank>(); }

std::vector<std::string> imx636_tool_kinds() {
    std::vector<std::string> names;
    for (const auto& kind : tool_kinds()) {
        names.push_back(kind.name);
    }
    return names;
}

std::vector<ParameterEntry> default_parameters(const std::string& kind, SensorSize sensor) {
    return tool_kind(kind).defaults(sensor);
}

std::shared_ptr<CameraTool> make_imx636_tool(const std::string& kind,
                                             const std::string& param_prefix,
                                             const std::vector<ParameterEntry>& parameters,
                                             std::shared_ptr<RegisterBank> bank,
                                             SensorSize sensor) {
    return tool_kind(kind).make(param_prefix, parameters, std::move(bank), sensor);
}

}  // namespace orvane
