#include "bound_class_guards.h"

#include <cstring>
#include <string>
#include <vector>

namespace py = pybind11;

namespace orvane::python {

namespace {

// The framework's entry for calls of every function it binds: a vectorcall
// from pybind11 3.1 on, positional tuple and keyword dictionary before.
#if PYBIND11_VERSION_HEX >= 0x03010000
using Dispatcher = PyObject* (*)(PyObject*, PyObject* const*, size_t, PyObject*);
#else
using Dispatcher = PyObject* (*)(PyObject*, PyObject*, PyObject*);
#endif

// The framework's entry for calls of every function it binds.
struct Framework : py::cpp_function {
    static constexpr Dispatcher dispatch = &Framework::dispatcher;
};

std::string class_name(PyTypeObject* type) { return py::detail::get_fully_qualified_tp_name(type); }

// The framework looks for the C++ part that a constructor is to build before
// it guards against C++ exceptions: an object whose Python class derives from
// the constructor's class but holds a C++ object of another class (a kit tool
// given to CameraTool.__init__) ended the process there. A constructor run
// again on a built object would be skipped in silence. False, with a
// TypeError set, when the constructor must not run on `self`.
bool may_construct(PyObject* record, PyObject* self) {
    try {
        auto* scope = reinterpret_cast<PyTypeObject*>(
            py::detail::function_record_ptr_from_PyObject(record)->scope.ptr());
        if (self != nullptr && PyObject_TypeCheck(self, scope)) {
            auto* instance = reinterpret_cast<py::detail::instance*>(self);
            const auto part = instance->get_value_and_holder(py::detail::get_type_info(scope),
                                                             /*throw_if_missing=*/false);
            const char* fault = nullptr;
            if (part.inst == nullptr) {
                fault = "its C++ object is of another class";
            } else if (part.holder_constructed()) {
                fault = "it is constructed already";
            }
            if (fault != nullptr) {
                throw py::type_error(class_name(scope) +
                                     ".__init__() cannot construct an object of class " +
                                     class_name(Py_TYPE(self)) + ": " + fault);
            }
        }
    } catch (...) {
        py::detail::try_translate_exceptions();
        return false;
    }
    return true;
}

#if PYBIND11_VERSION_HEX >= 0x03010000
PyObject* guarded_constructor(PyObject* record, PyObject* const* args, size_t nargsf,
                              PyObject* kwnames) {
    PyObject* self = PyVectorcall_NARGS(nargsf) > 0 ? args[0] : nullptr;
    return may_construct(record, self) ? Framework::dispatch(record, args, nargsf, kwnames)
                                       : nullptr;
}
#else
PyObject* guarded_constructor(PyObject* record, PyObject* args, PyObject* kwargs) {
    PyObject* self = PyTuple_GET_SIZE(args) > 0 ? PyTuple_GET_ITEM(args, 0) : nullptr;
    return may_construct(record, self) ? Framework::dispatch(record, args, kwargs) : nullptr;
}
#endif

// Every call of the function object, whichever way it is reached, goes
// through its method definition.
void guard_constructor(PyObject* function) {
    PyMethodDef* definition = reinterpret_cast<PyCFunctionObject*>(function)->m_ml;
    if (reinterpret_cast<Dispatcher>(reinterpret_cast<void (*)()>(definition->ml_meth)) ==
        Framework::dispatch) {
        definition->ml_meth =
            reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&guarded_constructor));
    }
}

// A method bound straight from a member function pointer takes self as a
// pointer, and None as a null one. The framework refuses None as self through
// the argument record it adds for self to methods with argument annotations;
// the others get the same record here. The framework frees the names of the
// records, so the name is a copy of its own.
void refuse_none_as_self(py::detail::function_record* record) {
    for (; record != nullptr; record = record->next) {
        if (record->is_method && record->args.empty()) {
            record->args.emplace_back(strdup("self"), nullptr, py::handle(), /*convert=*/true,
                                      /*none=*/false);
        }
    }
}

void guard_function(py::handle value) {
    const py::handle function = py::detail::get_function(value);
    if (!function || !PyCFunction_Check(function.ptr())) {
        return;
    }
    auto* record =
        py::detail::function_record_ptr_from_PyObject(PyCFunction_GET_SELF(function.ptr()));
    if (record == nullptr) {
        return;
    }
    if (record->is_constructor) {
        guard_constructor(function.ptr());
    } else {
        refuse_none_as_self(record);
    }
}

// Pickle protocols 0 and 1 rebuild an object through the first class in its
// MRO that has a __new__ of its own. For a bound class that was the
// framework's common base, whose allocator fails through C when asked for an
// object of that base itself. With a __new__ of its own, as any class with an
// allocator of its own has, the bound class is found, and the protocols
// refuse it ("cannot pickle ..."). Creating objects is unchanged: the
// interpreter keeps calling the class's allocator directly.
void give_own_new(py::handle cls) {
    const py::object inherited = cls.attr("__new__");
    PyMethodDef* definition = reinterpret_cast<PyCFunctionObject*>(inherited.ptr())->m_ml;
    auto own = py::reinterpret_steal<py::object>(PyCFunction_NewEx(definition, cls.ptr(), nullptr));
    if (!own) {
        throw py::error_already_set();
    }
    cls.attr("__new__") = own;
}

// Every bound class shares one memory layout, so the interpreter lets Python
// give a bound object any other bound class, whose methods would then read
// its C++ object as one of another class. The class may change only to one
// whose objects hold C++ objects of the same classes (one Python subclass of
// a bound class for another).
void refuse_foreign_class_assignment(py::handle cls) {
    const py::cpp_function get_class([](py::handle self) { return py::type::handle_of(self); },
                                     py::arg("self").none(false));
    const py::cpp_function set_class(
        [](py::handle self, py::handle new_class) {
            auto* now = Py_TYPE(self.ptr());
            if (!PyType_Check(new_class.ptr()) ||
                py::detail::all_type_info(reinterpret_cast<PyTypeObject*>(new_class.ptr())) !=
                    py::detail::all_type_info(now)) {
                throw py::type_error("cannot change the class of an object of class " +
                                     class_name(now) + " to " +
                                     py::repr(new_class).cast<std::string>() +
                                     ": their C++ objects are of different classes");
            }
            const py::handle object_type(reinterpret_cast<PyObject*>(&PyBaseObject_Type));
            object_type.attr("__dict__")["__class__"].attr("__set__")(self, new_class);
        },
        py::arg("self").none(false), py::arg("cls"));
    const auto property = py::reinterpret_steal<py::object>(PyObject_CallFunctionObjArgs(
        reinterpret_cast<PyObject*>(&PyProperty_Type), get_class.ptr(), set_class.ptr(), nullptr));
    // Set on the class itself, the name would change the class's own class.
    auto* type = reinterpret_cast<PyTypeObject*>(cls.ptr());
    if (!property || PyDict_SetItemString(type->tp_dict, "__class__", property.ptr()) != 0) {
        throw py::error_already_set();
    }
    PyType_Modified(type);
}

void guard_class(py::handle cls) {
    const auto members =
        py::reinterpret_borrow<py::dict>(reinterpret_cast<PyTypeObject*>(cls.ptr())->tp_dict);
    for (const auto member : members) {
        const py::handle value = member.second;
        if (PyObject_TypeCheck(value.ptr(), &PyProperty_Type)) {
            for (const char* accessor : {"fget", "fset"}) {
                guard_function(value.attr(accessor));
            }
        } else {
            guard_function(value);
        }
    }
    give_own_new(cls);
    refuse_foreign_class_assignment(cls);
}

}  // namespace

void guard_bound_classes(py::module_& module) {
    std::vector<py::handle> classes;
    const auto& registered = py::detail::get_internals().registered_types_py;
    for (const auto item : py::reinterpret_borrow<py::dict>(module.attr("__dict__"))) {
        if (PyType_Check(item.second.ptr()) &&
            registered.count(reinterpret_cast<PyTypeObject*>(item.second.ptr())) != 0) {
            classes.push_back(item.second);
        }
    }
    for (const auto cls : classes) {
        guard_class(cls);
    }
}

}  // namespace orvane::python
