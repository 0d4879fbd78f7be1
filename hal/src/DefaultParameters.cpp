#include "DefaultParameters.h"

#include <cstdint>
#include <string>

#include "RegisterFields.h"

namespace orvane {

namespace {

// Register blocks of the tools.
constexpr uint32_t kBiasBlock = 0x1000;
constexpr uint32_t kTriggerInBlock = 0x2000;
constexpr uint32_t kAntiFlickerBlock = 0x3000;
constexpr uint32_t kEventRateControlBlock = 0x4000;
constexpr uint32_t kEventTrailFilterBlock = 0x5000;
constexpr uint32_t kRoiBlock = 0x6000;

ParameterEntry entry(const std::string& name, const std::string& description,
                     ToolParameterType type) {
    ParameterEntry result;
    result.info.name = name;
    result.info.description = description;
    result.info.type = type;
    return result;
}

// INT and FLOAT parameters differ only in their number type and kind.
template <typename Number>
ParameterEntry range_parameter(const std::string& name, const std::string& description,
                               ToolParameterType type, Number min, Number max, Number default_value,
                               const std::string& unit, uint32_t address) {
    RangeParameterInfo<Number> info;
    info.min = min;
    info.max = max;
    info.default_value = default_value;
    info.unit = unit;
    bind_register(info, address);
    ParameterEntry result = entry(name, description, type);
    result.detail = info;
    return result;
}

ParameterEntry int_parameter(const std::string& name, const std::string& description, int32_t min,
                             int32_t max, int32_t default_value, const std::string& unit,
                             uint32_t address) {
    return range_parameter(name, description, ToolParameterType::INT, min, max, default_value, unit,
                           address);
}

ParameterEntry float_parameter(const std::string& name, const std::string& description, float min,
                               float max, float default_value, const std::string& unit,
                               uint32_t address) {
    return range_parameter(name, description, ToolParameterType::FLOAT, min, max, default_value,
                           unit, address);
}

ParameterEntry bool_parameter(const std::string& name, const std::string& description,
                              bool default_value, uint32_t address) {
    BoolParameterInfo info;
    info.default_value = default_value;
    bind_register(info, address);
    ParameterEntry result = entry(name, description, ToolParameterType::BOOL);
    result.detail = info;
    return result;
}

ParameterEntry enum_parameter(const std::string& name, const std::string& description,
                              const std::vector<std::string>& options,
                              const std::string& default_value, uint32_t address) {
    EnumParameterInfo info;
    info.options = options;
    info.default_value = default_value;
    bind_register(info, address);
    ParameterEntry result = entry(name, description, ToolParameterType::ENUM);
    result.detail = info;
    return result;
}

// Text has no register: the tool keeps it.
ParameterEntry string_parameter(const std::string& name, const std::string& description,
                                const std::string& default_value) {
    StringParameterInfo info;
    info.default_value = default_value;
    ParameterEntry result = entry(name, description, ToolParameterType::STRING);
    result.detail = info;
    return result;
}

}  // namespace

std::vector<ParameterEntry> default_bias_parameters() {
    return {
        int_parameter("bias_diff_on", "Contrast threshold of ON events, offset from factory tuning",
                      -85, 140, 0, "", kBiasBlock + 0x0),
        int_parameter("bias_diff_off",
                      "Contrast threshold of OFF events, offset from factory tuning", -35, 190, 0,
                      "", kBiasBlock + 0x4),
        int_parameter("bias_fo", "Low-pass filter of the photoreceptor, offset from factory tuning",
                      -35, 55, 0, "", kBiasBlock + 0x8),
        int_parameter("bias_hpf",
                      "High-pass filter of the photoreceptor, offset from factory tuning", 0, 120,
                      0, "", kBiasBlock + 0xC),
        int_parameter("bias_refr", "Refractory period of a pixel, offset from factory tuning", -20,
                      235, 0, "", kBiasBlock + 0x10),
    };
}

std::vector<ParameterEntry> default_trigger_in_parameters() {
    return {
        bool_parameter("enable", "Time-stamp edges on the trigger input", false, kTriggerInBlock)};
}

std::vector<ParameterEntry> default_anti_flicker_parameters() {
    return {
        bool_parameter("enable", "Filter out events of flickering light", false,
                       kAntiFlickerBlock + 0x0),
        enum_parameter("filtering_mode", "Drop the frequency band, or keep only the band",
                       {"BAND_STOP", "BAND_PASS"}, "BAND_STOP", kAntiFlickerBlock + 0x4),
        int_parameter("low_frequency", "Lower edge of the band", 50, 520, 100, "Hz",
                      kAntiFlickerBlock + 0x8),
        int_parameter("high_frequency", "Upper edge of the band", 50, 520, 150, "Hz",
                      kAntiFlickerBlock + 0xC),
        float_parameter("duty_cycle", "Share of a flicker period that counts as flicker", 0.0f,
                        100.0f, 50.0f, "%", kAntiFlickerBlock + 0x10),
        int_parameter("start_threshold", "Events in a period that start filtering", 1, 7, 6, "",
                      kAntiFlickerBlock + 0x14),
        int_parameter("stop_threshold", "Events in a period below which filtering stops", 0, 7, 4,
                      "", kAntiFlickerBlock + 0x18),
        string_parameter("light_source", "Free text: the light source the band is tuned for",
                         "50 Hz mains"),
    };
}

std::vector<ParameterEntry> default_event_rate_control_parameters() {
    return {
        bool_parameter("enable", "Drop events above the maximum rate", false,
                       kEventRateControlBlock + 0x0),
        int_parameter("max_event_rate", "Highest event rate let through", 100000, 320000000,
                      20000000, "ev/s", kEventRateControlBlock + 0x4),
    };
}

std::vector<ParameterEntry> default_event_trail_filter_parameters() {
    return {
        bool_parameter("enable", "Filter out event trails", false, kEventTrailFilterBlock + 0x0),
        int_parameter("threshold", "Time window of the filter", 1000, 100000, 10000, "us",
                      kEventTrailFilterBlock + 0x4),
        enum_parameter("type", "What the filter keeps of a burst",
                       {"TRAIL", "STC_CUT_TRAIL", "STC_KEEP_TRAIL"}, "TRAIL",
                       kEventTrailFilterBlock + 0x8),
    };
}

std::vector<ParameterEntry> default_roi_parameters(SensorSize sensor) {
    const auto width = static_cast<int32_t>(sensor.width);
    const auto height = static_cast<int32_t>(sensor.height);
    return {
        bool_parameter("enable", "Apply the window", false, kRoiBlock + 0x0),
        enum_parameter("mode", "Keep the events inside the window (ROI) or outside it (RONI)",
                       {"ROI", "RONI"}, "ROI", kRoiBlock + 0x4),
        int_parameter("x", "Left column of the window", 0, width - 1, 0, "px", kRoiBlock + 0x8),
        int_parameter("y", "Top row of the window", 0, height - 1, 0, "px", kRoiBlock + 0xC),
        int_parameter("x_width", "Width of the window", 1, width, width, "px", kRoiBlock + 0x10),
        int_parameter("y_height", "Height of the window", 1, height, height, "px",
                      kRoiBlock + 0x14),
    };
}

}  // namespace orvane
