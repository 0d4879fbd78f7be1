#pragma once

#include <cstdint>
#include <string>

#include "CalibratorParameters.h"
#include "DvsFileInfo.h"

namespace orvane::sim {

// The calibration of a simulated camera of `width` x `height` pixels: an
// ideal pinhole camera centred on the sensor, without distortion, whose DVS
// and APS images coincide.
CalibratorParameters simulated_calibration(const std::string& serial, int width, int height);

// The information of a recording that holds everything a camera streamed
// until now: events from `first_event_t` up to `next_event_t` (excluded),
// frames from `first_frame_t`, from a sensor of `width` x `height` pixels.
DvsFileInfo simulated_file_info(const std::string& serial, uint64_t first_event_t,
                                uint64_t next_event_t, uint64_t first_frame_t, int width,
                                int height);

}  // namespace orvane::sim
