"""EVT 3.0 words: events and trigger edges packed into 16-bit words, and back.

Each little-endian word carries its type in its top four bits. A word sets one
piece of state (the row, the time's high or low twelve bits, a base column)
or emits events with the state as it stands, so a decoder is a scan. Both
directions here work on whole NumPy arrays, carrying the state from one
block to the next in a small object.
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
LOW_MASK = (1 << LOW_BITS) - 1
# The time's high word wraps every 2**24 us, which a decoder tells by the high
# bits going down. Some decoders count a wrap only when the high bits go from
# their top value to their bottom one, and none can count one it never saw; so
# between two times (and from 0 to the first) the encoder writes the high word
# at every quarter turn's last and first value that the time passes.
QUARTER_BITS = LOW_BITS - 2
QUARTER = 1 << QUARTER_BITS
MOST_ADDRESS = (1 << 11) - 1
MOST_SIDE = MOST_ADDRESS + 1
# Counts and times are handed out as unsigned 64-bit numbers and worked on as
# signed ones.
MOST_COUNT = (1 << 63) - 1
MOST_TRIGGER_ID = 15


class EncoderState:
    """What the words written so far have told a decoder."""

    def __init__(self):
        self.time = -1
        self.high = 0
        self.y = -1


def encode(events, triggers, state):
    """The words of `events` and `triggers`, each in time order, merged by time."""
    if len(triggers):
        return encode_merged(events, triggers, state)
    x_words = (events["polarity"].astype(np.uint16) << 11) | events["x"]
    x_words |= ADDR_X << 12
    return encode_items(events["timestamp"], events["y"], x_words, None, state)


def encode_merged(events, triggers, state):
    n_events, n_triggers = len(events), len(triggers)
    event_at = np.arange(n_events) + np.searchsorted(
        triggers["timestamp"], events["timestamp"], "left"
    )
    trigger_at = np.arange(n_triggers) + np.searchsorted(
        events["timestamp"], triggers["timestamp"], "right"
    )
    t = np.empty(n_events + n_triggers, np.uint64)
    t[event_at], t[trigger_at] = events["timestamp"], triggers["timestamp"]
    y = np.empty(len(t), np.uint16)
    y[event_at] = events["y"]
    words = np.empty(len(t), np.uint16)
    words[event_at] = (ADDR_X << 12) | (events["polarity"].astype(np.uint16) << 11) | events["x"]
    words[trigger_at] = (
        (EXT_TRIGGER << 12)
        | (triggers["id"].astype(np.uint16) << 8)
        | triggers["polarity"].astype(np.uint16)
    )
    return encode_items(t, y, words, trigger_at, state)


def encode_items(t, y, main_words, trigger_at, state):
    """Words for items at times `t`: each its time words when the time moves, its row
    word when its row does, then its own word. `trigger_at` marks items without a row."""
    n = len(t)
    if not n:
        return np.zeros(0, np.uint16)
    # Row by row, the four words an item may need, packed in one little-endian
    # 64-bit number (time high, time low, row, own word); the mask keeps those it
    # does need.
    high = t >> LOW_BITS
    rows = (high & LOW_MASK) | (TIME_HIGH << 12)
    rows |= ((t & LOW_MASK) | (TIME_LOW << 12)) << 16
    rows |= y.astype(np.uint64) << 32
    rows |= main_words.astype(np.uint64) << 48
    slots = rows.astype("<u8", copy=False).view("<u2")
    keep = np.empty((n, 4), bool)
    keep[0, 0] = int(high[0]) != state.high
    np.not_equal(high[1:], high[:-1], out=keep[1:, 0])
    keep[0, 1] = int(t[0]) != state.time
    np.not_equal(t[1:], t[:-1], out=keep[1:, 1])
    keep[:, 3] = True
    if trigger_at is None:
        keep[0, 2] = int(y[0]) != state.y
        np.not_equal(y[1:], y[:-1], out=keep[1:, 2])
        last_y = int(y[-1])
    else:
        is_event = np.ones(n, bool)
        is_event[trigger_at] = False
        event_rows = np.flatnonzero(is_event)
        event_y = y[event_rows].astype(np.int64)
        changed = np.empty(len(event_y), bool)
        if len(event_y):
            changed[0] = event_y[0] != state.y
            np.not_equal(event_y[1:], event_y[:-1], out=changed[1:])
        keep[:, 2] = False
        keep[event_rows, 2] = changed
        last_y = int(event_y[-1]) if len(event_y) else state.y
    words = np.compress(keep.ravel(), slots)
    moved = np.flatnonzero(keep[:, 0])
    before = np.where(moved > 0, high[moved - 1], np.uint64(state.high))
    passed = quarter_ends_passed(before, high[moved])
    if passed.any():
        words = with_quarter_words(words, keep, moved, high, passed, state)
    state.time, state.high, state.y = int(t[-1]), int(high[-1]), last_y
    return words


def quarter_ends_passed(before, after):
    """How many quarter turns' last and first values lie strictly between each `before` and
    `after`."""
    before, after = before.astype(np.int64), after.astype(np.int64)
    last_values = (after >> QUARTER_BITS) - ((before + 1) >> QUARTER_BITS)
    first_values = -((-after) >> QUARTER_BITS) - 1 - (before >> QUARTER_BITS)
    return last_values + first_values


def with_quarter_words(words, keep, moved, high, passed, state):
    """`words` with a high word for each quarter turn's end passed between two items."""
    per_row = keep.sum(1)
    firsts = (np.cumsum(per_row) - per_row)[moved]
    inserted_at, values = [], []
    for first, row, count in zip(firsts, moved, passed):
        if count:
            before = int(high[row - 1]) if row else state.high
            after = int(high[row])
            last_values = np.arange((before + 1) >> QUARTER_BITS, after >> QUARTER_BITS)
            first_values = np.arange((before >> QUARTER_BITS) + 1, -(-after >> QUARTER_BITS))
            ends = np.sort(
                np.concatenate(
                    [(last_values << QUARTER_BITS) + QUARTER - 1, first_values << QUARTER_BITS]
                )
            )
            inserted_at.append(np.full(len(ends), first))
            values.append((TIME_HIGH << 12) | (ends & LOW_MASK))
    return np.insert(words, np.concatenate(inserted_at), np.concatenate(values).astype(np.uint16))


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
