#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/typing.h>

#include <string>
#include <vector>

namespace orvane::python {

// The numbers of any Python sequence (list, tuple, NumPy array, ...) as
// doubles. Raises TypeError naming `what` for anything else, text included.
std::vector<double> numbers_from(const pybind11::handle& values, const std::string& what);

// A new Python list of floats.
pybind11::typing::List<double> numbers_to_list(const std::vector<double>& numbers);

// The bytes of a text argument: a str as UTF-8, bytes or bytearray unchanged.
// Raises TypeError naming `what` for anything else, ValueError for a str
// that has no UTF-8 form.
std::string text_from(const pybind11::handle& value, const std::string& what);

// The Python name of `value`'s type, for messages.
std::string type_name(const pybind11::handle& value);

}  // namespace orvane::python
