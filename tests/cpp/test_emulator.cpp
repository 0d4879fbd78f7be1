#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "Event2D.h"
#include "check.h"
#include "event_rate_control.h"
#include "pixel_model.h"

namespace {

using orvane::Event2D;
using orvane::sim::PixelModel;
using orvane::sim::PixelSettings;

PixelSettings noiseless() {
    PixelSettings settings;
    settings.refractory_us = 0;
    settings.noise_rate_hz = 0;
    return settings;
}

// A step from grey 50 to 200 crosses several thresholds: as many ON events
// as whole thresholds fit, spread over the interval in order, none at its start.
void test_a_step_makes_one_event_per_threshold_crossed() {
    std::mt19937_64 random(1);
    const uint8_t dark = 50;
    const uint8_t bright = 200;
    PixelModel pixels(1, 1, &dark, 0, random);
    std::vector<Event2D> events;
    pixels.step(&bright, 1000, noiseless(), random, {}, events);
    CHECK(events.size() >= 4 && events.size() <= 12);
    uint64_t previous = 0;
    for (const Event2D& event : events) {
        CHECK_EQ(int{event.p}, 1);
        CHECK(event.t > previous && event.t <= 1000);
        previous = event.t;
    }
    // The spacing is even in log intensity, so the events spread over the interval.
    CHECK(events.front().t < 300 && events.back().t > 700);
    const std::size_t ons = events.size();
    events.clear();
    pixels.step(&bright, 2000, noiseless(), random, {}, events);
    CHECK(events.empty());
    pixels.step(&dark, 3000, noiseless(), random, {}, events);
    CHECK(events.size() + 1 >= ons && events.size() <= ons + 1);
    for (const Event2D& event : events) {
        CHECK_EQ(int{event.p}, 0);
    }
}

// 10 events per microsecond for 5 ms against a cap of 100 events per ms,
// handed over in pieces that split the slices.
void test_rate_control_caps_every_window() {
    std::vector<Event2D> events;
    for (uint64_t i = 0; i < 50000; ++i) {
        Event2D event;
        event.x = static_cast<uint16_t>(i % 640);
        event.t = 1 + i / 10;
        events.push_back(event);
    }
    orvane::sim::EventRateControl rate_control;
    orvane::sim::EventRateControlSettings settings;
    settings.enabled = true;
    settings.max_event_rate = 100000;
    rate_control.reserve(settings);
    std::vector<Event2D> kept;
    for (std::size_t first = 0; first < events.size(); first += 3333) {
        const std::size_t end = std::min(events.size(), first + 3333);
        std::vector<Event2D> piece(events.begin() + first, events.begin() + end);
        std::size_t later = 0;
        while (end + later < events.size() &&
               (events[end + later].t - 1) / 1000 == (piece.back().t - 1) / 1000) {
            ++later;
        }
        rate_control.control(settings, piece, later);
        kept.insert(kept.end(), piece.begin(), piece.end());
    }
    events.swap(kept);
    CHECK(events.size() >= 400 && events.size() <= 500);
    std::size_t start = 0;
    for (std::size_t end = 0; end < events.size(); ++end) {
        while (events[start].t + 1000 <= events[end].t) {
            ++start;
        }
        CHECK(end - start + 1 <= 100);
    }
}

}  // namespace

int main() {
    test_a_step_makes_one_event_per_threshold_crossed();
    test_rate_control_caps_every_window();
    return CHECK_REPORT();
}
