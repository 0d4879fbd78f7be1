#pragma once

#include <cstdint>

namespace orvane {

enum class LogLevelType : int32_t {
    TRACE = 0,
    DEBUG = 1,
    INFO = 2,
    WARN = 3,
    ERR = 4,
    FATAL = 5,
};

}  // namespace orvane
