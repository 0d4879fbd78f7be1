#include <pybind11/pybind11.h>

#include <string>

#include "CameraDescription.h"
#include "camera_tool_binding.h"

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

// Camera descriptors, then the raw event stream formats.
void register_core(py::module_& m) { register_camera_description(m); }

}  // namespace

PYBIND11_MODULE(orvane_hal_py, m) {
    register_core(m);
    orvane::python::register_camera_tools(m);
}
