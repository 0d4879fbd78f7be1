#pragma once

#include <cstdint>
#include <string>

#include "ToolParameterInfo.h"

namespace orvane {

// Whether a new value is acceptable for the parameter with registry key
// `key`. A refusal writes one WARN line naming the parameter, the value and
// what is allowed.
bool accepts(const IntParameterInfo& info, const std::string& key, int32_t value);
bool accepts(const FloatParameterInfo& info, const std::string& key, float value);
bool accepts(const BoolParameterInfo& info, const std::string& key, bool value);
bool accepts(const EnumParameterInfo& info, const std::string& key, const std::string& value);
bool accepts(const StringParameterInfo& info, const std::string& key, const std::string& value);

// Writes the WARN line for a null text handed to a STRING or ENUM parameter; false.
bool refuse_null_text(const std::string& key);

}  // namespace orvane
