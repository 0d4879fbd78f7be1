#include "PrintableText.h"

#include <cstddef>
#include <cstdio>

namespace orvane {

namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence starting at text[at], or 0. Overlong
// forms, surrogates and code points past U+10FFFF are not valid.
std::size_t sequence_length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char second_min = 0x80;
    unsigned char second_max = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        second_min = lead == 0xE0 ? 0xA0 : 0x80;
        second_max = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        second_min = lead == 0xF0 ? 0x90 : 0x80;
        second_max = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(1) < second_min || byte(1) > second_max) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!is_continuation(byte(i))) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string printable_text(std::string_view text) {
    std::string printable;
    printable.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = sequence_length(text, at);
        if (length == 0 || text[at] == '\0') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[at]));
            printable += escaped;
            ++at;
        } else {
            printable.append(text, at, length);
            at += length;
        }
    }
    return printable;
}

}  // namespace orvane
