#include "sim_tool_settings.h"

#include <stdexcept>
#include <string>

namespace orvane::sim::python {

namespace {

template <typename Value>
Value value_of(CameraTool& tool, const std::string& name) {
    Value value{};
    if (!tool.getParam(name, value)) {
        throw std::logic_error("The simulated camera's tool has no parameter " + name);
    }
    return value;
}

Biases read_biases(CameraTool& tool) {
    Biases biases;
    biases.diff_on = value_of<int>(tool, "bias_diff_on");
    biases.diff_off = value_of<int>(tool, "bias_diff_off");
    biases.fo = value_of<int>(tool, "bias_fo");
    biases.hpf = value_of<int>(tool, "bias_hpf");
    biases.refr = value_of<int>(tool, "bias_refr");
    return biases;
}

RoiSettings read_roi(CameraTool& tool) {
    RoiSettings roi;
    roi.enabled = value_of<bool>(tool, "enable");
    roi.keep_inside = value_of<std::string>(tool, "mode") == "ROI";
    roi.x = value_of<int>(tool, "x");
    roi.y = value_of<int>(tool, "y");
    roi.width = value_of<int>(tool, "x_width");
    roi.height = value_of<int>(tool, "y_height");
    return roi;
}

AntiFlickerSettings read_anti_flicker(CameraTool& tool) {
    AntiFlickerSettings anti_flicker;
    anti_flicker.enabled = value_of<bool>(tool, "enable");
    anti_flicker.band_pass = value_of<std::string>(tool, "filtering_mode") == "BAND_PASS";
    anti_flicker.low_frequency_hz = value_of<int>(tool, "low_frequency");
    anti_flicker.high_frequency_hz = value_of<int>(tool, "high_frequency");
    anti_flicker.duty_cycle_percent = value_of<float>(tool, "duty_cycle");
    anti_flicker.start_threshold = value_of<int>(tool, "start_threshold");
    anti_flicker.stop_threshold = value_of<int>(tool, "stop_threshold");
    return anti_flicker;
}

TrailFilterSettings read_trail_filter(CameraTool& tool) {
    TrailFilterSettings trail_filter;
    trail_filter.enabled = value_of<bool>(tool, "enable");
    const std::string type = value_of<std::string>(tool, "type");
    trail_filter.type = type == "STC_CUT_TRAIL"    ? TrailFilterType::StcCutTrail
                        : type == "STC_KEEP_TRAIL" ? TrailFilterType::StcKeepTrail
                                                   : TrailFilterType::Trail;
    trail_filter.threshold_us = static_cast<uint64_t>(value_of<int>(tool, "threshold"));
    return trail_filter;
}

EventRateControlSettings read_rate_control(CameraTool& tool) {
    EventRateControlSettings rate_control;
    rate_control.enabled = value_of<bool>(tool, "enable");
    rate_control.max_event_rate = static_cast<uint64_t>(value_of<int>(tool, "max_event_rate"));
    return rate_control;
}

}  // namespace

ToolSettings read_tool_settings(const std::vector<std::shared_ptr<CameraTool>>& tools) {
    ToolSettings settings;
    for (const auto& tool : tools) {
        switch (tool->getToolInfo().tool_type) {
            case ToolType::BIAS:
                settings.biases = read_biases(*tool);
                break;
            case ToolType::TRIGGER_IN:
                settings.trigger_in = value_of<bool>(*tool, "enable");
                break;
            case ToolType::ANTI_FLICKER:
                settings.anti_flicker = read_anti_flicker(*tool);
                break;
            case ToolType::EVENT_TRAIL_FILTER:
                settings.trail_filter = read_trail_filter(*tool);
                break;
            case ToolType::EVENT_RATE_CONTROL:
                settings.rate_control = read_rate_control(*tool);
                break;
            case ToolType::ROI:
                settings.roi = read_roi(*tool);
                break;
            default:
                break;
        }
    }
    return settings;
}

}  // namespace orvane::sim::python
