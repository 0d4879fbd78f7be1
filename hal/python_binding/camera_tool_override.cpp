#include "camera_tool_override.h"

#include <algorithm>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "pybind11_internals.h"

namespace py = pybind11;

namespace orvane::python {

namespace {

struct RunningOverride {
    const CameraTool* tool;
    std::string_view name;
};

// The overrides running on this thread, innermost last.
thread_local std::vector<RunningOverride> running_overrides;

bool is_running(const CameraTool* tool, std::string_view name) {
    return std::any_of(running_overrides.begin(), running_overrides.end(),
                       [&](const RunningOverride& running) {
                           return running.tool == tool && running.name == name;
                       });
}

// The attribute `name` of the tool's Python object if it is a Python
// function (bound to the object or not), else nothing. py::get_override
// would raise on an attribute that is not callable and remembers a class
// without an override for good, so the lookup is this module's own.
py::object python_function(const CameraTool* tool, const char* name) {
    const py::handle self =
        internals::get_object_handle(tool, internals::get_type_info(typeid(CameraTool)));
    if (!self) {
        return py::object();
    }
    py::object attribute = py::getattr(self, name, py::none());
    PyObject* function = attribute.ptr();
    if (PyMethod_Check(function) != 0) {
        function = PyMethod_GET_FUNCTION(function);
    }
    return PyFunction_Check(function) != 0 ? attribute : py::object();
}

}  // namespace

ToolOverride::ToolOverride(const CameraTool& tool, const char* name) {
    if (is_running(&tool, name)) {
        return;
    }
    function_ = python_function(&tool, name);
    if (function_) {
        in_flight_.emplace();
        running_overrides.push_back({&tool, name});
    }
}

ToolOverride::~ToolOverride() {
    if (function_) {
        running_overrides.pop_back();
    }
}

}  // namespace orvane::python
