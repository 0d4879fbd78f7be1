#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "block_undo.h"

namespace orvane::sim {

// One `State` per pixel of a sensor, row by row. Each row is a cache line
// longer than the sensor: with sensor widths such as 1280, a column of
// pixels would otherwise fall into a few cache sets and evict itself, and
// scenes change pixels a column at a time.
template <typename State>
class PixelGrid {
public:
    PixelGrid(int width, int height)
        : row_(static_cast<std::size_t>(width) + kPadding),
          states_(row_ * height),
          undo_(row_, static_cast<std::size_t>(height)) {}

    State& at(uint16_t x, uint16_t y) { return states_[y * row_ + x]; }
    const State& at(uint16_t x, uint16_t y) const { return states_[y * row_ + x]; }

    // The state of (x, y), which the caller is about to change: what it was
    // at the last checkpoint() is kept for roll_back().
    State& changing(uint16_t x, uint16_t y) {
        undo_.before_change(states_.data(), x, y);
        return states_[y * row_ + x];
    }
    // May throw std::bad_alloc, the first time, changing nothing.
    void checkpoint() { undo_.checkpoint(); }
    void roll_back() noexcept { undo_.roll_back(states_.data()); }

    // Starts loading the state of (x, y) into the cache, for a pixel that
    // will be needed soon; (x, y) may lie one row past the sensor.
    void prefetch(uint16_t x, uint16_t y) const {
        const std::size_t index = y * row_ + x;
        if (index < states_.size()) {
            __builtin_prefetch(states_.data() + index);
        }
    }

private:
    static constexpr std::size_t kPadding = (64 + sizeof(State) - 1) / sizeof(State);

    std::size_t row_;
    std::vector<State> states_;
    BlockUndo<State> undo_;
};

}  // namespace orvane::sim
