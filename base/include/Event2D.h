#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "EventBase.h"

namespace orvane {

// One change event of the dynamic vision sensor at pixel (x, y).
struct Event2D : public EventBase {
    uint16_t x = 0;
    uint16_t y = 0;
    uint8_t p = 0;
    uint64_t t = 0;
};

// The record is handed to NumPy as raw bytes: its layout is part of the API.
static_assert(std::is_standard_layout<Event2D>::value, "Event2D must be standard layout");
static_assert(sizeof(Event2D) == 16 && alignof(Event2D) == 8, "Event2D layout");
static_assert(offsetof(Event2D, x) == 0 && offsetof(Event2D, y) == 2, "Event2D layout");
static_assert(offsetof(Event2D, p) == 4 && offsetof(Event2D, t) == 8, "Event2D layout");

}  // namespace orvane
