#pragma once

#include <pybind11/pybind11.h>

#include <type_traits>
#include <utility>

#include "pybind11_internals.h"

namespace orvane::sim::python {

namespace detail {

template <typename Holder, typename = void>
struct clears_itself : std::false_type {};
template <typename Holder>
struct clears_itself<Holder, std::void_t<decltype(std::declval<Holder&>().clear())>>
    : std::true_type {};

}  // namespace detail

// For py::custom_type_setup: makes the bound type one the garbage collector
// tracks, showing it what `Holder::traverse(visit, arg)` visits, and clearing
// it through `Holder::clear()` where Holder has one (a type without needs no
// clearing: the collector breaks its cycles elsewhere). An object whose
// __init__ never ran holds nothing yet; only the framework's detail namespace
// tells that apart.
template <typename Holder>
void collected(PyHeapTypeObject* heap_type) {
    auto* type = &heap_type->ht_type;
    type->tp_flags |= Py_TPFLAGS_HAVE_GC;
    type->tp_traverse = [](PyObject* self, visitproc visit, void* arg) {
        Py_VISIT(Py_TYPE(self));
        if (!orvane::python::internals::is_holder_constructed(self)) {
            return 0;
        }
        return pybind11::handle(self).cast<const Holder&>().traverse(visit, arg);
    };
    if constexpr (detail::clears_itself<Holder>::value) {
        type->tp_clear = [](PyObject* self) {
            if (orvane::python::internals::is_holder_constructed(self)) {
                pybind11::handle(self).cast<Holder&>().clear();
            }
            return 0;
        };
    }
}

}  // namespace orvane::sim::python
