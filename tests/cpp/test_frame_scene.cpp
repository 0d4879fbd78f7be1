#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "check.h"
#include "scene.h"

namespace {

using orvane::sim::make_frame_scene;
using orvane::sim::TimedFrame;

const std::vector<TimedFrame> kFrames{
    {1000, {0, 255, 100, 7}}, {1000 + 1000000, {255, 0, 100, 30}}, {1000 + 1000003, {9, 9, 9, 9}}};

// From the first frame to past the last, samples fall at every frame's time,
// no pixel of the blend moves by more than half a threshold (0.1) in log
// intensity between two, and every time in between leads to the next one.
void test_samples_bound_the_change_of_log_intensity() {
    const auto scene = make_frame_scene(kFrames, {}, 2, 2);
    CHECK_EQ(scene->next_sample_after(0), 1000u);
    std::vector<uint64_t> samples{1000};
    while (samples.back() < 1020000) {
        samples.push_back(scene->next_sample_after(samples.back()));
    }
    const std::vector<uint64_t> ends{1001000, 1001001, 1001002, 1001003, 1011003, 1021003};
    CHECK(std::vector<uint64_t>(samples.end() - 6, samples.end()) == ends);
    double largest = 0;
    for (std::size_t i = 1; i + 5 < samples.size(); ++i) {
        for (std::size_t p = 0; p < 4; ++p) {
            const auto grey = [&](uint64_t t) {
                const double share = (t - 1000) / 1e6;
                return kFrames[0].pixels[p] + (kFrames[1].pixels[p] - kFrames[0].pixels[p]) * share;
            };
            largest = std::max(largest, std::abs(std::log((grey(samples[i]) + 10) /
                                                          (grey(samples[i - 1]) + 10))));
        }
        CHECK_EQ(scene->next_sample_after(samples[i] - 1), samples[i]);
    }
    CHECK(largest > 0.09 && largest <= 0.1001);
}

// A source is read only as far as the times prepared need, and what it gave
// before it failed stays; frames before the time forgotten are let go.
void test_a_source_is_read_as_needed() {
    std::vector<std::size_t> asked;
    const auto source = [&asked](std::size_t index) -> std::optional<TimedFrame> {
        asked.push_back(index);
        if (index == 2) {
            throw std::runtime_error("failed");
        }
        return index < kFrames.size() ? std::optional(kFrames[index]) : std::nullopt;
    };
    const auto scene = make_frame_scene({kFrames[0]}, source, 2, 2);
    scene->prepare(999);
    CHECK(asked.empty());
    scene->prepare(1000);
    CHECK(asked == std::vector<std::size_t>{1});
    uint8_t pixels[4];
    scene->render(501000, pixels);
    CHECK(pixels[0] == 128 && pixels[3] == 19);
    bool failed = false;
    try {
        scene->prepare(1001000);
    } catch (const std::runtime_error&) {
        failed = true;
    }
    CHECK(failed);
    scene->forget_before(1001000);
    scene->render(0, pixels);
    CHECK(pixels[0] == 255 && pixels[1] == 0);
    scene->prepare(2000000);
    scene->prepare(3000000);
    CHECK((asked == std::vector<std::size_t>{1, 2, 3}));
}

}  // namespace

int main() {
    test_samples_bound_the_change_of_log_intensity();
    test_a_source_is_read_as_needed();
    return CHECK_REPORT();
}
