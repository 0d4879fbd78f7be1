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
        const std::string piece =
            text.substr(piece_start, semicolon == std::string::npos ? std::string::npos
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

// Whether `text` is UTF-8: no overlong form, surrogate or code point past
// U+10FFFF. Python turns an exception message into text by decoding it so.
bool is_utf8(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const auto byte = [&](std::size_t i) {
            return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
        };
        const unsigned lead = byte(0);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        if (length == 0 || at + length > text.size()) {
            return false;
        }
        unsigned code_point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t i = 1; i < length; ++i) {
            if ((byte(i) & 0xC0) != 0x80) {
                return false;
            }
            code_point = (code_point << 6) | (byte(i) & 0x3F);
        }
        const unsigned shortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code_point < shortest[length] || code_point > 0x10FFFF ||
            (code_point >= 0xD800 && code_point <= 0xDFFF)) {
            return false;
        }
        at += length;
    }
    return true;
}

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A message that names what the caller passed must stay text, whole: UTF-8
// and without NUL (which would cut the C string short, losing its end).
void check_message(const std::string& message, const std::string& start, const std::string& end) {
    FUZZ_CHECK(is_utf8(message));
    FUZZ_CHECK(message.compare(0, start.size(), start) == 0);
    FUZZ_CHECK(ends_with(message, end));
}

void check_absent(const RawEventStreamFormat& format, const std::string& name) {
    FUZZ_CHECK(!format.contains(name));
    try {
        static_cast<void>(format[name]);
        FUZZ_FAIL("an absent option was found");
    } catch (const std::out_of_range& error) {
        const std::string start = "raw event stream format has no option '";
        check_message(error.what(), start, "'");
        if (is_utf8(name) && name.find('\0') == std::string::npos) {
            FUZZ_CHECK(error.what() == start + name + "'");
        }
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
    } catch (const std::invalid_argument& error) {
        FUZZ_CHECK(!expected.valid);
        const std::string message = error.what();
        if (message != "raw event stream format is empty") {
            FUZZ_CHECK(ends_with(message, "' has no '='") ||
                       ends_with(message, "' has an empty key") ||
                       ends_with(message, "' is repeated"));
            check_message(message, "raw event stream format option '", "");
        }
    }
    return 0;
}
