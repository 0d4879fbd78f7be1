#pragma once

// A minimal assertion harness for the C++ tests: each failed CHECK prints
// where and why, and the test's exit code counts the failures.

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace check {

inline int& failures() {
    static int count = 0;
    return count;
}

inline void fail(const char* file, int line, const std::string& what) {
    ++failures();
    std::cout << file << ":" << line << ": FAILED: " << what << "\n";
}

// Captures what is written to the process's standard error (file
// descriptor 2) while the object lives.
class StderrCapture {
public:
    StderrCapture() : path_(make_path()) {
        std::fflush(stderr);
        saved_ = dup(2);
        std::FILE* target = std::fopen(path_.c_str(), "w");
        dup2(fileno(target), 2);
        std::fclose(target);
    }
    ~StderrCapture() {
        restore();
        std::remove(path_.c_str());
    }

    std::string text() {
        restore();
        std::ifstream in(path_);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }

private:
    static std::string make_path() {
        char name[] = "/tmp/orvane-stderr-XXXXXX";
        const int fd = mkstemp(name);
        close(fd);
        return name;
    }
    void restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            dup2(saved_, 2);
            close(saved_);
            saved_ = -1;
        }
    }

    std::string path_;
    int saved_ = -1;
};

inline bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

inline int count_lines(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

}  // namespace check

#define CHECK(condition)                                               \
    do {                                                               \
        if (!(condition)) check::fail(__FILE__, __LINE__, #condition); \
    } while (0)

#define CHECK_EQ(actual, expected)                                                         \
    do {                                                                                   \
        const auto& check_actual_ = (actual);                                              \
        const auto& check_expected_ = (expected);                                          \
        if (!(check_actual_ == check_expected_)) {                                         \
            std::ostringstream check_message_;                                             \
            check_message_ << #actual << " == " << #expected << " (got [" << check_actual_ \
                           << "], expected [" << check_expected_ << "])";                  \
            check::fail(__FILE__, __LINE__, check_message_.str());                         \
        }                                                                                  \
    } while (0)

#define CHECK_REPORT() (check::failures() == 0 ? 0 : 1)
