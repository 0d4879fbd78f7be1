#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>

#include "RegisterBank.h"

namespace orvane {

// The library's half of a registry tool, reached through its `handle`: the
// current value of each parameter by registry key, and the register bank the
// tool shares with the other tools of its camera.
class ToolBackend {
public:
    using Value = std::variant<int32_t, float, bool, std::string>;

    explicit ToolBackend(std::shared_ptr<RegisterBank> bank) : bank(std::move(bank)) {}

    std::map<std::string, Value> values;
    std::shared_ptr<RegisterBank> bank;
};

}  // namespace orvane
