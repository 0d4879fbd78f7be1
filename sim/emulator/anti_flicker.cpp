#include "anti_flicker.h"

#include <cmath>

namespace orvane::sim {

namespace {

constexpr double kBandTolerance = 0.05;

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

}  // namespace orvane::sim
