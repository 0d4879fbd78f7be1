#pragma once

#include <pybind11/pybind11.h>

namespace orvane::sim::python {

// Hands out the names of the pure-Python package orvane_sim as the module's
// own, importing the package on first use.
void register_python_parts(pybind11::module_& m);

}  // namespace orvane::sim::python
