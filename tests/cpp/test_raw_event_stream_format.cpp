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

}  // namespace

int main() {
    test_encoding_and_options();
    test_malformed_texts_throw();
    test_absent_option_names_it();
    return CHECK_REPORT();
}
