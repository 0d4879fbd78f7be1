#pragma once

#include <cstdint>
#include <vector>

#include "ApsFrame.h"

namespace orvane::sim::python {

// An APS frame of `width` x `height` showing the grayscale `intensities`
// (one byte per pixel, row by row) in all three colour channels.
ApsFrame grayscale_frame(const std::vector<uint8_t>& intensities, int width, int height,
                         uint64_t start_ts, uint64_t end_ts);

}  // namespace orvane::sim::python
