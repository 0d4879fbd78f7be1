#pragma once

#include <cstdint>

#include "Event2D.h"
#include "EventTriggerIn.h"

namespace orvane::sim {

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
