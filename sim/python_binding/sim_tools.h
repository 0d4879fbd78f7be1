#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <vector>

#include "CameraTool.h"
#include "camera/tools/ToolFactory.h"

namespace orvane::sim::python {

// The six IMX636 tools of one camera in ToolType order, sharing one register
// bank, on a sensor of `sensor`'s size.
std::vector<std::shared_ptr<CameraTool>> make_camera_tools(SensorSize sensor);

// make_tool, tool_info_from_thread and the helpers that hand tools around.
void register_tools(pybind11::module_& m);

}  // namespace orvane::sim::python
