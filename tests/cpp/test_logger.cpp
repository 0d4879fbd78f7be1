#include <string>

#include "Logger.h"
#include "check.h"

namespace {

void test_line_format_and_base_name() {
    orvane::Logger logger;
    check::StderrCapture capture;
    logger.log_(orvane::LogLevelType::WARN, "/some/dir/source.cpp", 42, "value %d of %s", 7, "x");
    const std::string text = capture.text();
    CHECK(check::ends_with(text, "[WARN] source.cpp:42: value 7 of x\n"));
    CHECK_EQ(check::count_lines(text), 1);
}

void test_new_logger_starts_at_info_and_filters() {
    orvane::Logger logger;
    CHECK(logger.getLogLevel() == orvane::LogLevelType::INFO);
    check::StderrCapture capture;
    logger.log_(orvane::LogLevelType::DEBUG, "f.cpp", 1, "dropped");
    logger.log_(orvane::LogLevelType::INFO, "f.cpp", 2, "kept");
    logger.setLogLevel(orvane::LogLevelType::ERR);
    logger.log_(orvane::LogLevelType::WARN, "f.cpp", 3, "dropped too");
    logger.log_(orvane::LogLevelType::FATAL, "f.cpp", 4, "%s", "100% kept");
    const std::string text = capture.text();
    CHECK_EQ(check::count_lines(text), 2);
    CHECK(text.find("[INFO] f.cpp:2: kept\n") != std::string::npos);
    CHECK(check::ends_with(text, "[FATAL] f.cpp:4: 100% kept\n"));
    CHECK(text.find("dropped") == std::string::npos);
}

void test_level_names() {
    CHECK_EQ(std::string(orvane::to_string(orvane::LogLevelType::ERR)), "ERR");
    CHECK_EQ(std::string(orvane::to_string(static_cast<orvane::LogLevelType>(9))), "UNKNOWN");
}

}  // namespace

int main() {
    test_line_format_and_base_name();
    test_new_logger_starts_at_info_and_filters();
    test_level_names();
    return CHECK_REPORT();
}
