#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "OrvaneExport.h"

namespace orvane {

// The camera's registers, owned by the library; a parameter's callables move
// its value between the tool and the registers.
class RegisterBank;

enum class ToolParameterType : int32_t {
    INT = 0,
    FLOAT = 1,
    BOOL = 2,
    STRING = 3,
    ENUM = 4,
};

// The member name ("INT" ... "ENUM"), or "UNKNOWN" for a value with no member.
ORVANE_EXPORT std::string ToolParameterTypeToString(ToolParameterType type);

// What every parameter has, whatever its kind.
struct BasicParameterInfo {
    std::string name;
    std::string description;
    ToolParameterType type = ToolParameterType::INT;

    std::string to_string() const {
        return "Name: " + name + " Description: " + description +
               " Type: " + ToolParameterTypeToString(type);
    }
};

// Each kind-specific record carries two callables: `apply_to` writes an
// accepted value into the registers, `read_from` reads the value back. Either
// may be empty, in which case the tool keeps the value on its own.

// INT and FLOAT parameters: a range, a default and a unit, in the number
// type the parameter holds (32-bit integer or 32-bit float).
template <typename Number>
struct RangeParameterInfo {
    Number min = 0;
    Number max = 0;
    Number default_value = 0;
    std::string unit;
    std::function<void(RegisterBank&, Number)> apply_to;
    std::function<Number(const RegisterBank&)> read_from;

    // The lower bound is tested first, so with min > max every value below
    // min gives min and every other value gives max. The tests are plain
    // ordered comparisons: a NaN value comes back unchanged and a NaN bound
    // never clamps.
    Number constraint_value(Number value) const {
        if (value < min) {
            return min;
        }
        if (max < value) {
            return max;
        }
        return value;
    }

    // Integers in plain decimal, floats as "%f" (six digits after the point).
    std::string to_string() const {
        return "Min: " + std::to_string(min) + " Max: " + std::to_string(max) +
               " Default: " + std::to_string(default_value) + " Unit: " + unit;
    }
};

using IntParameterInfo = RangeParameterInfo<int32_t>;
using FloatParameterInfo = RangeParameterInfo<float>;

struct BoolParameterInfo {
    bool default_value = false;
    std::function<void(RegisterBank&, bool)> apply_to;
    std::function<bool(const RegisterBank&)> read_from;

    std::string to_string() const { return default_value ? "Default: 1" : "Default: 0"; }
};

struct EnumParameterInfo {
    std::vector<std::string> options;
    // Not checked against options: a tool may start from a value it cannot be set to.
    std::string default_value;
    std::function<void(RegisterBank&, const std::string&)> apply_to;
    std::function<std::string(const RegisterBank&)> read_from;

    std::string to_string() const {
        return "Options: " + std::to_string(options.size()) + " Default: " + default_value;
    }
};

struct StringParameterInfo {
    std::string default_value;
    std::function<void(RegisterBank&, const std::string&)> apply_to;
    std::function<std::string(const RegisterBank&)> read_from;

    std::string to_string() const { return "Default: " + default_value; }
};

}  // namespace orvane
