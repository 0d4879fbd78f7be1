#include "python_values.h"

namespace py = pybind11;

namespace orvane::python {

namespace {

bool is_text(const py::handle& value) {
    return PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) ||
           PyByteArray_Check(value.ptr());
}

// Raises a `type` error with `message`, the pending error as its cause.
[[noreturn]] void raise_from_pending(PyObject* type, const std::string& message) {
    py::raise_from(type, message.c_str());
    throw py::error_already_set();
}

}  // namespace

std::string type_name(const py::handle& value) { return Py_TYPE(value.ptr())->tp_name; }

std::vector<double> numbers_from(const py::handle& values, const std::string& what) {
    // Text is a sequence too, but never one of numbers.
    if (!PySequence_Check(values.ptr()) || is_text(values)) {
        throw py::type_error(what + " must be a sequence of numbers, not " + type_name(values));
    }
    // The length is only the object's claim: nothing is reserved on its
    // word, and a sequence that ends before it is refused.
    const std::size_t count = py::len(values);
    std::vector<double> numbers;
    for (std::size_t i = 0; i < count; ++i) {
        const auto item = py::reinterpret_steal<py::object>(
            PySequence_GetItem(values.ptr(), static_cast<Py_ssize_t>(i)));
        if (!item) {
            if (PyErr_ExceptionMatches(PyExc_IndexError) != 0) {
                raise_from_pending(PyExc_ValueError, what + " has no item " + std::to_string(i) +
                                                         ", though its length is " +
                                                         std::to_string(count));
            }
            throw py::error_already_set();
        }
        const double number = PyFloat_AsDouble(item.ptr());
        if (number == -1.0 && PyErr_Occurred() != nullptr) {
            // Only a failed conversion is the caller's wrong value; any other
            // error (KeyboardInterrupt, MemoryError, ...) passes unchanged.
            const std::string where = what + "[" + std::to_string(i) + "]";
            if (PyErr_ExceptionMatches(PyExc_OverflowError) != 0) {
                raise_from_pending(PyExc_TypeError, where + " is too large for a float");
            }
            if (PyErr_ExceptionMatches(PyExc_TypeError) != 0 ||
                PyErr_ExceptionMatches(PyExc_ValueError) != 0) {
                raise_from_pending(PyExc_TypeError,
                                   where + " must be a number, not " + type_name(item));
            }
            throw py::error_already_set();
        }
        numbers.push_back(number);
    }
    return numbers;
}

py::typing::List<double> numbers_to_list(const std::vector<double>& numbers) {
    py::typing::List<double> list(numbers.size());
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        list[i] = py::float_(numbers[i]);
    }
    return list;
}

std::string text_from(const py::handle& value, const std::string& what) {
    if (!is_text(value)) {
        throw py::type_error(what + " must be text (str, bytes or bytearray), not " +
                             type_name(value));
    }
    try {
        return value.cast<std::string>();
    } catch (const py::cast_error&) {
        // Only a str holding a lone surrogate has no UTF-8 form: the right
        // type with a wrong value, as Python's own UnicodeEncodeError is.
        throw py::value_error(what + " is a str that cannot be encoded as UTF-8");
    }
}

}  // namespace orvane::python
