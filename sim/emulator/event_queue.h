#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "Event2D.h"

namespace orvane::sim {

// The events the sensor has made but no read has handed out yet, in time
// order. They lie in chunks: storing more never moves what is stored, and
// handing events out frees each chunk as soon as it is copied, so a long
// read holds its events about once, not the two or three times a growing
// vector would.
class EventQueue {
public:
    // The vector that the next events are appended to, with room for at
    // least `step` more; a new chunk has room for `read` more as well, the
    // events expected before the next hand-out. Throws std::bad_alloc,
    // leaving the queue as it was.
    std::vector<Event2D>& room_for(std::size_t step, std::size_t read);

    // Makes room, when it is cheap, for `events` more in the chunk they will
    // be appended to, so that they can be handed over without a copy.
    // Throws std::bad_alloc, leaving the queue as it was.
    void expect(std::size_t events);

    // How many queued events have time stamps up to `t_us`.
    std::size_t count_until(uint64_t t_us) const;

    // Makes ready what pop(count) needs. Throws std::bad_alloc, leaving the
    // queue as it was.
    void reserve_pop(std::size_t count);
    // The first `count` events, after reserve_pop(count) and no other change;
    // never throws. When the first chunk holds most of them, that chunk
    // itself is handed over; otherwise they are copied, and what one long
    // step made the queue take beyond its working size goes back.
    std::vector<Event2D> pop(std::size_t count) noexcept;

private:
    bool hands_over_front(std::size_t count) const;
    void take(std::size_t count, std::vector<Event2D>& out) noexcept;
    void shrink(std::size_t popped) noexcept;

    std::deque<std::vector<Event2D>> chunks_;
    // Made ready by reserve_pop: the popped events' room, or the next first chunk.
    std::vector<Event2D> spare_;
};

}  // namespace orvane::sim
