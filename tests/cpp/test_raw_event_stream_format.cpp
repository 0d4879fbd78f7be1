#include <stdexcept>
#include <string>

#include "RawEventStreamFormat.h"
#include "check.h"

namespace {

using orvane::RawEventStreamEncodingType;
using orvane::RawEventStreamFormat;

std::string parse_error(const std::string& text) {
    try {
        RawEventStreamFormat format(text);
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "no error";
}

void test_encoding_and_options() {
    const RawEventStreamFormat format("EVT3;height=720;width=1280;note=");
    CHECK(format.getEncodingType() == RawEventStreamEncodingType::EVT3);
    CHECK_EQ(format.getEncodingTypeStr(), "EVT3");
    CHECK(format.contains("height"));
    CHECK(!format.contains("depth"));
    CHECK_EQ(format["width"], "1280");
    CHECK_EQ(format["note"], "");

    const RawEventStreamFormat other(" evt3 ;a= b ");
    CHECK(other.getEncodingType() == RawEventStreamEncodingType::UNKNOWN);
    CHECK_EQ(other.getEncodingTypeStr(), " evt3 ");
    CHECK_EQ(other["a"], " b ");
}

void test_malformed_texts_throw() {
    CHECK_EQ(parse_error(""), "raw event stream format is empty");
    CHECK_EQ(parse_error("EVT3;height"), "raw event stream format option 'height' has no '='");
    CHECK_EQ(parse_error("EVT3;"), "raw event stream format option '' has no '='");
    CHECK_EQ(parse_error("EVT3;=5"), "raw event stream format option '=5' has an empty key");
    CHECK_EQ(parse_error("EVT3;a=1;a=2"), "raw event stream format option 'a' is repeated");
}

void test_absent_option_names_it() {
    const RawEventStreamFormat format("EVT3");
    std::string message;
    try {
        format["width"];
    } catch (const std::out_of_range& error) {
        message = error.what();
    }
    CHECK_EQ(message, "raw event stream format has no option 'width'");
}

// Python decodes a message as UTF-8 up to its first NUL, so the bytes the
// caller passed must not reach it raw.
void test_messages_escape_nul_and_bytes_that_are_not_utf8() {
    using namespace std::string_literals;
    CHECK_EQ(parse_error("EVT3;\xff"), "raw event stream format option '\\xff' has no '='");
    CHECK_EQ(parse_error("EVT3;a\0b"s), "raw event stream format option 'a\\x00b' has no '='");
    CHECK_EQ(parse_error("EVT3;\xc3\xa9\xc3=1;\xc3\xa9\xc3=2"),
             "raw event stream format option '\xc3\xa9\\xc3' is repeated");
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    CHECK_EQ(parse_error("EVT3;\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80"),
             "raw event stream format option '\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80' "
             "has no '='");
    const RawEventStreamFormat format("EVT3");
    std::string message;
    try {
        format["\xe2\x82"s + "\0"s];
    } catch (const std::out_of_range& error) {
        message = error.what();
    }
    CHECK_EQ(message, "raw event stream format has no option '\\xe2\\x82\\x00'");
}

}  // namespace

int main() {
    test_encoding_and_options();
    test_malformed_texts_throw();
    test_absent_option_names_it();
    test_messages_escape_nul_and_bytes_that_are_not_utf8();
    return CHECK_REPORT();
}
