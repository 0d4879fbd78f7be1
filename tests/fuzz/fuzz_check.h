#pragma once

// A broken expectation in a fuzz target is a crash, so that libFuzzer keeps
// the input that caused it. The targets run with standard error closed (the
// kit's log lines would drown everything else), so the reason goes to the
// sanitizer's report stream, which libFuzzer keeps open.

#include <sanitizer/common_interface_defs.h>

#include <cstdlib>
#include <string>

namespace fuzz_check {

[[noreturn]] inline void fail(const char* file, int line, const char* what) {
    const std::string reason =
        std::string("check failed at ") + file + ":" + std::to_string(line) + ": " + what;
    __sanitizer_report_error_summary(reason.c_str());
    std::abort();
}

}  // namespace fuzz_check

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::fuzz_check::fail(__FILE__, __LINE__, #condition))
#define FUZZ_FAIL(what) ::fuzz_check::fail(__FILE__, __LINE__, what)
