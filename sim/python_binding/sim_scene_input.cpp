#include "sim_scene_input.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
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

// What a frame's dtype holds: bytes, or floating point values from 0 to 1.
enum class ValueKind { bytes, floats, doubles };

// Any dtype equivalent to one of these is taken (one with metadata, or one
// that went through pickle).
std::optional<ValueKind> value_kind(const py::array& array) {
    if (py::array_t<uint8_t>::check_(array)) {
        return ValueKind::bytes;
    }
    if (py::array_t<float>::check_(array)) {
        return ValueKind::floats;
    }
    if (py::array_t<double>::check_(array)) {
        return ValueKind::doubles;
    }
    return std::nullopt;
}

std::string shape_text(const py::array& array) {
    return py::str(array.attr("shape")).cast<std::string>();
}

// Frames as one C-contiguous array of the values they hold.
struct FrameValues {
    py::array array;
    ValueKind kind;
};

// `frames` (which `what` names) as C-contiguous values. Raises what NumPy's
// copy raises: MemoryError for a strided view of more bytes than any memory
// holds.
FrameValues frame_values(const py::handle& frames, const std::string& what) {
    if (!py::isinstance<py::array>(frames)) {
        throw py::type_error(
            what + " must be a NumPy array, got " +
            py::str(py::type::handle_of(frames).attr("__name__")).cast<std::string>());
    }
    const auto array = py::reinterpret_borrow<py::array>(frames);
    const std::optional<ValueKind> kind = value_kind(array);
    if (!kind) {
        throw py::value_error(what + " must be of dtype uint8, float32 or float64, got " +
                              py::str(array.dtype()).cast<std::string>());
    }
    switch (*kind) {
        case ValueKind::bytes:
            return {py::array_t<uint8_t, py::array::c_style>(array), *kind};
        case ValueKind::floats:
            return {py::array_t<float, py::array::c_style>(array), *kind};
        case ValueKind::doubles:
            break;
    }
    return {py::array_t<double, py::array::c_style>(array), *kind};
}

FrameFormat frame_format(ValueKind kind, bool rgb) {
    switch (kind) {
        case ValueKind::bytes:
            return rgb ? FrameFormat::rgb8 : FrameFormat::grey8;
        case ValueKind::floats:
            return rgb ? FrameFormat::rgb_float : FrameFormat::grey_float;
        case ValueKind::doubles:
            break;
    }
    return rgb ? FrameFormat::rgb_double : FrameFormat::grey_double;
}

// Whether the last of the `image_axes` axes from `first_axis` on is an RGB
// one; nothing when the array is neither H x W nor H x W x 3 there.
std::optional<bool> rgb_axes(const py::array& array, py::ssize_t first_axis) {
    const py::ssize_t image_axes = array.ndim() - first_axis;
    if (image_axes == 2) {
        return false;
    }
    if (image_axes == 3 && array.shape(first_axis + 2) == 3) {
        return true;
    }
    return std::nullopt;
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

// The bytes of `values`, copied: the camera's events must not change when the
// caller later writes to its array, or when a source reuses one buffer for every
// frame. Raises MemoryError when they do not fit.
std::shared_ptr<const std::vector<uint8_t>> copied_bytes(const py::array& values) {
    const auto* first = static_cast<const uint8_t*>(values.data());
    return std::make_shared<const std::vector<uint8_t>>(first, first + values.nbytes());
}

// Frame `index` of a user's scene, an H x W or H x W x 3 array, without its
// time stamp, copied.
TimedFrame one_frame(const py::handle& frame, std::size_t index, FrameSize& size) {
    const std::string what = "Frame " + std::to_string(index);
    FrameValues values = frame_values(frame, what);
    const std::optional<bool> rgb = rgb_axes(values.array, 0);
    if (!rgb) {
        throw py::value_error(what + " must be H x W, or H x W x 3 for RGB, got shape " +
                              shape_text(values.array));
    }
    take_frame_size(size, values.array.shape(0), values.array.shape(1), index);
    const FrameFormat format = frame_format(values.kind, *rgb);
    auto copy = copied_bytes(values.array);
    return {0, format, copy->data(), copy};
}

// One N x H x W (x 3) array, or a sequence of H x W (x 3) arrays.
std::vector<TimedFrame> frames_from_python(const py::object& scene, FrameSize& size) {
    std::vector<TimedFrame> frames;
    if (py::isinstance<py::array>(scene)) {
        FrameValues values = frame_values(scene, "The frames");
        const py::array& array = values.array;
        const std::optional<bool> rgb = array.ndim() < 1 ? std::nullopt : rgb_axes(values.array, 1);
        if (!rgb) {
            throw py::value_error(
                "An array of frames must be N x H x W, or N x H x W x 3 for RGB, got shape " +
                shape_text(array));
        }
        if (array.shape(0) > 0) {
            take_frame_size(size, array.shape(1), array.shape(2), 0);
        }
        const FrameFormat format = frame_format(values.kind, *rgb);
        const auto copy = copied_bytes(array);
        const py::ssize_t frame_bytes = array.shape(0) > 0 ? array.strides(0) : 0;
        const uint8_t* first = copy->data();
        for (py::ssize_t k = 0; k < array.shape(0); ++k) {
            frames.push_back({0, format, first + k * frame_bytes, copy});
        }
    } else {
        for (const py::handle item : scene) {
            frames.push_back(one_frame(item, frames.size(), size));
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
        // A copy: a source may give every frame in one buffer that it overwrites.
        TimedFrame frame = one_frame(pair[1], index, size_);
        frame.time_us = *t;
        return frame;
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
        "scene must be a scene's name, an N x H x W (x 3) array, a sequence of H x W (x 3) "
        "arrays or an iterator of (time_us, frame) pairs");
}

}  // namespace orvane::sim::python
