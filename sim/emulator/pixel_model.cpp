#include "pixel_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace orvane::sim {

namespace {

// Log intensity is taken of the grey level plus this dark offset, so that
// the darkest levels do not swing by whole thresholds at each step.
constexpr float kDarkOffset = 10.0f;
// Relative standard deviation of the pixels' thresholds, and its bounds.
constexpr double kThresholdMismatch = 0.1;
constexpr float kLeastScale = 0.5f;
constexpr float kMostScale = 1.5f;
constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();

const std::array<float, 256>& log_intensity() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> logs{};
        for (std::size_t level = 0; level < logs.size(); ++level) {
            logs[level] = std::log(static_cast<float>(level) + kDarkOffset);
        }
        return logs;
    }();
    return table;
}

// Where between t0 (share 0) and t0 + dt (share 1) a crossing falls: never
// at t0 itself, which belongs to the previous interval.
uint64_t crossing_time(uint64_t t0, uint64_t dt, double share) {
    const auto offset = static_cast<uint64_t>(std::ceil(std::clamp(share, 0.0, 1.0) * dt));
    return t0 + std::clamp<uint64_t>(offset, 1, dt);
}

}  // namespace

PixelModel::PixelModel(int width, int height, const uint8_t* first_sample, uint64_t t_us,
                       std::mt19937_64& random)
    : width_(width),
      height_(height),
      last_t_us_(t_us),
      last_sample_(first_sample, first_sample + static_cast<std::size_t>(width) * height),
      reference_(last_sample_.size()),
      threshold_scale_(last_sample_.size()),
      last_event_t_(last_sample_.size(), kNever) {
    const auto& logs = log_intensity();
    std::normal_distribution<double> mismatch(1.0, kThresholdMismatch);
    for (std::size_t pixel = 0; pixel < last_sample_.size(); ++pixel) {
        reference_[pixel] = logs[last_sample_[pixel]];
        threshold_scale_[pixel] =
            std::clamp(static_cast<float>(mismatch(random)), kLeastScale, kMostScale);
    }
}

void PixelModel::step(const uint8_t* sample, uint64_t t_us, const PixelSettings& settings,
                      std::mt19937_64& random, std::vector<Event2D>& events) {
    if (t_us <= last_t_us_) {
        return;
    }
    const uint64_t t0 = last_t_us_;
    const uint64_t dt = t_us - t0;
    crossings_.clear();
    // Most pixels do not change between two samples: compare eight at a time.
    const std::size_t count = last_sample_.size();
    std::size_t pixel = 0;
    for (; pixel + 8 <= count; pixel += 8) {
        uint64_t before;
        uint64_t after;
        std::memcpy(&before, last_sample_.data() + pixel, 8);
        std::memcpy(&after, sample + pixel, 8);
        if (before == after) {
            continue;
        }
        for (std::size_t i = pixel; i < pixel + 8; ++i) {
            if (last_sample_[i] != sample[i]) {
                cross_thresholds(static_cast<uint32_t>(i), last_sample_[i], sample[i], t0, dt,
                                 settings);
            }
        }
        std::memcpy(last_sample_.data() + pixel, sample + pixel, 8);
    }
    for (; pixel < count; ++pixel) {
        if (last_sample_[pixel] != sample[pixel]) {
            cross_thresholds(static_cast<uint32_t>(pixel), last_sample_[pixel], sample[pixel], t0,
                             dt, settings);
            last_sample_[pixel] = sample[pixel];
        }
    }
    add_noise(t0, dt, settings, random);
    last_t_us_ = t_us;
    // Crossings of one pixel are made in time order; a stable sort keeps them so.
    std::stable_sort(crossings_.begin(), crossings_.end(),
                     [](const Crossing& a, const Crossing& b) { return a.t < b.t; });
    emit_outside_refractory(settings, events);
}

void PixelModel::cross_thresholds(uint32_t pixel, uint8_t from, uint8_t to, uint64_t t0,
                                  uint64_t dt, const PixelSettings& settings) {
    const auto& logs = log_intensity();
    const double start = logs[from];
    const double end = logs[to];
    double reference = reference_[pixel];
    const double on_step = settings.on_threshold * threshold_scale_[pixel];
    const double off_step = settings.off_threshold * threshold_scale_[pixel];
    while (end - reference >= on_step) {
        reference += on_step;
        crossings_.push_back(
            {crossing_time(t0, dt, (reference - start) / (end - start)), pixel, 1});
    }
    while (reference - end >= off_step) {
        reference -= off_step;
        crossings_.push_back(
            {crossing_time(t0, dt, (start - reference) / (start - end)), pixel, 0});
    }
    reference_[pixel] = static_cast<float>(reference);
}

// Background activity: a Poisson process over the whole sensor, each event
// at a pixel, time and polarity drawn at random. The reference is untouched.
void PixelModel::add_noise(uint64_t t0, uint64_t dt, const PixelSettings& settings,
                           std::mt19937_64& random) {
    const double expected = settings.noise_rate_hz * static_cast<double>(last_sample_.size()) *
                            static_cast<double>(dt) * 1e-6;
    if (expected <= 0) {
        return;
    }
    const auto count = std::poisson_distribution<uint64_t>(expected)(random);
    std::uniform_int_distribution<uint32_t> pixel(0, static_cast<uint32_t>(last_sample_.size() - 1));
    std::uniform_int_distribution<uint64_t> offset(1, dt);
    for (uint64_t i = 0; i < count; ++i) {
        const uint32_t at = pixel(random);
        const uint64_t t = t0 + offset(random);
        crossings_.push_back({t, at, static_cast<uint8_t>(random() & 1)});
    }
}

void PixelModel::emit_outside_refractory(const PixelSettings& settings,
                                         std::vector<Event2D>& events) {
    for (const Crossing& crossing : crossings_) {
        uint64_t& last = last_event_t_[crossing.pixel];
        if (last != kNever && crossing.t - last < settings.refractory_us) {
            continue;
        }
        last = crossing.t;
        Event2D event;
        event.x = static_cast<uint16_t>(crossing.pixel % width_);
        event.y = static_cast<uint16_t>(crossing.pixel / width_);
        event.p = crossing.polarity;
        event.t = crossing.t;
        events.push_back(event);
    }
}

}  // namespace orvane::sim
