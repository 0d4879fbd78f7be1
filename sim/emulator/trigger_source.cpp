#include "trigger_source.h"

#include "records.h"

namespace orvane::sim {

std::vector<EventTriggerIn> trigger_edges(uint64_t after_us, uint64_t until_us) {
    constexpr uint64_t kHalfPeriod = kTriggerPeriodUs / 2;
    std::vector<EventTriggerIn> edges;
    for (uint64_t edge = after_us / kHalfPeriod + 1; edge * kHalfPeriod <= until_us; ++edge) {
        edges.push_back(make_trigger(edge % 2 == 0 ? 1 : 0, edge * kHalfPeriod, kTriggerChannel));
    }
    return edges;
}

}  // namespace orvane::sim
