#include "event_buffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace orvane::sim {

EventBuffer::EventBuffer(EventBuffer&& other) noexcept
    : events_(std::exchange(other.events_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

EventBuffer& EventBuffer::operator=(EventBuffer&& other) noexcept {
    if (this != &other) {
        std::free(events_);
        events_ = std::exchange(other.events_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

EventBuffer::~EventBuffer() { std::free(events_); }

void EventBuffer::reserve(std::size_t count) {
    if (count <= capacity_) {
        return;
    }
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(Event2D)) {
        throw std::bad_alloc();
    }
    void* larger = std::realloc(events_, count * sizeof(Event2D));
    if (larger == nullptr) {
        throw std::bad_alloc();
    }
    events_ = static_cast<Event2D*>(larger);
    capacity_ = count;
}

void EventBuffer::append(const Event2D* first, const Event2D* last) {
    const auto count = static_cast<std::size_t>(last - first);
    if (count > 0) {
        std::memcpy(events_ + size_, first, count * sizeof(Event2D));
    }
    size_ += count;
}

void EventBuffer::shrink_to_fit() noexcept {
    if (size_ == capacity_) {
        return;
    }
    if (size_ == 0) {
        std::free(std::exchange(events_, nullptr));
        capacity_ = 0;
        return;
    }
    if (void* smaller = std::realloc(events_, size_ * sizeof(Event2D))) {
        events_ = static_cast<Event2D*>(smaller);
        capacity_ = size_;
    }
}

Event2D* EventBuffer::release() noexcept {
    size_ = 0;
    capacity_ = 0;
    return std::exchange(events_, nullptr);
}

void EventBuffer::release_events(Event2D* events) noexcept { std::free(events); }

}  // namespace orvane::sim
