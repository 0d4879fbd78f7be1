"""EVT 3.0 words: events and trigger edges packed into 16-bit words, and back.

Each little-endian word carries its type in its top four bits. A word sets one
piece of state (the row, the time's high or low twelve bits, a base column)
or emits events with the state as it stands, so a decoder is a scan. The
encoder is a loop in C++ (`evt3_encoder.cpp`); the decoder works on whole
NumPy arrays. Both carry the state from one block to the next in a small object.
"""

from __future__ import annotations

import numpy as np

ADDR_Y = 0x0
ADDR_X = 0x2
VECT_BASE_X = 0x3
VECT_12 = 0x4
VECT_8 = 0x5
TIME_LOW = 0x6
TIME_HIGH = 0x8
EXT_TRIGGER = 0xA

LOW_BITS = 12
MOST_ADDRESS = (1 << 11) - 1
MOST_SIDE = MOST_ADDRESS + 1
# Counts and times are handed out as unsigned 64-bit numbers and worked on as
# signed ones.
MOST_COUNT = (1 << 63) - 1
MOST_TRIGGER_ID = 15


class EncoderState:
    """What the words written so far have told a decoder."""

    def __init__(self):
        self.time = None
        self.high = 0
        self.y = -1


def encode(events, triggers, state):
    """The words of `events` and `triggers`, each in time order, merged by time (an event
    before a trigger edge of the same time), as a uint16 array; encoded in C++."""
    import orvane_sim_py

    words, (state.time, state.high, state.y) = orvane_sim_py._encode_evt3(
        events, triggers, (state.time, state.high, state.y)
    )
    return words


class DecoderState:
    """What the words read so far have set, carried into the next block."""

    def __init__(self):
        self.high = 0
        self.wraps = 0
        self.low = 0
        self.y = 0
        self.base_x = 0
        self.polarity = 0


def forward_fill(is_set, values, before):
    """At each word, the value of the last word at or before it that sets one."""
    index = np.where(is_set, np.arange(len(is_set)), -1)
    np.maximum.accumulate(index, out=index)
    filled = np.where(index >= 0, values[np.maximum(index, 0)], before)
    return filled, index


def decode(words, state, event_dtype, trigger_dtype):
    """(events, triggers) of a block of words; words of other types are skipped."""
    kind = words >> 12
    payload = (words & 0xFFF).astype(np.int64)

    is_high = kind == TIME_HIGH
    high_values = payload[is_high]
    previous = np.empty(len(high_values), np.int64)
    previous[0:1] = state.high
    previous[1:] = high_values[:-1]
    wraps = state.wraps + np.cumsum(high_values < previous)
    absolute_high = np.zeros(len(words), np.int64)
    absolute_high[is_high] = (wraps << LOW_BITS) + high_values
    high, _ = forward_fill(is_high, absolute_high, (state.wraps << LOW_BITS) + state.high)
    low, _ = forward_fill(kind == TIME_LOW, payload, state.low)
    time = (high << LOW_BITS) | low
    y, _ = forward_fill(kind == ADDR_Y, payload, state.y)

    is_base = kind == VECT_BASE_X
    base, base_index = forward_fill(is_base, payload & MOST_ADDRESS, state.base_x)
    polarity, _ = forward_fill(is_base, payload >> 11, state.polarity)
    # A vector word moves the base on by its width once its events are out.
    width = np.where(kind == VECT_12, 12, np.where(kind == VECT_8, 8, 0))
    moved = np.cumsum(width)
    since_base = moved - width - np.where(base_index >= 0, moved[np.maximum(base_index, 0)], 0)
    vector_x = base + since_base

    single = kind == ADDR_X
    is_vector = width > 0
    bits = np.arange(12)
    set_bits = (payload[is_vector, None] >> bits) & 1
    set_bits[:, 8:] *= (width[is_vector] == 12)[:, None]
    vector_word, bit = np.nonzero(set_bits)
    vector_positions = np.flatnonzero(is_vector)[vector_word]

    positions = np.concatenate([np.flatnonzero(single), vector_positions])
    x = np.concatenate([payload[single] & MOST_ADDRESS, vector_x[vector_positions] + bit])
    p = np.concatenate([payload[single] >> 11, polarity[vector_positions]])
    order = np.argsort(positions, kind="stable") if len(vector_positions) else slice(None)
    positions = positions[order]
    events = np.zeros(len(positions), event_dtype)
    events["x"], events["polarity"] = x[order], p[order]
    events["y"], events["timestamp"] = y[positions], time[positions]

    is_trigger = kind == EXT_TRIGGER
    triggers = np.zeros(int(is_trigger.sum()), trigger_dtype)
    triggers["polarity"] = payload[is_trigger] & 1
    triggers["id"] = (payload[is_trigger] >> 8) & 0xF
    triggers["timestamp"] = time[is_trigger]

    if len(words):
        if len(high_values):
            state.high, state.wraps = int(high_values[-1]), int(wraps[-1])
        state.low, state.y = int(low[-1]), int(y[-1])
        state.base_x, state.polarity = int(base[-1] + since_base[-1] + width[-1]), int(polarity[-1])
    return events, triggers
