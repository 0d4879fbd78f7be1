#include "sim_scene_input.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "PrintableText.h"
#include "calls_in_flight.h"
#include "python_values.h"
#include "sim_events.h"

namespace py = pybind11;

namespace orvane::sim::python {

namespace {

using orvane::python::type_name;

// Event2D holds columns and rows in 16 bits.
constexpr int kLargestSide = std::numeric_limits<uint16_t>::max();

int sensor_side(int64_t side, const std::string& name) {
    if (side < 1 || side > kLargestSide) {
        throw py::value_error(std::string(name) + " must be 1 to " + std::to_string(kLargestSide) +
                              ", got " + std::to_string(side));
    }
    return static_cast<int>(side);
}

bool is_text(const py::handle& value) {
    return PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) ||
           PyByteArray_Check(value.ptr());
}

using Uint8Frames = py::array_t<uint8_t, py::array::c_style>;

// `frames` as a C-contiguous uint8 array. Any dtype equivalent to uint8 is
// taken (one with metadata, or one that went through pickle).
Uint8Frames uint8_frames(const py::handle& frames, const std::string& what) {
    if (!py::isinstance<py::array>(frames)) {
        throw py::type_error(
            what + " must be a NumPy array of dtype uint8, got " +
            py::str(py::type::handle_of(frames).attr("__name__")).cast<std::string>());
    }
    if (!py::array_t<uint8_t>::check_(frames)) {
        throw py::type_error(
            what + " must be of dtype uint8, got " +
            py::str(py::reinterpret_borrow<py::array>(frames).dtype()).cast<std::string>());
    }
    // Raises what NumPy's copy raises: MemoryError for a strided view of
    // more bytes than any memory holds.
    return Uint8Frames(py::reinterpret_borrow<py::object>(frames));
}

struct FrameSize {
    int width = 0;
    int height = 0;
};

void take_frame_size(FrameSize& size, py::ssize_t height, py::ssize_t width, std::size_t index) {
    if (index == 0) {
        size.height = sensor_side(height, "The frames' height");
        size.width = sensor_side(width, "The frames' width");
    } else if (height != size.height || width != size.width) {
        throw py::value_error("All frames must have one size: frame " + std::to_string(index) +
                              " is " + std::to_string(height) + " x " + std::to_string(width) +
                              ", frame 0 is " + std::to_string(size.height) + " x " +
                              std::to_string(size.width));
    }
}

// Frame `index` of a user's scene, an H x W uint8 array, as bytes.
std::vector<uint8_t> frame_pixels(const py::handle& frame, std::size_t index, FrameSize& size) {
    const std::string what = "Frame " + std::to_string(index);
    const Uint8Frames array = uint8_frames(frame, what);
    if (array.ndim() != 2) {
        throw py::value_error(what + " must be H x W, got " + std::to_string(array.ndim()) +
                              " dimensions");
    }
    take_frame_size(size, array.shape(0), array.shape(1), index);
    return {array.data(), array.data() + array.size()};
}

// One N x H x W array, or a sequence of H x W arrays.
std::vector<TimedFrame> frames_from_python(const py::object& scene, FrameSize& size) {
    std::vector<TimedFrame> frames;
    if (py::isinstance<py::array>(scene)) {
        const Uint8Frames array = uint8_frames(scene, "The frames");
        if (array.ndim() != 3) {
            throw py::value_error("An array of frames must be N x H x W, got " +
                                  std::to_string(array.ndim()) + " dimensions");
        }
        if (array.shape(0) > 0) {
            take_frame_size(size, array.shape(1), array.shape(2), 0);
        }
        const std::size_t frame_size = static_cast<std::size_t>(size.width) * size.height;
        for (py::ssize_t k = 0; k < array.shape(0); ++k) {
            const uint8_t* first = array.data(k);
            frames.push_back({0, {first, first + frame_size}});
        }
    } else {
        for (const py::handle item : scene) {
            frames.push_back({0, frame_pixels(item, frames.size(), size)});
        }
    }
    if (frames.empty()) {
        throw py::value_error("A scene of frames needs at least one frame");
    }
    return frames;
}

// A time stamp in microseconds, or nothing for a value that is not an
// integer. Raises ValueError for one out of range; every other error passes.
std::optional<uint64_t> time_stamp(const py::handle& value) {
    const auto index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!index) {
        if (PyErr_ExceptionMatches(PyExc_TypeError)) {
            PyErr_Clear();
            return std::nullopt;
        }
        throw py::error_already_set();
    }
    int overflow = 0;
    const long long t = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (t == -1 && PyErr_Occurred()) {
        throw py::error_already_set();
    }
    if (overflow < 0 || (overflow == 0 && t < 0)) {
        throw py::value_error("Frame time stamps must not be negative, got " +
                              py::str(index).cast<std::string>());
    }
    if (overflow > 0) {
        throw py::value_error("Frame time stamps must be at most " +
                              std::to_string(std::numeric_limits<long long>::max()) + " us, got " +
                              py::str(index).cast<std::string>());
    }
    return static_cast<uint64_t>(t);
}

std::string one_time_stamp_per_frame(std::size_t frames, std::size_t times) {
    return "There must be one time stamp per frame: got " + std::to_string(frames) +
           " frames and " + std::to_string(times) + " time stamps";
}

// Gives each of `frames` its time stamp from `frame_times_us`.
void take_times(const py::object& frame_times_us, std::vector<TimedFrame>& frames) {
    if (frame_times_us.is_none()) {
        throw py::value_error("A scene of frames needs frame_times_us, one time stamp per frame");
    }
    const char* const not_integers = "frame_times_us must be a sequence of integers (microseconds)";
    if (!PySequence_Check(frame_times_us.ptr()) || is_text(frame_times_us)) {
        throw py::type_error(not_integers);
    }
    // The length is only the sequence's claim: one that ends before it is refused.
    const std::size_t claimed = py::len(frame_times_us);
    if (claimed != frames.size()) {
        throw py::value_error(one_time_stamp_per_frame(frames.size(), claimed));
    }
    std::size_t given = 0;
    for (const py::handle item : frame_times_us) {
        if (given == frames.size()) {
            break;
        }
        const std::optional<uint64_t> t = time_stamp(item);
        if (!t) {
            throw py::type_error(not_integers);
        }
        frames[given++].time_us = *t;
    }
    if (given != frames.size()) {
        throw py::value_error(one_time_stamp_per_frame(frames.size(), given));
    }
}

}  // namespace

// A user's iterator of (time_us, frame) pairs, read as the scene needs it:
// from whichever thread reads the camera, with or without the interpreter lock.
class IteratorFrames {
public:
    explicit IteratorFrames(py::object iterator) : iterator_(std::move(iterator)) {}
    IteratorFrames(const IteratorFrames&) = delete;
    IteratorFrames& operator=(const IteratorFrames&) = delete;
    ~IteratorFrames() {
        py::gil_scoped_acquire gil;
        iterator_ = py::object();
    }

    const FrameSize& size() const { return size_; }

    // An iterator that raised is asked again, and goes on if it can; one
    // that the exception ended (a generator always, Ctrl-C inside it
    // included) would seem to have run out of frames, so that every later
    // read held its last frame: its frames are refused instead, naming what
    // ended it.
    std::optional<TimedFrame> next(std::size_t index) {
        const orvane::python::LockTaken lock;
        if (!iterator_) {
            throw std::runtime_error(
                "The scene's iterator is gone: the garbage collector took it, in a cycle of "
                "objects that hold the camera");
        }
        const auto item = py::reinterpret_steal<py::object>(PyIter_Next(iterator_.ptr()));
        if (!item) {
            if (PyErr_Occurred()) {
                py::error_already_set error;
                failure_ = "The scene's iterator raised " + raised(error) + " at frame " +
                           std::to_string(index) + ", which ended it: it gives no more frames";
                throw error;
            }
            if (!failure_.empty()) {
                throw std::runtime_error(failure_);
            }
            return std::nullopt;
        }
        failure_.clear();
        if (!py::isinstance<py::tuple>(item) || py::len(item) != 2) {
            throw py::type_error("Frame " + std::to_string(index) +
                                 " of the scene's iterator must be a (time_us, frame) tuple, got " +
                                 type_name(item));
        }
        const auto pair = py::reinterpret_borrow<py::tuple>(item);
        const std::optional<uint64_t> t = time_stamp(pair[0]);
        if (!t) {
            throw py::type_error("The time of frame " + std::to_string(index) +
                                 " must be an integer (microseconds), got " + type_name(pair[0]));
        }
        return TimedFrame{*t, frame_pixels(pair[1], index, size_)};
    }

    // With the interpreter lock, which every use of the iterator holds.
    int traverse(visitproc visit, void* arg) const {
        Py_VISIT(iterator_.ptr());
        return 0;
    }
    void clear() { iterator_ = py::object(); }

private:
    // The exception's type and message, as a traceback's last line shows them.
    static std::string raised(const py::error_already_set& error) {
        std::string text = py::str(error.type().attr("__name__")).cast<std::string>();
        const auto message = py::reinterpret_steal<py::object>(PyObject_Str(error.value().ptr()));
        const auto encoded = py::reinterpret_steal<py::object>(
            message ? PyUnicode_AsEncodedString(message.ptr(), "utf-8", "backslashreplace")
                    : nullptr);
        if (!encoded) {
            PyErr_Clear();
            return text;
        }
        const std::string said = encoded.cast<std::string>();
        return said.empty() ? text : text + ": " + said;
    }

    py::object iterator_;
    FrameSize size_;
    std::string failure_;
};

int ScenePythonObjects::traverse(visitproc visit, void* arg) const {
    return iterator ? iterator->traverse(visit, arg) : 0;
}

void ScenePythonObjects::clear() {
    if (iterator) {
        iterator->clear();
    }
}

namespace {

std::unique_ptr<Scene> iterator_scene(const py::object& iterator, ScenePythonObjects& held) {
    auto source = std::make_shared<IteratorFrames>(iterator);
    held.iterator = source;
    std::optional<TimedFrame> first = source->next(0);
    if (!first) {
        throw py::value_error("A scene of frames needs at least one frame");
    }
    std::vector<TimedFrame> frames;
    frames.push_back(std::move(*first));
    const FrameSize size = source->size();
    return make_frame_scene(
        std::move(frames), [source](std::size_t index) { return source->next(index); }, size.width,
        size.height);
}

std::unique_ptr<Scene> builtin_scene(const py::object& name_object, int width, int height) {
    const std::string name = orvane::python::text_from(name_object, "scene");
    const auto& names = builtin_scene_names();
    if (std::find(names.begin(), names.end(), name) == names.end()) {
        // Most likely a serial given where the scene goes.
        throw py::value_error("Unknown scene '" + printable_text(name) +
                              "': the built-in scenes are " + builtin_scene_list() +
                              "; a serial number goes by keyword: Camera(serial=...)");
    }
    return make_builtin_scene(name, width, height);
}

}  // namespace

std::unique_ptr<Scene> scene_from_python(const py::object& scene, const py::object& frame_times_us,
                                         std::optional<int> width, std::optional<int> height,
                                         ScenePythonObjects& held) {
    if (is_text(scene)) {
        if (!frame_times_us.is_none()) {
            throw py::value_error(
                "frame_times_us belongs with a scene of frames, not a built-in "
                "scene");
        }
        return builtin_scene(scene, sensor_side(width.value_or(kSensorWidth), "width"),
                             sensor_side(height.value_or(kSensorHeight), "height"));
    }
    if (width || height) {
        throw py::value_error("A scene of frames takes its width and height from the frames");
    }
    if (py::isinstance<py::array>(scene) || py::isinstance<py::sequence>(scene)) {
        FrameSize size;
        std::vector<TimedFrame> frames = frames_from_python(scene, size);
        take_times(frame_times_us, frames);
        return make_frame_scene(std::move(frames), {}, size.width, size.height);
    }
    if (PyIter_Check(scene.ptr())) {
        if (!frame_times_us.is_none()) {
            throw py::value_error(
                "An iterator of frames gives their time stamps itself: frame_times_us must not "
                "be given");
        }
        return iterator_scene(scene, held);
    }
    throw py::type_error(
        "scene must be a scene's name, an N x H x W uint8 array, a sequence of H x W uint8 "
        "arrays or an iterator of (time_us, frame) pairs");
}

}  // namespace orvane::sim::python
