#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <optional>

#include "scene.h"

namespace orvane::sim::python {

class IteratorFrames;

// The Python objects a scene holds while it is read: a user's iterator of
// frames, which may hold the camera in turn (a generator method of the
// object that owns the camera). The camera shows them to the garbage
// collector, which may clear them; the scene then refuses further frames.
struct ScenePythonObjects {
    std::shared_ptr<IteratorFrames> iterator;

    int traverse(visitproc visit, void* arg) const;
    void clear();
};

// The scene a Camera is made with: a built-in scene's name (its size from
// `width` and `height`, 1280 x 720 when not given), or a user's frames
// (grey or RGB, bytes or floating point) with their time stamps. Raises TypeError or ValueError
// with what was wrong.
std::unique_ptr<Scene> scene_from_python(const pybind11::object& scene,
                                         const pybind11::object& frame_times_us,
                                         std::optional<int> width, std::optional<int> height,
                                         ScenePythonObjects& held);

}  // namespace orvane::sim::python
