#include "sim_frame.h"

namespace orvane::sim::python {

ApsFrame grayscale_frame(const std::vector<uint8_t>& intensities, int width, int height,
                         uint64_t start_ts, uint64_t end_ts) {
    ApsFrame frame(width, height, start_ts, end_ts);
    uint8_t* pixel = frame.data();
    for (const uint8_t intensity : intensities) {
        pixel[0] = pixel[1] = pixel[2] = intensity;
        pixel += 3;
    }
    return frame;
}

}  // namespace orvane::sim::python
