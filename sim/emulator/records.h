#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Event2D.h"
#include "EventTriggerIn.h"

namespace orvane::sim {

// Zeroes the bytes of a record that belong to no field, so that the bytes
// NumPy sees (tobytes, numpy.save) are the fields and nothing else.
inline void clear_padding(Event2D& event) {
    constexpr std::size_t kFieldsEnd = offsetof(Event2D, p) + sizeof(event.p);
    std::memset(reinterpret_cast<unsigned char*>(&event) + kFieldsEnd, 0,
                offsetof(Event2D, t) - kFieldsEnd);
}

inline void clear_padding(EventTriggerIn& trigger) {
    auto* bytes = reinterpret_cast<unsigned char*>(&trigger);
    constexpr std::size_t kPolarityEnd =
        offsetof(EventTriggerIn, polarity) + sizeof(trigger.polarity);
    constexpr std::size_t kIdEnd = offsetof(EventTriggerIn, id) + sizeof(trigger.id);
    std::memset(bytes + kPolarityEnd, 0, offsetof(EventTriggerIn, timestamp) - kPolarityEnd);
    std::memset(bytes + kIdEnd, 0, sizeof(EventTriggerIn) - kIdEnd);
}

inline Event2D make_event2d(uint16_t x, uint16_t y, uint8_t p, uint64_t t) {
    Event2D event;
    event.x = x;
    event.y = y;
    event.p = p;
    event.t = t;
    return event;
}

inline EventTriggerIn make_trigger(int16_t polarity, uint64_t timestamp, int16_t id) {
    EventTriggerIn trigger;
    trigger.polarity = polarity;
    trigger.timestamp = timestamp;
    trigger.id = id;
    return trigger;
}

}  // namespace orvane::sim
