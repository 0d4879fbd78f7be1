#pragma once

#include <pybind11/pybind11.h>

namespace orvane::sim::python {

// The simulated camera: one device bundling what the kit hands to Python.
void register_camera(pybind11::module_& m);

}  // namespace orvane::sim::python
