#include "sim_events.h"

#include <pybind11/stl.h>
#include <pybind11/typing.h>

namespace py = pybind11;

namespace orvane::sim {

Event2D simulated_event(std::size_t i, uint64_t first_t) {
    Event2D event;
    event.x = static_cast<uint16_t>(i % kSensorWidth);
    event.y = static_cast<uint16_t>(i % kSensorHeight);
    event.p = static_cast<uint8_t>(i % 2);
    event.t = first_t + i;
    return event;
}

EventTriggerIn simulated_trigger(std::size_t i, uint64_t first_t) {
    EventTriggerIn trigger;
    trigger.polarity = static_cast<int16_t>(i % 2);
    trigger.timestamp = first_t + i;
    trigger.id = static_cast<int16_t>(i % 4);
    return trigger;
}

void register_events(py::module_& m) {
    m.def("event2d_array", [](std::size_t n) {
        return records_to_numpy<Event2D>(n, [](std::size_t i) { return simulated_event(i, 1000); });
    });
    m.def("trigger_array", [](std::size_t n) {
        return records_to_numpy<EventTriggerIn>(
            n, [](std::size_t i) { return simulated_trigger(i, 2000); });
    });
    m.def("event2d", [](uint16_t x, uint16_t y, uint8_t p, uint64_t t) {
        Event2D event;
        event.x = x;
        event.y = y;
        event.p = p;
        event.t = t;
        return event;
    });
    m.def("trigger", [](int16_t polarity, uint64_t timestamp, int16_t id) {
        EventTriggerIn trigger;
        trigger.polarity = polarity;
        trigger.timestamp = timestamp;
        trigger.id = id;
        return trigger;
    });
    m.def("record_formats", [] {
        py::typing::Dict<std::string, std::string> formats;
        formats["Event2D"] = py::format_descriptor<Event2D>::format();
        formats["EventTriggerIn"] = py::format_descriptor<EventTriggerIn>::format();
        return formats;
    });
    m.def("event2d_fields",
          [](const Event2D& event) { return py::make_tuple(event.x, event.y, event.p, event.t); });
    m.def("trigger_fields", [](const EventTriggerIn& event) {
        return py::make_tuple(event.polarity, event.timestamp, event.id);
    });
}

}  // namespace orvane::sim
