#pragma once

#include <pybind11/pybind11.h>

namespace orvane::python {

// Closes the ways plain Python code could reach a C++ object that does not
// exist through the classes and functions `module` has registered: a method
// or property called with None as self, an object whose C++ object was never
// built given to any function or conversion, a constructor run on an object
// that already holds a C++ object (or one of another class), and pickling
// with protocol 0 or 1. Each then raises TypeError. Call it once every class
// is registered. The framework offers no public hook for any of these, so
// the guards reach into its internals (see pybind11_internals.h).
void guard_bound_classes(pybind11::module_& module);

}  // namespace orvane::python
