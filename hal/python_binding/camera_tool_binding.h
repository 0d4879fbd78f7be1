#pragma once

#include <pybind11/pybind11.h>

namespace orvane::python {

// Registers the camera tool system on the HAL module; runs after the core
// names (camera descriptors and raw stream formats) are in place.
void register_camera_tools(pybind11::module_& m);

}  // namespace orvane::python
