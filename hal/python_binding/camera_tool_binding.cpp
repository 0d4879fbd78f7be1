#include "camera_tool_binding.h"

namespace py = pybind11;

namespace orvane::python {

void register_camera_tools(py::module_& /*m*/) {}

}  // namespace orvane::python
