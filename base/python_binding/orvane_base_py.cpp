#include <pybind11/pybind11.h>

#include "bound_class_guards.h"
#include "orvane_base_binding.h"

PYBIND11_MODULE(orvane_base_py, m) {
    // Enumerations carry no docstring, not even the generated member list.
    pybind11::options options;
    options.disable_enum_members_docstring();
    orvane::python::register_base(m);
    orvane::python::guard_bound_classes(m);
}
