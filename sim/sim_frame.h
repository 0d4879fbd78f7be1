#pragma once

#include <cstdint>

#include "ApsFrame.h"

namespace orvane::sim {

// A frame of the simulated sensor's size holding a test pattern: red rises
// from left to right, green from top to bottom, and blue marks 80-pixel
// squares in a checkerboard (255 where (row / 80 + column / 80) is odd).
ApsFrame test_pattern_frame(uint64_t start_ts, uint64_t end_ts);

}  // namespace orvane::sim
