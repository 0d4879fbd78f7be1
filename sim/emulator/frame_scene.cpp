#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "scene.h"

namespace orvane::sim {

namespace {

// How often a scene past its last frame is sampled: it no longer changes,
// so only the sensor's noise needs the samples.
constexpr uint64_t kHeldSamplePeriodUs = 10000;

class FrameScene : public Scene {
public:
    FrameScene(std::vector<uint8_t> frames, std::vector<uint64_t> times_us, int width, int height)
        : frames_(std::move(frames)),
          times_us_(std::move(times_us)),
          width_(width),
          height_(height) {}

    int width() const override { return width_; }
    int height() const override { return height_; }

    uint64_t next_sample_after(uint64_t t_us) const override {
        const auto next = std::upper_bound(times_us_.begin(), times_us_.end(), t_us);
        return next != times_us_.end() ? *next : t_us + kHeldSamplePeriodUs;
    }

    void render(uint64_t t_us, uint8_t* pixels) const override {
        const std::size_t after =
            std::upper_bound(times_us_.begin(), times_us_.end(), t_us) - times_us_.begin();
        if (after == 0 || after == times_us_.size()) {
            std::memcpy(pixels, frame(after == 0 ? 0 : after - 1), frame_size());
            return;
        }
        const uint8_t* from = frame(after - 1);
        const uint8_t* to = frame(after);
        const double share = static_cast<double>(t_us - times_us_[after - 1]) /
                             static_cast<double>(times_us_[after] - times_us_[after - 1]);
        for (std::size_t i = 0; i < frame_size(); ++i) {
            pixels[i] = static_cast<uint8_t>(std::lround(from[i] + (to[i] - from[i]) * share));
        }
    }

private:
    std::size_t frame_size() const { return static_cast<std::size_t>(width_) * height_; }
    const uint8_t* frame(std::size_t k) const { return frames_.data() + k * frame_size(); }

    std::vector<uint8_t> frames_;
    std::vector<uint64_t> times_us_;
    int width_;
    int height_;
};

}  // namespace

std::unique_ptr<Scene> make_frame_scene(std::vector<uint8_t> frames, std::vector<uint64_t> times_us,
                                        int width, int height) {
    const std::size_t frame_count = frames.size() / (static_cast<std::size_t>(width) * height);
    if (frame_count != times_us.size()) {
        throw std::invalid_argument("There must be one time stamp per frame: got " +
                                    std::to_string(frame_count) + " frames and " +
                                    std::to_string(times_us.size()) + " time stamps");
    }
    for (std::size_t k = 1; k < times_us.size(); ++k) {
        if (times_us[k] <= times_us[k - 1]) {
            throw std::invalid_argument("Frame time stamps must increase: frame " +
                                        std::to_string(k) + " at " + std::to_string(times_us[k]) +
                                        " us follows " + std::to_string(times_us[k - 1]) + " us");
        }
    }
    return std::make_unique<FrameScene>(std::move(frames), std::move(times_us), width, height);
}

}  // namespace orvane::sim
