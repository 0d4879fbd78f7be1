#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Event2D.h"
#include "records.h"

namespace orvane::sim {

// How a pixel's log intensity over the interval between two samples turns
// into threshold crossings. `Span` is the interval: its length `dt` and
// crossing_time(offset), the time stamp of an offset into it. `Out` takes
// the crossings: add(n) gives room for n more, in time order.

// The photoreceptor's filter counts as settled this close to its input (or
// sooner: see lagged_crossings).
constexpr float kSettled = 1e-4f;
// The filter's output is exact at the ends of pieces of an interval, each
// short enough that it decays by at most this much (in e-folds) over one,
// and taken as linear within a piece; no interval has more pieces.
constexpr double kPieceDecay = 2.0;
constexpr int kMostPieces = 64;

// floor(distance / step) for a distance of at least 0: the thresholds a
// move of `distance` crosses. Most moves cross none, which a comparison
// tells as exactly as the division, and sooner; a positive quotient is
// floored by the conversion.
inline int steps_within(double distance, double step) {
    return distance < step ? 0 : static_cast<int>(distance / step);
}

// How the photoreceptor's filter decays over an interval of `dt` us: in
// all, and over each of the pieces the interval is cut into.
struct Decay {
    int pieces;
    double whole;
    double piece;
};

inline Decay decay_over(double rate, double dt) {
    const int pieces = static_cast<int>(
        std::clamp(std::ceil(rate * dt / kPieceDecay), 1.0, static_cast<double>(kMostPieces)));
    const double whole = std::exp(-rate * dt);
    return {pieces, whole, pieces == 1 ? whole : std::exp(-rate * dt / pieces)};
}

// Appends to `out` the crossings of a pixel that follows the log intensity
// at once, as it moves linearly from `start` to `end` over the interval,
// and returns the pixel's reference after them.
template <typename Span, typename Out>
float ideal_crossings(const Span& interval, double start, double end, float reference,
                      double on_step, double off_step, uint16_t x, uint16_t y, Out& out) {
    const bool rising = end > reference;
    const double step = rising ? on_step : off_step;
    const int crossed = steps_within(std::abs(end - reference), step);
    if (crossed == 0) {
        return reference;
    }
    const double signed_step = rising ? step : -step;
    const double us_per_log = static_cast<double>(interval.dt) / (end - start);
    const double first_offset = (reference - start) * us_per_log;
    const double offset_step = signed_step * us_per_log;
    Event2D* event = out.add(static_cast<std::size_t>(crossed));
    for (int k = 1; k <= crossed; ++k, ++event) {
        event->x = x;
        event->y = y;
        event->p = rising ? 1 : 0;
        event->t = interval.crossing_time(first_offset + k * offset_step);
    }
    return static_cast<float>(reference + crossed * signed_step);
}

// A pixel's reference and the output of its photoreceptor, and what
// moves them over an interval.
struct Lagged {
    double reference;
    double filtered;
    double rate;       // the low-pass cutoff, in radians per microsecond
    Decay decay;       // the low-pass's over the interval: decay_over(rate, interval's dt)
    double high_pass;  // the high-pass corner, in radians per microsecond
    double on_step;
    double off_step;
};

// The crossings of a filter whose input stays at `end` all interval, with
// no high-pass: the output approaches `end` exponentially and monotonically,
// so each crossing's time is exact.
template <typename Span, typename Out>
void still_input_crossings(const Span& interval, double end, Lagged& pixel, uint16_t x, uint16_t y,
                           Out& out) {
    const double gap = pixel.filtered - end;
    const double last_y = end + gap * pixel.decay.whole;
    const bool rising = last_y > pixel.reference;
    const double step = rising ? pixel.on_step : pixel.off_step;
    const double signed_step = rising ? step : -step;
    const int crossed = steps_within(std::abs(last_y - pixel.reference), step);
    Event2D* event = out.add(static_cast<std::size_t>(crossed));
    for (int k = 1; k <= crossed; ++k, ++event) {
        // A level the output was already past (a threshold lowered since) crosses at once.
        const double left = (pixel.reference + k * signed_step - end) / gap;
        const double offset = gap == 0 || left >= 1 || left <= 0 ? 0 : -std::log(left) / pixel.rate;
        *event = make_event2d(x, y, rising ? 1 : 0, interval.crossing_time(offset));
    }
    pixel.reference += crossed * signed_step;
    const bool more =
        last_y >= pixel.reference + pixel.on_step || end >= pixel.reference + pixel.on_step ||
        last_y <= pixel.reference - pixel.off_step || end <= pixel.reference - pixel.off_step;
    pixel.filtered = !more || std::abs(last_y - end) < kSettled ? end : last_y;
}

// Appends to `out` the crossings of a pixel whose photoreceptor filters the
// log intensity, which moves linearly from `start` to `end` over the
// interval, and moves `pixel` to the interval's end. The filter's output
// is exact at the ends of each piece of the interval, so it depends only on
// the samples; between them it is taken as linear.
template <typename Span, typename Out>
void lagged_crossings(const Span& interval, double start, double end, Lagged& pixel, uint16_t x,
                      uint16_t y, Out& out) {
    const auto dt = static_cast<double>(interval.dt);
    const double slope = (end - start) / dt;
    // A first-order low-pass trails a ramp by slope / rate, and the rest of
    // its distance to the input decays exponentially.
    const double trail = slope / pixel.rate;
    const double gap = pixel.filtered - start + trail;
    // From any point on, the output stays between where it is, the input
    // there and the input's end: once no threshold lies in that span, and
    // no high-pass moves the reference, nothing but the end matters.
    const auto may_cross = [&](double from_y, double from_x) {
        return pixel.high_pass > 0 ||
               std::max({from_y, from_x, end}) >= pixel.reference + pixel.on_step ||
               std::min({from_y, from_x, end}) <= pixel.reference - pixel.off_step;
    };
    if (slope == 0 && pixel.high_pass == 0) {
        still_input_crossings(interval, end, pixel, x, y, out);
        return;
    }
    const int pieces = pixel.decay.pieces;
    double fade = 1;
    double from_s = 0;
    double from_y = pixel.filtered;
    for (int piece = 1; piece <= pieces && may_cross(from_y, start + slope * from_s); ++piece) {
        // Once the filter's own motion has died out, its output runs parallel
        // to the input: linear, so one piece takes the rest of the interval.
        const bool parallel = pixel.high_pass == 0 && std::abs(gap * fade) < kSettled;
        piece = parallel ? pieces : piece;
        const double to_s = dt * piece / pieces;
        fade = parallel ? pixel.decay.whole : fade * pixel.decay.piece;
        const double to_y = start + slope * to_s - trail + gap * fade;
        const bool rising = to_y > pixel.reference;
        const double step = rising ? pixel.on_step : pixel.off_step;
        const int crossed = steps_within(std::abs(to_y - pixel.reference), step);
        const double signed_step = rising ? step : -step;
        Event2D* event = out.add(static_cast<std::size_t>(crossed));
        for (int k = 1; k <= crossed; ++k, ++event) {
            const double level = pixel.reference + k * signed_step;
            const double offset =
                to_y == from_y
                    ? to_s
                    : std::clamp(from_s + (level - from_y) * (to_s - from_s) / (to_y - from_y),
                                 from_s, to_s);
            *event = make_event2d(x, y, rising ? 1 : 0, interval.crossing_time(offset));
        }
        pixel.reference += crossed * signed_step;
        if (pixel.high_pass > 0) {
            pixel.reference +=
                (to_y - pixel.reference) * -std::expm1(-pixel.high_pass * (to_s - from_s));
        }
        from_s = to_s;
        from_y = to_y;
    }
    // Where no crossing is left on the way to a still input, the pixel has
    // nothing more to show: it settles there, and the scan skips it again.
    const double last_y = end - trail + gap * pixel.decay.whole;
    pixel.filtered = !may_cross(last_y, end) || std::abs(last_y - end) < kSettled ? end : last_y;
}

}  // namespace orvane::sim
