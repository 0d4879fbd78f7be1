#include "ToolParameterInfo.h"
#include "ToolType.h"

namespace orvane {

std::string to_string(ToolType type) {
    switch (type) {
        case ToolType::BIAS:
            return "BIAS";
        case ToolType::TRIGGER_IN:
            return "TRIGGER_IN";
        case ToolType::ANTI_FLICKER:
            return "ANTI_FLICKER";
        case ToolType::EVENT_TRAIL_FILTER:
            return "EVENT_TRAIL_FILTER";
        case ToolType::EVENT_RATE_CONTROL:
            return "EVENT_RATE_CONTROL";
        case ToolType::ROI:
            return "ROI";
        case ToolType::APS_CTRL:
            return "APS_CTRL";
    }
    return "UNKNOWN";
}

std::string ToolParameterTypeToString(ToolParameterType type) {
    switch (type) {
        case ToolParameterType::INT:
            return "INT";
        case ToolParameterType::FLOAT:
            return "FLOAT";
        case ToolParameterType::BOOL:
            return "BOOL";
        case ToolParameterType::STRING:
            return "STRING";
        case ToolParameterType::ENUM:
            return "ENUM";
    }
    return "UNKNOWN";
}

}  // namespace orvane
