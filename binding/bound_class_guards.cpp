#include "bound_class_guards.h"

#include <array>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "pybind11_internals.h"

namespace py = pybind11;

namespace orvane::python {

namespace {

using internals::Dispatcher;
using internals::Framework;

std::string class_name(PyTypeObject* type) { return internals::get_fully_qualified_tp_name(type); }

// The C++ object of a bound object is built by its class's __init__. An
// object made by __new__ alone, or kept by a subclass's __init__ that stored
// self and failed before the bound __init__ ran, has none: the framework
// would hand C++ code a null pointer, or fresh memory that holds no object.
// Every bound class, and every Python class derived from one, is an object of
// the framework's metaclass.
PyTypeObject* bound_metaclass = nullptr;

bool is_unbuilt(PyObject* object) {
    if (!PyObject_TypeCheck(reinterpret_cast<PyObject*>(Py_TYPE(object)), bound_metaclass)) {
        return false;
    }
    // An object that refers to a C++ object owned elsewhere has no holder;
    // only the pointer to its C++ object tells.
    auto* instance = reinterpret_cast<internals::instance*>(object);
    if (instance->simple_layout) {
        return instance->simple_value_holder[0] == nullptr;
    }
    for (const auto& part : internals::values_and_holders(instance)) {
        if (part.value_ptr() == nullptr) {
            return true;
        }
    }
    return false;
}

std::string unbuilt_message(const std::string& name) {
    return "the C++ object of this " + name +
           " object was never built: its class's __init__() did not complete";
}

// False, with a TypeError set, when one of the arguments is an object whose
// C++ object was never built.
bool refuse_unbuilt(PyObject* const* arguments, Py_ssize_t count) {
    for (Py_ssize_t index = 0; index < count; ++index) {
        if (is_unbuilt(arguments[index])) {
            PyErr_SetString(PyExc_TypeError,
                            unbuilt_message(class_name(Py_TYPE(arguments[index]))).c_str());
            return false;
        }
    }
    return true;
}

// The framework looks for the C++ part that a constructor is to build before
// it guards against C++ exceptions: an object whose Python class derives from
// the constructor's class but holds a C++ object of another class (a kit tool
// given to CameraTool.__init__) ended the process there. A constructor run
// again on a built object would be skipped in silence. False, with a
// TypeError set, when the constructor must not run on `self`.
bool may_construct(PyObject* record, PyObject* self) {
    try {
        auto* scope = reinterpret_cast<PyTypeObject*>(
            internals::function_record_ptr_from_PyObject(record)->scope.ptr());
        if (self != nullptr && PyObject_TypeCheck(self, scope)) {
            auto* instance = reinterpret_cast<internals::instance*>(self);
            const auto part = instance->get_value_and_holder(internals::get_type_info(scope),
                                                             /*throw_if_missing=*/false);
            const char* fault = nullptr;
            if (part.inst == nullptr) {
                fault = "its C++ object is of another class";
            } else if (part.holder_constructed() || part.value_ptr() != nullptr) {
                fault = "it is constructed already";
            }
            if (fault != nullptr) {
                throw py::type_error(class_name(scope) +
                                     ".__init__() cannot construct an object of class " +
                                     class_name(Py_TYPE(self)) + ": " + fault);
            }
        }
    } catch (...) {
        internals::try_translate_exceptions();
        return false;
    }
    return true;
}

// A constructor's self is the object it is to build; every other argument,
// and every argument of any other function, must be built.
Py_ssize_t argument_count(size_t nargsf, PyObject* kwnames) {
    return PyVectorcall_NARGS(nargsf) + (kwnames != nullptr ? PyTuple_GET_SIZE(kwnames) : 0);
}

PyObject* guarded_call(PyObject* record, PyObject* const* args, size_t nargsf, PyObject* kwnames) {
    return refuse_unbuilt(args, argument_count(nargsf, kwnames))
               ? Framework::dispatch(record, args, nargsf, kwnames)
               : nullptr;
}

PyObject* guarded_constructor(PyObject* record, PyObject* const* args, size_t nargsf,
                              PyObject* kwnames) {
    const Py_ssize_t skip = PyVectorcall_NARGS(nargsf) > 0 ? 1 : 0;
    return may_construct(record, skip != 0 ? args[0] : nullptr) &&
                   refuse_unbuilt(args + skip, argument_count(nargsf, kwnames) - skip)
               ? Framework::dispatch(record, args, nargsf, kwnames)
               : nullptr;
}

// Every call of the function object, whichever way it is reached, goes
// through its method definition, which its overloads share.
void guard_dispatch(PyObject* function, Dispatcher guard) {
    PyMethodDef* definition = internals::method_definition(function);
    if (reinterpret_cast<Dispatcher>(reinterpret_cast<void (*)()>(definition->ml_meth)) ==
        Framework::dispatch) {
        definition->ml_meth = reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(guard));
    }
}

// The framework converts an object whose C++ object is missing by allocating
// memory for one, which then holds no object, with type_info::operator_new
// if set (a class's own allocator, used for nothing else). That reaches
// values inside containers and conversions that C++ code asks for, which no
// function's arguments show. Each class's allocator refuses instead; told
// only a size, each is one of a pool that knows its class by slot.
constexpr std::size_t kAllocatorSlots = 64;
std::array<std::string, kAllocatorSlots> unbuilt_messages;
std::size_t allocators_used = 0;

template <std::size_t Slot>
void* refuse_allocation(std::size_t /*size*/) {
    throw py::type_error(unbuilt_messages[Slot]);
}

template <std::size_t... Slots>
constexpr std::array<void* (*)(std::size_t), sizeof...(Slots)> allocator_pool(
    std::index_sequence<Slots...> /*slots*/) {
    return {&refuse_allocation<Slots>...};
}

void refuse_unbuilt_conversions(py::handle cls) {
    static constexpr auto pool = allocator_pool(std::make_index_sequence<kAllocatorSlots>());
    auto* info = internals::get_type_info(reinterpret_cast<PyTypeObject*>(cls.ptr()));
    if (allocators_used == kAllocatorSlots) {
        py::pybind11_fail("Every allocator slot of the bound class guards is taken");
    }
    unbuilt_messages[allocators_used] = unbuilt_message(class_name(info->type));
    info->operator_new = pool[allocators_used++];
}

// A method bound straight from a member function pointer takes self as a
// pointer, and None as a null one. The framework refuses None as self through
// the argument record it adds for self to methods with argument annotations;
// the others get the same record here. The framework frees the names of the
// records, so the name is a copy of its own.
void refuse_none_as_self(internals::function_record* record) {
    for (; record != nullptr; record = record->next) {
        if (record->is_method && record->args.empty()) {
            record->args.emplace_back(strdup("self"), nullptr, py::handle(), /*convert=*/true,
                                      /*none=*/false);
        }
    }
}

void guard_function(py::handle value) {
    const py::handle function = internals::get_function(value);
    if (!function || !PyCFunction_Check(function.ptr())) {
        return;
    }
    auto* record =
        internals::function_record_ptr_from_PyObject(PyCFunction_GET_SELF(function.ptr()));
    if (record == nullptr) {
        return;
    }
    if (record->is_constructor) {
        guard_dispatch(function.ptr(), &guarded_constructor);
    } else {
        guard_dispatch(function.ptr(), &guarded_call);
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
    PyMethodDef* definition = internals::method_definition(inherited.ptr());
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
                internals::all_type_info(reinterpret_cast<PyTypeObject*>(new_class.ptr())) !=
                    internals::all_type_info(now)) {
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
    if (!property ||
        PyDict_SetItemString(internals::class_namespace(type), "__class__", property.ptr()) != 0) {
        throw py::error_already_set();
    }
    PyType_Modified(type);
}

// The framework's common base binds no C++ class: its allocator throws a C++
// exception through C when asked for an object of a class with no bound
// class in its MRO (the base itself, a Python class derived from it alone,
// pickle protocols 0 and 1 once a class's own __new__ is deleted). Every
// bound class gets this guard too, for its allocator's exceptions.
newfunc framework_new = nullptr;

PyObject* guarded_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    try {
        if (internals::all_type_info(type).empty()) {
            PyErr_SetString(PyExc_TypeError, ("cannot create '" + class_name(type) +
                                              "' objects: no class in its MRO binds a C++ class")
                                                 .c_str());
            return nullptr;
        }
        return framework_new(type, args, kwargs);
    } catch (py::error_already_set& error) {
        error.restore();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        PyErr_SetString(PyExc_RuntimeError, error.what());
    }
    return nullptr;
}

// The framework makes every bound object through its class's tp_alloc and
// uses the result without checking it: with Python's heap exhausted, that
// would be a null pointer. Each class's allocator throws instead, into C++
// code of the framework that raises it as MemoryError, or into guarded_new.
PyObject* checked_alloc(PyTypeObject* type, Py_ssize_t items) {
    PyObject* object = PyType_GenericAlloc(type, items);
    if (object == nullptr) {
        throw py::error_already_set();
    }
    return object;
}

void guard_allocation(py::handle cls) {
    auto* type = reinterpret_cast<PyTypeObject*>(cls.ptr());
    type->tp_alloc = &checked_alloc;
    type->tp_new = &guarded_new;
    PyType_Modified(type);
}

void guard_common_base() {
    PyTypeObject* base = internals::bound_base();
    if (framework_new == nullptr) {
        framework_new = base->tp_new;
    }
    base->tp_new = &guarded_new;
    PyType_Modified(base);
}

void guard_class(py::handle cls) {
    const auto members = py::reinterpret_borrow<py::dict>(
        internals::class_namespace(reinterpret_cast<PyTypeObject*>(cls.ptr())));
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
    guard_allocation(cls);
    refuse_foreign_class_assignment(cls);
    refuse_unbuilt_conversions(cls);
}

}  // namespace

void guard_bound_classes(py::module_& module) {
    std::vector<py::handle> classes;
    bound_metaclass = internals::bound_metaclass();
    guard_common_base();
    for (const auto item : py::reinterpret_borrow<py::dict>(module.attr("__dict__"))) {
        if (PyType_Check(item.second.ptr()) &&
            internals::is_registered_class(reinterpret_cast<PyTypeObject*>(item.second.ptr()))) {
            classes.push_back(item.second);
        } else {
            guard_function(item.second);
        }
    }
    for (const auto cls : classes) {
        guard_class(cls);
    }
}

}  // namespace orvane::python
