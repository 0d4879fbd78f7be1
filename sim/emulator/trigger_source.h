#pragma once

#include <cstdint>
#include <vector>

#include "EventTriggerIn.h"

namespace orvane::sim {

// The square wave wired to the simulated camera's trigger input, channel 0:
// rising edges (polarity 1) at every multiple of kTriggerPeriodUs, falling
// edges (polarity 0) half a period later.
constexpr uint64_t kTriggerPeriodUs = 10000;
constexpr int16_t kTriggerChannel = 0;

// The edges with time stamps in (after_us, until_us], in order.
std::vector<EventTriggerIn> trigger_edges(uint64_t after_us, uint64_t until_us);

}  // namespace orvane::sim
