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
// of bias_refr from 100 us, and the ideal pixel's background activity
// (0.1 Hz per pixel) doubles for every 20 steps of bias_fo and halves for
// every 30 of bias_hpf. The realistic pixel's photoreceptor cutoff (3 kHz
// at grey 255) doubles for every 40 steps of bias_fo; its high-pass corner
// is 0.05 * (2^(bias_hpf / 20) - 1) Hz above 0 and none below; its leak
// (0.1 Hz) and shot noise (0.5 Hz at grey 0) halve for every 30 steps of
// bias_hpf and fall inversely to the thresholds they cross, and its shot
// noise doubles for every 20 steps of bias_fo.
PixelSettings pixel_settings(const Biases& biases);

}  // namespace orvane::sim
