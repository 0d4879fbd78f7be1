#include "RegisterBank.h"

namespace orvane {

void RegisterBank::write(uint32_t address, uint32_t word) {
    const std::lock_guard<std::mutex> lock(mutex_);
    words_[address] = word;
}

uint32_t RegisterBank::read(uint32_t address) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = words_.find(address);
    return found == words_.end() ? 0 : found->second;
}

}  // namespace orvane
