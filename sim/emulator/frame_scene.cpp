#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "frame_conversion.h"
#include "scene.h"

namespace orvane::sim {

namespace {

// How often a scene before its first frame or past its last is sampled: it
// does not change there, so only the sensor's noise needs the samples.
constexpr uint64_t kHeldSamplePeriodUs = 10000;
// The pixel model sees ln(grey + kDarkOffset).
constexpr double kDarkOffset = 10.0;

const std::array<double, 256>& log_levels() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> logs{};
        for (std::size_t level = 0; level < logs.size(); ++level) {
            logs[level] = std::log(static_cast<double>(level) + kDarkOffset);
        }
        return logs;
    }();
    return table;
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
        while (more_ && frames_.back().time_us <= t_us) {
            std::optional<TimedFrame> frame = more_(asked_++);
            if (frame) {
                append(std::move(*frame), asked_ - 1);
            } else {
                // Lets go of the source as soon as it has ended.
                more_ = nullptr;
            }
        }
    }

    void forget_before(uint64_t t_us) override {
        while (frames_.size() > 1 && frames_[1].time_us <= t_us) {
            frames_.pop_front();
        }
    }

    uint64_t next_sample_after(uint64_t t_us) const override {
        const std::size_t after = frames_after(t_us);
        if (after == 0) {
            return frames_.front().time_us;
        }
        if (after < frames_.size()) {
            return frames_[after].time_us;
        }
        const uint64_t last = frames_.back().time_us;
        const uint64_t periods = (t_us - last) / kHeldSamplePeriodUs + 1;
        const uint64_t room = std::numeric_limits<uint64_t>::max() - last;
        return periods > room / kHeldSamplePeriodUs ? std::numeric_limits<uint64_t>::max()
                                                    : last + periods * kHeldSamplePeriodUs;
    }

    bool may_sample_between(uint64_t t_us) const override {
        const std::size_t after = frames_after(t_us);
        return after == 0 || after == frames_.size();
    }

    void render_rows(uint64_t t_us, int first_row, int end_row, uint8_t* pixels) const override {
        const std::size_t first = static_cast<std::size_t>(first_row) * width_;
        const std::size_t count =
            static_cast<std::size_t>(std::max(first_row, end_row) - first_row) * width_;
        const std::size_t after = frames_after(t_us);
        if (after == 0 || after == frames_.size() || frames_[after - 1].time_us == t_us) {
            grey_levels(frames_[after == 0 ? 0 : after - 1], first, count, pixels + first);
            return;
        }
        // Only a look at the scene between two frames, never a sample of the
        // sensor's, lands here: it shows the log-linear blend rounded to grey levels.
        const TimedFrame& from = frames_[after - 1];
        const TimedFrame& to = frames_[after];
        const double share = static_cast<double>(t_us - from.time_us) /
                             static_cast<double>(to.time_us - from.time_us);
        std::vector<uint8_t> ends(2 * count);
        grey_levels(from, first, count, ends.data());
        grey_levels(to, first, count, ends.data() + count);
        const auto& logs = log_levels();
        for (std::size_t i = 0; i < count; ++i) {
            const double log = logs[ends[i]] + (logs[ends[count + i]] - logs[ends[i]]) * share;
            pixels[first + i] = static_cast<uint8_t>(
                std::clamp(std::lround(std::exp(log) - kDarkOffset), 0L, 255L));
        }
    }

private:
    // How many of the frames held are shown at or before t_us.
    std::size_t frames_after(uint64_t t_us) const {
        return std::upper_bound(
                   frames_.begin(), frames_.end(), t_us,
                   [](uint64_t t, const TimedFrame& frame) { return t < frame.time_us; }) -
               frames_.begin();
    }

    void append(TimedFrame frame, std::size_t index) {
        if (!frames_.empty() && frame.time_us <= frames_.back().time_us) {
            throw std::invalid_argument("Frame time stamps must increase: frame " +
                                        std::to_string(index) + " at " +
                                        std::to_string(frame.time_us) + " us follows " +
                                        std::to_string(frames_.back().time_us) + " us");
        }
        frames_.push_back(std::move(frame));
    }

    // The frames from the last one shown at or before the oldest time still
    // rendered, in time order.
    std::deque<TimedFrame> frames_;
    FrameSource more_;
    std::size_t asked_ = 0;
    int width_;
    int height_;
};

}  // namespace

TimedFrame grey_frame(uint64_t time_us, std::vector<uint8_t> levels) {
    auto owned = std::make_shared<const std::vector<uint8_t>>(std::move(levels));
    return {time_us, FrameFormat::grey8, owned->data(), owned};
}

std::unique_ptr<Scene> make_frame_scene(std::vector<TimedFrame> frames, FrameSource more, int width,
                                        int height) {
    return std::make_unique<FrameScene>(std::move(frames), std::move(more), width, height);
}

}  // namespace orvane::sim
