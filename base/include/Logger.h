#pragma once

#include <atomic>

#include "LogLevelType.h"
#include "OrvaneExport.h"

namespace orvane {

// Writes one line per message to standard error:
//   <time> [<LEVEL>] <file base name>:<line>: <message>
// Messages below the logger's level are dropped. Safe to call from several
// threads; each line is written whole.
class ORVANE_EXPORT Logger {
public:
    Logger();
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void setLogLevel(LogLevelType level);
    LogLevelType getLogLevel() const { return level_.load(std::memory_order_relaxed); }

    void log_(LogLevelType level, const char* file, int line, const char* format, ...)
        __attribute__((format(printf, 5, 6)));

private:
    std::atomic<LogLevelType> level_;
};

// The member name of a level ("TRACE" ... "FATAL"), or "UNKNOWN".
ORVANE_EXPORT const char* to_string(LogLevelType level);

}  // namespace orvane
