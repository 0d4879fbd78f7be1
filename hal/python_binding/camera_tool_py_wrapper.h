#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>

#include "CameraTool.h"
#include "camera_tool_override.h"

namespace orvane::python {

// Lets a Python class implement a tool: the pure operations forward to the
// Python methods of the interface's own names. Value access stays the
// library's. The life support keeps the Python half of a tool alive while
// C++ shares it.
class CameraToolPyWrapper : public CameraTool, public pybind11::trampoline_self_life_support {
public:
    using CameraTool::CameraTool;

    ToolInfo getToolInfo() override {
        return forwardResult<ToolInfo>("getToolInfo", "orvane::ToolInfo",
                                       "Tried to call pure virtual function "
                                       "\"orvane::CameraTool::getToolInfo\"");
    }
    ParameterInfoMap getAllParamInfo() override {
        return forwardResult<ParameterInfoMap>("getAllParamInfo", "orvane::ParameterInfoMap",
                                               "Tried to call pure virtual function "
                                               "\"orvane::CameraTool::getAllParamInfo\"");
    }
    bool getParamInfo(std::string name, IntParameterInfo& info) override {
        return forwardParamInfo(name, info);
    }
    bool getParamInfo(std::string name, FloatParameterInfo& info) override {
        return forwardParamInfo(name, info);
    }
    bool getParamInfo(std::string name, BoolParameterInfo& info) override {
        return forwardParamInfo(name, info);
    }
    bool getParamInfo(std::string name, EnumParameterInfo& info) override {
        return forwardParamInfo(name, info);
    }
    bool getParamInfo(std::string name, StringParameterInfo& info) override {
        return forwardParamInfo(name, info);
    }

private:
    // The binding layer reports a None where a record is expected (the
    // result itself, or a value of the map) as a reference error, which the
    // dispatcher of the Python method that called the tool takes for a
    // mismatch of its own arguments and turns into a misleading TypeError.
    // It is the override's result that cannot be converted, so it is
    // reported as the conversion error that any other wrong result raises.
    template <typename Result>
    Result forwardResult(const char* name, const char* result_name, const char* pure_message) {
        {
            pybind11::gil_scoped_acquire gil;
            const ToolOverride override(*this, name);
            if (override) {
                pybind11::object result = override();
                try {
                    return result.cast<Result>();
                } catch (const pybind11::reference_cast_error&) {
                    throw pybind11::cast_error(
                        "Unable to cast Python instance of type " +
                        pybind11::str(pybind11::type::handle_of(result)).cast<std::string>() +
                        " to C++ type '" + result_name + "'");
                }
            }
        }
        pybind11::pybind11_fail(pure_message);
    }

    // Python receives a copy of `info`, never a reference to the caller's
    // object (which may live on a C++ stack). What the override writes into
    // the copy reaches the caller only when it reports success.
    template <typename Record>
    bool forwardParamInfo(const std::string& name, Record& info) {
        {
            pybind11::gil_scoped_acquire gil;
            const ToolOverride override(*this, "getParamInfo");
            if (override) {
                pybind11::object record = pybind11::cast(info, pybind11::return_value_policy::copy);
                const bool ok = override(name, record).cast<bool>();
                if (ok) {
                    info = record.cast<const Record&>();
                }
                return ok;
            }
        }
        pybind11::pybind11_fail(
            "Tried to call pure virtual function \"orvane::CameraTool::getParamInfo\"");
    }
};

}  // namespace orvane::python
