#include "RawEventStreamFormat.h"

#include <stdexcept>
#include <utility>

#include "PrintableText.h"

namespace orvane {

namespace {

std::invalid_argument format_error(std::string_view option, const char* problem) {
    std::string message = "raw event stream format option '";
    message += printable_text(option);
    message += "' ";
    message += problem;
    return std::invalid_argument(message);
}

}  // namespace

RawEventStreamFormat::RawEventStreamFormat(std::string format) : format_(std::move(format)) {
    if (format_.empty()) {
        throw std::invalid_argument("raw event stream format is empty");
    }
    const std::string_view text(format_);
    std::size_t end = text.find(';');
    encoding_length_ = end == std::string_view::npos ? text.size() : end;
    while (end != std::string_view::npos) {
        const std::size_t start = end + 1;
        end = text.find(';', start);
        const std::string_view option = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        const std::size_t equals = option.find('=');
        if (equals == std::string_view::npos) {
            throw format_error(option, "has no '='");
        }
        if (equals == 0) {
            throw format_error(option, "has an empty key");
        }
        const auto inserted = options_.emplace(std::string(option.substr(0, equals)),
                                               std::string(option.substr(equals + 1)));
        if (!inserted.second) {
            throw format_error(option.substr(0, equals), "is repeated");
        }
    }
}

RawEventStreamEncodingType RawEventStreamFormat::getEncodingType() const {
    return getEncodingTypeStr() == "EVT3" ? RawEventStreamEncodingType::EVT3
                                          : RawEventStreamEncodingType::UNKNOWN;
}

std::string RawEventStreamFormat::getEncodingTypeStr() const {
    return format_.substr(0, encoding_length_);
}

bool RawEventStreamFormat::contains(const std::string& name) const {
    return options_.find(name) != options_.end();
}

const std::string& RawEventStreamFormat::operator[](std::string_view name) const {
    const auto found = options_.find(name);
    if (found == options_.end()) {
        std::string message = "raw event stream format has no option '";
        message += printable_text(name);
        message += "'";
        throw std::out_of_range(message);
    }
    return found->second;
}

}  // namespace orvane
