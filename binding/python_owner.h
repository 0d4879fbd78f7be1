#pragma once

#include <pybind11/pybind11.h>

#include <memory>

namespace orvane::python {

// The Python object that `shared` keeps alive, or null: a C++ object made by
// a Python class (a Python tool) and handed to C++ as a shared pointer keeps
// its Python half alive through the pointer's deleter, a reference Python's
// garbage collector must be shown. The framework names that deleter only in
// its detail namespace.
template <typename T>
PyObject* python_owner(const std::shared_ptr<T>& shared) {
    const auto* life_support =
        std::get_deleter<pybind11::detail::smart_holder_type_caster_support::
                             shared_ptr_trampoline_self_life_support>(shared);
    return life_support != nullptr ? life_support->self : nullptr;
}

}  // namespace orvane::python
