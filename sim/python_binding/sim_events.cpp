#include "sim_events.h"

#include <pybind11/stl.h>
#include <pybind11/typing.h>

#include "records.h"
#include "sim_docstrings.h"

namespace py = pybind11;

namespace orvane::sim::python {

Event2D simulated_event(std::size_t i, uint64_t first_t, int width, int height) {
    return make_event2d(static_cast<uint16_t>(i % static_cast<std::size_t>(width)),
                        static_cast<uint16_t>(i % static_cast<std::size_t>(height)),
                        static_cast<uint8_t>(i % 2), first_t + i);
}

py::array_t<Event2D> events_to_numpy(EventBuffer events) {
    const auto count = static_cast<py::ssize_t>(events.size());
    if (events.data() == nullptr) {
        return py::array_t<Event2D>(count);
    }
    py::capsule owner(events.data(),
                      [](void* p) { EventBuffer::release_events(static_cast<Event2D*>(p)); });
    return py::array_t<Event2D>({count}, events.release(), owner);
}

EventTriggerIn simulated_trigger(std::size_t i, uint64_t first_t) {
    return make_trigger(static_cast<int16_t>(i % 2), first_t + i, static_cast<int16_t>(i % 4));
}

void register_events(py::module_& m) {
    m.def(
        "event2d_array",
        [](std::size_t n) {
            return records_to_numpy<Event2D>(
                n, [](std::size_t i) { return simulated_event(i, 1000); });
        },
        py::arg("n"), docs::kEvent2dArray);
    m.def(
        "trigger_array",
        [](std::size_t n) {
            return records_to_numpy<EventTriggerIn>(
                n, [](std::size_t i) { return simulated_trigger(i, 2000); });
        },
        py::arg("n"), docs::kTriggerArray);
    m.def("event2d", &make_event2d, py::arg("x"), py::arg("y"), py::arg("p"), py::arg("t"),
          docs::kEvent2d);
    m.def("trigger", &make_trigger, py::arg("polarity"), py::arg("timestamp"), py::arg("id"),
          docs::kTrigger);
    m.def(
        "record_formats",
        [] {
            py::typing::Dict<std::string, std::string> formats;
            formats["Event2D"] = py::format_descriptor<Event2D>::format();
            formats["EventTriggerIn"] = py::format_descriptor<EventTriggerIn>::format();
            return formats;
        },
        docs::kRecordFormats);
    m.def(
        "event2d_fields",
        [](const Event2D& event) { return py::make_tuple(event.x, event.y, event.p, event.t); },
        py::arg("event"), docs::kEvent2dFields);
    m.def(
        "trigger_fields",
        [](const EventTriggerIn& event) {
            return py::make_tuple(event.polarity, event.timestamp, event.id);
        },
        py::arg("event"), docs::kTriggerFields);
}

}  // namespace orvane::sim::python
