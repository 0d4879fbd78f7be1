#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Event2D.h"
#include "EventTriggerIn.h"

namespace orvane::sim {

// Sensor geometry of the simulated camera.
constexpr int kSensorWidth = 1280;
constexpr int kSensorHeight = 720;

// Hands a C++ buffer of `n` records to NumPy without copying it: the array
// owns the buffer through a capsule. `fill(i)` makes record i.
template <typename Record, typename Fill>
pybind11::array_t<Record> records_to_numpy(std::size_t n, Fill fill) {
    auto* records = new std::vector<Record>(n);
    pybind11::capsule owner(records, [](void* p) { delete static_cast<std::vector<Record>*>(p); });
    for (std::size_t i = 0; i < n; ++i) {
        (*records)[i] = fill(i);
    }
    return pybind11::array_t<Record>({static_cast<pybind11::ssize_t>(n)}, records->data(), owner);
}

// Record i of the simulated DVS stream, stamped `first_t + i`.
Event2D simulated_event(std::size_t i, uint64_t first_t);

// Record i of the simulated trigger stream, stamped `first_t + i`.
EventTriggerIn simulated_trigger(std::size_t i, uint64_t first_t);

void register_events(pybind11::module_& m);

}  // namespace orvane::sim
