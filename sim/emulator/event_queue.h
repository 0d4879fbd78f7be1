#pragma once

#include <cstddef>
#include <cstdint>

#include "event_buffer.h"

namespace orvane::sim {

// The events the sensor has made but no read has handed out yet, in time
// order, in one buffer. A hand-out gives away the buffer itself and keeps
// only what lies past the read's end, so a read's events are never copied
// and a long read holds them once.
class EventQueue {
public:
    // The buffer that the next events are appended to, with room for at
    // least `step` more. Throws std::bad_alloc, leaving the queue as it was.
    EventBuffer& room_for(std::size_t step);

    // Makes room, when it can, for `events` more before the next hand-out, so
    // that growing one step at a time seldom moves the buffer. Never throws.
    void expect(std::size_t events) noexcept;

    // How many queued events have time stamps up to `t_us`.
    std::size_t count_until(uint64_t t_us) const;

    // Makes ready what pop(count) needs. Throws std::bad_alloc, leaving the
    // queue as it was.
    void reserve_pop(std::size_t count);
    // The first `count` events, after reserve_pop(count) and no other change;
    // never throws.
    EventBuffer pop(std::size_t count) noexcept;

    // Keeps a copy of the queue for roll_back(). Throws std::bad_alloc,
    // leaving the queue as it was.
    void checkpoint();
    // Makes the queue what it was at the checkpoint, freeing the room that
    // the events queued since took; once per checkpoint.
    void roll_back() noexcept;

private:
    EventBuffer queued_;
    EventBuffer checkpoint_;
    // Made ready by reserve_pop: room for the events past the popped ones.
    EventBuffer rest_;
};

}  // namespace orvane::sim
