#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Event2D.h"
#include "EventTriggerIn.h"

namespace orvane::sim::python {

// What the EVT 3.0 words written so far have told a decoder: carried from one
// block to the next so that a block repeats no word the decoder already holds.
struct Evt3EncoderState {
    bool has_time = false;
    uint64_t time = 0;
    uint64_t high = 0;
    int32_t y = -1;
};

// The words of one block, in a buffer that may hold more than `size` words.
struct Evt3Words {
    std::unique_ptr<uint16_t[]> data;
    std::size_t size = 0;
};

// The EVT 3.0 words of `events` and `triggers`, each in time order, merged by
// time (an event before a trigger edge of the same time). Throws
// std::invalid_argument, naming the record, for a field the words cannot carry
// or a record earlier than the one before it.
Evt3Words encode_evt3(const Event2D* events, std::size_t n_events, const EventTriggerIn* triggers,
                      std::size_t n_triggers, Evt3EncoderState& state);

}  // namespace orvane::sim::python
