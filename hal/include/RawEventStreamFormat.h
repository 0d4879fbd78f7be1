#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "OrvaneExport.h"

namespace orvane {

// How the camera encodes its raw event stream.
enum class RawEventStreamEncodingType : int32_t {
    EVT3 = 0,
    UNKNOWN = -1,
};

// A raw event stream format text: an encoding name followed by zero or more
// ";key=value" options, for example "EVT3;height=720;width=1280".
class ORVANE_EXPORT RawEventStreamFormat {
public:
    // Throws std::invalid_argument for an empty text, an option without '=',
    // an empty key or a repeated key.
    explicit RawEventStreamFormat(std::string format);

    RawEventStreamEncodingType getEncodingType() const;

    // The encoding name as written in the format text.
    std::string getEncodingTypeStr() const;

    bool contains(const std::string& name) const;

    // Throws std::out_of_range naming the option when the format lacks it.
    const std::string& operator[](std::string_view name) const;

private:
    std::string format_;
    std::map<std::string, std::string, std::less<>> options_;
    std::size_t encoding_length_ = 0;
};

}  // namespace orvane
