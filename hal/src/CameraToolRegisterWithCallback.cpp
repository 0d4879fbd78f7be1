#include "camera/tools/CameraToolRegisterWithCallback.h"

#include <stdexcept>

#include "ParameterChecks.h"
#include "PrintableText.h"
#include "ToolBackend.h"

namespace orvane {

namespace {

struct DefaultValue {
    ToolBackend::Value operator()(const IntParameterInfo& info) const { return info.default_value; }
    ToolBackend::Value operator()(const FloatParameterInfo& info) const {
        return info.default_value;
    }
    ToolBackend::Value operator()(const BoolParameterInfo& info) const {
        return info.default_value;
    }
    ToolBackend::Value operator()(const EnumParameterInfo& info) const {
        return info.default_value;
    }
    ToolBackend::Value operator()(const StringParameterInfo& info) const {
        return info.default_value;
    }
};

}  // namespace

CameraToolRegisterWithCallback::CameraToolRegisterWithCallback(std::string param_prefix,
                                                               std::shared_ptr<RegisterBank> bank)
    : CameraToolRegister(std::move(param_prefix)) {
    if (!bank) {
        throw std::invalid_argument("A tool needs a register bank");
    }
    handle = std::make_shared<ToolBackend>(std::move(bank));
}

CameraToolRegisterWithCallback::~CameraToolRegisterWithCallback() = default;

void CameraToolRegisterWithCallback::addParameter(const ParameterEntry& entry) {
    const std::string key = param_prefix + entry.info.name;
    if (entry.detail.index() != parameter_kind_index(entry.info.type)) {
        throw std::invalid_argument("Parameter " + printable_text(key) + " is declared " +
                                    ToolParameterTypeToString(entry.info.type) +
                                    " but its record is of another kind");
    }
    if (param_map.count(key) != 0) {
        throw std::invalid_argument("Parameter " + printable_text(key) + " is declared twice");
    }
    param_map.emplace(key, entry);
    const ToolBackend::Value value = std::visit(DefaultValue{}, entry.detail);
    handle->values[key] = value;
    std::visit(
        [this, &value](const auto& record) {
            if (record.apply_to) {
                using Stored = std::decay_t<decltype(record.default_value)>;
                record.apply_to(*handle->bank, std::get<Stored>(value));
            }
        },
        entry.detail);
}

bool CameraToolRegisterWithCallback::getParamInfo(std::string name, IntParameterInfo& info) {
    return CameraToolBasePrivate::getParamInfo(std::move(name), info);
}
bool CameraToolRegisterWithCallback::getParamInfo(std::string name, FloatParameterInfo& info) {
    return CameraToolBasePrivate::getParamInfo(std::move(name), info);
}
bool CameraToolRegisterWithCallback::getParamInfo(std::string name, BoolParameterInfo& info) {
    return CameraToolBasePrivate::getParamInfo(std::move(name), info);
}
bool CameraToolRegisterWithCallback::getParamInfo(std::string name, EnumParameterInfo& info) {
    return CameraToolBasePrivate::getParamInfo(std::move(name), info);
}

template <typename Record, typename Value>
bool CameraToolRegisterWithCallback::readValue(const std::string& name, ToolParameterType type,
                                               Value& value) {
    const std::string key = param_prefix + name;
    if (!checkParam(key, type)) {
        return false;
    }
    const auto& record = std::get<Record>(param_map.at(key).detail);
    value = record.read_from ? record.read_from(*handle->bank)
                             : std::get<Value>(handle->values.at(key));
    return true;
}

template <typename Record, typename Value>
bool CameraToolRegisterWithCallback::writeValue(const std::string& name, ToolParameterType type,
                                                const Value& value) {
    const std::string key = param_prefix + name;
    if (!checkParam(key, type)) {
        return false;
    }
    const auto& record = std::get<Record>(param_map.at(key).detail);
    if (!accepts(record, key, value)) {
        return false;
    }
    handle->values[key] = value;
    if (record.apply_to) {
        record.apply_to(*handle->bank, value);
    }
    return true;
}

ToolParameterType CameraToolRegisterWithCallback::textKindOf(const std::string& key) const {
    const auto entry = param_map.find(key);
    return entry != param_map.end() && entry->second.info.type == ToolParameterType::ENUM
               ? ToolParameterType::ENUM
               : ToolParameterType::STRING;
}

bool CameraToolRegisterWithCallback::getParam(std::string name, int& value) {
    return readValue<IntParameterInfo>(name, ToolParameterType::INT, value);
}
bool CameraToolRegisterWithCallback::getParam(std::string name, float& value) {
    return readValue<FloatParameterInfo>(name, ToolParameterType::FLOAT, value);
}
bool CameraToolRegisterWithCallback::getParam(std::string name, bool& value) {
    return readValue<BoolParameterInfo>(name, ToolParameterType::BOOL, value);
}
bool CameraToolRegisterWithCallback::getParam(std::string name, std::string& value) {
    if (textKindOf(param_prefix + name) == ToolParameterType::ENUM) {
        return readValue<EnumParameterInfo>(name, ToolParameterType::ENUM, value);
    }
    return readValue<StringParameterInfo>(name, ToolParameterType::STRING, value);
}

bool CameraToolRegisterWithCallback::setParam(std::string name, const int& value) {
    return writeValue<IntParameterInfo>(name, ToolParameterType::INT, value);
}
bool CameraToolRegisterWithCallback::setParam(std::string name, const float& value) {
    return writeValue<FloatParameterInfo>(name, ToolParameterType::FLOAT, value);
}
bool CameraToolRegisterWithCallback::setParam(std::string name, const bool& value) {
    return writeValue<BoolParameterInfo>(name, ToolParameterType::BOOL, value);
}
bool CameraToolRegisterWithCallback::setParam(std::string name, const char* value) {
    if (value == nullptr) {
        return refuse_null_text(param_prefix + name);
    }
    return setParam(std::move(name), std::string(value));
}
bool CameraToolRegisterWithCallback::setParam(std::string name, const std::string& value) {
    if (textKindOf(param_prefix + name) == ToolParameterType::ENUM) {
        return writeValue<EnumParameterInfo>(name, ToolParameterType::ENUM, value);
    }
    return writeValue<StringParameterInfo>(name, ToolParameterType::STRING, value);
}

}  // namespace orvane
