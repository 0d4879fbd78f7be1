#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "Event2D.h"
#include "EventTriggerIn.h"
#include "anti_flicker.h"
#include "bias_settings.h"
#include "event_buffer.h"
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

// The scene at one time, one byte per pixel, row by row.
struct SceneFrame {
    uint64_t t_us = 0;
    std::vector<uint8_t> intensities;
};

struct Readout {
    EventBuffer events;
    std::vector<EventTriggerIn> triggers;
};

// Called between the sensor's steps, about every kInterruptionCheckMs of
// wall time, while a read emulates: it throws to stop the read.
using Interruption = std::function<void()>;
constexpr int kInterruptionCheckMs = 50;

// Given a read's records before the read takes effect, to take them over
// (it may move them out) or to throw, which undoes the read.
using Acceptance = std::function<void(Readout&)>;

// An event sensor watching a scene, with its tools acting on what the
// pixels emit, in this order: ROI, anti-flicker, trail filter, event rate
// control. The sensor samples the scene on a schedule of its own, which no
// read changes, and keeps the events it made past a read's end for the
// next one: however a stretch of the clock is read, it gives the same
// events. All randomness comes from one generator seeded once.
//
// A read may run on any thread while another asks for the clock; reads and
// frames wait for each other.
class Emulator {
public:
    // The pixel model spreads its work over `threads` threads (at least one),
    // started here: std::runtime_error says so when the system cannot start
    // them. An ideal pixel has none of a real pixel's lag, noise and readout.
    Emulator(std::unique_ptr<Scene> scene, uint64_t seed, unsigned threads = 1, bool ideal = true);
    ~Emulator();

    int width() const { return scene_->width(); }
    int height() const { return scene_->height(); }
    uint64_t clock_us() const { return clock_us_.load(); }

    // The events and trigger edges of (clock, clock + duration_us]; the clock
    // then moves on by duration_us. All or nothing: when it throws
    // (std::overflow_error when the clock would pass its largest value,
    // std::bad_alloc, whatever `interruption`, `accept` or the scene throws),
    // the sensor is put back as it was before the call, its memory for the
    // events made meanwhile freed, and the next read returns what it would
    // have returned had this one never been, whatever the tools then hold.
    Readout read(uint64_t duration_us, const ToolSettings& settings,
                 const Interruption& interruption = {}, const Acceptance& accept = {});

    // The scene at the clock, which no read moves meanwhile.
    SceneFrame frame() const;

private:
    void start();
    void emulate_until(uint64_t t_us, const ToolSettings& settings,
                       const Interruption& interruption);
    Readout hand_out(uint64_t end, const ToolSettings& settings);
    void checkpoint();
    void roll_back() noexcept;
    PixelFilter pixel_filter(const ToolSettings& settings);

    // The sensor's per-pixel state, made at the first read: a camera that
    // is never read costs no more than its scene.
    struct Running;
    class Busy;

    std::unique_ptr<Scene> scene_;
    std::mt19937_64 random_;
    unsigned threads_;
    bool ideal_;
    std::shared_ptr<WorkerPool> pool_;
    std::atomic<uint64_t> clock_us_{0};
    std::unique_ptr<Running> running_;
    mutable std::mutex busy_;
    mutable std::atomic<std::thread::id> busy_thread_{};
};

}  // namespace orvane::sim
