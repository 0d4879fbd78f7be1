#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <stdexcept>
#include <string>

#include "pixel_model.h"
#include "scene.h"

namespace orvane::sim {

namespace {

// How often a scene past its last frame is sampled: it no longer changes,
// so only the sensor's noise needs the samples.
constexpr uint64_t kHeldSamplePeriodUs = 10000;
// The pixel model sees ln(grey + kDarkOffset).
constexpr double kDarkOffset = 10.0;
// The most a pixel's log intensity may move between two samples, as a share
// of the nominal contrast threshold. The pixel model takes the log intensity
// as linear between two samples; the blend is linear in grey, so the finer
// the samples, the closer the events' time stamps follow the blend.
constexpr double kLogStepShare = 0.5;

double nominal_threshold() {
    const PixelSettings nominal;
    return std::min(nominal.on_threshold, nominal.off_threshold);
}

// How many equal steps of time the blend from `from` to `to` is sampled in.
// One step moves a pixel by the same number of grey levels anywhere in the
// blend, which moves its log intensity most at the darker end: from grey a
// to b in n steps, by ln(1 + |b - a| / (n (min(a, b) + kDarkOffset))). It
// depends on the two frames only, so that however the frames reach the
// scene, the samples fall at the same times.
uint64_t blend_steps(const uint8_t* from, const uint8_t* to, std::size_t size) {
    // The largest change of grey level starting from each darker level.
    std::array<int, 256> widest{};
    for (std::size_t i = 0; i < size; ++i) {
        const int darker = std::min(from[i], to[i]);
        widest[darker] = std::max(widest[darker], std::abs(from[i] - to[i]));
    }
    double steepest = 0;
    for (int darker = 0; darker < 256; ++darker) {
        steepest = std::max(steepest, widest[darker] / (darker + kDarkOffset));
    }
    const double per_step = std::expm1(kLogStepShare * nominal_threshold());
    return std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(steepest / per_step)));
}

// Step j of `steps` equal steps over `length` microseconds ends this long
// after the interval's start: j * length / steps, rounded down, without
// overflowing for any length.
uint64_t step_end(uint64_t j, uint64_t steps, uint64_t length) {
    return j * (length / steps) + j * (length % steps) / steps;
}

class FrameScene : public Scene {
public:
    FrameScene(std::vector<TimedFrame> frames, FrameSource more, int width, int height)
        : more_(std::move(more)), width_(width), height_(height) {
        if (frames.empty()) {
            throw std::invalid_argument("A scene of frames needs at least one frame");
        }
        for (TimedFrame& frame : frames) {
            append(std::move(frame), asked_++);
        }
    }

    int width() const override { return width_; }
    int height() const override { return height_; }

    void prepare(uint64_t t_us) override {
        while (more_ && frames_.back().frame.time_us <= t_us) {
            std::optional<TimedFrame> frame = pull();
            if (frame) {
                append(std::move(*frame), asked_ - 1);
            } else {
                // Lets go of the source as soon as it has ended.
                more_ = nullptr;
            }
        }
    }

    void forget_before(uint64_t t_us) override {
        while (frames_.size() > 1 && frames_[1].frame.time_us <= t_us) {
            frames_.pop_front();
        }
    }

    uint64_t next_sample_after(uint64_t t_us) const override {
        const std::size_t after = frames_after(t_us);
        if (after == 0) {
            return frames_.front().frame.time_us;
        }
        const Held& before = frames_[after - 1];
        const uint64_t since = t_us - before.frame.time_us;
        if (after == frames_.size()) {
            const uint64_t periods = since / kHeldSamplePeriodUs + 1;
            const uint64_t room = std::numeric_limits<uint64_t>::max() - before.frame.time_us;
            return periods > room / kHeldSamplePeriodUs
                       ? std::numeric_limits<uint64_t>::max()
                       : before.frame.time_us + periods * kHeldSamplePeriodUs;
        }
        const uint64_t length = frames_[after].frame.time_us - before.frame.time_us;
        // The first step to end after t_us; the last ends at the next frame.
        uint64_t low = 1;
        uint64_t high = before.steps_to_next;
        while (low < high) {
            const uint64_t middle = low + (high - low) / 2;
            if (step_end(middle, before.steps_to_next, length) > since) {
                high = middle;
            } else {
                low = middle + 1;
            }
        }
        return before.frame.time_us + step_end(low, before.steps_to_next, length);
    }

    void render_rows(uint64_t t_us, int first_row, int end_row, uint8_t* pixels) const override {
        const std::size_t first = static_cast<std::size_t>(first_row) * width_;
        const std::size_t end = static_cast<std::size_t>(std::max(first_row, end_row)) * width_;
        const std::size_t after = frames_after(t_us);
        if (after == 0 || after == frames_.size()) {
            const uint8_t* shown = frames_[after == 0 ? 0 : after - 1].frame.pixels.data();
            std::memcpy(pixels + first, shown + first, end - first);
            return;
        }
        const TimedFrame& from = frames_[after - 1].frame;
        const TimedFrame& to = frames_[after].frame;
        const double share = static_cast<double>(t_us - from.time_us) /
                             static_cast<double>(to.time_us - from.time_us);
        for (std::size_t i = first; i < end; ++i) {
            pixels[i] = static_cast<uint8_t>(
                std::lround(from.pixels[i] + (to.pixels[i] - from.pixels[i]) * share));
        }
    }

private:
    struct Held {
        TimedFrame frame;
        // The steps of time from this frame to the next (see blend_steps).
        uint64_t steps_to_next = 1;
    };

    std::size_t frame_size() const { return static_cast<std::size_t>(width_) * height_; }

    // How many of the frames held are shown at or before t_us.
    std::size_t frames_after(uint64_t t_us) const {
        return std::upper_bound(
                   frames_.begin(), frames_.end(), t_us,
                   [](uint64_t t, const Held& held) { return t < held.frame.time_us; }) -
               frames_.begin();
    }

    std::optional<TimedFrame> pull() { return more_(asked_++); }

    void append(TimedFrame frame, std::size_t index) {
        if (frame.pixels.size() != frame_size()) {
            throw std::invalid_argument(
                "Frame " + std::to_string(index) + " has " + std::to_string(frame.pixels.size()) +
                " pixels, the scene's frames have " + std::to_string(frame_size()));
        }
        if (frames_.empty()) {
            frames_.push_back({std::move(frame)});
            return;
        }
        const TimedFrame& last = frames_.back().frame;
        if (frame.time_us <= last.time_us) {
            throw std::invalid_argument("Frame time stamps must increase: frame " +
                                        std::to_string(index) + " at " +
                                        std::to_string(frame.time_us) + " us follows " +
                                        std::to_string(last.time_us) + " us");
        }
        const uint64_t steps = blend_steps(last.pixels.data(), frame.pixels.data(), frame_size());
        frames_.push_back({std::move(frame)});
        frames_[frames_.size() - 2].steps_to_next = steps;
    }

    // The frames from the last one shown at or before the oldest time still
    // rendered, in time order.
    std::deque<Held> frames_;
    FrameSource more_;
    std::size_t asked_ = 0;
    int width_;
    int height_;
};

}  // namespace

std::unique_ptr<Scene> make_frame_scene(std::vector<TimedFrame> frames, FrameSource more, int width,
                                        int height) {
    return std::make_unique<FrameScene>(std::move(frames), std::move(more), width, height);
}

}  // namespace orvane::sim
