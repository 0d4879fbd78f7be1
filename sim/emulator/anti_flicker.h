#pragma once

#include <algorithm>
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

    // What the pixels were at the checkpoint comes back at roll_back().
    // checkpoint() may throw std::bad_alloc, changing nothing.
    void checkpoint() { pixels_.checkpoint(); }
    void roll_back() noexcept { pixels_.roll_back(); }

private:
    // Eight bytes a pixel, so that a cache line holds eight neighbours: the
    // start of the last ON burst in 56 bits (two thousand years of
    // microseconds), then whether there was one, whether the last event was
    // ON, whether the pixel flickers, and its score in 3 bits. One plain
    // word rather than bit fields: storing one bit field and then loading
    // its word again would stall on every event.
    using PixelState = uint64_t;
    static constexpr uint64_t kTimeMask = (uint64_t{1} << 56) - 1;
    static constexpr int kStartedBit = 56;
    static constexpr int kLastOnBit = 57;
    static constexpr int kFlickersBit = 58;
    static constexpr int kScoreShift = 59;

    AntiFlickerSettings settings_;
    // Periods in band lie within [shortest, longest].
    uint64_t shortest_period_us_ = 0;
    uint64_t longest_period_us_ = 0;
    uint64_t hold_us_ = 0;
    PixelGrid<PixelState> pixels_;
};

// Inline: it is asked about every event.
inline bool AntiFlicker::keeps(const Event2D& event) {
    constexpr int kMostScore = 7;
    pixels_.prefetch(event.x, static_cast<uint16_t>(event.y + 1));
    PixelState& pixel = pixels_.changing(event.x, event.y);
    const uint64_t state = pixel;
    uint64_t burst_start = state & kTimeMask;
    bool started = (state >> kStartedBit) & 1u;
    bool flickers = (state >> kFlickersBit) & 1u;
    int score = static_cast<int>(state >> kScoreShift);
    if (started && event.t - burst_start > hold_us_) {
        score = 0;
        flickers = false;
    }
    const bool on = event.p == 1;
    if (on && !((state >> kLastOnBit) & 1u)) {
        if (started) {
            const uint64_t period = event.t - burst_start;
            const bool in_band = period >= shortest_period_us_ && period <= longest_period_us_;
            score = in_band ? std::min(score + 1, kMostScore) : std::max(score - 1, 0);
        }
        burst_start = event.t & kTimeMask;
        started = true;
    }
    if (score >= settings_.start_threshold) {
        flickers = true;
    } else if (score < settings_.stop_threshold) {
        flickers = false;
    }
    pixel = burst_start | uint64_t{started} << kStartedBit | uint64_t{on} << kLastOnBit |
            uint64_t{flickers} << kFlickersBit | static_cast<uint64_t>(score) << kScoreShift;
    return flickers == settings_.band_pass;
}

}  // namespace orvane::sim
