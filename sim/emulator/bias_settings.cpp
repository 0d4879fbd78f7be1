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
    // Leak is the reference drifting up to the ON threshold, and shot noise
    // comes through the photoreceptor's bandwidth: both fall as the high-pass
    // forgets more of what is slow, and as the thresholds they cross rise.
    const double forgotten = std::exp2(-biases.hpf / 30.0);
    settings.leak_rate_hz = 0.1 * forgotten * 0.2 / settings.on_threshold;
    const double on_shots = 0.2 / settings.on_threshold;
    const double off_shots = 0.2 / settings.off_threshold;
    settings.shot_rate_hz =
        0.5 * std::exp2(biases.fo / 20.0) * forgotten * (on_shots + off_shots) / 2;
    settings.shot_on_share = on_shots / (on_shots + off_shots);
    settings.bandwidth_hz = 3000 * std::exp2(biases.fo / 40.0);
    settings.high_pass_hz = biases.hpf > 0 ? 0.05 * (std::exp2(biases.hpf / 20.0) - 1) : 0.0;
    return settings;
}

}  // namespace orvane::sim
