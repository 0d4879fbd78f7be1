#pragma once

#include <map>
#include <memory>
#include <string>
#include <variant>

#include "CameraTool.h"
#include "OrvaneExport.h"
#include "ParameterKinds.h"
#include "ToolParameterInfo.h"
#include "camera/tools/ToolLogger.h"

namespace orvane {

// A parameter as the registry holds it: `detail` holds the record of the kind
// that `info.type` names.
struct ParameterEntry {
    BasicParameterInfo info;
    ParameterRecord detail;
};

// A tool with a fixed set of named, typed parameters kept in a registry keyed
// by param_prefix + name. Implements the read side of the interface.
class ORVANE_EXPORT CameraToolBasePrivate : public CameraTool {
public:
    using CameraTool::CameraTool;

    // Keyed by each entry's name, never by the registry key; a name seen twice
    // keeps the entry with the greater key. Every dispatch builds this map, so
    // each name is offered at the end first: with keys of prefix + name the
    // names arrive in ascending order and none needs a search.
    ParameterInfoMap getAllParamInfo() override {
        ParameterInfoMap result;
        for (const auto& [key, entry] : param_map) {
            result.insert_or_assign(result.end(), entry.info.name, entry.info);
        }
        return result;
    }

    bool getParamInfo(std::string name, IntParameterInfo& info) override {
        return lookUp(name, ToolParameterType::INT, info);
    }
    bool getParamInfo(std::string name, FloatParameterInfo& info) override {
        return lookUp(name, ToolParameterType::FLOAT, info);
    }
    bool getParamInfo(std::string name, BoolParameterInfo& info) override {
        return lookUp(name, ToolParameterType::BOOL, info);
    }
    bool getParamInfo(std::string name, EnumParameterInfo& info) override {
        return lookUp(name, ToolParameterType::ENUM, info);
    }
    bool getParamInfo(std::string name, StringParameterInfo& info) override {
        return lookUp(name, ToolParameterType::STRING, info);
    }

    std::map<std::string, ParameterEntry> param_map;

protected:
    // Log locations of the two lookup failures; log filters in the field match
    // on them, so they stay put when this header is edited.
    static constexpr int kNotFoundLine = 83;
    static constexpr int kWrongTypeLine = 87;

    // True when `key` is registered with kind `type`; otherwise one ERR line.
    bool checkParam(const std::string& key, ToolParameterType type) const {
        const auto entry = param_map.find(key);
        if (entry == param_map.end()) {
            tool_logger().log_(LogLevelType::ERR, __FILE__, kNotFoundLine, "Parameter %s not found",
                               key.c_str());
            return false;
        }
        if (entry->second.info.type != type) {
            tool_logger().log_(LogLevelType::ERR, __FILE__, kWrongTypeLine,
                               "Parameter %s is not of type %s", key.c_str(),
                               ToolParameterTypeToString(type).c_str());
            return false;
        }
        return true;
    }

private:
    // `out` is overwritten only on success. A `detail` that disagrees with
    // `info.type` throws std::bad_variant_access rather than hand out a
    // record of another kind.
    template <typename Record>
    bool lookUp(const std::string& name, ToolParameterType type, Record& out) const {
        const std::string key = param_prefix + name;
        if (!checkParam(key, type)) {
            return false;
        }
        out = std::get<Record>(param_map.at(key).detail);
        return true;
    }
};

// A registry tool bound to library-side state through `handle`.
class ToolBackend;

class ORVANE_EXPORT CameraToolRegister : public CameraToolBasePrivate {
public:
    using CameraToolBasePrivate::CameraToolBasePrivate;

    std::shared_ptr<ToolBackend> handle;
};

}  // namespace orvane
