#pragma once

#include "pixel_model.h"

namespace orvane::sim {

// The five bias offsets of the sensor, in code steps from factory tuning.
struct Biases {
    int diff_on = 0;
    int diff_off = 0;
    int fo = 0;
    int hpf = 0;
    int refr = 0;
};

// Each bias acts on one quantity, exponentially and monotonically: the
// contrast thresholds double for every 100 steps of bias_diff_on and
// bias_diff_off from 0.2, the refractory period doubles for every 50 steps
// of bias_refr from 100 us, and background activity (0.1 Hz per pixel)
// doubles for every 20 steps of bias_fo and halves for every 30 of bias_hpf.
PixelSettings pixel_settings(const Biases& biases);

}  // namespace orvane::sim
