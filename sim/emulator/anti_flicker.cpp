#include "anti_flicker.h"

#include <algorithm>
#include <cmath>

namespace orvane::sim {

namespace {

constexpr double kBandTolerance = 0.05;
constexpr uint8_t kMostScore = 7;

}  // namespace

AntiFlicker::AntiFlicker(int width, int height) : pixels_(width, height) {}

void AntiFlicker::configure(const AntiFlickerSettings& settings) {
    settings_ = settings;
    const double longest = 1e6 / (settings.low_frequency_hz * (1 - kBandTolerance));
    shortest_period_us_ =
        static_cast<uint64_t>(std::ceil(1e6 / (settings.high_frequency_hz * (1 + kBandTolerance))));
    longest_period_us_ = static_cast<uint64_t>(longest);
    hold_us_ = static_cast<uint64_t>(longest * (1 + settings.duty_cycle_percent / 100));
}

bool AntiFlicker::keeps(const Event2D& event) {
    pixels_.prefetch(event.x, static_cast<uint16_t>(event.y + 1));
    PixelState& pixel = pixels_.at(event.x, event.y);
    if (pixel.started && event.t - pixel.burst_start > hold_us_) {
        pixel.score = 0;
        pixel.flickers = false;
    }
    const bool on = event.p == 1;
    if (on && !pixel.last_on) {
        if (pixel.started) {
            const uint64_t period = event.t - pixel.burst_start;
            const bool in_band = period >= shortest_period_us_ && period <= longest_period_us_;
            pixel.score = in_band ? std::min<uint8_t>(pixel.score + 1, kMostScore)
                                  : static_cast<uint8_t>(std::max(pixel.score - 1, 0));
        }
        pixel.burst_start = event.t;
        pixel.started = true;
    }
    pixel.last_on = on;
    if (pixel.score >= settings_.start_threshold) {
        pixel.flickers = true;
    } else if (pixel.score < settings_.stop_threshold) {
        pixel.flickers = false;
    }
    return pixel.flickers == settings_.band_pass;
}

}  // namespace orvane::sim
