#include "sim_camera.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>
#include <pybind11/typing.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "ApsFrame.h"
#include "CalibratorParameters.h"
#include "CameraDescription.h"
#include "CameraTool.h"
#include "DvsFileInfo.h"
#include "RawEventStreamFormat.h"
#include "calls_in_flight.h"
#include "collected_types.h"
#include "emulator.h"
#include "event_readout.h"
#include "pybind11_internals.h"
#include "sim_docstrings.h"
#include "sim_events.h"
#include "sim_frame.h"
#include "sim_records.h"
#include "sim_scene_input.h"
#include "sim_tool_settings.h"
#include "sim_tools.h"
#include "worker_pool.h"

namespace py = pybind11;

namespace orvane::sim::python {

namespace {

constexpr uint64_t kFirstEventT = 1000;
constexpr uint64_t kFirstTriggerT = 2000;
// More worker threads than this only cost memory on any machine we know.
constexpr int64_t kMostThreads = 1024;

// Any integer: an int, a NumPy integer, anything with __index__.
class Integer : public py::object {
public:
    PYBIND11_OBJECT_DEFAULT(Integer, object, PyIndex_Check)
};

}  // namespace
}  // namespace orvane::sim::python

ORVANE_TYPE_HINT(orvane::sim::python::Integer, "typing.SupportsIndex");

namespace orvane::sim::python {
namespace {

// A count of microseconds from 0 to 2**64 - 1; ValueError, naming `what`
// and the range, for any other integer.
uint64_t microseconds(const Integer& value, const char* what) {
    const auto index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!index) {
        throw py::error_already_set();
    }
    const unsigned long long us = PyLong_AsUnsignedLongLong(index.ptr());
    if (us == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        PyErr_Clear();
        const bool negative = index < py::int_(0);
        throw py::value_error(std::string(what) +
                              (negative
                                   ? " must not be negative, got "
                                   : " must be at most 18446744073709551615 (2**64 - 1) us, got ") +
                              py::str(index).cast<std::string>());
    }
    return us;
}

// Made whole before a read takes effect, so that it fails no more after.
using Records = py::typing::Tuple<py::array_t<Event2D>, py::array_t<EventTriggerIn>>;
using BiasValues = py::typing::Dict<py::str, int>;

// A serial given as bytes need not be UTF-8; repr() shows such bytes as \xnn.
py::str readable(const std::string& text) {
    const auto decoded = py::reinterpret_steal<py::str>(PyUnicode_DecodeUTF8(
        text.data(), static_cast<Py_ssize_t>(text.size()), "backslashreplace"));
    if (!decoded) {
        throw py::error_already_set();
    }
    return decoded;
}

// Thrown out of an emulation when a signal handler raised a Python exception,
// which stays set until the interpreter lock is back with the caller.
struct SignalRaised {};

// Called without the interpreter lock.
void raise_pending_signal() {
    const orvane::python::LockTaken lock;
    if (PyErr_CheckSignals() != 0) {
        throw SignalRaised{};
    }
}

class Camera {
public:
    Camera(std::string serial, std::string scene_text, std::unique_ptr<Scene> scene,
           ScenePythonObjects scene_objects, uint64_t seed, unsigned threads, bool ideal)
        : serial_(std::move(serial)),
          scene_text_(std::move(scene_text)),
          seed_(seed),
          scene_objects_(std::move(scene_objects)),
          emulator_(std::move(scene), seed, threads, ideal),
          tools_(make_camera_tools({static_cast<uint32_t>(emulator_.width()),
                                    static_cast<uint32_t>(emulator_.height())})) {}

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
        const int width = emulator_.width();
        const int height = emulator_.height();
        auto records = records_to_numpy<Event2D>(n, [first, width, height](std::size_t i) {
            return simulated_event(i, first, width, height);
        });
        next_event_t_ += n;
        handed_out_.add(records.data(), n);
        return records;
    }

    py::array_t<EventTriggerIn> triggers(std::size_t n) {
        const uint64_t first = next_trigger_t_;
        auto records = records_to_numpy<EventTriggerIn>(
            n, [first](std::size_t i) { return simulated_trigger(i, first); });
        next_trigger_t_ += n;
        return records;
    }

    Records read(const Integer& duration_us) {
        return read_us(microseconds(duration_us, "duration_us"));
    }

    Records read_us(uint64_t duration_us) {
        const ToolSettings settings = read_tool_settings(tools_);
        std::optional<Records> records;
        const Event2D* first_event = nullptr;
        std::size_t event_count = 0;
        // The arrays are made, and a signal that came since the last check
        // is seen, before the read takes effect: a failure undoes it.
        const auto accept = [&](Readout& readout) {
            const orvane::python::LockTaken lock;
            if (PyErr_CheckSignals() != 0) {
                throw SignalRaised{};
            }
            auto triggers = records_to_numpy(std::move(readout.triggers));
            auto events = events_to_numpy(std::move(readout.events));
            first_event = events.data();
            event_count = static_cast<std::size_t>(events.size());
            records = py::reinterpret_steal<Records>(py::make_tuple(events, triggers).release());
        };
        try {
            // Other Python threads run while the sensor is emulated; a signal
            // handler's exception (Ctrl-C's KeyboardInterrupt) stops the read.
            const orvane::python::LockReleased release;
            emulator_.read(duration_us, settings, [] { raise_pending_signal(); }, accept);
        } catch (const SignalRaised&) {
            throw py::error_already_set();
        }
        handed_out_.add(first_event, event_count);
        return std::move(*records);
    }

    // The scene as it is at the camera's clock, once a read on another thread is done.
    ApsFrame frame() {
        SceneFrame shown;
        {
            const orvane::python::LockReleased release;
            shown = emulator_.frame();
        }
        ApsFrame frame = grayscale_frame(shown.intensities, emulator_.width(), emulator_.height(),
                                         shown.t_us, shown.t_us);
        first_frame_t_ = first_frame_t_.value_or(shown.t_us);
        return frame;
    }

    uint64_t clock_us() const { return emulator_.clock_us(); }

    CalibratorParameters calibration() const {
        return simulated_calibration(serial_, emulator_.width(), emulator_.height());
    }

    DvsFileInfo file_info() const {
        return simulated_file_info(serial_, handed_out_, first_frame_t_.value_or(0),
                                   emulator_.width(), emulator_.height());
    }

    std::string repr() const {
        return "<orvane_sim_py.Camera scene=" + scene_text_ +
               " serial=" + py::repr(readable(serial_)).cast<std::string>() + " " +
               std::to_string(emulator_.width()) + "x" + std::to_string(emulator_.height()) +
               " clock_us=" + std::to_string(emulator_.clock_us()) + ">";
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

    uint64_t seed() const { return seed_; }
    int traverse(visitproc visit, void* arg) const { return scene_objects_.traverse(visit, arg); }
    void clear() { scene_objects_.clear(); }

private:
    std::string serial_;
    std::string scene_text_;
    uint64_t seed_;
    ScenePythonObjects scene_objects_;
    Emulator emulator_;
    uint64_t next_event_t_ = kFirstEventT;
    uint64_t next_trigger_t_ = kFirstTriggerT;
    HandedOutEvents handed_out_;
    std::optional<uint64_t> first_frame_t_;
    std::vector<std::shared_ptr<CameraTool>> tools_;
};

// Reads the camera one slice of its clock at a time. A duration that is no
// multiple of the slice ends with the shorter rest. A slice that fails to
// read leaves it still to come, as read() leaves the camera.
class Stream {
public:
    Stream(py::object camera, uint64_t slice_us, std::optional<uint64_t> duration_us)
        : camera_(std::move(camera)), slice_us_(slice_us), remaining_us_(duration_us) {}

    Records next() {
        if (remaining_us_ && *remaining_us_ == 0) {
            throw py::stop_iteration();
        }
        // Taken before the read, which may let another thread in to take the next one.
        const uint64_t slice_us = remaining_us_ ? std::min(slice_us_, *remaining_us_) : slice_us_;
        if (remaining_us_) {
            *remaining_us_ -= slice_us;
        }
        try {
            if (!camera_) {
                throw py::value_error(
                    "The stream's camera is gone: the garbage collector took it, in a cycle of "
                    "objects that hold the stream");
            }
            return camera_.cast<Camera&>().read_us(slice_us);
        } catch (...) {
            if (remaining_us_) {
                *remaining_us_ += slice_us;
            }
            throw;
        }
    }

    int traverse(visitproc visit, void* arg) const {
        Py_VISIT(camera_.ptr());
        return 0;
    }
    void clear() { camera_ = py::object(); }

private:
    py::object camera_;
    uint64_t slice_us_;
    std::optional<uint64_t> remaining_us_;
};

Stream make_stream(Camera& camera, const Integer& slice_us,
                   const std::optional<Integer>& duration_us) {
    const uint64_t slice = microseconds(slice_us, "slice_us");
    if (slice < 1) {
        throw py::value_error("slice_us must be at least 1, got 0");
    }
    std::optional<uint64_t> remaining_us;
    if (duration_us) {
        remaining_us = microseconds(*duration_us, "duration_us");
    }
    // The Python object that holds the camera, which the stream keeps alive.
    return Stream(py::cast(&camera, py::return_value_policy::reference), slice, remaining_us);
}

unsigned thread_count(const std::optional<int64_t>& threads) {
    if (!threads) {
        return usable_cores();
    }
    if (*threads < 1 || *threads > kMostThreads) {
        throw py::value_error("threads must be 1 to " + std::to_string(kMostThreads) +
                              ", or None for every core this process may use, got " +
                              std::to_string(*threads));
    }
    return static_cast<unsigned>(*threads);
}

// How repr() names the scene: a built-in scene by its name, a user's by its kind.
std::string scene_text(const py::object& scene) {
    if (py::isinstance<py::str>(scene)) {
        return py::repr(scene).cast<std::string>();
    }
    if (py::isinstance<py::array>(scene) || py::isinstance<py::sequence>(scene)) {
        return "frames";
    }
    return "iterator";
}

// The bias values are checked and set by the same Python code that reads bias
// files, so that a mapping and a file are refused alike, and as a whole.
void apply_biases(const Camera& camera, const BiasValues& biases) {
    py::module_::import("orvane_sim.biases")
        .attr("apply_bias_mapping")(camera.tool(ToolType::BIAS), biases);
}

std::unique_ptr<Camera> make_camera(const py::object& scene, std::string serial, uint64_t seed,
                                    const py::object& frame_times_us, std::optional<int> width,
                                    std::optional<int> height, std::optional<int64_t> threads,
                                    bool ideal, const std::optional<BiasValues>& biases) {
    const unsigned thread_total = thread_count(threads);
    ScenePythonObjects scene_objects;
    auto emulated = scene_from_python(scene, frame_times_us, width, height, scene_objects);
    auto camera =
        std::make_unique<Camera>(std::move(serial), scene_text(scene), std::move(emulated),
                                 std::move(scene_objects), seed, thread_total, ideal);
    if (biases) {
        apply_biases(*camera, *biases);
    }
    return camera;
}

// Writing files is the pure-Python package's work; the method only hands it the camera.
int64_t record(const py::object& camera, const std::filesystem::path& path, int64_t duration_us,
               int64_t slice_us, const std::optional<std::string>& format) {
    return py::module_::import("orvane_sim.recording")
        .attr("record")(camera, path, duration_us, py::arg("slice_us") = slice_us,
                        py::arg("format") = format)
        .cast<int64_t>();
}

}  // namespace

void register_camera(py::module_& m) {
    m.attr("READOUT_EVENTS_PER_US") = kReadoutPerUs;
    // A camera holds its scene's iterator, and a stream its camera, either of
    // which may hold them back (a scene that is a generator method of the
    // camera's owner, a Camera subclass that keeps its stream): the collector
    // must see those references to free such a cycle, and its threads with it.
    py::class_<Stream>(m, "CameraStream", docs::kCameraStreamClass,
                       py::custom_type_setup(&collected<Stream>))
        .def(
            "__iter__", [](Stream& self) -> Stream& { return self; },
            py::return_value_policy::reference, docs::kStreamIter)
        .def("__next__", &Stream::next, docs::kStreamNext);
    py::class_<Camera>(m, "Camera", docs::kCamera, py::custom_type_setup(&collected<Camera>))
        .def(py::init(&make_camera), py::arg("scene") = "bar", py::kw_only(),
             py::arg("serial") = "SIM-0001", py::arg("seed") = 0,
             py::arg("frame_times_us") = py::none(), py::arg("width") = py::none(),
             py::arg("height") = py::none(), py::arg("threads") = py::none(),
             py::arg("ideal") = false, py::arg("biases") = py::none(), docs::kCameraInit)
        .def("__repr__", &Camera::repr, docs::kCameraRepr)
        .def_property_readonly("serial", &Camera::serial, docs::kCameraSerial)
        .def_property_readonly("seed", &Camera::seed, docs::kCameraSeed)
        .def_property_readonly("clock_us", &Camera::clock_us, docs::kCameraClock)
        .def("description", &Camera::description, docs::kCameraDescription)
        .def("events", &Camera::events, py::arg("n"), docs::kCameraEvents)
        .def("triggers", &Camera::triggers, py::arg("n"), docs::kCameraTriggers)
        .def("read", &Camera::read, py::arg("duration_us"), docs::kCameraRead)
        .def("stream", &make_stream, py::arg("slice_us"), py::arg("duration_us") = py::none(),
             docs::kCameraStream)
        .def("record", &record, py::arg("path"), py::arg("duration_us"), py::kw_only(),
             py::arg("slice_us") = 100'000, py::arg("format") = py::none(), docs::kCameraRecord)
        .def("tools", &Camera::tools, docs::kCameraTools)
        .def("tool", &Camera::tool, py::arg("tool_type"), docs::kCameraTool)
        .def("stream_format", &Camera::stream_format, docs::kCameraStreamFormat)
        .def("frame", &Camera::frame, docs::kCameraFrame)
        .def("calibration", &Camera::calibration, docs::kCameraCalibration)
        .def("file_info", &Camera::file_info, docs::kCameraFileInfo);
}

}  // namespace orvane::sim::python
