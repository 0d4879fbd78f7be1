#include "emulator.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "trigger_source.h"

namespace orvane::sim {

namespace {

std::vector<uint8_t> rendered(const Scene& scene, uint64_t t_us) {
    std::vector<uint8_t> pixels(static_cast<std::size_t>(scene.width()) * scene.height());
    scene.render(t_us, pixels.data());
    return pixels;
}

}  // namespace

struct Emulator::Running {
    Running(const Scene& scene, uint64_t t_us, std::mt19937_64& random)
        : sample(rendered(scene, t_us)),
          pixels(scene.width(), scene.height(), sample.data(), t_us, random),
          anti_flicker(scene.width(), scene.height()),
          trail_filter(scene.width(), scene.height()) {}

    std::vector<uint8_t> sample;
    PixelModel pixels;
    AntiFlicker anti_flicker;
    TrailFilter trail_filter;
    EventRateControl rate_control;
};

Emulator::Emulator(std::unique_ptr<Scene> scene, uint64_t seed)
    : scene_(std::move(scene)), random_(seed) {}

Emulator::~Emulator() = default;

Readout Emulator::read(uint64_t duration_us, const ToolSettings& settings) {
    if (duration_us > std::numeric_limits<uint64_t>::max() - clock_us_) {
        throw std::overflow_error("The camera's clock cannot go past " +
                                  std::to_string(std::numeric_limits<uint64_t>::max()) + " us");
    }
    if (!running_) {
        running_ = std::make_unique<Running>(*scene_, clock_us_, random_);
    }
    const uint64_t end = clock_us_ + duration_us;
    const PixelSettings pixel = pixel_settings(settings.biases);
    Readout readout;
    for (uint64_t t = clock_us_; t < end;) {
        t = std::min(scene_->next_sample_after(t), end);
        scene_->render(t, running_->sample.data());
        running_->pixels.step(running_->sample.data(), t, pixel, random_, readout.events);
    }
    apply_roi(settings.roi, readout.events);
    running_->anti_flicker.apply(settings.anti_flicker, readout.events);
    running_->trail_filter.apply(settings.trail_filter, readout.events);
    running_->rate_control.apply(settings.rate_control, readout.events);
    if (settings.trigger_in) {
        readout.triggers = trigger_edges(clock_us_, end);
    }
    clock_us_ = end;
    return readout;
}

std::vector<uint8_t> Emulator::frame() const { return rendered(*scene_, clock_us_); }

}  // namespace orvane::sim
