#include <pybind11/pybind11.h>

#include <string>

#include "CameraDescription.h"
#include "RawEventStreamFormat.h"
#include "bound_class_guards.h"
#include "calls_in_flight.h"
#include "camera_tool_binding.h"
#include "pybind11_internals.h"

namespace py = pybind11;

namespace {

std::string describe(const orvane::CameraDescription& description) {
    std::string text = "Product: ";
    text += description.manufacturer;
    text += "-";
    text += description.product;
    text += " \nSerial: ";
    text += description.serial;
    text += " \nInterface: ";
    text += orvane::to_string(description.interfaceType);
    return text;
}

void register_camera_description(py::module_& m) {
    py::enum_<orvane::INTERFACE_TYPE>(m, "INTERFACE_TYPE").value("USB", orvane::USB);

    py::enum_<orvane::CAMERA_TYPE>(m, "CAMERA_TYPE")
        .value("TARN", orvane::TARN)
        .value("Glimra", orvane::Glimra)
        .value("Pairline", orvane::Pairline)
        .value("Sorel", orvane::Sorel);

    py::class_<orvane::CameraDescription>(m, "CameraDescription")
        .def(py::init<>())
        .def_readwrite("serial", &orvane::CameraDescription::serial)
        .def_readwrite("product", &orvane::CameraDescription::product)
        .def_readwrite("manufacturer", &orvane::CameraDescription::manufacturer)
        .def_readwrite("vid", &orvane::CameraDescription::vid)
        .def_readwrite("pid", &orvane::CameraDescription::pid)
        .def_readwrite("interfaceType", &orvane::CameraDescription::interfaceType)
        .def("__str__", &describe);
}

void register_raw_event_stream_format(py::module_& m) {
    using orvane::RawEventStreamEncodingType;
    using orvane::RawEventStreamFormat;

    py::enum_<RawEventStreamEncodingType>(m, "RawEventStreamEncodingType")
        .value("EVT3", RawEventStreamEncodingType::EVT3)
        .value("UNKNOWN", RawEventStreamEncodingType::UNKNOWN);

    py::class_<RawEventStreamFormat>(m, "RawEventStreamFormat")
        .def(py::init<std::string>())
        .def("get_encoding_type_str", &RawEventStreamFormat::getEncodingTypeStr)
        .def("get_encoding_type", &RawEventStreamFormat::getEncodingType)
        .def("contains", &RawEventStreamFormat::contains, py::arg("name"),
             "Check if the format contains a specific option")
        .def(
            "__getitem__",
            // The library returns a reference into its option map: copy it
            // before anything else can touch the format.
            [](const RawEventStreamFormat& format, const std::string& name) {
                return std::string(format[name]);
            },
            py::arg("name"), "Get the value of the option by name");
}

// Camera descriptors, then the raw event stream formats.
void register_core(py::module_& m) {
    register_camera_description(m);
    register_raw_event_stream_format(m);
}

}  // namespace

// The framework's state is the main interpreter's: a subinterpreter gets
// ImportError.
ORVANE_PYBIND11_MODULE(orvane_hal_py, m, py::multiple_interpreters::not_supported()) {
    // Enumerations carry no docstring, not even the generated member list.
    py::options options;
    options.disable_enum_members_docstring();
    register_core(m);
    orvane::python::register_camera_tools(m);
    orvane::python::wait_for_calls_at_exit();
    orvane::python::guard_bound_classes(m);
}
