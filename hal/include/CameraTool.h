#pragma once

#include <map>
#include <string>

#include "OrvaneExport.h"
#include "ToolInfo.h"
#include "ToolParameterInfo.h"

namespace orvane {

// Parameter name -> its summary, in ascending byte order of the names.
using ParameterInfoMap = std::map<std::string, BasicParameterInfo>;

// One adjustable function of a camera. The virtual operations keep this
// order: it is the layout of the library's virtual table. Typed operations
// report failure by a false result and never throw.
class ORVANE_EXPORT CameraTool {
public:
    explicit CameraTool(std::string param_prefix) : param_prefix(std::move(param_prefix)) {}
    virtual ~CameraTool();

    virtual ToolInfo getToolInfo() = 0;
    virtual ParameterInfoMap getAllParamInfo() = 0;
    virtual bool getParamInfo(std::string name, IntParameterInfo& info) = 0;
    virtual bool getParamInfo(std::string name, FloatParameterInfo& info) = 0;
    virtual bool getParamInfo(std::string name, BoolParameterInfo& info) = 0;
    virtual bool getParamInfo(std::string name, EnumParameterInfo& info) = 0;
    virtual bool getParamInfo(std::string name, StringParameterInfo& info) = 0;

    virtual bool getParam(std::string name, int& value);
    virtual bool getParam(std::string name, float& value);
    virtual bool getParam(std::string name, bool& value);
    virtual bool getParam(std::string name, std::string& value);

    virtual bool setParam(std::string name, const int& value);
    virtual bool setParam(std::string name, const float& value);
    virtual bool setParam(std::string name, const double& value);
    virtual bool setParam(std::string name, const bool& value);
    virtual bool setParam(std::string name, const char* value);
    virtual bool setParam(std::string name, const std::string& value);

    // Joined in front of every parameter name to form the registry key.
    std::string param_prefix;
};

}  // namespace orvane
