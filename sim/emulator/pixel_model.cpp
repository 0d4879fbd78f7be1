#include "pixel_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <utility>

#include "records.h"

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
// Intervals up to this many microseconds are put in time order by counting
// the events at each offset, longer ones by a comparison sort.
constexpr uint64_t kLongestCountedInterval = 1 << 16;

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

// Where a crossing falls, from its offset into the interval (t0, t0 + dt]:
// never at t0 itself, which belongs to the previous interval.
uint64_t crossing_time(uint64_t t0, uint64_t dt, double offset) {
    return t0 +
           std::clamp(static_cast<uint64_t>(std::max(0.0, std::ceil(offset))), uint64_t{1}, dt);
}

}  // namespace

PixelModel::PixelModel(int width, int height, const uint8_t* first_sample, uint64_t t_us,
                       std::mt19937_64& random, unsigned threads)
    : width_(width),
      height_(height),
      threads_(threads),
      last_t_us_(t_us),
      last_sample_(first_sample, first_sample + static_cast<std::size_t>(width) * height),
      pixels_(width, height) {
    const auto& logs = log_intensity();
    std::normal_distribution<double> mismatch(1.0, kThresholdMismatch);
    for (std::size_t pixel = 0; pixel < last_sample_.size(); ++pixel) {
        pixels_.at(static_cast<uint16_t>(pixel % width), static_cast<uint16_t>(pixel / width)) = {
            logs[last_sample_[pixel]],
            std::clamp(static_cast<float>(mismatch(random)), kLeastScale, kMostScale), kNever};
    }
}

void PixelModel::step(const uint8_t* sample, uint64_t t_us, const PixelSettings& settings,
                      std::mt19937_64& random, const PixelFilter& keep,
                      std::vector<Event2D>& events) {
    if (t_us <= last_t_us_) {
        return;
    }
    const uint64_t t0 = last_t_us_;
    const uint64_t dt = t_us - t0;
    crossings_.clear();
    // Most pixels do not change between two samples: compare blocks at a time.
    constexpr int kBlock = 64;
    for (int y = 0; y < height_; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * width_;
        uint8_t* before = last_sample_.data() + row;
        const uint8_t* after = sample + row;
        for (int first = 0; first < width_; first += kBlock) {
            const int last = std::min(width_, first + kBlock);
            if (std::memcmp(before + first, after + first, last - first) == 0) {
                continue;
            }
            for (int x = first; x < last; ++x) {
                if (before[x] != after[x]) {
                    cross_thresholds(static_cast<uint16_t>(x), static_cast<uint16_t>(y), before[x],
                                     after[x], t0, dt, settings);
                    before[x] = after[x];
                }
            }
        }
    }
    add_noise(t0, dt, settings, random);
    last_t_us_ = t_us;
    merge_noise();
    keep_outside_refractory(settings, keep);
    sort_crossings(t0, dt);
    events.insert(events.end(), crossings_.begin(), crossings_.end());
}

namespace {

bool in_pixel_order(const Event2D& a, const Event2D& b) {
    return a.y != b.y ? a.y < b.y : a.x != b.x ? a.x < b.x : a.t < b.t;
}

}  // namespace

// The crossings come in pixel order, each pixel's in time order; the few
// noise events join them there.
void PixelModel::merge_noise() {
    if (noise_.empty()) {
        return;
    }
    std::stable_sort(noise_.begin(), noise_.end(), in_pixel_order);
    scratch_.clear();
    std::merge(crossings_.begin(), crossings_.end(), noise_.begin(), noise_.end(),
               std::back_inserter(scratch_), in_pixel_order);
    crossings_.swap(scratch_);
}

// Works in pixel order, where neighbouring events have neighbouring state.
void PixelModel::keep_outside_refractory(const PixelSettings& settings, const PixelFilter& keep) {
    std::size_t kept = 0;
    for (const Event2D& crossing : crossings_) {
        uint64_t& last = pixels_.at(crossing.x, crossing.y).last_event_t;
        if (last != kNever && crossing.t - last < settings.refractory_us) {
            continue;
        }
        last = crossing.t;
        if (!keep || keep(crossing)) {
            crossings_[kept++] = crossing;
        }
    }
    crossings_.resize(kept);
}

// Both sorts are stable: events of one time stamp stay in pixel order.
void PixelModel::sort_crossings(uint64_t t0, uint64_t dt) {
    const auto by_time = [](const Event2D& a, const Event2D& b) { return a.t < b.t; };
    if (dt > kLongestCountedInterval) {
        std::stable_sort(crossings_.begin(), crossings_.end(), by_time);
        return;
    }
    per_offset_.assign(dt + 1, 0);
    for (const Event2D& crossing : crossings_) {
        ++per_offset_[crossing.t - t0 - 1];
    }
    uint32_t first = 0;
    for (uint32_t& count : per_offset_) {
        first += std::exchange(count, first);
    }
    scratch_.resize(crossings_.size());
    for (const Event2D& crossing : crossings_) {
        scratch_[per_offset_[crossing.t - t0 - 1]++] = crossing;
    }
    crossings_.swap(scratch_);
}

void PixelModel::cross_thresholds(uint16_t x, uint16_t y, uint8_t from, uint8_t to, uint64_t t0,
                                  uint64_t dt, const PixelSettings& settings) {
    const auto& logs = log_intensity();
    const double start = logs[from];
    const double end = logs[to];
    // Changes come in patches: the scan will soon meet this column again one row down.
    pixels_.prefetch(x, static_cast<uint16_t>(y + 1));
    PixelState& state = pixels_.at(x, y);
    const double reference = state.reference;
    const bool rising = end > reference;
    const double step =
        (rising ? settings.on_threshold : settings.off_threshold) * state.threshold_scale;
    const double signed_step = rising ? step : -step;
    const auto crossed = static_cast<int>(std::floor(std::abs(end - reference) / step));
    if (crossed == 0) {
        return;
    }
    // The log intensity moves linearly from start to end over the interval.
    const double us_per_log = static_cast<double>(dt) / (end - start);
    const double first_offset = (reference - start) * us_per_log;
    const double offset_step = signed_step * us_per_log;
    for (int k = 1; k <= crossed; ++k) {
        crossings_.push_back(make_event2d(x, y, rising ? 1 : 0,
                                          crossing_time(t0, dt, first_offset + k * offset_step)));
    }
    state.reference = static_cast<float>(reference + crossed * signed_step);
}

// Background activity: a Poisson process over the whole sensor, each event
// at a pixel, time and polarity drawn at random. The reference is untouched.
void PixelModel::add_noise(uint64_t t0, uint64_t dt, const PixelSettings& settings,
                           std::mt19937_64& random) {
    noise_.clear();
    const double expected = settings.noise_rate_hz * static_cast<double>(last_sample_.size()) *
                            static_cast<double>(dt) * 1e-6;
    if (expected <= 0) {
        return;
    }
    const auto count = std::poisson_distribution<uint64_t>(expected)(random);
    std::uniform_int_distribution<uint32_t> pixel(0,
                                                  static_cast<uint32_t>(last_sample_.size() - 1));
    std::uniform_int_distribution<uint64_t> offset(1, dt);
    for (uint64_t i = 0; i < count; ++i) {
        const uint32_t at = pixel(random);
        const uint64_t t = t0 + offset(random);
        noise_.push_back(make_event2d(static_cast<uint16_t>(at % width_),
                                      static_cast<uint16_t>(at / width_),
                                      static_cast<uint8_t>(random() & 1), t));
    }
}

}  // namespace orvane::sim
