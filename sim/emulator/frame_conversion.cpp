#include "frame_conversion.h"

#include <cstring>

namespace orvane::sim {

namespace {

// BT.709 luma, summed in this order in double precision: a NumPy user who
// computes 0.2126 * r + 0.7152 * g + 0.0722 * b gets the same grey levels.
template <typename Value>
double luma(const Value* rgb) {
    return 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2];
}

// A value in [0, 255.5) to its nearest level; a conversion truncates.
uint8_t rounded(double level) { return static_cast<uint8_t>(level + 0.5); }

// The comparisons also send NaN to 0.
uint8_t from_unit(double value) { return rounded(value > 0 ? (value < 1 ? value : 1) * 255 : 0); }

template <typename Value>
void from_floating_grey(const Value* values, std::size_t count, uint8_t* levels) {
    for (std::size_t i = 0; i < count; ++i) {
        levels[i] = from_unit(values[i]);
    }
}

template <typename Value>
void from_floating_rgb(const Value* values, std::size_t count, uint8_t* levels) {
    for (std::size_t i = 0; i < count; ++i) {
        levels[i] = from_unit(luma(values + 3 * i));
    }
}

}  // namespace

void grey_levels(const TimedFrame& frame, std::size_t first, std::size_t count, uint8_t* levels) {
    switch (frame.format) {
        case FrameFormat::grey8:
            std::memcpy(levels, static_cast<const uint8_t*>(frame.pixels) + first, count);
            return;
        case FrameFormat::rgb8: {
            const uint8_t* rgb = static_cast<const uint8_t*>(frame.pixels) + 3 * first;
            for (std::size_t i = 0; i < count; ++i) {
                levels[i] = rounded(luma(rgb + 3 * i));
            }
            return;
        }
        case FrameFormat::grey_float:
            from_floating_grey(static_cast<const float*>(frame.pixels) + first, count, levels);
            return;
        case FrameFormat::rgb_float:
            from_floating_rgb(static_cast<const float*>(frame.pixels) + 3 * first, count, levels);
            return;
        case FrameFormat::grey_double:
            from_floating_grey(static_cast<const double*>(frame.pixels) + first, count, levels);
            return;
        case FrameFormat::rgb_double:
            from_floating_rgb(static_cast<const double*>(frame.pixels) + 3 * first, count, levels);
            return;
    }
}

}  // namespace orvane::sim
