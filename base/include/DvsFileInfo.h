#pragma once

#include <cstdint>
#include <string>

namespace orvane {

// Summary of one DVS recording file.
struct DvsFileInfo {
    uint64_t start_timestamp = 0;
    uint64_t end_timestamp = 0;
    uint64_t aps_start_timestamp = 0;
    uint64_t max_events = 0;
    uint16_t dvs_width = 0;
    uint16_t dvs_height = 0;
    std::string serial_number;
};

}  // namespace orvane
