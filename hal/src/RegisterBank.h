#pragma once

#include <cstdint>
#include <map>
#include <mutex>

namespace orvane {

// The camera's 32-bit registers by address; an address never written reads 0.
class RegisterBank {
public:
    void write(uint32_t address, uint32_t word);
    uint32_t read(uint32_t address) const;

private:
    mutable std::mutex mutex_;
    std::map<uint32_t, uint32_t> words_;
};

}  // namespace orvane
