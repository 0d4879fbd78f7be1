#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "EventBase.h"

namespace orvane {

// One edge on the camera's trigger input.
struct EventTriggerIn : public EventBase {
    int16_t polarity = 0;
    uint64_t timestamp = 0;
    int16_t id = 0;
};

// The record is handed to NumPy as raw bytes: its layout is part of the API.
static_assert(std::is_standard_layout<EventTriggerIn>::value,
              "EventTriggerIn must be standard layout");
static_assert(sizeof(EventTriggerIn) == 24 && alignof(EventTriggerIn) == 8,
              "EventTriggerIn layout");
static_assert(offsetof(EventTriggerIn, polarity) == 0, "EventTriggerIn layout");
static_assert(offsetof(EventTriggerIn, timestamp) == 8, "EventTriggerIn layout");
static_assert(offsetof(EventTriggerIn, id) == 16, "EventTriggerIn layout");

}  // namespace orvane
