#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "Event2D.h"
#include "block_undo.h"
#include "event_buffer.h"
#include "pixel_crossings.h"
#include "pixel_grid.h"
#include "worker_pool.h"

namespace orvane::sim {

// What the biases make of each pixel (see bias_settings.h).
struct PixelSettings {
    // Log-intensity steps that make an ON or an OFF event.
    double on_threshold = 0.2;
    double off_threshold = 0.2;
    // A pixel emits nothing for this long after each of its events.
    uint64_t refractory_us = 100;
    // The ideal pixel's background activity: events per pixel per second,
    // at random times, as many ON as OFF.
    double noise_rate_hz = 0.1;
    // The realistic pixel's. Leak: ON events at this mean rate per pixel, each
    // pixel at its own share of it. Shot noise: events of either polarity, at
    // this rate per pixel at grey level 0 and inversely to the light above
    // it; `shot_on_share` of them ON.
    double leak_rate_hz = 0.1;
    double shot_rate_hz = 0.5;
    double shot_on_share = 0.5;
    // The photoreceptor's low-pass cutoff at grey level 255; it falls in
    // proportion to the light below it.
    double bandwidth_hz = 3000;
    // The corner below which the pixel's reference follows the light.
    double high_pass_hz = 0;
};

// Whether an event may leave the sensor. It is asked about each pixel's
// events in time order, but about the pixels in any order.
using PixelFilter = std::function<bool(const Event2D&)>;

// Writes the rows [first_row, end_row) of the sample a step takes. It is
// called from any of the model's threads, for different rows at once.
using SampleRenderer = std::function<void(int first_row, int end_row)>;

// The pixels of a sensor. Each keeps the log intensity at which it last
// crossed a threshold and emits one event per threshold crossed since, with
// the time stamp interpolated between the two samples that span it.
//
// The work of a step is split into bands of rows, one per thread. All
// randomness is drawn on the calling thread before the bands start, and the
// bands' events are put in time order as one thread would order them, so
// the events do not depend on the number of threads.
class PixelModel {
public:
    // Draws the key of the pixels' threshold mismatch from `random`. The work
    // of each step is spread over `threads` threads (at most one per 8 rows).
    // An ideal pixel follows the light at once, has no leak, shot noise or
    // hot pixel and shares one mismatch between its ON and OFF thresholds.
    PixelModel(int width, int height, const uint8_t* first_sample, uint64_t t_us,
               std::mt19937_64& random, unsigned threads = 1, bool ideal = true,
               std::shared_ptr<WorkerPool> pool = nullptr);

    // The bands of rows, one per thread, that a sensor of `height` rows is
    // split into; `pool`, when given, has one share per band.
    static unsigned band_count(int height, unsigned threads);
    ~PixelModel();

    // Appends the events of the interval (last sample, t_us] that `keep`
    // lets through (all when it is empty) to `events`, in time-stamp order,
    // and makes `sample` the last sample. `keep` may be called from several
    // threads at once, for different pixels. `render`, when given, first
    // writes `sample`, each thread the rows it works on while they are fresh in
    // its cache. A step that throws (out of memory, or what `render` throws)
    // leaves the model, `random`, `events` and everything `keep` judges by as
    // they were.
    void step(const uint8_t* sample, uint64_t t_us, const PixelSettings& settings,
              std::mt19937_64& random, const PixelFilter& keep, EventBuffer& events,
              const SampleRenderer& render = {});

    // Keeps the pixels as they are, for roll_back(): the steps from now on
    // save what they change first. May throw std::bad_alloc, changing nothing.
    void checkpoint();
    // Puts the pixels back as they were at the checkpoint; once per checkpoint.
    void roll_back() noexcept;

private:
    struct Band;
    struct Interval;

    void draw_noise(const Interval& interval, const PixelSettings& settings,
                    std::mt19937_64& random);
    void draw_realistic_noise(const Interval& interval, const PixelSettings& settings,
                              std::mt19937_64& random);
    void hand_noise_to_bands();
    void find_crossings(Band& band, const uint8_t* sample, const Interval& interval,
                        const PixelSettings& settings, bool count);
    void settle(Band& band, const uint8_t* sample, const Interval& interval,
                const PixelFilter& keep);
    void place(EventBuffer& events, std::size_t first, const Interval& interval);
    std::size_t count_places(const Interval& interval);
    static void place_band(Band& band, Event2D* out, const Interval& interval);
    template <typename Task>
    void on_every_band(Task task);

    int width_;
    int height_;
    uint64_t last_t_us_;
    // What each pixel keeps, together so that a pixel's state is one cache line.
    struct PixelState {
        float reference;        // log intensity at the last threshold crossed
        float threshold_scale;  // the pixel's mismatch: its ON threshold over the nominal one
        float off_scale;        // and its OFF threshold's
        float filtered;         // the log intensity the photoreceptor passes on
        uint64_t last_event_t;
    };
    // A pixel that fires far above the rest, at its own rate.
    struct HotPixel {
        uint32_t index;
        double rate_hz;
    };

    bool ideal_;
    // Each pixel's share of the mean leak rate; empty for an ideal pixel.
    std::vector<float> leak_shares_;
    std::vector<HotPixel> hot_pixels_;
    // The photoreceptor's cutoff at each grey level, in radians per microsecond,
    // and its decay over the step at hand.
    std::array<double, 256> cutoff_{};
    std::array<Decay, 256> decay_{};

    std::vector<uint8_t> last_sample_;
    PixelGrid<PixelState> pixels_;
    BlockUndo<uint8_t> sample_undo_;
    uint64_t checkpoint_t_us_;
    // The background activity of the current interval, in pixel order.
    std::vector<Event2D> noise_;
    std::vector<Band> bands_;
    // Absent with one thread, where the calling thread does all the work.
    std::shared_ptr<WorkerPool> pool_;
};

}  // namespace orvane::sim
