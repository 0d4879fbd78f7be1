#pragma once

#include <pybind11/pybind11.h>

namespace orvane::sim::python {

// The EVT 3.0 encoder that the raw file writer of the package orvane_sim calls;
// private to it.
void register_evt3(pybind11::module_& m);

}  // namespace orvane::sim::python
