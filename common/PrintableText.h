#pragma once

#include <string>
#include <string_view>

namespace orvane {

// `text` for an exception message: valid UTF-8 stays as it is, while NUL and
// every byte that is not part of a valid UTF-8 sequence become \xnn. Messages
// name what the caller passed, and Python turns them into exceptions by
// decoding them as UTF-8 up to the first NUL, so a raw byte would replace the
// exception with a decoding error and a NUL would cut the message short.
std::string printable_text(std::string_view text);

}  // namespace orvane
