#include "event_queue.h"

#include <algorithm>
#include <new>

namespace orvane::sim {

namespace {

// Chunks start small and grow with the queue up to this many bytes, a size
// that the C library always maps on its own, so that a freed chunk goes back
// to the system at once.
constexpr std::size_t kLargestChunk = (40u << 20) / sizeof(Event2D);
constexpr std::size_t kSmallestChunk = 4096;

}  // namespace

std::vector<Event2D>& EventQueue::room_for(std::size_t expected) {
    if (!chunks_.empty() && chunks_.back().capacity() - chunks_.back().size() >= expected) {
        return chunks_.back();
    }
    std::size_t queued = 0;
    for (const auto& chunk : chunks_) {
        queued += chunk.size();
    }
    std::vector<Event2D> chunk;
    chunk.reserve(std::max(expected, std::clamp(queued, kSmallestChunk, kLargestChunk)));
    if (!chunks_.empty() && chunks_.back().empty()) {
        chunks_.back().swap(chunk);
    } else {
        chunks_.push_back(std::move(chunk));
    }
    return chunks_.back();
}

std::size_t EventQueue::count_until(uint64_t t_us) const {
    const auto later = [](uint64_t t, const Event2D& event) { return t < event.t; };
    std::size_t count = 0;
    for (const auto& chunk : chunks_) {
        const auto end = std::upper_bound(chunk.begin(), chunk.end(), t_us, later);
        count += static_cast<std::size_t>(end - chunk.begin());
        if (end != chunk.end()) {
            break;
        }
    }
    return count;
}

void EventQueue::pop_into(std::size_t count, std::vector<Event2D>& out) noexcept {
    while (count > 0) {
        std::vector<Event2D>& front = chunks_.front();
        const std::size_t taken = std::min(count, front.size());
        out.insert(out.end(), front.begin(), front.begin() + taken);
        count -= taken;
        if (taken == front.size() && chunks_.size() > 1) {
            chunks_.pop_front();
        } else {
            front.erase(front.begin(), front.begin() + taken);
        }
    }
}

void EventQueue::shrink() noexcept {
    if (chunks_.size() != 1 || chunks_.front().capacity() <= kLargestChunk) {
        return;
    }
    std::vector<Event2D>& only = chunks_.front();
    try {
        std::vector<Event2D> smaller;
        smaller.reserve(std::max(only.size(), kSmallestChunk));
        smaller.insert(smaller.end(), only.begin(), only.end());
        only.swap(smaller);
    } catch (const std::bad_alloc&) {
        // Keeping the larger chunk is as good, only bigger.
    }
}

}  // namespace orvane::sim
