#pragma once

// The one door to pybind11's detail namespace and to CPython's object
// layouts. None of these is pybind11's public API, so a release may change
// any of them without notice and the bindings would compile and then
// misbehave at import; they are therefore built only against the pybind11
// releases the test suite has run on. Widen the range below only after the
// whole suite has passed on the new release.

#include <pybind11/pybind11.h>

#include <memory>
#include <string>

#define ORVANE_PYBIND11_TESTED_FROM 0x03010000   // 3.1.0
#define ORVANE_PYBIND11_TESTED_BELOW 0x03020000  // 3.2.0

#if PYBIND11_VERSION_HEX < ORVANE_PYBIND11_TESTED_FROM || \
    PYBIND11_VERSION_HEX >= ORVANE_PYBIND11_TESTED_BELOW
#error \
    "The bindings use pybind11 internals tested only with pybind11>=3.1,<3.2: build with a pybind11 in that range"
#endif

namespace orvane::python::internals {

namespace detail = pybind11::detail;

// Messages name a class as the interpreter does (module.qualname).
using detail::get_fully_qualified_tp_name;
// Whether a bound object's C++ objects exist shows only in its layout.
using detail::instance;
using detail::values_and_holders;
// The class a bound function belongs to, and its argument records, are known
// only to the function's record.
using detail::function_record;
using detail::function_record_ptr_from_PyObject;
// A class's allocator and its C++ classes live in its type record.
using detail::all_type_info;
using detail::get_type_info;
// A constructor's guard raises the C++ exceptions it meets as Python errors.
using detail::try_translate_exceptions;
// The function object behind a bound method or static method.
using detail::get_function;
// A tool object's Python half is found from its C++ pointer.
using detail::get_object_handle;
// A holder whose __init__ never ran has nothing for the collector to visit.
using detail::is_holder_constructed;

// The entry every bound function is called through, which the guards wrap:
// a vectorcall from pybind11 3.1 on.
using Dispatcher = PyObject* (*)(PyObject*, PyObject* const*, size_t, PyObject*);
struct Framework : pybind11::cpp_function {
    static constexpr Dispatcher dispatch = &Framework::dispatcher;
};

// The classes pybind11 has registered, and the metaclass of every one of them:
// the guards find the module's bound classes and bound objects by these.
inline bool is_registered_class(PyTypeObject* type) {
    return detail::get_internals().registered_types_py.count(type) != 0;
}
inline PyTypeObject* bound_metaclass() { return detail::get_internals().default_metaclass; }
// The common base of every bound class, which binds no C++ class itself.
inline PyTypeObject* bound_base() {
    return reinterpret_cast<PyTypeObject*>(detail::get_internals().instance_base);
}

// The method definition a builtin function is called through, which its
// overloads share: the only place to wrap every way a call reaches it.
inline PyMethodDef* method_definition(PyObject* builtin_function) {
    return reinterpret_cast<PyCFunctionObject*>(builtin_function)->m_ml;
}

// A class's own namespace, written without going through its metaclass's
// __setattr__ (which would set the name on the metaclass's own objects).
inline PyObject* class_namespace(PyTypeObject* type) { return type->tp_dict; }

// The Python object that `shared` keeps alive, or null: a C++ object made by
// a Python class (a Python tool) and handed to C++ as a shared pointer keeps
// its Python half alive through the pointer's deleter, which pybind11 names
// only in its detail namespace; Python's garbage collector must be shown it.
template <typename T>
PyObject* python_owner(const std::shared_ptr<T>& shared) {
    const auto* life_support = std::get_deleter<
        detail::smart_holder_type_caster_support::shared_ptr_trampoline_self_life_support>(shared);
    return life_support != nullptr ? life_support->self : nullptr;
}

}  // namespace orvane::python::internals

namespace orvane::python::internals {

// A subinterpreter cannot hold the modules: pybind11 shares its state and
// the calls of other threads across interpreters, and takes the lock of the
// main one. Called first in the module's entry, before pybind11 runs.
inline bool refuse_subinterpreter(const char* module) {
    if (PyInterpreterState_Get() == PyInterpreterState_Main()) {
        return false;
    }
    PyErr_Format(PyExc_ImportError,
                 "%s can be imported only by the main interpreter, not by a subinterpreter",
                 module);
    return true;
}

}  // namespace orvane::python::internals

// pybind11 3.1's PYBIND11_MODULE_EXEC, refusing subinterpreters first: from
// Python 3.13 on, a subinterpreter runs a module's entry as the main
// interpreter, so only the execution of the module sees which one imports it.
#define ORVANE_PYBIND11_MODULE_EXEC(name, variable)                                        \
    static void PYBIND11_CONCAT(pybind11_init_, name)(::pybind11::module_&);               \
    int PYBIND11_CONCAT(pybind11_exec_, name)(PyObject * pm) {                             \
        if (::orvane::python::internals::refuse_subinterpreter(PYBIND11_TOSTRING(name))) { \
            return -1;                                                                     \
        }                                                                                  \
        try {                                                                              \
            pybind11::detail::ensure_internals();                                          \
            auto m = pybind11::reinterpret_borrow<::pybind11::module_>(pm);                \
            if (!pybind11::detail::get_cached_module(m.attr("__spec__").attr("name"))) {   \
                PYBIND11_CONCAT(pybind11_init_, name)(m);                                  \
                pybind11::detail::cache_completed_module(m);                               \
            }                                                                              \
            return 0;                                                                      \
        }                                                                                  \
        PYBIND11_CATCH_INIT_EXCEPTIONS                                                     \
        return -1;                                                                         \
    }                                                                                      \
    void PYBIND11_CONCAT(pybind11_init_, name)(::pybind11::module_ & variable)

// PYBIND11_MODULE, its entry refusing subinterpreters first: the legacy ones
// that share the main interpreter's lock pass the refusal pybind11 offers
// (multiple_interpreters::not_supported), and on Python 3.11 pybind11 waits
// for the main interpreter's lock for ever in its entry, before the module's
// body runs. The entry is pybind11 3.1's own otherwise.
#define ORVANE_PYBIND11_MODULE(name, variable, ...)                                                \
    static int PYBIND11_CONCAT(pybind11_exec_, name)(PyObject*);                                   \
    PYBIND11_PLUGIN_IMPL(name) {                                                                   \
        PYBIND11_CHECK_PYTHON_VERSION                                                              \
        if (::orvane::python::internals::refuse_subinterpreter(PYBIND11_TOSTRING(name))) {         \
            return nullptr;                                                                        \
        }                                                                                          \
        try {                                                                                      \
            pybind11::detail::ensure_internals();                                                  \
            static ::pybind11::detail::slots_array mod_def_slots = ::pybind11::detail::init_slots( \
                &PYBIND11_CONCAT(pybind11_exec_, name), ##__VA_ARGS__);                            \
            static PyModuleDef def{PyModuleDef_HEAD_INIT,                                          \
                                   PYBIND11_TOSTRING(name),                                        \
                                   nullptr,                                                        \
                                   0,                                                              \
                                   nullptr,                                                        \
                                   mod_def_slots.data(),                                           \
                                   nullptr,                                                        \
                                   nullptr,                                                        \
                                   nullptr};                                                       \
            return PyModuleDef_Init(&def);                                                         \
        }                                                                                          \
        PYBIND11_CATCH_INIT_EXCEPTIONS                                                             \
        return nullptr;                                                                            \
    }                                                                                              \
    ORVANE_PYBIND11_MODULE_EXEC(name, variable)

// Names `Type` by `hint` in docstrings and typing stubs: pybind11 reads a
// handle type's name from a template of its detail namespace.
#define ORVANE_TYPE_HINT(Type, hint)                                     \
    template <>                                                          \
    struct pybind11::detail::handle_type_name<Type> {                    \
        static constexpr auto name = pybind11::detail::const_name(hint); \
    }
