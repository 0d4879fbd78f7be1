#include "evt3_encoder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace orvane::sim::python {

namespace {

constexpr uint16_t kAddrY = 0x0;
constexpr uint16_t kAddrX = 0x2;
constexpr uint16_t kTimeLow = 0x6;
constexpr uint16_t kTimeHigh = 0x8;
constexpr uint16_t kExtTrigger = 0xA;
constexpr unsigned kLowBits = 12;
constexpr uint64_t kLowMask = (uint64_t{1} << kLowBits) - 1;
// The time's high word wraps every 2**24 us, which a decoder tells by the high
// bits going down. Some decoders count a wrap only when the high bits go from
// their top value to their bottom one, and none can count one it never saw; so
// between two times (and from 0 to the first) the encoder writes the high word
// at every quarter turn's last and first value that the time passes.
constexpr unsigned kQuarterBits = kLowBits - 2;
constexpr uint64_t kQuarter = uint64_t{1} << kQuarterBits;
constexpr uint16_t kMostAddress = (1 << 11) - 1;
constexpr int16_t kMostTriggerId = 15;
// An item needs at most its time's high and low words, its row word and its own.
constexpr std::size_t kMostWordsPerItem = 4;

uint16_t word(uint16_t type, uint64_t payload) {
    return static_cast<uint16_t>((type << 12) | (payload & kLowMask));
}

// A buffer of words that grows only when the quarter words of a long pause
// outrun the room kept for the items left.
class WordBuffer {
public:
    explicit WordBuffer(std::size_t items)
        : capacity_(items * kMostWordsPerItem), data_(new uint16_t[capacity_]) {}

    void reserve_more(std::size_t words, std::size_t items_left) {
        const std::size_t needed = size_ + words + items_left * kMostWordsPerItem;
        if (needed <= capacity_) {
            return;
        }
        const std::size_t capacity = std::max(needed, capacity_ + capacity_ / 2);
        std::unique_ptr<uint16_t[]> grown(new uint16_t[capacity]);
        std::memcpy(grown.get(), data_.get(), size_ * sizeof(uint16_t));
        data_ = std::move(grown);
        capacity_ = capacity;
    }

    void push(uint16_t value) { data_[size_++] = value; }

    Evt3Words release() { return {std::move(data_), size_}; }

private:
    std::size_t capacity_;
    std::size_t size_ = 0;
    std::unique_ptr<uint16_t[]> data_;
};

[[noreturn]] void refuse(const char* what, std::size_t index, const std::string& why) {
    throw std::invalid_argument(std::string(what) + "[" + std::to_string(index) + "] " + why);
}

void check_event(const Event2D* events, std::size_t i) {
    const Event2D& event = events[i];
    if (event.x > kMostAddress || event.y > kMostAddress) {
        refuse("events", i, "lies outside the 2048 x 2048 addresses EVT 3.0 can carry");
    }
    if (event.p > 1) {
        refuse("events", i, "has polarity " + std::to_string(event.p) + ", not 0 or 1");
    }
    if (i > 0 && event.t < events[i - 1].t) {
        refuse("events", i, "is earlier than the event before it");
    }
}

void check_trigger(const EventTriggerIn* triggers, std::size_t i) {
    const EventTriggerIn& trigger = triggers[i];
    if (trigger.polarity != 0 && trigger.polarity != 1) {
        refuse("triggers", i, "has polarity " + std::to_string(trigger.polarity) + ", not 0 or 1");
    }
    if (trigger.id < 0 || trigger.id > kMostTriggerId) {
        refuse("triggers", i, "has id " + std::to_string(trigger.id) + ", not 0 to 15");
    }
    if (i > 0 && trigger.timestamp < triggers[i - 1].timestamp) {
        refuse("triggers", i, "is earlier than the trigger edge before it");
    }
}

class Encoder {
public:
    Encoder(std::size_t items, Evt3EncoderState& state) : words_(items), state_(state) {}

    // The time words of an item at `t`, with the quarter ends passed since the last time.
    void time_words(uint64_t t, std::size_t items_left) {
        const uint64_t high = t >> kLowBits;
        if (high != state_.high) {
            if (high > state_.high + 1) {
                // Two ends a quarter, over the quarters the pause spans and the two it cuts.
                const uint64_t quarters = ((high - state_.high) >> kQuarterBits) + 2;
                words_.reserve_more(2 * quarters, items_left);
                quarter_words(state_.high, high);
            }
            words_.push(word(kTimeHigh, high));
            state_.high = high;
        }
        if (!state_.has_time || t != state_.time) {
            words_.push(word(kTimeLow, t));
            state_.time = t;
            state_.has_time = true;
        }
    }

    void event(const Event2D& event) {
        if (event.y != state_.y) {
            words_.push(word(kAddrY, event.y));
            state_.y = event.y;
        }
        words_.push(static_cast<uint16_t>((kAddrX << 12) | (event.p << 11) | event.x));
    }

    void trigger(const EventTriggerIn& trigger) {
        words_.push(static_cast<uint16_t>((kExtTrigger << 12) | (trigger.id << 8) |
                                          static_cast<uint16_t>(trigger.polarity)));
    }

    Evt3Words release() { return words_.release(); }

private:
    void quarter_words(uint64_t before, uint64_t after) {
        for (uint64_t start = (before >> kQuarterBits) << kQuarterBits; start < after;
             start += kQuarter) {
            if (start > before) {
                words_.push(word(kTimeHigh, start));
            }
            const uint64_t last = start + kQuarter - 1;
            if (last > before && last < after) {
                words_.push(word(kTimeHigh, last));
            }
        }
    }

    WordBuffer words_;
    Evt3EncoderState& state_;
};

}  // namespace

Evt3Words encode_evt3(const Event2D* events, std::size_t n_events, const EventTriggerIn* triggers,
                      std::size_t n_triggers, Evt3EncoderState& state) {
    for (std::size_t i = 0; i < n_events; ++i) {
        check_event(events, i);
    }
    for (std::size_t i = 0; i < n_triggers; ++i) {
        check_trigger(triggers, i);
    }
    Evt3EncoderState next = state;
    const std::size_t items = n_events + n_triggers;
    Encoder encoder(items, next);
    std::size_t e = 0;
    std::size_t g = 0;
    while (e < n_events || g < n_triggers) {
        const std::size_t items_left = items - e - g;
        if (g == n_triggers || (e < n_events && events[e].t <= triggers[g].timestamp)) {
            encoder.time_words(events[e].t, items_left);
            encoder.event(events[e++]);
        } else {
            encoder.time_words(triggers[g].timestamp, items_left);
            encoder.trigger(triggers[g++]);
        }
    }
    state = next;
    return encoder.release();
}

}  // namespace orvane::sim::python
