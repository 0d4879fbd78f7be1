// Feeds arbitrary bytes to the raw event stream format parser and checks
// every answer against a second, deliberately plain reading of the same text.

#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

#include "RawEventStreamFormat.h"
#include "fuzz_check.h"

namespace {

using orvane::RawEventStreamEncodingType;
using orvane::RawEventStreamFormat;

// The format text as the kit describes it: an encoding name, then ";key=value"
// options with non-empty, unique keys; an empty text is no format.
struct ExpectedFormat {
    bool valid = true;
    std::string encoding;
    std::map<std::string, std::string> options;
};

ExpectedFormat read_plainly(const std::string& text) {
    ExpectedFormat expected;
    if (text.empty()) {
        expected.valid = false;
        return expected;
    }
    std::size_t piece_start = 0;
    bool first = true;
    while (true) {
        const std::size_t semicolon = text.find(';', piece_start);
        const std::string piece = text.substr(
            piece_start, semicolon == std::string::npos ? std::string::npos
                                                        : semicolon - piece_start);
        if (first) {
            expected.encoding = piece;
            first = false;
        } else {
            const std::size_t equals = piece.find('=');
            if (equals == std::string::npos || equals == 0 ||
                !expected.options.emplace(piece.substr(0, equals), piece.substr(equals + 1))
                     .second) {
                expected.valid = false;
                return expected;
            }
        }
        if (semicolon == std::string::npos) {
            return expected;
        }
        piece_start = semicolon + 1;
    }
}

void check_absent(const RawEventStreamFormat& format, const std::string& name) {
    FUZZ_CHECK(!format.contains(name));
    try {
        static_cast<void>(format[name]);
        FUZZ_FAIL("an absent option was found");
    } catch (const std::out_of_range& error) {
        // what() is a C string: a name holding NUL shows up to that byte.
        const std::string message = "raw event stream format has no option '" + name + "'";
        FUZZ_CHECK(error.what() == std::string(message.c_str()));
    }
}

void check_format(const RawEventStreamFormat& format, const ExpectedFormat& expected) {
    FUZZ_CHECK(format.getEncodingTypeStr() == expected.encoding);
    FUZZ_CHECK((format.getEncodingType() == RawEventStreamEncodingType::EVT3) ==
               (expected.encoding == "EVT3"));
    FUZZ_CHECK(format.getEncodingType() == RawEventStreamEncodingType::EVT3 ||
               format.getEncodingType() == RawEventStreamEncodingType::UNKNOWN);
    for (const auto& [name, value] : expected.options) {
        FUZZ_CHECK(format.contains(name));
        FUZZ_CHECK(format[name] == value);
        // Names that differ from a present one by a byte, a prefix or an
        // extension must not match it.
        if (expected.options.count(name + "\x01") == 0) {
            check_absent(format, name + "\x01");
        }
        if (expected.options.count(name.substr(1)) == 0) {
            check_absent(format, name.substr(1));
        }
    }
    if (expected.options.count(expected.encoding) == 0) {
        check_absent(format, expected.encoding);
    }
    if (expected.options.count("") == 0) {
        check_absent(format, "");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ExpectedFormat expected = read_plainly(text);
    try {
        const RawEventStreamFormat format(text);
        FUZZ_CHECK(expected.valid);
        check_format(format, expected);
    } catch (const std::invalid_argument&) {
        FUZZ_CHECK(!expected.valid);
    }
    return 0;
}
