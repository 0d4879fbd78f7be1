#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "Event2D.h"
#include "check.h"
#include "emulator.h"
#include "event_rate_control.h"
#include "pixel_model.h"
#include "scene.h"

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

// A built-in scene whose source fails once, when first asked to read past `fail_at_us`.
class FailingOnce : public orvane::sim::Scene {
public:
    FailingOnce(std::unique_ptr<Scene> scene, uint64_t fail_at_us)
        : scene_(std::move(scene)), fail_at_us_(fail_at_us) {}
    int width() const override { return scene_->width(); }
    int height() const override { return scene_->height(); }
    void prepare(uint64_t t_us) override {
        if (t_us >= fail_at_us_ && !failed_) {
            failed_ = true;
            throw std::runtime_error("the source failed");
        }
    }
    uint64_t next_sample_after(uint64_t t_us) const override {
        return scene_->next_sample_after(t_us);
    }
    void render(uint64_t t_us, uint8_t* pixels) const override { scene_->render(t_us, pixels); }

private:
    std::unique_ptr<Scene> scene_;
    uint64_t fail_at_us_;
    bool failed_ = false;
};

bool same_events(const std::vector<Event2D>& a, const std::vector<Event2D>& b) {
    const auto fields = [](const Event2D& e) { return std::make_tuple(e.x, e.y, e.p, e.t); };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](const Event2D& x, const Event2D& y) { return fields(x) == fields(y); });
}

// A read that fails part-way leaves a camera whose reads go on as a fresh one's.
void test_a_failed_read_changes_no_later_read() {
    using orvane::sim::make_builtin_scene;
    orvane::sim::ToolSettings settings;
    settings.trail_filter.enabled = true;
    settings.rate_control.enabled = true;
    settings.rate_control.max_event_rate = 100000;
    orvane::sim::Emulator failing(
        std::make_unique<FailingOnce>(make_builtin_scene("dots", 64, 48), 30000), 5);
    orvane::sim::Emulator fresh(make_builtin_scene("dots", 64, 48), 5);
    bool threw = false;
    try {
        failing.read(50000, settings);
    } catch (const std::runtime_error&) {
        threw = true;
    }
    CHECK(threw);
    CHECK_EQ(failing.clock_us(), uint64_t{0});
    for (const uint64_t duration : {10000, 45000, 1, 20000}) {
        const auto events = failing.read(duration, settings).events;
        CHECK(!events.empty() || duration == 1);
        CHECK(same_events(events, fresh.read(duration, settings).events));
    }
}

}  // namespace

int main() {
    test_a_step_makes_one_event_per_threshold_crossed();
    test_rate_control_caps_every_window();
    test_a_failed_read_changes_no_later_read();
    return CHECK_REPORT();
}
