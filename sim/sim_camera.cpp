#include "sim_camera.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CameraDescription.h"
#include "CameraTool.h"
#include "sim_events.h"
#include "sim_tools.h"

namespace py = pybind11;

namespace orvane::sim {

namespace {

class Camera {
public:
    explicit Camera(std::string serial) : serial_(std::move(serial)), tools_(make_camera_tools()) {}

    CameraDescription description() const {
        CameraDescription description;
        description.serial = serial_;
        description.product = "IMX636 simulator";
        description.manufacturer = "Orvane";
        description.vid = 0x31f7;
        description.pid = 0x0636;
        description.interfaceType = USB;
        return description;
    }

    // Each call continues the stream where the previous one stopped.
    py::array_t<Event2D> events(std::size_t n) {
        const uint64_t first = next_event_t_;
        next_event_t_ += n;
        return records_to_numpy<Event2D>(
            n, [first](std::size_t i) { return simulated_event(i, first); });
    }

    py::array_t<EventTriggerIn> triggers(std::size_t n) {
        const uint64_t first = next_trigger_t_;
        next_trigger_t_ += n;
        return records_to_numpy<EventTriggerIn>(
            n, [first](std::size_t i) { return simulated_trigger(i, first); });
    }

    const std::vector<std::shared_ptr<CameraTool>>& tools() const { return tools_; }

    // None when the camera has no tool of that type.
    std::shared_ptr<CameraTool> tool(ToolType type) const {
        for (const auto& tool : tools_) {
            if (tool->getToolInfo().tool_type == type) {
                return tool;
            }
        }
        return nullptr;
    }

    const std::string& serial() const { return serial_; }

private:
    std::string serial_;
    uint64_t next_event_t_ = 1000;
    uint64_t next_trigger_t_ = 2000;
    std::vector<std::shared_ptr<CameraTool>> tools_;
};

}  // namespace

void register_camera(py::module_& m) {
    py::class_<Camera>(m, "Camera")
        .def(py::init<std::string>(), py::arg("serial") = "SIM-0001")
        .def_property_readonly("serial", &Camera::serial)
        .def("description", &Camera::description)
        .def("events", &Camera::events, py::arg("n"))
        .def("triggers", &Camera::triggers, py::arg("n"))
        .def("tools", &Camera::tools)
        .def("tool", &Camera::tool, py::arg("tool_type"));
}

}  // namespace orvane::sim
