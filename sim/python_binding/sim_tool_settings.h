#pragma once

#include <memory>
#include <vector>

#include "CameraTool.h"
#include "emulator.h"

namespace orvane::sim::python {

// The values the camera's tools hold now, as the emulator takes them.
ToolSettings read_tool_settings(const std::vector<std::shared_ptr<CameraTool>>& tools);

}  // namespace orvane::sim::python
