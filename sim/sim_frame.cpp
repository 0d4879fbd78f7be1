#include "sim_frame.h"

#include "sim_events.h"

namespace orvane::sim {

namespace {

constexpr int kCheckerSize = 80;

uint8_t ramp(int position, int extent) {
    return static_cast<uint8_t>(position * 255 / (extent - 1));
}

}  // namespace

ApsFrame test_pattern_frame(uint64_t start_ts, uint64_t end_ts) {
    ApsFrame frame(kSensorWidth, kSensorHeight, start_ts, end_ts);
    uint8_t* pixel = frame.data();
    for (int row = 0; row < kSensorHeight; ++row) {
        for (int column = 0; column < kSensorWidth; ++column) {
            const bool odd_square = (row / kCheckerSize + column / kCheckerSize) % 2 == 1;
            pixel[0] = ramp(column, kSensorWidth);
            pixel[1] = ramp(row, kSensorHeight);
            pixel[2] = odd_square ? 255 : 0;
            pixel += 3;
        }
    }
    return frame;
}

}  // namespace orvane::sim
