#include "sim_camera.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "ApsFrame.h"
#include "CalibratorParameters.h"
#include "CameraDescription.h"
#include "CameraTool.h"
#include "DvsFileInfo.h"
#include "RawEventStreamFormat.h"
#include "emulator.h"
#include "sim_events.h"
#include "sim_frame.h"
#include "sim_records.h"
#include "sim_scene_input.h"
#include "sim_tool_settings.h"
#include "sim_tools.h"

namespace py = pybind11;

namespace orvane::sim {

namespace {

constexpr uint64_t kFirstEventT = 1000;
constexpr uint64_t kFirstTriggerT = 2000;
constexpr uint64_t kFirstFrameT = 0;

class Camera {
public:
    Camera(std::string serial, std::unique_ptr<Scene> scene, uint64_t seed, unsigned threads)
        : serial_(std::move(serial)),
          emulator_(std::move(scene), seed, threads),
          tools_(make_camera_tools()) {}

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
        return RawEventStreamFormat("EVT3;height=" + std::to_string(emulator_.height()) +
                                    ";width=" + std::to_string(emulator_.width()));
    }

    // Each call continues the stream where the previous one stopped; a
    // refused count, which no buffer can hold, leaves the stream as it was.
    py::array_t<Event2D> events(std::size_t n) {
        const uint64_t first = next_event_t_;
        auto records = records_to_numpy<Event2D>(
            n, [first](std::size_t i) { return simulated_event(i, first); });
        next_event_t_ += n;
        return records;
    }

    py::array_t<EventTriggerIn> triggers(std::size_t n) {
        const uint64_t first = next_trigger_t_;
        auto records = records_to_numpy<EventTriggerIn>(
            n, [first](std::size_t i) { return simulated_trigger(i, first); });
        next_trigger_t_ += n;
        return records;
    }

    std::tuple<py::array_t<Event2D>, py::array_t<EventTriggerIn>> read(int64_t duration_us) {
        if (duration_us < 0) {
            throw py::value_error("duration_us must not be negative, got " +
                                  std::to_string(duration_us));
        }
        Readout readout =
            emulator_.read(static_cast<uint64_t>(duration_us), read_tool_settings(tools_));
        return {records_to_numpy(std::move(readout.events)),
                records_to_numpy(std::move(readout.triggers))};
    }

    // The scene as it is at the camera's clock.
    ApsFrame frame() const {
        return grayscale_frame(emulator_.frame(), emulator_.width(), emulator_.height(),
                               emulator_.clock_us(), emulator_.clock_us());
    }

    uint64_t clock_us() const { return emulator_.clock_us(); }

    CalibratorParameters calibration() const {
        return simulated_calibration(serial_, emulator_.width(), emulator_.height());
    }

    DvsFileInfo file_info() const {
        return simulated_file_info(serial_, kFirstEventT, next_event_t_, kFirstFrameT,
                                   emulator_.width(), emulator_.height());
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
    Emulator emulator_;
    uint64_t next_event_t_ = kFirstEventT;
    uint64_t next_trigger_t_ = kFirstTriggerT;
    std::vector<std::shared_ptr<CameraTool>> tools_;
};

std::unique_ptr<Camera> make_camera(std::string serial, const py::object& scene, uint64_t seed,
                                    const py::object& frame_times_us, std::optional<int> width,
                                    std::optional<int> height, std::optional<int> threads) {
    if (threads && *threads < 1) {
        throw py::value_error("threads must be at least 1, not " + std::to_string(*threads));
    }
    // None: every core the machine has.
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::make_unique<Camera>(std::move(serial),
                                    scene_from_python(scene, frame_times_us, width, height), seed,
                                    threads ? static_cast<unsigned>(*threads) : cores);
}

}  // namespace

void register_camera(py::module_& m) {
    py::class_<Camera>(m, "Camera")
        .def(py::init(&make_camera), py::arg("serial") = "SIM-0001", py::arg("scene") = "bar",
             py::arg("seed") = 0, py::kw_only(), py::arg("frame_times_us") = py::none(),
             py::arg("width") = py::none(), py::arg("height") = py::none(),
             py::arg("threads") = py::none())
        .def_property_readonly("serial", &Camera::serial)
        .def_property_readonly("clock_us", &Camera::clock_us)
        .def("description", &Camera::description)
        .def("events", &Camera::events, py::arg("n"))
        .def("triggers", &Camera::triggers, py::arg("n"))
        .def("read", &Camera::read, py::arg("duration_us"))
        .def("tools", &Camera::tools)
        .def("tool", &Camera::tool, py::arg("tool_type"))
        .def("stream_format", &Camera::stream_format)
        .def("frame", &Camera::frame)
        .def("calibration", &Camera::calibration)
        .def("file_info", &Camera::file_info);
}

}  // namespace orvane::sim
