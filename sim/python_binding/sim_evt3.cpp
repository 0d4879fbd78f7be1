#include "sim_evt3.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <optional>
#include <stdexcept>
#include <tuple>

#include "evt3_encoder.h"
#include "sim_events.h"

namespace py = pybind11;

namespace orvane::sim::python {

namespace {

using EventArray = py::array_t<Event2D, py::array::c_style>;
using TriggerArray = py::array_t<EventTriggerIn, py::array::c_style>;
using CarriedState = std::tuple<std::optional<uint64_t>, uint64_t, int32_t>;

// Hands the words to NumPy without copying them: the array owns the buffer.
py::array_t<uint16_t> words_to_numpy(Evt3Words words) {
    uint16_t* data = words.data.get();
    py::capsule owner(data, [](void* p) { delete[] static_cast<uint16_t*>(p); });
    words.data.release();
    return py::array_t<uint16_t>({static_cast<py::ssize_t>(words.size)}, data, owner);
}

std::tuple<py::array_t<uint16_t>, CarriedState> encode(const EventArray& events,
                                                       const TriggerArray& triggers,
                                                       const CarriedState& carried) {
    if (events.ndim() != 1 || triggers.ndim() != 1) {
        throw py::value_error("events and triggers must be 1-d arrays");
    }
    Evt3EncoderState state;
    state.has_time = std::get<0>(carried).has_value();
    state.time = std::get<0>(carried).value_or(0);
    state.high = std::get<1>(carried);
    state.y = std::get<2>(carried);
    Evt3Words words;
    try {
        const py::gil_scoped_release release;
        words = encode_evt3(events.data(), static_cast<std::size_t>(events.size()), triggers.data(),
                            static_cast<std::size_t>(triggers.size()), state);
    } catch (const std::invalid_argument& error) {
        throw py::value_error(error.what());
    }
    const CarriedState next{state.has_time ? std::optional<uint64_t>(state.time) : std::nullopt,
                            state.high, state.y};
    return {words_to_numpy(std::move(words)), next};
}

}  // namespace

void register_evt3(py::module_& m) {
    m.def("_encode_evt3", &encode, py::arg("events"), py::arg("triggers"), py::arg("state"),
          "The EVT 3.0 words of `events` and `triggers` (each in time order, merged by time)\n"
          "as a uint16 array, and the state to carry into the next call, from the state\n"
          "(time or None, time's high bits, row or -1) the words before them left.");
}

}  // namespace orvane::sim::python
