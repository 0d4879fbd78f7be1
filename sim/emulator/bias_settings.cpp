#include "bias_settings.h"

#include <cmath>

namespace orvane::sim {

PixelSettings pixel_settings(const Biases& biases) {
    PixelSettings settings;
    settings.on_threshold = 0.2 * std::exp2(biases.diff_on / 100.0);
    settings.off_threshold = 0.2 * std::exp2(biases.diff_off / 100.0);
    settings.refractory_us =
        static_cast<uint64_t>(std::lround(100 * std::exp2(biases.refr / 50.0)));
    settings.noise_rate_hz = 0.1 * std::exp2(biases.fo / 20.0 - biases.hpf / 30.0);
    return settings;
}

}  // namespace orvane::sim
