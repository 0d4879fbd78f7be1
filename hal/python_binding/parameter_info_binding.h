#pragma once

#include <pybind11/pybind11.h>

namespace orvane::python {

// ToolParameterType, tool_parameter_type_to_string and the parameter
// information records, in that order.
void register_parameter_info(pybind11::module_& m);

}  // namespace orvane::python
