#include <pybind11/pybind11.h>

#include "bound_class_guards.h"
#include "pybind11_internals.h"
#include "python_parts.h"
#include "sim_camera.h"
#include "sim_docstrings.h"
#include "sim_events.h"
#include "sim_evt3.h"
#include "sim_tools.h"

namespace py = pybind11;

// The simulated camera plays the kit code that hands records and tools to
// Python; it relies on the classes and NumPy types the two kit modules
// register, so it imports both first. Like them, it refuses to be imported
// by a subinterpreter.
ORVANE_PYBIND11_MODULE(orvane_sim_py, m, py::multiple_interpreters::not_supported()) {
    m.doc() = orvane::sim::python::docs::kModule;
    py::module_::import("orvane_hal_py");
    py::module_::import("orvane_base_py");
    orvane::sim::python::register_events(m);
    orvane::sim::python::register_evt3(m);
    orvane::sim::python::register_tools(m);
    orvane::sim::python::register_camera(m);
    orvane::sim::python::register_python_parts(m);
    orvane::python::guard_bound_classes(m);
}
