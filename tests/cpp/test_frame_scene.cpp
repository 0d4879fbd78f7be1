#include <vector>

#include "check.h"
#include "scene.h"

// Samples fall at every frame's time and nowhere in between, where the
// sensor may not add its own; before the first frame and past the last they
// keep its period. Between two frames the scene shows the log-linear blend.
int main() {
    const auto scene = orvane::sim::make_frame_scene(
        {orvane::sim::grey_frame(1000, {0, 100}), orvane::sim::grey_frame(17667, {255, 100}),
         orvane::sim::grey_frame(17670, {9, 9})},
        {}, 2, 1);
    std::vector<uint64_t> samples{scene->next_sample_after(0)};
    while (samples.back() < 40000) {
        samples.push_back(scene->next_sample_after(samples.back()));
    }
    CHECK(samples == (std::vector<uint64_t>{1000, 17667, 17670, 27670, 37670, 47670}));
    CHECK(scene->next_sample_after(17666) == 17667 && scene->next_sample_after(17669) == 17670);
    CHECK(scene->may_sample_between(0) && scene->may_sample_between(17670));
    CHECK(!scene->may_sample_between(1000) && !scene->may_sample_between(17668));
    std::vector<uint8_t> halfway(2);
    scene->render(1000 + 16667 / 2, halfway.data());
    // exp((ln 10 + ln 265) / 2) - 10 = 41.5...
    CHECK_EQ(int{halfway[0]}, 41);
    CHECK_EQ(int{halfway[1]}, 100);
    return CHECK_REPORT();
}
