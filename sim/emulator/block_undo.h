#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvane::sim {

// Keeps the states of a grid of pixels as they were at the last
// checkpoint(), so that roll_back() can put them back. A block of a row is
// copied aside before its first change since the checkpoint: a read that
// changes few pixels costs little more than their copies, and no block spans
// two rows, so that threads working on different rows never share one.
template <typename State>
class BlockUndo {
public:
    BlockUndo(std::size_t row_length, std::size_t rows)
        : row_length_(row_length),
          rows_(rows),
          blocks_per_row_((row_length + kBlock - 1) / kBlock) {}

    // Saves from now on. The first call makes room for a copy of the grid and
    // may throw std::bad_alloc.
    void checkpoint() {
        if (saved_.empty()) {
            saved_.resize(row_length_ * rows_);
            marks_.resize(blocks_per_row_ * rows_);
        }
        if (++mark_ == 0) {
            std::fill(marks_.begin(), marks_.end(), 0);
            mark_ = 1;
        }
    }

    // Called before the state at (x, y) of `states` changes. Does nothing
    // before the first checkpoint.
    void before_change(const State* states, std::size_t x, std::size_t y) {
        if (marks_.empty()) {
            return;
        }
        uint32_t& mark = marks_[y * blocks_per_row_ + x / kBlock];
        if (mark == mark_) {
            return;
        }
        mark = mark_;
        const std::size_t first = y * row_length_ + x / kBlock * kBlock;
        const std::size_t end = std::min(first + kBlock, (y + 1) * row_length_);
        std::copy(states + first, states + end, saved_.begin() + first);
    }

    // Called before the `count` states from (x, y) on along row y change.
    void before_change(const State* states, std::size_t x, std::size_t y, std::size_t count) {
        for (std::size_t at = x / kBlock * kBlock; at < x + count; at += kBlock) {
            before_change(states, at, y);
        }
    }

    // Puts back every state changed since the checkpoint; saves nothing more
    // until the next one.
    void roll_back(State* states) noexcept {
        if (marks_.empty()) {
            return;
        }
        for (std::size_t block = 0; block < marks_.size(); ++block) {
            if (marks_[block] != mark_) {
                continue;
            }
            const std::size_t y = block / blocks_per_row_;
            const std::size_t first = y * row_length_ + block % blocks_per_row_ * kBlock;
            const std::size_t end = std::min(first + kBlock, (y + 1) * row_length_);
            std::copy(saved_.begin() + first, saved_.begin() + end, states + first);
        }
        if (++mark_ == 0) {
            std::fill(marks_.begin(), marks_.end(), 0);
            mark_ = 1;
        }
    }

private:
    // Pixels per block: a few cache lines of state.
    static constexpr std::size_t kBlock = 16;

    std::size_t row_length_;
    std::size_t rows_;
    std::size_t blocks_per_row_;
    std::vector<State> saved_;
    // The checkpoint each block was last saved for.
    std::vector<uint32_t> marks_;
    uint32_t mark_ = 0;
};

}  // namespace orvane::sim
