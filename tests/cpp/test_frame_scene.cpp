#include <cmath>
#include <vector>

#include "check.h"
#include "scene.h"

// From the first frame to past the last, samples fall at every frame's time,
// no pixel of the blend moves by more than half a threshold (0.1) in log
// intensity between two, every time in between leads to the next one, and
// past the last frame they keep its period.
int main() {
    const auto scene = orvane::sim::make_frame_scene(
        {{1000, {0, 100}}, {1001000, {255, 100}}, {1001003, {9, 9}}}, {}, 2, 1);
    std::vector<uint64_t> samples{scene->next_sample_after(0)};
    while (samples.back() < 1020000) {
        samples.push_back(scene->next_sample_after(samples.back()));
    }
    const std::vector<uint64_t> ends{1001000, 1001001, 1001002, 1001003, 1011003, 1021003};
    CHECK(samples[0] == 1000 && std::vector<uint64_t>(samples.end() - 6, samples.end()) == ends);
    double largest = 0;
    for (std::size_t i = 1; i + 5 < samples.size(); ++i) {
        largest = std::max(largest, std::log((samples[i] - 1000) * 255e-6 + 10) -
                                        std::log((samples[i - 1] - 1000) * 255e-6 + 10));
        CHECK_EQ(scene->next_sample_after(samples[i] - 1), samples[i]);
    }
    CHECK(largest > 0.09 && largest <= 0.1001);
    return CHECK_REPORT();
}
