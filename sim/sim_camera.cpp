#include "sim_camera.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ApsFrame.h"
#include "CalibratorParameters.h"
#include "CameraDescription.h"
#include "CameraTool.h"
#include "DvsFileInfo.h"
#include "RawEventStreamFormat.h"
#include "sim_events.h"
#include "sim_frame.h"
#include "sim_records.h"
#include "sim_tools.h"

namespace py = pybind11;

namespace orvane::sim {

namespace {

constexpr uint64_t kFirstEventT = 1000;
constexpr uint64_t kFirstTriggerT = 2000;
constexpr uint64_t kFirstFrameT = 1000;
constexpr uint64_t kExposure = 10000;
constexpr uint64_t kFramePeriod = 33333;

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

    RawEventStreamFormat stream_format() const {
        return RawEventStreamFormat("EVT3;height=" + std::to_string(kSensorHeight) +
                                    ";width=" + std::to_string(kSensorWidth));
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

    // Frames follow each other at a fixed period, each exposed for a fixed time.
    ApsFrame frame() {
        const uint64_t start = next_frame_t_;
        next_frame_t_ += kFramePeriod;
        return test_pattern_frame(start, start + kExposure);
    }

    CalibratorParameters calibration() const { return simulated_calibration(serial_); }

    DvsFileInfo file_info() const {
        return simulated_file_info(serial_, kFirstEventT, next_event_t_, kFirstFrameT);
    }

    const std::vector<std::shared_ptr<CameraTool>>& tools() const { return tools_; }

    // None when the camera has no tool of that type.
    std::optional<std::shared_ptr<CameraTool>> tool(ToolType type) const {
        for (const auto& tool : tools_) {
            if (tool->getToolInfo().tool_type == type) {
                return tool;
            }
        }
        return std::nullopt;
    }

    const std::string& serial() const { return serial_; }

private:
    std::string serial_;
    uint64_t next_event_t_ = kFirstEventT;
    uint64_t next_trigger_t_ = kFirstTriggerT;
    uint64_t next_frame_t_ = kFirstFrameT;
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
        .def("tool", &Camera::tool, py::arg("tool_type"))
        .def("stream_format", &Camera::stream_format)
        .def("frame", &Camera::frame)
        .def("calibration", &Camera::calibration)
        .def("file_info", &Camera::file_info);
}

}  // namespace orvane::sim
