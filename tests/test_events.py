import numpy as np
import orvane_sim_py as sim
import pytest
from orvane_base_py import Event2D, EventTriggerIn

EVENT2D_DTYPE = {
    "names": ["x", "y", "polarity", "timestamp"],
    "formats": ["<u2", "<u2", "u1", "<u8"],
    "offsets": [0, 2, 4, 8],
    "itemsize": 16,
}
TRIGGER_DTYPE = {
    "names": ["polarity", "timestamp", "id"],
    "formats": ["<i2", "<u8", "<i2"],
    "offsets": [0, 8, 16],
    "itemsize": 24,
}


def test_dtypes_have_the_record_layouts():
    assert sim.event2d_array(0).dtype == np.dtype(EVENT2D_DTYPE)
    assert sim.trigger_array(0).dtype == np.dtype(TRIGGER_DTYPE)


def test_buffer_format_strings_include_padding():
    formats = sim.record_formats()
    assert formats["Event2D"] == "^T{H:x:H:y:B:polarity:3xQ:timestamp:}"
    assert formats["EventTriggerIn"] == "^T{h:polarity:6xQ:timestamp:h:id:6x}"


@pytest.mark.parametrize(
    ("cls", "present", "absent"),
    [
        (Event2D, ["x", "y", "p", "t"], ["polarity", "timestamp"]),
        (EventTriggerIn, ["id", "polarity", "timestamp"], ["p", "t"]),
    ],
)
def test_property_names_and_order(cls, present, absent):
    assert [name for name in vars(cls) if not name.startswith("_")] == present
    for name in absent:
        assert not hasattr(cls, name)


@pytest.mark.parametrize(
    ("cls", "qualified"),
    [(Event2D, "orvane_base_py.Event2D"), (EventTriggerIn, "orvane_base_py.EventTriggerIn")],
)
def test_records_have_no_constructor(cls, qualified):
    with pytest.raises(TypeError) as excinfo:
        cls()
    assert str(excinfo.value) == f"{qualified}: No constructor defined!"


EVENT_LIMITS = [
    ("x", 0, 65535),
    ("y", 0, 65535),
    ("p", 0, 255),
    ("t", 0, 2**64 - 1),
]
TRIGGER_LIMITS = [
    ("polarity", -32768, 32767),
    ("id", -32768, 32767),
    ("timestamp", 0, 2**64 - 1),
]


@pytest.mark.parametrize(
    ("make", "limits"),
    [
        (lambda: sim.event2d(1, 2, 1, 3), EVENT_LIMITS),
        (lambda: sim.trigger(1, 2, 3), TRIGGER_LIMITS),
    ],
)
def test_properties_accept_their_range_and_refuse_the_rest(make, limits):
    record = make()
    for name, low, high in limits:
        for good in (low, high):
            setattr(record, name, good)
            assert getattr(record, name) == good
        for bad in (low - 1, high + 1, float(high), "1", None):
            with pytest.raises(TypeError):
                setattr(record, name, bad)
            assert getattr(record, name) == high


def test_records_handed_out_by_the_kit_hold_their_fields():
    event = sim.event2d(640, 360, 1, 123456789)
    assert isinstance(event, Event2D)
    assert (event.x, event.y, event.p, event.t) == (640, 360, 1, 123456789)
    trigger = sim.trigger(-1, 42, 3)
    assert isinstance(trigger, EventTriggerIn)
    assert (trigger.polarity, trigger.timestamp, trigger.id) == (-1, 42, 3)
    assert sim.event2d_fields(event) == (640, 360, 1, 123456789)
    assert sim.trigger_fields(trigger) == (-1, 42, 3)


def test_structured_scalars_are_taken_where_a_record_is_expected():
    events = sim.event2d_array(5)
    assert sim.event2d_fields(events[3]) == (3, 3, 1, 1003)
    triggers = sim.trigger_array(6)
    assert sim.trigger_fields(triggers[5]) == (1, 2005, 1)
    with pytest.raises(TypeError):
        sim.event2d_fields(triggers[0])
    with pytest.raises(TypeError):
        sim.trigger_fields((1, 2, 3))


def test_event_arrays_follow_the_simulated_pattern():
    n = 2000
    events = sim.event2d_array(n)
    i = np.arange(n)
    assert events.shape == (n,)
    np.testing.assert_array_equal(events["x"], i % 1280)
    np.testing.assert_array_equal(events["y"], i % 720)
    np.testing.assert_array_equal(events["polarity"], i % 2)
    np.testing.assert_array_equal(events["timestamp"], 1000 + i)
    triggers = sim.trigger_array(n)
    np.testing.assert_array_equal(triggers["polarity"], i % 2)
    np.testing.assert_array_equal(triggers["timestamp"], 2000 + i)
    np.testing.assert_array_equal(triggers["id"], i % 4)


def test_arrays_own_their_cpp_buffer_without_a_copy():
    events = sim.event2d_array(10)
    assert events.flags.owndata is False
    assert type(events.base).__name__ == "PyCapsule"
    assert events.flags.writeable
    view = events[2:]
    del events
    view["x"][0] = 7
    assert view[0]["x"] == 7


def test_negative_lengths_are_refused():
    with pytest.raises(TypeError):
        sim.event2d_array(-1)
    with pytest.raises(TypeError):
        sim.trigger_array(1.5)


def test_camera_streams_keep_their_time_stamps_increasing():
    camera = sim.Camera()
    assert camera.serial == "SIM-0001"
    first, second = camera.events(3), camera.events(2)
    assert list(first["timestamp"]) + list(second["timestamp"]) == [1000, 1001, 1002, 1003, 1004]
    triggers = np.concatenate([camera.triggers(2), camera.triggers(2)])
    assert list(triggers["timestamp"]) == [2000, 2001, 2002, 2003]
    assert sim.Camera(serial="SIM-0042").description().serial == "SIM-0042"
    pattern = sim.Camera(width=5, height=3).events(7)
    assert (pattern["x"].tolist(), pattern["y"].tolist()) == (
        [0, 1, 2, 3, 4, 0, 1],
        [0, 1, 2, 0, 1, 2, 0],
    )


def padding_bytes(records, fields_end):
    """The bytes of each record that belong to no field."""
    raw = np.frombuffer(records.tobytes(), np.uint8).reshape(len(records), records.itemsize)
    fields = np.zeros(records.itemsize, bool)
    for name, end in fields_end.items():
        offset = records.dtype.fields[name][1]
        fields[offset:end] = True
    return raw[:, ~fields]


EVENT2D_FIELDS_END = {"x": 2, "y": 4, "polarity": 5, "timestamp": 16}
TRIGGER_FIELDS_END = {"polarity": 2, "timestamp": 16, "id": 18}


@pytest.mark.parametrize(
    ("make", "fields_end"),
    [
        (sim.event2d_array, EVENT2D_FIELDS_END),
        (sim.trigger_array, TRIGGER_FIELDS_END),
        (lambda n: sim.Camera().events(n), EVENT2D_FIELDS_END),
        (lambda n: sim.Camera().triggers(n), TRIGGER_FIELDS_END),
        (lambda n: sim.Camera(width=64, height=48).read(n * 10)[0], EVENT2D_FIELDS_END),
    ],
)
def test_arrays_carry_zeroed_padding(make, fields_end):
    # Freed memory full of set bits is what the allocator hands out next.
    dirty = np.full(5000 * 24, 0xAB, np.uint8)
    del dirty
    records = make(5000)
    assert len(records) > 0
    assert not padding_bytes(records, fields_end).any()


@pytest.mark.parametrize("n", [2**62, 2**64 - 1])
def test_a_refused_count_leaves_the_streams_where_they_were(n):
    camera = sim.Camera()
    camera.events(2), camera.triggers(2)
    with pytest.raises((MemoryError, ValueError)):
        camera.events(n)
    with pytest.raises((MemoryError, ValueError)):
        camera.triggers(n)
    assert camera.events(1)["timestamp"].tolist() == [1002]
    assert camera.triggers(1)["timestamp"].tolist() == [2002]
    assert camera.file_info().max_events == 3
