#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "scene.h"

namespace orvane::sim {

namespace {

constexpr uint64_t kSecondUs = 1000000;
constexpr double kPi = 3.14159265358979323846;
constexpr uint8_t kBackground = 50;
constexpr uint8_t kBright = 200;

uint8_t blend(uint8_t from, uint8_t to, double share) {
    return static_cast<uint8_t>(std::lround(from + (to - from) * std::clamp(share, 0.0, 1.0)));
}

// The first multiple of `period_us` after `t_us`: a scene's samples fall on
// one grid, whatever time it is asked from.
uint64_t next_on_grid(uint64_t t_us, uint64_t period_us) {
    const uint64_t periods = t_us / period_us + 1;
    return periods > std::numeric_limits<uint64_t>::max() / period_us
               ? std::numeric_limits<uint64_t>::max()
               : periods * period_us;
}

// The part of pixel column `column` that a bar spanning [left, left + width) covers.
double column_coverage(int column, double left, double width) {
    return std::max(0.0, std::min(column + 1.0, left + width) - std::max<double>(column, left));
}

// A bright vertical bar that enters at the left edge of the columns
// [first, first + extent) and leaves at their right edge once a second.
struct SweepingBar {
    int first;
    int extent;
    double bar_width;

    double speed_px_per_us() const { return (extent + bar_width) / kSecondUs; }
    uint64_t sample_period_us() const {
        return std::max<uint64_t>(1, static_cast<uint64_t>(1.0 / speed_px_per_us()));
    }
    // Paints the bar into one row of pixels.
    void paint(uint64_t t_us, uint8_t* row) const {
        const double left = first - bar_width + speed_px_per_us() * (t_us % kSecondUs);
        for (int column = first; column < first + extent; ++column) {
            row[column] = blend(kBackground, kBright, column_coverage(column, left, bar_width));
        }
    }
};

class SceneOfSize : public Scene {
public:
    SceneOfSize(int width, int height) : width_(width), height_(height) {}
    int width() const override { return width_; }
    int height() const override { return height_; }

protected:
    uint8_t* row(uint8_t* pixels, int y) const {
        return pixels + static_cast<std::size_t>(y) * width_;
    }
    // Repeats the row first_row of `pixels` over the rows after it, up to end_row.
    void repeat_first_row(uint8_t* pixels, int first_row, int end_row) const {
        for (int y = first_row + 1; y < end_row; ++y) {
            std::memcpy(row(pixels, y), row(pixels, first_row), width_);
        }
    }

    int width_;
    int height_;
};

class BarScene : public SceneOfSize {
public:
    BarScene(int width, int height)
        : SceneOfSize(width, height), bar_{0, width, std::max(2.0, width / 16.0)} {}

    uint64_t next_sample_after(uint64_t t_us) const override {
        return next_on_grid(t_us, bar_.sample_period_us());
    }
    void render_rows(uint64_t t_us, int first_row, int end_row, uint8_t* pixels) const override {
        if (first_row < end_row) {
            bar_.paint(t_us, row(pixels, first_row));
            repeat_first_row(pixels, first_row, end_row);
        }
    }

private:
    SweepingBar bar_;
};

// Four bright dots, each going round a circle of its own once a second.
class DotsScene : public SceneOfSize {
public:
    DotsScene(int width, int height)
        : SceneOfSize(width, height),
          orbit_radius_(std::min(width, height) / 8.0),
          dot_radius_(std::max(1.5, std::min(width, height) / 24.0)) {}

    uint64_t next_sample_after(uint64_t t_us) const override {
        const double speed_px_per_us = 2 * kPi * orbit_radius_ / kSecondUs;
        return next_on_grid(t_us,
                            std::max<uint64_t>(1, static_cast<uint64_t>(1.0 / speed_px_per_us)));
    }
    void render_rows(uint64_t t_us, int first_row, int end_row, uint8_t* pixels) const override {
        std::memset(row(pixels, first_row), kBackground,
                    static_cast<std::size_t>(width_) * std::max(0, end_row - first_row));
        const double turn = 2 * kPi * static_cast<double>(t_us % kSecondUs) / kSecondUs;
        for (int dot = 0; dot < 4; ++dot) {
            const double angle = turn + dot * kPi / 2;
            const double centre_x =
                width_ * (1 + 2 * (dot % 2)) / 4.0 + orbit_radius_ * std::cos(angle);
            const double centre_y =
                height_ * (1 + 2 * (dot / 2)) / 4.0 + orbit_radius_ * std::sin(angle);
            paint_dot(centre_x, centre_y, first_row, end_row, pixels);
        }
    }

private:
    // Paints the part of a dot that lies in the rows [first_row, end_row).
    void paint_dot(double centre_x, double centre_y, int first_row, int end_row,
                   uint8_t* pixels) const {
        const int top = std::max(first_row, static_cast<int>(centre_y - dot_radius_ - 1));
        const int bottom = std::min(end_row - 1, static_cast<int>(centre_y + dot_radius_ + 1));
        const int left = std::max(0, static_cast<int>(centre_x - dot_radius_ - 1));
        const int right = std::min(width_ - 1, static_cast<int>(centre_x + dot_radius_ + 1));
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                // Not std::hypot: its newest symbol version would raise the
                // glibc that the built wheels require.
                const double dx = x + 0.5 - centre_x;
                const double dy = y + 0.5 - centre_y;
                const double distance = std::sqrt(dx * dx + dy * dy);
                uint8_t& pixel = pixels[static_cast<std::size_t>(y) * width_ + x];
                pixel = std::max(pixel, blend(kBackground, kBright, dot_radius_ + 0.5 - distance));
            }
        }
    }

    double orbit_radius_;
    double dot_radius_;
};

// A fixed horizontal ramp: only the sensor's own noise makes events.
class StillScene : public SceneOfSize {
public:
    using SceneOfSize::SceneOfSize;

    uint64_t next_sample_after(uint64_t t_us) const override { return next_on_grid(t_us, 10000); }
    void render_rows(uint64_t, int first_row, int end_row, uint8_t* pixels) const override {
        if (first_row >= end_row) {
            return;
        }
        uint8_t* first = row(pixels, first_row);
        for (int column = 0; column < width_; ++column) {
            first[column] = blend(kBackground, kBright, width_ > 1 ? column / (width_ - 1.0) : 0);
        }
        repeat_first_row(pixels, first_row, end_row);
    }
};

// A square lamp in the left half, switched on and off at kFlickerHz, and a
// bar sweeping across the right half once a second.
class FlickerScene : public SceneOfSize {
public:
    static constexpr uint64_t kFlickerHz = 100;
    static constexpr uint8_t kLampOff = 120;
    static constexpr uint8_t kLampOn = 200;

    FlickerScene(int width, int height)
        : SceneOfSize(width, height),
          bar_{width / 2, width - width / 2, std::max(2.0, width / 32.0)},
          lamp_side_(std::max(1, std::min(width, height) / 4)),
          lamp_left_(width / 8),
          lamp_top_((height - lamp_side_) / 2) {}

    uint64_t next_sample_after(uint64_t t_us) const override {
        const uint64_t lamp_period_us = kSecondUs / kFlickerHz / 16;
        return next_on_grid(t_us, std::min(bar_.sample_period_us(), lamp_period_us));
    }
    void render_rows(uint64_t t_us, int first_row, int end_row, uint8_t* pixels) const override {
        if (first_row >= end_row) {
            return;
        }
        std::memset(row(pixels, first_row), kBackground, width_ / 2);
        bar_.paint(t_us, row(pixels, first_row));
        repeat_first_row(pixels, first_row, end_row);
        const bool lamp_on = (t_us * kFlickerHz * 2 / kSecondUs) % 2 == 0;
        const int lamp_end = std::min(end_row, lamp_top_ + lamp_side_);
        for (int y = std::max(first_row, lamp_top_); y < lamp_end; ++y) {
            std::memset(row(pixels, y) + lamp_left_, lamp_on ? kLampOn : kLampOff, lamp_side_);
        }
    }

private:
    SweepingBar bar_;
    int lamp_side_;
    int lamp_left_;
    int lamp_top_;
};

}  // namespace

const std::vector<std::string>& builtin_scene_names() {
    static const std::vector<std::string> names{"bar", "dots", "still", "flicker"};
    return names;
}

std::unique_ptr<Scene> make_builtin_scene(const std::string& name, int width, int height) {
    if (name == "bar") {
        return std::make_unique<BarScene>(width, height);
    }
    if (name == "dots") {
        return std::make_unique<DotsScene>(width, height);
    }
    if (name == "still") {
        return std::make_unique<StillScene>(width, height);
    }
    if (name == "flicker") {
        return std::make_unique<FlickerScene>(width, height);
    }
    throw std::invalid_argument("Unknown scene '" + name + "': the built-in scenes are " +
                                builtin_scene_list());
}

std::string builtin_scene_list() {
    std::string list;
    for (const auto& builtin : builtin_scene_names()) {
        list += (list.empty() ? "" : ", ") + builtin;
    }
    return list;
}

}  // namespace orvane::sim
