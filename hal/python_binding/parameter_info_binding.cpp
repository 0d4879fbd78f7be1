#include "parameter_info_binding.h"

#include <pybind11/stl.h>

#include "ToolParameterInfo.h"

namespace py = pybind11;

namespace orvane::python {

void register_parameter_info(py::module_& m) {
    py::enum_<ToolParameterType>(m, "ToolParameterType")
        .value("INT", ToolParameterType::INT)
        .value("FLOAT", ToolParameterType::FLOAT)
        .value("BOOL", ToolParameterType::BOOL)
        .value("STRING", ToolParameterType::STRING)
        .value("ENUM", ToolParameterType::ENUM);

    m.def("tool_parameter_type_to_string", &ToolParameterTypeToString, py::arg("type"),
          "Convert the ToolParameterType to string.");

    py::class_<BasicParameterInfo>(m, "BasicParameterInfo")
        .def(py::init<>())
        .def_readwrite("name", &BasicParameterInfo::name)
        .def_readwrite("description", &BasicParameterInfo::description)
        .def_readwrite("type", &BasicParameterInfo::type)
        .def("__str__", &BasicParameterInfo::to_string);

    py::class_<IntParameterInfo>(m, "IntParameterInfo")
        .def(py::init<>())
        .def_readwrite("min", &IntParameterInfo::min)
        .def_readwrite("max", &IntParameterInfo::max)
        .def_readwrite("default_value", &IntParameterInfo::default_value)
        .def_readwrite("unit", &IntParameterInfo::unit)
        .def("__str__", &IntParameterInfo::to_string)
        .def("constraint_value", &IntParameterInfo::constraint_value, py::arg("value"),
             "Constraint the value.");

    py::class_<FloatParameterInfo>(m, "FloatParameterInfo")
        .def(py::init<>())
        .def_readwrite("min", &FloatParameterInfo::min)
        .def_readwrite("max", &FloatParameterInfo::max)
        .def_readwrite("default_value", &FloatParameterInfo::default_value)
        .def_readwrite("unit", &FloatParameterInfo::unit)
        .def("__str__", &FloatParameterInfo::to_string)
        .def("constraint_value", &FloatParameterInfo::constraint_value, py::arg("value"),
             "Constraint the value.");

    py::class_<BoolParameterInfo>(m, "BoolParameterInfo")
        .def(py::init<>())
        .def_readwrite("default_value", &BoolParameterInfo::default_value)
        .def("__str__", &BoolParameterInfo::to_string);

    py::class_<EnumParameterInfo>(m, "EnumParameterInfo")
        .def(py::init<>())
        .def_readwrite("options", &EnumParameterInfo::options)
        .def_readwrite("default_value", &EnumParameterInfo::default_value)
        .def("__str__", &EnumParameterInfo::to_string);

    // Without it a STRING parameter's record could not reach Python at all.
    py::class_<StringParameterInfo>(m, "StringParameterInfo")
        .def(py::init<>())
        .def_readwrite("default_value", &StringParameterInfo::default_value)
        .def("__str__", &StringParameterInfo::to_string);
}

}  // namespace orvane::python
