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

std::vector<Event2D>& EventQueue::room_for(std::size_t step, std::size_t read) {
    if (!chunks_.empty() && chunks_.back().capacity() - chunks_.back().size() >= step) {
        return chunks_.back();
    }
    std::size_t queued = 0;
    for (const auto& chunk : chunks_) {
        queued += chunk.size();
    }
    std::vector<Event2D> chunk;
    chunk.reserve(
        std::max(step, std::clamp(std::max(queued, read), kSmallestChunk, kLargestChunk)));
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

bool EventQueue::hands_over_front(std::size_t count) const {
    return count > 0 && chunks_.front().size() >= count && count >= chunks_.front().capacity() / 2;
}

void EventQueue::reserve_pop(std::size_t count) {
    std::vector<Event2D> spare;
    if (hands_over_front(count)) {
        // The rest of the chunk moves to the next first chunk, which is given
        // room for about as many events as were handed out.
        spare.reserve(
            std::max(chunks_.front().size() - count, std::min(count + count / 4, kLargestChunk)));
    } else {
        spare.reserve(count);
    }
    spare_.swap(spare);
}

std::vector<Event2D> EventQueue::pop(std::size_t count) noexcept {
    std::vector<Event2D> out;
    out.swap(spare_);
    if (hands_over_front(count)) {
        std::vector<Event2D>& front = chunks_.front();
        out.insert(out.end(), front.begin() + static_cast<std::ptrdiff_t>(count), front.end());
        front.resize(count);
        front.swap(out);
        return out;
    }
    while (count > 0) {
        std::vector<Event2D>& front = chunks_.front();
        const std::size_t taken = std::min(count, front.size());
        out.insert(out.end(), front.begin(), front.begin() + static_cast<std::ptrdiff_t>(taken));
        count -= taken;
        if (taken == front.size() && chunks_.size() > 1) {
            chunks_.pop_front();
        } else {
            front.erase(front.begin(), front.begin() + static_cast<std::ptrdiff_t>(taken));
        }
    }
    return out;
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
