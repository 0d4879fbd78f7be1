#include "CameraTool.h"

namespace orvane {

// Defined here so that the virtual table and type identity live in this library.
CameraTool::~CameraTool() = default;

// A tool supports no value access unless it overrides these.
bool CameraTool::getParam(std::string, int&) { return false; }
bool CameraTool::getParam(std::string, float&) { return false; }
bool CameraTool::getParam(std::string, bool&) { return false; }
bool CameraTool::getParam(std::string, std::string&) { return false; }

bool CameraTool::setParam(std::string, const int&) { return false; }
bool CameraTool::setParam(std::string, const float&) { return false; }
bool CameraTool::setParam(std::string, const double&) { return false; }
bool CameraTool::setParam(std::string, const bool&) { return false; }
bool CameraTool::setParam(std::string, const char*) { return false; }
bool CameraTool::setParam(std::string, const std::string&) { return false; }

}  // namespace orvane
