#include "camera_tool_binding.h"

#include <pybind11/stl.h>
#include <pybind11/typing.h>

#include <string>
#include <tuple>

#include "CameraTool.h"
#include "ParameterKinds.h"
#include "ToolInfo.h"
#include "ToolType.h"
#include "camera/tools/CameraToolPrivate.h"
#include "camera/tools/Imx636AntiFlicker.h"
#include "camera/tools/Imx636Biases.h"
#include "camera/tools/Imx636EventRateControl.h"
#include "camera/tools/Imx636EventTrailFilter.h"
#include "camera/tools/Imx636ROI.h"
#include "camera/tools/Imx636TriggerIn.h"
#include "camera/tools/ToolLogger.h"
#include "camera_tool_py_wrapper.h"
#include "parameter_info_binding.h"

namespace py = pybind11;

namespace orvane::python {

namespace {

// Log location of a set_param on an unknown name; log filters in the field
// match on it, so it stays put when this file is edited.
constexpr int kParameterNotFoundLine = 137;

std::string describe_tool(const ToolInfo& info) {
    std::string text = "ToolType: " + to_string(info.tool_type);
    text += "\nDescription: " + info.description;
    text += "\nParameters: ";
    for (const auto& name : info.parameter_names) {
        text += name + " ";
    }
    return text;
}

// The three parameter dispatch routines. Each receives the parameter
// information map already fetched (the caller decides how), finds the
// parameter's kind there and calls the matching typed operation through the
// tool's virtual table.

template <typename Kinds>
struct RecordUnion;
template <typename... Kinds>
struct RecordUnion<std::tuple<Kinds...>> {
    using type = py::typing::Union<typename Kinds::RecordType...>;
};

// (found, record) and (found, value), typed for the stubs.
using ParamInfoResult =
    py::typing::Tuple<bool, py::typing::Optional<RecordUnion<ParameterKinds>::type>>;
using ParamResult =
    py::typing::Tuple<bool, py::typing::Optional<py::typing::Union<int, float, bool, py::str>>>;

template <typename Record>
py::tuple typed_param_info(CameraTool& tool, const std::string& name) {
    Record record;
    const bool ok = tool.getParamInfo(name, record);
    return py::make_tuple(ok, py::cast(std::move(record)));
}

ParamInfoResult get_param_info(CameraTool& tool, const ParameterInfoMap& params,
                               const std::string& name) {
    const auto found = params.find(name);
    if (found == params.end()) {
        return py::make_tuple(false, py::none());
    }
    return visit_parameter_kind(
        found->second.type,
        [&](auto kind) {
            return typed_param_info<typename decltype(kind)::RecordType>(tool, name);
        },
        py::tuple());
}

template <typename Value>
py::tuple typed_param(CameraTool& tool, const std::string& name) {
    Value value{};
    const bool ok = tool.getParam(name, value);
    return py::make_tuple(ok, value);
}

ParamResult get_param(CameraTool& tool, const ParameterInfoMap& params, const std::string& name) {
    const auto found = params.find(name);
    if (found == params.end()) {
        return py::make_tuple(false, py::none());
    }
    return visit_parameter_kind(
        found->second.type,
        [&](auto kind) { return typed_param<typename decltype(kind)::ValueType>(tool, name); },
        py::tuple());
}

// The value is converted before the tool is called, so a value of the wrong
// kind raises and the tool never sees it.
bool set_param(CameraTool& tool, const ParameterInfoMap& params, const std::string& name,
               const py::object& value) {
    const auto found = params.find(name);
    if (found == params.end()) {
        tool_logger().log_(LogLevelType::ERR, __FILE__, kParameterNotFoundLine,
                           "Parameter %s not found", name.c_str());
        return false;
    }
    return visit_parameter_kind(
        found->second.type,
        [&](auto kind) {
            return tool.setParam(name, value.cast<typename decltype(kind)::ValueType>());
        },
        false);
}

void register_tool_type_and_info(py::module_& m) {
    py::enum_<ToolType>(m, "ToolType")
        .value("BIAS", ToolType::BIAS)
        .value("TRIGGER_IN", ToolType::TRIGGER_IN)
        .value("ANTI_FLICKER", ToolType::ANTI_FLICKER)
        .value("EVENT_TRAIL_FILTER", ToolType::EVENT_TRAIL_FILTER)
        .value("EVENT_RATE_CONTROL", ToolType::EVENT_RATE_CONTROL)
        .value("ROI", ToolType::ROI)
        .value("APS_CTRL", ToolType::APS_CTRL)
        .export_values();

    py::class_<ToolInfo>(m, "ToolInfo")
        .def(py::init<>())
        .def_readwrite("tool_type", &ToolInfo::tool_type)
        .def_readwrite("parameter_names", &ToolInfo::parameter_names)
        .def_readwrite("description", &ToolInfo::description)
        .def("__str__", &describe_tool);
}

// Registry tools learn a parameter's kind from the registry itself, never
// from an override of getAllParamInfo.
void register_camera_tool_base_private(py::module_& m) {
    using Tool = CameraToolBasePrivate;
    py::class_<Tool>(m, "CameraToolBasePrivate")
        .def(
            "get_tool_info", [](Tool& tool) { return tool.getToolInfo(); },
            "Get the information of the tool.")
        .def(
            "get_all_param_info", [](Tool& tool) { return tool.getAllParamInfo(); },
            "Get all the parameter information.")
        .def(
            "get_param_info",
            [](Tool& tool, const std::string& name) {
                return get_param_info(tool, tool.Tool::getAllParamInfo(), name);
            },
            py::arg("name"), "Get the detailed information of a parameter.")
        .def(
            "get_param",
            [](Tool& tool, const std::string& name) {
                return get_param(tool, tool.Tool::getAllParamInfo(), name);
            },
            py::arg("name"), "Get the value of a parameter.")
        .def(
            "set_param",
            [](Tool& tool, const std::string& name, const py::object& value) {
                return set_param(tool, tool.Tool::getAllParamInfo(), name, value);
            },
            py::arg("name"), py::arg("value"), "Set the value of a parameter.");
}

void register_camera_tool(py::module_& m) {
    py::class_<CameraTool, CameraToolPyWrapper, py::smart_holder>(m, "CameraTool")
        .def(py::init<std::string>())
        .def("get_tool_info", [](CameraTool& tool) { return tool.getToolInfo(); })
        .def("get_all_param_info", [](CameraTool& tool) { return tool.getAllParamInfo(); })
        .def("get_param_info",
             [](CameraTool& tool, const std::string& name) {
                 return get_param_info(tool, tool.getAllParamInfo(), name);
             })
        .def("get_param",
             [](CameraTool& tool, const std::string& name) {
                 return get_param(tool, tool.getAllParamInfo(), name);
             })
        .def(
            "set_param",
            [](CameraTool& tool, const std::string& name, const py::object& value) {
                return set_param(tool, tool.getAllParamInfo(), name, value);
            },
            py::arg("name"), py::arg("value"), "Set the value of a parameter.");
}

// Objects of these classes come only from the library; Python cannot build one.
void register_imx636_tools(py::module_& m) {
    py::class_<Imx636Biases, CameraTool, py::smart_holder>(m, "Imx636Biases");
    py::class_<Imx636TriggerIn, CameraTool, py::smart_holder>(m, "Imx636TriggerIn");
    py::class_<Imx636AntiFlicker, CameraTool, py::smart_holder>(m, "Imx636AntiFlicker");
    py::class_<Imx636EventRateControl, CameraTool, py::smart_holder>(m, "Imx636EventRateControl");
    py::class_<Imx636EventTrailFilter, CameraTool, py::smart_holder>(m, "Imx636EventTrailFilter");
    py::class_<Imx636ROI, CameraTool, py::smart_holder>(m, "Imx636ROI");
}

}  // namespace

void register_camera_tools(py::module_& m) {
    register_tool_type_and_info(m);
    register_parameter_info(m);
    register_camera_tool_base_private(m);
    register_camera_tool(m);
    register_imx636_tools(m);
}

}  // namespace orvane::python
