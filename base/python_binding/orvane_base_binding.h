#pragma once

#include <pybind11/pybind11.h>

namespace orvane::python {

// Registers every name of the base module, in the order Python sees them.
void register_base(pybind11::module_& m);

}  // namespace orvane::python
