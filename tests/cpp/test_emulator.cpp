#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "Event2D.h"
#include "check.h"
#include "emulator.h"
#include "event_buffer.h"
#include "event_rate_control.h"
#include "pixel_model.h"
#include "scene.h"

// Allocations fail once this many more have been made; negative: never.
std::atomic<long> allocations_until_failure{-1};

void* operator new(std::size_t size) {
    if (allocations_until_failure.fetch_sub(1) == 0) {
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
// The library's nothrow allocations (stable_sort's buffer) must come from
// the same heap that the replaced delete frees into.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using orvane::Event2D;
using orvane::sim::EventBuffer;
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
    EventBuffer events;
    pixels.step(&bright, 1000, noiseless(), random, {}, events);
    CHECK(events.size() >= 4 && events.size() <= 12);
    uint64_t previous = 0;
    for (const Event2D& event : events) {
        CHECK_EQ(int{event.p}, 1);
        CHECK(event.t > previous && event.t <= 1000);
        previous = event.t;
    }
    // The spacing is even in log intensity, so the events spread over the interval.
    CHECK(events[0].t < 300 && events.back().t > 700);
    const std::size_t ons = events.size();
    events.truncate(0);
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
        EventBuffer piece;
        piece.reserve(end - first);
        piece.append(events.data() + first, events.data() + end);
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
    void render_rows(uint64_t t_us, int first_row, int end_row, uint8_t* pixels) const override {
        scene_->render_rows(t_us, first_row, end_row, pixels);
    }

private:
    std::unique_ptr<Scene> scene_;
    uint64_t fail_at_us_;
    bool failed_ = false;
};

template <typename Events, typename OtherEvents>
bool same_events(const Events& a, const OtherEvents& b) {
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

// Patches of a 37 x 61 sensor change at random, with background activity,
// the refractory period and a judge that keeps every other event of each
// pixel, over intervals short and long (past the counting sort's reach).
// Where `fail` is set, every step first runs out of memory after each
// number of allocations in turn and is tried again. The realistic pixel
// adds its lag, a high-pass that keeps pixels settling, and its noise.
std::vector<Event2D> patches_seen(unsigned threads, bool fail, bool ideal, uint64_t* next_random) {
    constexpr int kWidth = 37;
    constexpr int kHeight = 61;
    std::mt19937_64 scene(7);
    std::vector<uint8_t> frame(kWidth * kHeight, 100);
    std::mt19937_64 random(3);
    PixelModel pixels(kWidth, kHeight, frame.data(), 0, random, threads, ideal);
    PixelSettings settings;
    settings.noise_rate_hz = 200;
    settings.leak_rate_hz = 100;
    settings.shot_rate_hz = 200;
    settings.high_pass_hz = 20;
    std::vector<int> seen(frame.size());
    std::vector<uint64_t> last_t(frame.size());
    const auto keep = [&](const Event2D& event) {
        const std::size_t pixel = event.y * kWidth + event.x;
        CHECK(event.t >= last_t[pixel]);
        last_t[pixel] = event.t;
        return ++seen[pixel] % 2 == 0;
    };
    EventBuffer events;
    uint64_t t = 0;
    for (int step = 0; step < 30; ++step) {
        for (int patch = 0; patch < 4; ++patch) {
            const auto x = static_cast<int>(scene() % (kWidth - 8));
            const auto y = static_cast<int>(scene() % (kHeight - 6));
            const auto level = static_cast<uint8_t>(scene());
            for (int row = y; row < y + 6; ++row) {
                std::fill_n(frame.begin() + row * kWidth + x, 8, level);
            }
        }
        t += step % 10 == 9 ? 70000 : 1 + scene() % 900;
        for (long failing_after = 0; fail; ++failing_after) {
            const std::vector<Event2D> before(events.begin(), events.end());
            const std::mt19937_64 random_before = random;
            allocations_until_failure = failing_after;
            try {
                pixels.step(frame.data(), t, settings, random, keep, events);
                break;
            } catch (const std::bad_alloc&) {
                allocations_until_failure = -1;
                CHECK(same_events(events, before) && random == random_before);
            }
        }
        allocations_until_failure = -1;
        if (!fail) {
            pixels.step(frame.data(), t, settings, random, keep, events);
        }
    }
    *next_random = random();
    return {events.begin(), events.end()};
}

// The events are the same bytes for every number of threads, and a step that
// runs out of memory leaves the model, the generator and the judge as they were.
void test_threads_and_failures_change_no_event() {
    for (const bool ideal : {true, false}) {
        uint64_t next = 0;
        const std::vector<Event2D> alone = patches_seen(1, false, ideal, &next);
        CHECK(alone.size() > 1000);
        for (const unsigned threads : {1u, 2u, 3u, 100u}) {
            for (const bool fail : {false, true}) {
                uint64_t next_here = 0;
                CHECK(same_events(patches_seen(threads, fail, ideal, &next_here), alone));
                CHECK_EQ(next_here, next);
            }
        }
    }
}

}  // namespace

int main() {
    test_threads_and_failures_change_no_event();
    test_a_step_makes_one_event_per_threshold_crossed();
    test_rate_control_caps_every_window();
    test_a_failed_read_changes_no_later_read();
    return CHECK_REPORT();
}
