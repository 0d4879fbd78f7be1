#pragma once

#include <memory>
#include <string>

#include "OrvaneExport.h"
#include "camera/tools/CameraToolPrivate.h"

namespace orvane {

// The library's registry tool: keeps a current value per parameter, checks
// new values against their records and moves them through the records'
// callables into the camera's register bank.
class ORVANE_EXPORT CameraToolRegisterWithCallback : public CameraToolRegister {
public:
    CameraToolRegisterWithCallback(std::string param_prefix, std::shared_ptr<RegisterBank> bank);
    ~CameraToolRegisterWithCallback() override;

    // Registers `entry` under param_prefix + its name, starting at the
    // record's default value. Throws std::invalid_argument when the key is
    // taken or `detail` does not match `info.type`.
    void addParameter(const ParameterEntry& entry);

    using CameraToolBasePrivate::getParamInfo;
    bool getParamInfo(std::string name, IntParameterInfo& info) override;
    bool getParamInfo(std::string name, FloatParameterInfo& info) override;
    bool getParamInfo(std::string name, BoolParameterInfo& info) override;
    bool getParamInfo(std::string name, EnumParameterInfo& info) override;

    bool getParam(std::string name, int& value) override;
    bool getParam(std::string name, float& value) override;
    bool getParam(std::string name, bool& value) override;
    bool getParam(std::string name, std::string& value) override;

    using CameraTool::setParam;
    bool setParam(std::string name, const int& value) override;
    bool setParam(std::string name, const float& value) override;
    bool setParam(std::string name, const bool& value) override;
    bool setParam(std::string name, const char* value) override;
    bool setParam(std::string name, const std::string& value) override;

private:
    template <typename Record, typename Value>
    bool readValue(const std::string& name, ToolParameterType type, Value& value);
    template <typename Record, typename Value>
    bool writeValue(const std::string& name, ToolParameterType type, const Value& value);
    // Text values belong to ENUM and STRING parameters alike.
    ToolParameterType textKindOf(const std::string& key) const;
};

}  // namespace orvane
