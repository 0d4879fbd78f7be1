#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "Event2D.h"
#include "EventTriggerIn.h"
#include "anti_flicker.h"
#include "bias_settings.h"
#include "event_rate_control.h"
#include "pixel_model.h"
#include "roi_filter.h"
#include "scene.h"
#include "trail_filter.h"

namespace orvane::sim {

// What the camera's tools hold when a read starts.
struct ToolSettings {
    Biases biases;
    RoiSettings roi;
    AntiFlickerSettings anti_flicker;
    TrailFilterSettings trail_filter;
    EventRateControlSettings rate_control;
    bool trigger_in = false;
};

struct Readout {
    std::vector<Event2D> events;
    std::vector<EventTriggerIn> triggers;
};

// An event sensor watching a scene, with its tools acting on what the
// pixels emit, in this order: ROI, anti-flicker, trail filter, event rate
// control. All randomness comes from one generator seeded once, drawn in
// the order the reads ask for it.
class Emulator {
public:
    // The pixel model spreads its work over `threads` threads (at least one).
    Emulator(std::unique_ptr<Scene> scene, uint64_t seed, unsigned threads = 1);
    ~Emulator();

    int width() const { return scene_->width(); }
    int height() const { return scene_->height(); }
    uint64_t clock_us() const { return clock_us_; }

    // The events and trigger edges of (clock, clock + duration_us]; the clock
    // then moves on by duration_us. Throws std::overflow_error when the clock
    // would pass its largest value, leaving everything as it was.
    Readout read(uint64_t duration_us, const ToolSettings& settings);

    // The scene at the current clock, one byte per pixel, row by row.
    std::vector<uint8_t> frame() const;

private:
    PixelFilter pixel_filter(const ToolSettings& settings);
    void control_rate(const ToolSettings& settings, std::vector<Event2D>& events,
                      std::size_t first);

    // The sensor's per-pixel state, made at the first read: a camera that
    // is never read costs no more than its scene.
    struct Running;

    std::unique_ptr<Scene> scene_;
    std::mt19937_64 random_;
    unsigned threads_;
    uint64_t clock_us_ = 0;
    std::unique_ptr<Running> running_;
};

}  // namespace orvane::sim
