#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "Event2D.h"
#include "pixel_grid.h"

namespace orvane::sim {

// What the biases make of each pixel (see bias_settings.h).
struct PixelSettings {
    // Log-intensity steps that make an ON or an OFF event.
    double on_threshold = 0.2;
    double off_threshold = 0.2;
    // A pixel emits nothing for this long after each of its events.
    uint64_t refractory_us = 100;
    // Background activity: events per pixel per second, at random times.
    double noise_rate_hz = 0.1;
};

// The pixels of a sensor. Each keeps the log intensity at which it last
// crossed a threshold and emits one event per threshold crossed since, with
// the time stamp interpolated between the two samples that span it.
class PixelModel {
public:
    // Draws the pixels' threshold mismatch from `random`, in pixel order.
    PixelModel(int width, int height, const uint8_t* first_sample, uint64_t t_us,
               std::mt19937_64& random);

    // Appends the events of the interval (last sample, t_us] to `events`, in
    // time-stamp order, and makes `sample` the last sample.
    void step(const uint8_t* sample, uint64_t t_us, const PixelSettings& settings,
              std::mt19937_64& random, std::vector<Event2D>& events);

    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<uint8_t>& last_sample() const { return last_sample_; }

private:
    void cross_thresholds(uint16_t x, uint16_t y, uint8_t from, uint8_t to, uint64_t t0,
                          uint64_t dt, const PixelSettings& settings);
    void add_noise(uint64_t t0, uint64_t dt, const PixelSettings& settings,
                   std::mt19937_64& random);
    void sort_crossings(uint64_t t0, uint64_t dt);
    void emit_outside_refractory(const PixelSettings& settings, std::vector<Event2D>& events);

    int width_;
    int height_;
    uint64_t last_t_us_;
    // What each pixel keeps, together so that a pixel's state is one cache line.
    struct PixelState {
        float reference;        // log intensity at the last threshold crossed
        float threshold_scale;  // the pixel's mismatch: its thresholds over the nominal ones
        uint64_t last_event_t;
    };

    std::vector<uint8_t> last_sample_;
    PixelGrid<PixelState> pixels_;
    // The events of the current interval before the refractory period acts,
    // and the scratch space that puts them in time order.
    std::vector<Event2D> crossings_;
    std::vector<Event2D> sorted_;
    std::vector<uint32_t> per_offset_;
};

}  // namespace orvane::sim
