#include "RegisterFields.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "RegisterBank.h"

namespace orvane {

void bind_register(IntParameterInfo& info, uint32_t address) {
    info.apply_to = [address](RegisterBank& bank, int32_t value) {
        bank.write(address, static_cast<uint32_t>(value));
    };
    info.read_from = [address](const RegisterBank& bank) {
        return static_cast<int32_t>(bank.read(address));
    };
}

void bind_register(FloatParameterInfo& info, uint32_t address) {
    info.apply_to = [address](RegisterBank& bank, float value) {
        uint32_t word = 0;
        std::memcpy(&word, &value, sizeof word);
        bank.write(address, word);
    };
    info.read_from = [address](const RegisterBank& bank) {
        const uint32_t word = bank.read(address);
        float value = 0.0f;
        std::memcpy(&value, &word, sizeof value);
        return value;
    };
}

void bind_register(BoolParameterInfo& info, uint32_t address) {
    info.apply_to = [address](RegisterBank& bank, bool value) {
        bank.write(address, value ? 1u : 0u);
    };
    info.read_from = [address](const RegisterBank& bank) { return bank.read(address) != 0; };
}

void bind_register(EnumParameterInfo& info, uint32_t address) {
    const std::vector<std::string> options = info.options;
    // A text outside the options (a default may be one) is stored as an
    // index past the end, which reads back as empty text.
    info.apply_to = [address, options](RegisterBank& bank, const std::string& value) {
        const auto found = std::find(options.begin(), options.end(), value);
        bank.write(address, static_cast<uint32_t>(found - options.begin()));
    };
    info.read_from = [address, options](const RegisterBank& bank) {
        const uint32_t index = bank.read(address);
        return index < options.size() ? options[index] : std::string();
    };
}

}  // namespace orvane
