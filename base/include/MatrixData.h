#pragma once

#include <cstdint>
#include <vector>

namespace orvane {

// One matrix of a calibration: its dimensions, an element type code and the
// element values.
struct MatrixData {
    int32_t rows = 0;
    int32_t cols = 0;
    int32_t type = 0;
    std::vector<double> data;
};

}  // namespace orvane
