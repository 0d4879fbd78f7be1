#include "event_queue.h"

#include <algorithm>
#include <new>

namespace orvane::sim {

namespace {

// Chunks start small, or as large as the events a read is expected to give,
// and grow with the queue up to this many bytes: a size that the C library
// always maps on its own, so that a freed chunk goes back to the system at
// once, and small enough that copying a long read out of its chunks, which
// frees each chunk once copied, never holds much more than its events.
constexpr std::size_t kLargestChunk = (40u << 20) / sizeof(Event2D);
constexpr std::size_t kSmallestChunk = 4096;
// Room for about as many events as `count`, the events of the last hand-out.
std::size_t like(std::size_t count) { return std::min(count + count / 4, kLargestChunk); }

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

void EventQueue::expect(std::size_t events) {
    events = std::min(events, kLargestChunk);
    if (chunks_.size() != 1 || events <= kSmallestChunk ||
        chunks_.front().capacity() - chunks_.front().size() >= events ||
        chunks_.front().size() > events / 8) {
        return;
    }
    std::vector<Event2D> larger;
    larger.reserve(chunks_.front().size() + events);
    larger.insert(larger.end(), chunks_.front().begin(), chunks_.front().end());
    chunks_.front().swap(larger);
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

// The popped events go out in the first chunk itself when it holds at least
// half of them and has room for all (and is not far larger than they need):
// no copy of them, and never two copies in memory at once.
bool EventQueue::hands_over_front(std::size_t count) const {
    const std::vector<Event2D>& front = chunks_.front();
    return count > 0 && count <= front.capacity() && front.size() >= count / 2 &&
           count >= front.capacity() / 2;
}

void EventQueue::reserve_pop(std::size_t count) {
    std::vector<Event2D> spare;
    if (!hands_over_front(count)) {
        spare.reserve(count);
    } else if (chunks_.front().size() > count) {
        // The rest of the chunk moves to the next first chunk, which is given
        // room for about as many events as were handed out.
        spare.reserve(std::max(chunks_.front().size() - count, like(count)));
    }
    spare_.swap(spare);
}

std::vector<Event2D> EventQueue::pop(std::size_t count) noexcept {
    std::vector<Event2D> out;
    out.swap(spare_);
    if (!hands_over_front(count)) {
        take(count, out);
        shrink(count);
        return out;
    }
    std::vector<Event2D>& front = chunks_.front();
    if (front.size() >= count) {
        out.insert(out.end(), front.begin() + static_cast<std::ptrdiff_t>(count), front.end());
        front.resize(count);
        front.swap(out);
        return out;
    }
    out.swap(front);
    chunks_.pop_front();
    take(count - out.size(), out);
    return out;
}

// Moves the first `count` events to the end of `out`, which has room for
// them, freeing each chunk once it is copied.
void EventQueue::take(std::size_t count, std::vector<Event2D>& out) noexcept {
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
}

// A chunk that one long step made far larger than the reads need keeps the
// pages it wrote: what it still holds moves to a chunk of the working size.
void EventQueue::shrink(std::size_t popped) noexcept {
    if (chunks_.size() != 1 ||
        chunks_.front().capacity() <= std::max(kLargestChunk, 2 * like(popped))) {
        return;
    }
    std::vector<Event2D>& only = chunks_.front();
    try {
        std::vector<Event2D> smaller;
        smaller.reserve(std::max(only.size(), like(popped)));
        smaller.insert(smaller.end(), only.begin(), only.end());
        only.swap(smaller);
    } catch (const std::bad_alloc&) {
        // Keeping the larger chunk is as good, only bigger.
    }
}

}  // namespace orvane::sim
