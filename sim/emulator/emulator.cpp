#include "emulator.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "trigger_source.h"

namespace orvane::sim {

namespace {

constexpr double kMostReservedEvents = 1 << 24;

std::vector<uint8_t> rendered(const Scene& scene, uint64_t t_us) {
    std::vector<uint8_t> pixels(static_cast<std::size_t>(scene.width()) * scene.height());
    scene.render(t_us, pixels.data());
    return pixels;
}

}  // namespace

struct Emulator::Running {
    Running(const Scene& scene, uint64_t t_us, std::mt19937_64& random, unsigned threads)
        : sample(rendered(scene, t_us)),
          pixels(scene.width(), scene.height(), sample.data(), t_us, random, threads),
          anti_flicker(scene.width(), scene.height()),
          trail_filter(scene.width(), scene.height()) {}

    std::vector<uint8_t> sample;
    PixelModel pixels;
    AntiFlicker anti_flicker;
    TrailFilter trail_filter;
    EventRateControl rate_control;
    double events_per_us = 0;
};

Emulator::Emulator(std::unique_ptr<Scene> scene, uint64_t seed, unsigned threads)
    : scene_(std::move(scene)), random_(seed), threads_(std::max(threads, 1u)) {}

Emulator::~Emulator() = default;

Readout Emulator::read(uint64_t duration_us, const ToolSettings& settings) {
    if (duration_us > std::numeric_limits<uint64_t>::max() - clock_us_) {
        throw std::overflow_error("The camera's clock cannot go past " +
                                  std::to_string(std::numeric_limits<uint64_t>::max()) + " us");
    }
    if (!running_) {
        running_ = std::make_unique<Running>(*scene_, clock_us_, random_, threads_);
    }
    const uint64_t end = clock_us_ + duration_us;
    const PixelSettings pixel = pixel_settings(settings.biases);
    if (settings.rate_control.enabled) {
        running_->rate_control.configure(settings.rate_control);
    } else {
        running_->rate_control.reset();
    }
    running_->anti_flicker.configure(settings.anti_flicker);
    const PixelFilter keep = pixel_filter(settings);
    Readout readout;
    // Room for as many events as the last read's rate gives, so that a long
    // read does not copy and fault in its events again at each doubling.
    const double expected = running_->events_per_us * static_cast<double>(duration_us) * 1.1;
    readout.events.reserve(static_cast<std::size_t>(std::min(expected, kMostReservedEvents)));
    for (uint64_t t = clock_us_; t < end;) {
        scene_->prepare(t);
        t = std::min(scene_->next_sample_after(t), end);
        scene_->render(t, running_->sample.data());
        const std::size_t first_new = readout.events.size();
        running_->pixels.step(running_->sample.data(), t, pixel, random_, keep, readout.events);
        control_rate(settings, readout.events, first_new);
    }
    if (duration_us > 0) {
        running_->events_per_us =
            static_cast<double>(readout.events.size()) / static_cast<double>(duration_us);
    }
    if (settings.trigger_in) {
        readout.triggers = trigger_edges(clock_us_, end);
    }
    clock_us_ = end;
    scene_->forget_before(clock_us_);
    return readout;
}

// The tools that judge each pixel's events on their own: an event a tool
// drops is not seen by those after it. Empty when none is enabled.
PixelFilter Emulator::pixel_filter(const ToolSettings& settings) {
    if (!settings.roi.enabled && !settings.anti_flicker.enabled && !settings.trail_filter.enabled) {
        return {};
    }
    Running& running = *running_;
    return [&settings, &running](const Event2D& event) {
        return (!settings.roi.enabled || roi_keeps(settings.roi, event)) &&
               (!settings.anti_flicker.enabled || running.anti_flicker.keeps(event)) &&
               (!settings.trail_filter.enabled ||
                running.trail_filter.keeps(settings.trail_filter, event));
    };
}

// The event rate control, over the whole stream in time order from events[first].
void Emulator::control_rate(const ToolSettings& settings, std::vector<Event2D>& events,
                            std::size_t first) {
    if (!settings.rate_control.enabled) {
        return;
    }
    std::size_t kept = first;
    for (std::size_t i = first; i < events.size(); ++i) {
        if (running_->rate_control.keeps(events[i])) {
            events[kept++] = events[i];
        }
    }
    events.resize(kept);
}

std::vector<uint8_t> Emulator::frame() const { return rendered(*scene_, clock_us_); }

}  // namespace orvane::sim
