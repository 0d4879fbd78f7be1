#pragma once

#include <cstddef>
#include <type_traits>

#include "Event2D.h"

namespace orvane::sim {

// A growable array of events that never copies them to grow: it lives in
// memory from the C library, which moves a large block to a larger one by
// remapping its pages. The sensor's events are written into one buffer and
// that buffer is handed to NumPy, so a read holds its events once and copies
// none. What lies past size() is uninitialised.
class EventBuffer {
public:
    EventBuffer() = default;
    EventBuffer(EventBuffer&& other) noexcept;
    EventBuffer& operator=(EventBuffer&& other) noexcept;
    EventBuffer(const EventBuffer&) = delete;
    EventBuffer& operator=(const EventBuffer&) = delete;
    ~EventBuffer();

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    Event2D* data() { return events_; }
    const Event2D* data() const { return events_; }
    Event2D* begin() { return events_; }
    Event2D* end() { return events_ + size_; }
    const Event2D* begin() const { return events_; }
    const Event2D* end() const { return events_ + size_; }
    Event2D& operator[](std::size_t i) { return events_[i]; }
    const Event2D& operator[](std::size_t i) const { return events_[i]; }
    const Event2D& back() const { return events_[size_ - 1]; }

    // Room for `count` events in all. Throws std::bad_alloc, leaving the buffer as it was.
    void reserve(std::size_t count);
    // Makes the first `count` events count, without writing them: the
    // caller writes those past the old size. Needs the capacity.
    void grow_to(std::size_t count) { size_ = count; }
    // Keeps the first `count` events.
    void truncate(std::size_t count) { size_ = count < size_ ? count : size_; }
    // Appends [first, last), for which there must be room.
    void append(const Event2D* first, const Event2D* last);
    // Gives back the room past size(); keeps it when the C library cannot.
    void shrink_to_fit() noexcept;
    // The events' memory, which the caller frees with release_events().
    Event2D* release() noexcept;
    static void release_events(Event2D* events) noexcept;

private:
    Event2D* events_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

static_assert(std::is_trivially_copyable<Event2D>::value, "events are moved as bytes");

}  // namespace orvane::sim
