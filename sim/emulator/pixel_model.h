#pragma once

#include <cstdint>
#include <functional>
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

// Whether an event may leave the sensor. It is asked about each pixel's
// events in time order, but about the pixels in any order.
using PixelFilter = std::function<bool(const Event2D&)>;

// The pixels of a sensor. Each keeps the log intensity at which it last
// crossed a threshold and emits one event per threshold crossed since, with
// the time stamp interpolated between the two samples that span it.
class PixelModel {
public:
    // Draws the pixels' threshold mismatch from `random`, in pixel order.
    // The work of each step is spread over `threads` threads.
    PixelModel(int width, int height, const uint8_t* first_sample, uint64_t t_us,
               std::mt19937_64& random, unsigned threads = 1);

    // Appends the events of the interval (last sample, t_us] that `keep`
    // lets through (all when it is empty) to `events`, in time-stamp order,
    // and makes `sample` the last sample.
    void step(const uint8_t* sample, uint64_t t_us, const PixelSettings& settings,
              std::mt19937_64& random, const PixelFilter& keep, std::vector<Event2D>& events);

private:
    void cross_thresholds(uint16_t x, uint16_t y, uint8_t from, uint8_t to, uint64_t t0,
                          uint64_t dt, const PixelSettings& settings);
    void add_noise(uint64_t t0, uint64_t dt, const PixelSettings& settings,
                   std::mt19937_64& random);
    void merge_noise();
    void keep_outside_refractory(const PixelSettings& settings, const PixelFilter& keep);
    void sort_crossings(uint64_t t0, uint64_t dt);

    int width_;
    int height_;
    unsigned threads_;
    uint64_t last_t_us_;
    // What each pixel keeps, together so that a pixel's state is one cache line.
    struct PixelState {
        float reference;        // log intensity at the last threshold crossed
        float threshold_scale;  // the pixel's mismatch: its thresholds over the nominal ones
        uint64_t last_event_t;
    };

    std::vector<uint8_t> last_sample_;
    PixelGrid<PixelState> pixels_;
    // The events of the current interval in pixel order, before the
    // refractory period acts; the background activity among them; and the
    // scratch space that merges and sorts them.
    std::vector<Event2D> crossings_;
    std::vector<Event2D> noise_;
    std::vector<Event2D> scratch_;
    std::vector<uint32_t> per_offset_;
};

}  // namespace orvane::sim
