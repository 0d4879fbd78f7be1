#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "CalibratorParameters.h"
#include "DvsFileInfo.h"
#include "Event2D.h"

namespace orvane::sim::python {

// The calibration of a simulated camera of `width` x `height` pixels: an
// ideal pinhole camera centred on the sensor, without distortion, whose DVS
// and APS images coincide.
CalibratorParameters simulated_calibration(const std::string& serial, int width, int height);

// The events a camera has handed out, in whatever calls: how many, and the
// stretch of time stamps they cover.
class HandedOutEvents {
public:
    // `count` events in time-stamp order.
    void add(const Event2D* events, std::size_t count);

    uint64_t count() const { return count_; }
    // The earliest time stamp, and one past the latest; both 0 before any event.
    uint64_t start_t() const { return start_t_; }
    uint64_t end_t() const { return end_t_; }

private:
    uint64_t count_ = 0;
    uint64_t start_t_ = 0;
    uint64_t end_t_ = 0;
};

// The information of a recording that holds everything a camera handed out
// until now: `events`, frames from `first_frame_t`, from a sensor of
// `width` x `height` pixels.
DvsFileInfo simulated_file_info(const std::string& serial, const HandedOutEvents& events,
                                uint64_t first_frame_t, int width, int height);

}  // namespace orvane::sim::python
