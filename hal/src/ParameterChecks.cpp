#include "ParameterChecks.h"

#include <algorithm>

#include "camera/tools/ToolLogger.h"

namespace orvane {

namespace {

std::string join(const std::vector<std::string>& texts) {
    std::string joined;
    for (const auto& text : texts) {
        joined += joined.empty() ? "" : ", ";
        joined += text;
    }
    return joined;
}

}  // namespace

bool accepts(const IntParameterInfo& info, const std::string& key, int32_t value) {
    if (info.min <= value && value <= info.max) {
        return true;
    }
    tool_logger().log_(LogLevelType::WARN, __FILE__, __LINE__,
                       "Parameter %s: %d refused, allowed range is [%d, %d]", key.c_str(), value,
                       info.min, info.max);
    return false;
}

// Written so that NaN is refused.
bool accepts(const FloatParameterInfo& info, const std::string& key, float value) {
    if (info.min <= value && value <= info.max) {
        return true;
    }
    tool_logger().log_(LogLevelType::WARN, __FILE__, __LINE__,
                       "Parameter %s: %g refused, allowed range is [%g, %g]", key.c_str(),
                       static_cast<double>(value), static_cast<double>(info.min),
                       static_cast<double>(info.max));
    return false;
}

bool accepts(const BoolParameterInfo&, const std::string&, bool) { return true; }

bool accepts(const EnumParameterInfo& info, const std::string& key, const std::string& value) {
    if (std::find(info.options.begin(), info.options.end(), value) != info.options.end()) {
        return true;
    }
    tool_logger().log_(LogLevelType::WARN, __FILE__, __LINE__,
                       "Parameter %s: \"%s\" refused, allowed options are: %s", key.c_str(),
                       value.c_str(), join(info.options).c_str());
    return false;
}

bool accepts(const StringParameterInfo&, const std::string&, const std::string&) { return true; }

bool refuse_null_text(const std::string& key) {
    tool_logger().log_(LogLevelType::WARN, __FILE__, __LINE__,
                       "Parameter %s: a null text refused, a text is required", key.c_str());
    return false;
}

}  // namespace orvane
