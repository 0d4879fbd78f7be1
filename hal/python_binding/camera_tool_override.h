#pragma once

#include <pybind11/pybind11.h>

#include <optional>
#include <utility>

#include "CameraTool.h"
#include "calls_in_flight.h"

namespace orvane::python {

// The Python override of one of a tool's pure operations, held for one
// forwarded call; the interpreter lock must be held throughout. Only a
// function defined in Python overrides: the methods this module binds, and
// any other attribute (a number, a callable object), leave the operation
// without one. While an override runs, the same operation on the same tool
// called again from the same thread finds none, so an override that reaches
// itself (directly, through a helper or as a lambda) meets the pure-virtual
// error instead of recursing without end. The interpreter's exit waits for a
// running override (see CallInFlight).
class ToolOverride {
public:
    ToolOverride(const CameraTool& tool, const char* name);
    ~ToolOverride();
    ToolOverride(const ToolOverride&) = delete;
    ToolOverride& operator=(const ToolOverride&) = delete;

    explicit operator bool() const { return static_cast<bool>(function_); }

    template <typename... Args>
    pybind11::object operator()(Args&&... args) const {
        return function_(std::forward<Args>(args)...);
    }

private:
    pybind11::object function_;
    std::optional<CallInFlight> in_flight_;
};

}  // namespace orvane::python
