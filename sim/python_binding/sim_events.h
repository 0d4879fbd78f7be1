#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "Event2D.h"
#include "EventTriggerIn.h"
#include "camera/tools/ToolFactory.h"
#include "event_buffer.h"
#include "pybind11_internals.h"
#include "records.h"

namespace orvane::sim::python {

// The sensor of a camera that is given no other size: the tools' own.
constexpr int kSensorWidth = static_cast<int>(SensorSize{}.width);
constexpr int kSensorHeight = static_cast<int>(SensorSize{}.height);

// Hands `records` to NumPy without copying them: the array owns the buffer
// through a capsule. Their padding is zeroed first.
template <typename Record>
pybind11::array_t<Record> records_to_numpy(std::vector<Record> records) {
    for (Record& record : records) {
        clear_padding(record);
    }
    auto owned = std::make_unique<std::vector<Record>>(std::move(records));
    pybind11::capsule owner(owned.get(),
                            [](void* p) { delete static_cast<std::vector<Record>*>(p); });
    auto* buffer = owned.release();
    return pybind11::array_t<Record>({static_cast<pybind11::ssize_t>(buffer->size())},
                                     buffer->data(), owner);
}

// Hands the emulator's events to NumPy without copying them; their padding is already zeroed.
pybind11::array_t<Event2D> events_to_numpy(EventBuffer events);

// `n` records made by `fill(i)`, handed to NumPy as above.
template <typename Record, typename Fill>
pybind11::array_t<Record> records_to_numpy(std::size_t n, Fill fill) {
    std::vector<Record> records(n);
    for (std::size_t i = 0; i < n; ++i) {
        records[i] = fill(i);
    }
    return records_to_numpy(std::move(records));
}

// Record i of the simulated DVS stream of a `width` x `height` sensor,
// stamped `first_t + i`.
Event2D simulated_event(std::size_t i, uint64_t first_t, int width = kSensorWidth,
                        int height = kSensorHeight);

// Record i of the simulated trigger stream, stamped `first_t + i`.
EventTriggerIn simulated_trigger(std::size_t i, uint64_t first_t);

void register_events(pybind11::module_& m);

}  // namespace orvane::sim::python

// NumPy has no scalar type of a record's own: an element of a structured
// array is a numpy.void, which type checkers let users index by field name,
// slice and mask.
ORVANE_TYPE_HINT(pybind11::array_t<orvane::Event2D>, "numpy.typing.NDArray[numpy.void]");
ORVANE_TYPE_HINT(pybind11::array_t<orvane::EventTriggerIn>, "numpy.typing.NDArray[numpy.void]");
