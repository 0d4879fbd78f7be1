#pragma once

#include <cstddef>
#include <cstdint>

#include "scene.h"

namespace orvane::sim {

// Writes the grey levels of the `count` pixels of `frame` from pixel `first`
// on into `levels`. Colour becomes grey by the BT.709 luma weights, floating
// point values are clipped to [0, 1] (NaN taken as 0) and scaled to 255, and
// each level is rounded to the nearest.
void grey_levels(const TimedFrame& frame, std::size_t first, std::size_t count, uint8_t* levels);

}  // namespace orvane::sim
