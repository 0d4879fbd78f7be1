#include "Logger.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

namespace orvane {

namespace {

std::mutex& output_mutex() {
    static std::mutex mutex;
    return mutex;
}

const char* base_name(const char* path) {
    if (path == nullptr) {
        return "";
    }
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

std::string format_message(const char* format, va_list args) {
    if (format == nullptr) {
        return {};
    }
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string time_stamp() {
    using clock = std::chrono::system_clock;
    const auto now = clock::now();
    const std::time_t seconds = clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    const size_t used = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + used, sizeof text - used, ".%03d", static_cast<int>(millis));
    return text;
}

}  // namespace

Logger::Logger() : level_(LogLevelType::INFO) {}

Logger::~Logger() = default;

void Logger::setLogLevel(LogLevelType level) { level_.store(level, std::memory_order_relaxed); }

void Logger::log_(LogLevelType level, const char* file, int line, const char* format, ...) {
    if (static_cast<int32_t>(level) < static_cast<int32_t>(getLogLevel())) {
        return;
    }
    va_list args;
    va_start(args, format);
    const std::string message = format_message(format, args);
    va_end(args);

    std::string text = time_stamp();
    text += " [";
    text += to_string(level);
    text += "] ";
    text += base_name(file);
    text += ':';
    text += std::to_string(line);
    text += ": ";
    text += message;
    text += '\n';

    const std::lock_guard<std::mutex> lock(output_mutex());
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

const char* to_string(LogLevelType level) {
    switch (level) {
        case LogLevelType::TRACE:
            return "TRACE";
        case LogLevelType::DEBUG:
            return "DEBUG";
        case LogLevelType::INFO:
            return "INFO";
        case LogLevelType::WARN:
            return "WARN";
        case LogLevelType::ERR:
            return "ERR";
        case LogLevelType::FATAL:
            return "FATAL";
    }
    return "UNKNOWN";
}

}  // namespace orvane
