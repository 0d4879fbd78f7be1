#pragma once

#include "Logger.h"

namespace orvane {

// The one logger that a binary's tool code writes through: created on first
// use (thread-safe), destroyed at exit. Every shared object that compiles
// this header in keeps its own.
inline Logger& tool_logger() {
    static Logger logger;
    return logger;
}

}  // namespace orvane
