#include "event_queue.h"

#include <algorithm>
#include <new>
#include <utility>

namespace orvane::sim {

namespace {

// The least room a buffer grows by: small steps do not move it each time.
constexpr std::size_t kLeastGrowth = 4096;
// Room made ahead of need goes no further than this many events (1 GiB).
constexpr std::size_t kMostExpected = (std::size_t{1} << 30) / sizeof(Event2D);

}  // namespace

EventBuffer& EventQueue::room_for(std::size_t step) {
    const std::size_t needed = queued_.size() + step;
    if (needed > queued_.capacity()) {
        queued_.reserve(std::max({needed, 2 * queued_.capacity(), kLeastGrowth}));
    }
    return queued_;
}

void EventQueue::expect(std::size_t events) noexcept {
    try {
        queued_.reserve(queued_.size() + std::min(events, kMostExpected));
    } catch (const std::bad_alloc&) {
        // Only a hint: the buffer grows as the events come instead.
    }
}

std::size_t EventQueue::count_until(uint64_t t_us) const {
    const auto later = [](uint64_t t, const Event2D& event) { return t < event.t; };
    return static_cast<std::size_t>(std::upper_bound(queued_.begin(), queued_.end(), t_us, later) -
                                    queued_.begin());
}

void EventQueue::reserve_pop(std::size_t count) {
    EventBuffer rest;
    rest.reserve(std::max(queued_.size() - count, kLeastGrowth));
    rest_ = std::move(rest);
}

EventBuffer EventQueue::pop(std::size_t count) noexcept {
    EventBuffer out = std::move(queued_);
    queued_ = std::move(rest_);
    queued_.append(out.begin() + count, out.end());
    out.truncate(count);
    out.shrink_to_fit();
    return out;
}

void EventQueue::checkpoint() {
    EventBuffer copy;
    copy.reserve(queued_.size());
    copy.append(queued_.begin(), queued_.end());
    checkpoint_ = std::move(copy);
}

void EventQueue::roll_back() noexcept {
    queued_ = std::move(checkpoint_);
    rest_ = EventBuffer();
}

}  // namespace orvane::sim
