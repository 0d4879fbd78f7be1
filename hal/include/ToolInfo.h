#pragma once

#include <string>
#include <vector>

#include "ToolType.h"

namespace orvane {

// How a tool describes itself.
struct ToolInfo {
    ToolType tool_type = ToolType::BIAS;
    std::string tool_name;
    std::vector<std::string> parameter_names;
    std::string description;
};

}  // namespace orvane
