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
    // least `expected` more. Throws std::bad_alloc, leaving the queue as it was.
    std::vector<Event2D>& room_for(std::size_t expected);

    // How many queued events have time stamps up to `t_us`.
    std::size_t count_until(uint64_t t_us) const;

    // Moves the first `count` events to the end of `out`, which must have room
    // for them; never throws.
    void pop_into(std::size_t count, std::vector<Event2D>& out) noexcept;

    // Gives back what one long step made the queue take beyond its working size.
    void shrink() noexcept;

private:
    std::deque<std::vector<Event2D>> chunks_;
};

}  // namespace orvane::sim
