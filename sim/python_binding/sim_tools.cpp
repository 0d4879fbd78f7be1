#include "sim_tools.h"

#include <pybind11/stl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "PrintableText.h"
#include "calls_in_flight.h"
#include "camera/tools/CameraToolRegisterWithCallback.h"
#include "camera/tools/ToolFactory.h"
#include "collected_types.h"
#include "pybind11_internals.h"
#include "sim_docstrings.h"
#include "thread_call.h"

namespace py = pybind11;

namespace orvane::sim::python {

namespace {

using ParameterDeclaration = std::tuple<std::string, std::string, py::object>;

// The record's class decides the parameter's kind.
ParameterEntry to_entry(const ParameterDeclaration& declaration) {
    const auto& [name, description, record] = declaration;
    ParameterEntry entry;
    entry.info.name = name;
    entry.info.description = description;
    const bool taken = any_parameter_kind([&](auto kind) {
        using Record = typename decltype(kind)::RecordType;
        if (!py::isinstance<Record>(record)) {
            return false;
        }
        entry.info.type = kind.type;
        entry.detail = record.cast<Record>();
        return true;
    });
    if (taken) {
        return entry;
    }
    throw py::type_error("The record of parameter " + printable_text(name) +
                         " must be an IntParameterInfo, FloatParameterInfo, BoolParameterInfo, "
                         "EnumParameterInfo or StringParameterInfo");
}

std::vector<ParameterEntry> to_entries(const std::vector<ParameterDeclaration>& declarations) {
    std::vector<ParameterEntry> entries;
    for (const auto& declaration : declarations) {
        entries.push_back(to_entry(declaration));
    }
    return entries;
}

std::shared_ptr<CameraTool> make_tool(
    const std::string& kind, const std::string& param_prefix,
    const std::optional<std::vector<ParameterDeclaration>>& params) {
    const std::vector<ParameterEntry> entries =
        params ? to_entries(*params) : default_parameters(kind);
    return make_imx636_tool(kind, param_prefix, entries, make_register_bank());
}

// A registry tool whose class Python does not know, so that it reaches
// Python as a CameraToolBasePrivate.
class RegistryOnlyTool : public CameraToolRegisterWithCallback {
public:
    using CameraToolRegisterWithCallback::CameraToolRegisterWithCallback;

    ToolInfo getToolInfo() override {
        ToolInfo info;
        info.tool_type = ToolType::APS_CTRL;
        info.tool_name = "RegistryOnly";
        for (const auto& entry : param_map) {
            info.parameter_names.push_back(entry.first);
        }
        info.description = "Registry tool without a class of its own";
        return info;
    }
};

std::unique_ptr<CameraToolBasePrivate> make_registry_tool(
    const std::string& param_prefix, const std::vector<ParameterDeclaration>& params) {
    auto tool = std::make_unique<RegistryOnlyTool>(param_prefix, make_register_bank());
    for (const auto& entry : to_entries(params)) {
        tool->addParameter(entry);
    }
    return tool;
}

// The tool is asked from a thread of its own while the caller waits without
// the interpreter lock, as kit code running on a device thread would.
ToolInfo tool_info_from_thread(const std::shared_ptr<CameraTool>& tool) {
    ToolInfo info;
    call_on_new_thread([&] { info = tool->getToolInfo(); });
    return info;
}

// C++ code that shares a tool with Python, as the kit does with the tools it
// hands out: the tool must stay whole while either side holds it.
class ToolHolder {
public:
    explicit ToolHolder(std::shared_ptr<CameraTool> tool) : tool_(std::move(tool)) {}

    ToolInfo toolInfo() const { return tool_->getToolInfo(); }
    std::shared_ptr<CameraTool> tool() const { return tool_; }

    // A Python tool may hold its own holder: the cycle through C++ is
    // collectable once the collector sees the holder's reference to the
    // tool. Only a sole owner's reference is the holder's to show. The
    // collector breaks such a cycle by clearing the tool's attributes, so a
    // holder never needs clearing itself (collected_types.h).
    int traverse(visitproc visit, void* arg) const {
        if (tool_.use_count() == 1) {
            Py_VISIT(orvane::python::internals::python_owner(tool_));
        }
        return 0;
    }

private:
    std::shared_ptr<CameraTool> tool_;
};

}  // namespace

std::vector<std::shared_ptr<CameraTool>> make_camera_tools(SensorSize sensor) {
    const auto bank = make_register_bank();
    std::vector<std::shared_ptr<CameraTool>> tools;
    for (const auto& kind : imx636_tool_kinds()) {
        tools.push_back(make_imx636_tool(kind, "", default_parameters(kind, sensor), bank, sensor));
    }
    // A camera lists its tools in ToolType order.
    std::stable_sort(tools.begin(), tools.end(), [](const auto& left, const auto& right) {
        return left->getToolInfo().tool_type < right->getToolInfo().tool_type;
    });
    return tools;
}

void register_tools(py::module_& m) {
    m.def("make_tool", &make_tool, py::arg("kind"), py::arg("param_prefix") = "",
          py::arg("params") = py::none(), docs::kMakeTool);
    m.def("make_registry_tool", &make_registry_tool, py::arg("param_prefix") = "",
          py::arg("params") = std::vector<ParameterDeclaration>(), docs::kMakeRegistryTool);
    // The binding layer would pass None as an empty pointer, which the
    // thread or the holder would then call through.
    m.def("tool_info_from_thread", &tool_info_from_thread, py::arg("tool").none(false),
          docs::kToolInfoFromThread);
    orvane::python::wait_for_calls_at_exit();
    py::class_<ToolHolder>(m, "ToolHolder", py::custom_type_setup(&collected<ToolHolder>),
                           docs::kToolHolder)
        .def(py::init<std::shared_ptr<CameraTool>>(), py::arg("tool").none(false),
             docs::kToolHolderInit)
        .def("tool_info", &ToolHolder::toolInfo, docs::kToolHolderToolInfo)
        .def("tool", &ToolHolder::tool, docs::kToolHolderTool);
}

}  // namespace orvane::sim::python
