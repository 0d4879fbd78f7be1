#include "orvane_base_binding.h"

#include <pybind11/numpy.h>

#include "Event2D.h"
#include "EventTriggerIn.h"

namespace py = pybind11;

namespace orvane::python {

namespace {

void register_events(py::module_& m) {
    py::class_<Event2D>(m, "Event2D")
        .def_readwrite("x", &Event2D::x)
        .def_readwrite("y", &Event2D::y)
        .def_readwrite("p", &Event2D::p)
        .def_readwrite("t", &Event2D::t);
    PYBIND11_NUMPY_DTYPE_EX(Event2D, x, "x", y, "y", p, "polarity", t, "timestamp");

    py::class_<EventTriggerIn>(m, "EventTriggerIn")
        .def_readwrite("id", &EventTriggerIn::id)
        .def_readwrite("polarity", &EventTriggerIn::polarity)
        .def_readwrite("timestamp", &EventTriggerIn::timestamp);
    PYBIND11_NUMPY_DTYPE(EventTriggerIn, id, polarity, timestamp);
}

}  // namespace

void register_base(py::module_& m) { register_events(m); }

}  // namespace orvane::python
