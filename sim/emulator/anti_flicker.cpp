#include "anti_flicker.h"

#include <algorithm>

namespace orvane::sim {

namespace {

constexpr double kBandTolerance = 0.05;
constexpr uint8_t kMostScore = 7;

}  // namespace

AntiFlicker::AntiFlicker(int width, int height)
    : width_(width), pixels_(static_cast<std::size_t>(width) * height) {}

void AntiFlicker::apply(const AntiFlickerSettings& settings, std::vector<Event2D>& events) {
    if (!settings.enabled) {
        return;
    }
    events.erase(std::remove_if(events.begin(), events.end(),
                                [&](const Event2D& event) {
                                    return flickers(settings, event) != settings.band_pass;
                                }),
                 events.end());
}

bool AntiFlicker::flickers(const AntiFlickerSettings& settings, const Event2D& event) {
    PixelState& pixel = pixels_[static_cast<std::size_t>(event.y) * width_ + event.x];
    const double longest_period_us = 1e6 / (settings.low_frequency_hz * (1 - kBandTolerance));
    const double shortest_period_us = 1e6 / (settings.high_frequency_hz * (1 + kBandTolerance));
    const double hold_us = longest_period_us * (1 + settings.duty_cycle_percent / 100);
    if (pixel.started && static_cast<double>(event.t - pixel.burst_start) > hold_us) {
        pixel.score = 0;
        pixel.flickers = false;
    }
    const bool on = event.p == 1;
    if (on && !pixel.last_on) {
        if (pixel.started) {
            const auto period = static_cast<double>(event.t - pixel.burst_start);
            const bool in_band = period >= shortest_period_us && period <= longest_period_us;
            pixel.score = in_band ? std::min<uint8_t>(pixel.score + 1, kMostScore)
                                  : static_cast<uint8_t>(std::max(pixel.score - 1, 0));
        }
        pixel.burst_start = event.t;
        pixel.started = true;
    }
    pixel.last_on = on;
    if (pixel.score >= settings.start_threshold) {
        pixel.flickers = true;
    } else if (pixel.score < settings.stop_threshold) {
        pixel.flickers = false;
    }
    return pixel.flickers;
}

}  // namespace orvane::sim
