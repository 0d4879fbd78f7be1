#include "python_parts.h"

#include <string>

namespace py = pybind11;

namespace orvane::sim::python {

namespace {

constexpr const char* kPackage = "orvane_sim";

// A module's __getattr__ (PEP 562) is asked only for names the module does not
// hold. Names starting with an underscore are the interpreter's own probes
// (__path__, __wrapped__, ...): they never import the package, which also keeps
// the import system from importing it while it looks at this module.
py::object python_part(const py::str& name) {
    const auto text = name.cast<std::string>();
    if (text.empty() || text.front() != '_') {
        const py::module_ package = py::module_::import(kPackage);
        if (package.attr("__all__").contains(name)) {
            return package.attr(name);
        }
    }
    throw py::attribute_error("module 'orvane_sim_py' has no attribute '" + text + "'");
}

}  // namespace

void register_python_parts(py::module_& m) { m.def("__getattr__", &python_part, py::arg("name")); }

}  // namespace orvane::sim::python
