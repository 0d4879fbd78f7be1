#include "sim_scene_input.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "sim_events.h"

namespace py = pybind11;

namespace orvane::sim {

namespace {

// Event2D holds columns and rows in 16 bits.
constexpr int kLargestSide = std::numeric_limits<uint16_t>::max();

int sensor_side(int64_t side, const std::string& name) {
    if (side < 1 || side > kLargestSide) {
        throw py::value_error(std::string(name) + " must be 1 to " + std::to_string(kLargestSide) +
                              ", got " + std::to_string(side));
    }
    return static_cast<int>(side);
}

py::array uint8_frames(const py::handle& frames, const std::string& what) {
    if (!py::isinstance<py::array>(frames)) {
        throw py::type_error(
            what + " must be a NumPy array of dtype uint8, got " +
            py::str(py::type::handle_of(frames).attr("__name__")).cast<std::string>());
    }
    auto array = py::reinterpret_borrow<py::array>(frames);
    if (!array.dtype().is(py::dtype::of<uint8_t>())) {
        throw py::type_error(what + " must be of dtype uint8, got " +
                             py::str(array.dtype()).cast<std::string>());
    }
    return py::array_t<uint8_t, py::array::c_style>::ensure(array);
}

struct Frames {
    std::vector<uint8_t> pixels;
    std::size_t count = 0;
    int width = 0;
    int height = 0;
};

void take_frame_size(Frames& frames, py::ssize_t height, py::ssize_t width, std::size_t index) {
    if (index == 0) {
        frames.height = sensor_side(height, "The frames' height");
        frames.width = sensor_side(width, "The frames' width");
    } else if (height != frames.height || width != frames.width) {
        throw py::value_error("All frames must have one size: frame " + std::to_string(index) +
                              " is " + std::to_string(height) + " x " + std::to_string(width) +
                              ", frame 0 is " + std::to_string(frames.height) + " x " +
                              std::to_string(frames.width));
    }
}

void append_pixels(Frames& frames, const py::array& array) {
    const auto* data = static_cast<const uint8_t*>(array.data());
    frames.pixels.insert(frames.pixels.end(), data, data + array.size());
}

// One N x H x W array, or a sequence of H x W arrays.
Frames frames_from_python(const py::object& scene) {
    Frames frames;
    if (py::isinstance<py::array>(scene)) {
        const py::array array = uint8_frames(scene, "The frames");
        if (array.ndim() != 3) {
            throw py::value_error("An array of frames must be N x H x W, got " +
                                  std::to_string(array.ndim()) + " dimensions");
        }
        frames.count = static_cast<std::size_t>(array.shape(0));
        if (frames.count == 0) {
            throw py::value_error("A scene of frames needs at least one frame");
        }
        take_frame_size(frames, array.shape(1), array.shape(2), 0);
        append_pixels(frames, array);
        return frames;
    }
    if (!py::isinstance<py::sequence>(scene)) {
        throw py::type_error(
            "scene must be a scene's name, an N x H x W uint8 array or a sequence "
            "of H x W uint8 arrays");
    }
    for (const py::handle item : scene) {
        const std::string what = "Frame " + std::to_string(frames.count);
        const py::array array = uint8_frames(item, what);
        if (array.ndim() != 2) {
            throw py::value_error(what + " must be H x W, got " + std::to_string(array.ndim()) +
                                  " dimensions");
        }
        take_frame_size(frames, array.shape(0), array.shape(1), frames.count);
        append_pixels(frames, array);
        ++frames.count;
    }
    if (frames.count == 0) {
        throw py::value_error("A scene of frames needs at least one frame");
    }
    return frames;
}

std::vector<uint64_t> times_from_python(const py::object& frame_times_us) {
    if (frame_times_us.is_none()) {
        throw py::value_error("A scene of frames needs frame_times_us, one time stamp per frame");
    }
    std::vector<int64_t> times;
    try {
        times = frame_times_us.cast<std::vector<int64_t>>();
    } catch (const py::cast_error&) {
        throw py::type_error("frame_times_us must be a sequence of integers (microseconds)");
    }
    std::vector<uint64_t> unsigned_times;
    for (const int64_t t : times) {
        if (t < 0) {
            throw py::value_error("Frame time stamps must not be negative, got " +
                                  std::to_string(t));
        }
        unsigned_times.push_back(static_cast<uint64_t>(t));
    }
    return unsigned_times;
}

}  // namespace

std::unique_ptr<Scene> scene_from_python(const py::object& scene, const py::object& frame_times_us,
                                         std::optional<int> width, std::optional<int> height) {
    if (py::isinstance<py::str>(scene)) {
        if (!frame_times_us.is_none()) {
            throw py::value_error(
                "frame_times_us belongs with a scene of frames, not a built-in "
                "scene");
        }
        return make_builtin_scene(scene.cast<std::string>(),
                                  sensor_side(width.value_or(kSensorWidth), "width"),
                                  sensor_side(height.value_or(kSensorHeight), "height"));
    }
    if (width || height) {
        throw py::value_error("A scene of frames takes its width and height from the frames");
    }
    Frames frames = frames_from_python(scene);
    return make_frame_scene(std::move(frames.pixels), times_from_python(frame_times_us),
                            frames.width, frames.height);
}

}  // namespace orvane::sim
