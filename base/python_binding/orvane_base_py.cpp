#include <pybind11/pybind11.h>

#include "bound_class_guards.h"
#include "orvane_base_binding.h"
#include "pybind11_internals.h"

// The framework's state is the main interpreter's: a subinterpreter gets
// ImportError.
ORVANE_PYBIND11_MODULE(orvane_base_py, m, pybind11::multiple_interpreters::not_supported()) {
    // Enumerations carry no docstring, not even the generated member list.
    pybind11::options options;
    options.disable_enum_members_docstring();
    orvane::python::register_base(m);
    orvane::python::guard_bound_classes(m);
}
