#pragma once

#include <cstdint>

#include "Event2D.h"
#include "pixel_grid.h"

namespace orvane::sim {

struct AntiFlickerSettings {
    bool enabled = false;
    bool band_pass = false;
    int low_frequency_hz = 100;
    int high_frequency_hz = 150;
    double duty_cycle_percent = 50.0;
    int start_threshold = 6;
    int stop_threshold = 4;
};

// The anti-flicker filter. Each pixel measures the time between the starts
// of its ON bursts (an ON event after an OFF event, or its first ON event):
// a period whose frequency lies in [low, high] (5% wider on each side) raises
// the pixel's score by one, up to 7, any other period lowers it by one. The
// pixel flickers from when its score reaches start_threshold until it falls
// below stop_threshold, or until no ON burst has started for one longest
// in-band period plus duty_cycle percent of another. BAND_STOP drops the
// events of flickering pixels, BAND_PASS keeps only those.
class AntiFlicker {
public:
    AntiFlicker(int width, int height);

    // Takes the settings of the next events.
    void configure(const AntiFlickerSettings& settings);
    // Whether the enabled filter lets `event` through; events must come in
    // time order.
    bool keeps(const Event2D& event);

private:
    // Eight bytes a pixel, so that a cache line holds eight neighbours: time
    // stamps keep 56 bits (two thousand years of microseconds).
    struct PixelState {
        uint64_t burst_start : 56;
        uint64_t started : 1;
        uint64_t last_on : 1;
        uint64_t flickers : 1;
        uint64_t score : 3;
    };

    AntiFlickerSettings settings_;
    // Periods in band lie within [shortest, longest].
    uint64_t shortest_period_us_ = 0;
    uint64_t longest_period_us_ = 0;
    uint64_t hold_us_ = 0;
    PixelGrid<PixelState> pixels_;
};

}  // namespace orvane::sim
