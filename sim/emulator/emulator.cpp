#include "emulator.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#include "event_queue.h"
#include "event_readout.h"
#include "trigger_source.h"

namespace orvane::sim {

namespace {

constexpr uint64_t kLatest = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kSliceUs = 1000;
// No step of the sensor is longer.
constexpr uint64_t kLongestStepUs = 10000;
// Room for the next step's events before it runs: twice the last step's, at least this.
constexpr std::size_t kLeastStepRoom = 1024;
// Room made ahead for a read's events goes no further than this (the queue caps it lower still).
constexpr double kMostExpected = 1e9;

std::vector<uint8_t> rendered(const Scene& scene, uint64_t t_us) {
    std::vector<uint8_t> pixels(static_cast<std::size_t>(scene.width()) * scene.height());
    scene.render(t_us, pixels.data());
    return pixels;
}

// The end of the event rate control's 1 ms slice that holds `t_us`.
uint64_t slice_end(uint64_t t_us) {
    const uint64_t rest = t_us % kSliceUs;
    return rest == 0 ? t_us : t_us > kLatest - (kSliceUs - rest) ? kLatest : t_us - rest + kSliceUs;
}

// The scene's next sample; for a scene that would go longer without one,
// the next multiple of kLongestStepUs instead where the scene allows it, so
// that a tool value changed between two reads acts soon.
uint64_t next_sample(const Scene& scene, uint64_t t_us) {
    const uint64_t sample = std::max(scene.next_sample_after(t_us), t_us + 1);
    if (sample - t_us <= kLongestStepUs || !scene.may_sample_between(t_us)) {
        return sample;
    }
    return t_us > kLatest - kLongestStepUs
               ? kLatest
               : t_us / kLongestStepUs * kLongestStepUs + kLongestStepUs;
}

}  // namespace

// A scene's source of frames and a signal handler run user code inside a
// read, on the reading thread: were they to read the camera or ask for its
// frame, that thread would wait for itself.
class Emulator::Busy {
public:
    explicit Busy(const Emulator& emulator) : emulator_(emulator) {
        if (emulator.busy_thread_.load() == std::this_thread::get_id()) {
            throw std::logic_error(
                "A camera cannot be read, nor show its frame, from code that runs inside its own "
                "read (a scene's source of frames, a signal handler)");
        }
        emulator.busy_.lock();
        emulator.busy_thread_ = std::this_thread::get_id();
    }
    ~Busy() {
        emulator_.busy_thread_ = std::thread::id();
        emulator_.busy_.unlock();
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    const Emulator& emulator_;
};

struct Emulator::Running {
    Running(const Scene& scene, uint64_t t_us, std::mt19937_64& random, unsigned threads,
            bool ideal, std::shared_ptr<WorkerPool> pool)
        : sample(rendered(scene, t_us)),
          pixels(scene.width(), scene.height(), sample.data(), t_us, random, threads, ideal,
                 std::move(pool)),
          anti_flicker(scene.width(), scene.height()),
          trail_filter(scene.width(), scene.height()),
          readout(kReadoutPerUs),
          emulated_us(t_us) {}

    std::vector<uint8_t> sample;
    PixelModel pixels;
    AntiFlicker anti_flicker;
    TrailFilter trail_filter;
    EventRateControl rate_control;
    // Where the realistic sensor's events wait for the readout.
    EventReadout readout;
    // The events made up to emulated_us that no read has handed out.
    EventQueue pending;
    uint64_t emulated_us;
    std::size_t last_step_events = 0;
    // Events per microsecond of the last read, which sizes the queue ahead of a read.
    double events_per_us = 0;

    // What a read that fails puts back, beside what the parts keep themselves.
    struct Saved {
        EventReadout readout{kReadoutPerUs};
        EventRateControl rate_control;
        uint64_t emulated_us = 0;
        std::size_t last_step_events = 0;
        double events_per_us = 0;
        std::mt19937_64 random;
    };
    Saved saved;
};

Emulator::Emulator(std::unique_ptr<Scene> scene, uint64_t seed, unsigned threads, bool ideal)
    : scene_(std::move(scene)), random_(seed), threads_(std::max(threads, 1u)), ideal_(ideal) {
    const unsigned bands = PixelModel::band_count(scene_->height(), threads_);
    if (bands < 2) {
        return;
    }
    try {
        pool_ = std::make_shared<WorkerPool>(bands);
    } catch (const std::system_error& error) {
        throw std::runtime_error("Cannot start the " + std::to_string(bands - 1) +
                                 " worker threads of a camera with threads=" +
                                 std::to_string(threads_) + ": " + error.what());
    }
}

Emulator::~Emulator() = default;

Readout Emulator::read(uint64_t duration_us, const ToolSettings& settings,
                       const Interruption& interruption, const Acceptance& accept) {
    const Busy busy(*this);
    const uint64_t clock = clock_us_.load();
    if (duration_us > kLatest - clock) {
        throw std::overflow_error("The camera's clock cannot go past " + std::to_string(kLatest) +
                                  " us");
    }
    start();
    checkpoint();
    try {
        const uint64_t end = clock + duration_us;
        // The event rate control judges whole slices: it needs every event of the one holding end.
        emulate_until(settings.rate_control.enabled ? slice_end(end) : end, settings, interruption);
        Readout readout = hand_out(end, settings);
        if (accept) {
            accept(readout);
        }
        clock_us_ = end;
        scene_->forget_before(end);
        return readout;
    } catch (...) {
        roll_back();
        throw;
    }
}

void Emulator::checkpoint() {
    Running& running = *running_;
    Running::Saved& saved = running.saved;
    saved.rate_control = running.rate_control;
    running.pending.checkpoint();
    running.pixels.checkpoint();
    running.anti_flicker.checkpoint();
    running.trail_filter.checkpoint();
    saved.readout = running.readout;
    saved.emulated_us = running.emulated_us;
    saved.last_step_events = running.last_step_events;
    saved.events_per_us = running.events_per_us;
    saved.random = random_;
}

void Emulator::roll_back() noexcept {
    Running& running = *running_;
    Running::Saved& saved = running.saved;
    std::swap(running.rate_control, saved.rate_control);
    running.pending.roll_back();
    running.pixels.roll_back();
    running.anti_flicker.roll_back();
    running.trail_filter.roll_back();
    running.readout = saved.readout;
    running.emulated_us = saved.emulated_us;
    running.last_step_events = saved.last_step_events;
    running.events_per_us = saved.events_per_us;
    random_ = saved.random;
}

// The sensor's state starts at the first read, drawing its mismatch from a
// copy of the generator that replaces it only once all went well.
void Emulator::start() {
    if (running_) {
        return;
    }
    const uint64_t clock = clock_us_.load();
    scene_->prepare(clock);
    std::mt19937_64 random = random_;
    auto running = std::make_unique<Running>(*scene_, clock, random, threads_, ideal_, pool_);
    random_ = random;
    running_ = std::move(running);
}

// Each step is whole or not at all, so an interruption between two steps
// leaves a sensor that a later read simply goes on from.
void Emulator::emulate_until(uint64_t t_us, const ToolSettings& settings,
                             const Interruption& interruption) {
    Running& running = *running_;
    if (running.emulated_us >= t_us) {
        return;
    }
    const PixelSettings pixel = pixel_settings(settings.biases);
    running.anti_flicker.configure(settings.anti_flicker);
    const PixelFilter keep = pixel_filter(settings);
    const double expected =
        running.events_per_us * static_cast<double>(t_us - running.emulated_us) * 1.25;
    running.pending.expect(static_cast<std::size_t>(std::min(expected, kMostExpected)));
    using Clock = std::chrono::steady_clock;
    auto next_check = Clock::now() + std::chrono::milliseconds(kInterruptionCheckMs);
    while (running.emulated_us < t_us) {
        if (interruption && Clock::now() >= next_check) {
            interruption();
            next_check = Clock::now() + std::chrono::milliseconds(kInterruptionCheckMs);
        }
        scene_->prepare(running.emulated_us);
        const uint64_t t = next_sample(*scene_, running.emulated_us);
        EventBuffer& events =
            running.pending.room_for(std::max(2 * running.last_step_events, kLeastStepRoom));
        const std::size_t before = events.size();
        uint8_t* const sample = running.sample.data();
        running.pixels.step(sample, t, pixel, random_, keep, events, [&](int first, int end) {
            scene_->render_rows(t, first, end, sample);
        });
        // Stamped after the step, which no longer throws: the step is whole.
        // Its stamps pass t only for events later than any this read hands out.
        if (!ideal_) {
            running.readout.stamp(events.data() + before, events.data() + events.size());
        }
        running.last_step_events = events.size() - before;
        running.emulated_us = t;
    }
}

Readout Emulator::hand_out(uint64_t end, const ToolSettings& settings) {
    Running& running = *running_;
    const uint64_t clock = clock_us_.load();
    const std::size_t count = running.pending.count_until(end);
    running.pending.reserve_pop(count);
    Readout readout;
    if (settings.trigger_in) {
        readout.triggers = trigger_edges(clock, end);
    }
    if (settings.rate_control.enabled) {
        running.rate_control.reserve(settings.rate_control);
    }
    readout.events = running.pending.pop(count);
    if (end > clock) {
        running.events_per_us = static_cast<double>(count) / static_cast<double>(end - clock);
    }
    if (settings.rate_control.enabled && !readout.events.empty()) {
        const std::size_t later = running.pending.count_until(slice_end(readout.events.back().t));
        running.rate_control.control(settings.rate_control, readout.events, later);
    } else if (!settings.rate_control.enabled) {
        running.rate_control.reset();
    }
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

SceneFrame Emulator::frame() const {
    const Busy busy(*this);
    const uint64_t t = clock_us_.load();
    return {t, rendered(*scene_, t)};
}

}  // namespace orvane::sim
