"""Random values of every kind at every setter, constructor and method of orvane_base_py."""

import numpy as np
import orvane_base_py as base
import orvane_sim_py as sim
import pytest
from fuzz_values import (
    ACCEPT,
    INT16,
    INT32,
    REFUSE,
    TEXT,
    UINT8,
    UINT16,
    UINT64,
    Kind,
    any_value,
    bool_verdict,
    check_properties,
    comparable,
    enum_kind,
    integer_kind,
    integer_verdict,
    read_text,
    real_verdict,
    text_like,
    text_verdict,
)
from hypothesis import HealthCheck, assume, given, settings
from hypothesis import strategies as st

EVENT2D = {
    "x": integer_kind(UINT16),
    "y": integer_kind(UINT16),
    "p": integer_kind(UINT8),
    "t": integer_kind(UINT64),
}
TRIGGER = {
    "id": integer_kind(INT16),
    "polarity": integer_kind(INT16),
    "timestamp": integer_kind(UINT64),
}


@given(data=st.data())
def test_event_records_take_only_values_in_range(data):
    check_properties(sim.event2d(1, 2, 1, 3), EVENT2D, data, {"x": 1, "y": 2, "p": 1, "t": 3})
    trigger = sim.trigger(-1, 5, 2)
    check_properties(trigger, TRIGGER, data, {"polarity": -1, "timestamp": 5, "id": 2})


# Geometry stays small, or is large enough that no allocation can succeed.
geometry = st.one_of(
    st.integers(-2, 40),
    st.sampled_from([-(2**31), 2**31 - 1, 2**31, -(2**31) - 1, 2**20, 2**30]),
    any_value,
)
LARGEST_BUFFER = 2**63 - 1


def frame_size_verdict(width, height):
    """None for a size worth no test: allocating it would only take long."""
    size = width * height * 3
    if width < 0 or height < 0:
        return ValueError
    if size > LARGEST_BUFFER:
        return ValueError
    if size >= 2**41:
        return MemoryError
    return "small" if size <= 2**20 else None


def check_frame(frame, width, height, start, end):
    assert (frame.width(), frame.height()) == (width, height)
    assert (frame.exposure_start_timestamp, frame.exposure_end_timestamp) == (start, end)


@given(
    width=geometry,
    height=geometry,
    start=st.one_of(any_value, integer_kind(UINT64).valid),
    end=st.one_of(any_value, integer_kind(UINT64).valid),
)
def test_frame_made_from_geometry_checks_every_value(width, height, start, end):
    verdicts = [
        integer_verdict(width, INT32),
        integer_verdict(height, INT32),
        integer_verdict(start, UINT64),
        integer_verdict(end, UINT64),
    ]
    numbers = [number for _, number in verdicts]
    if any(verdict is REFUSE for verdict, _ in verdicts):
        with pytest.raises(TypeError):
            base.ApsFrame(width, height, start, end)
        return
    size_verdict = frame_size_verdict(numbers[0], numbers[1])
    assume(size_verdict is not None)
    try:
        frame = base.ApsFrame(width, height, start, end)
    except TypeError:
        assert not all(verdict is ACCEPT for verdict, _ in verdicts)
        return
    except ValueError:
        assert size_verdict is ValueError
        return
    except MemoryError:
        assert size_verdict is MemoryError
        return
    assert size_verdict in ("small", MemoryError)
    check_frame(frame, *numbers)
    if size_verdict == "small" and numbers[0] * numbers[1] > 0:
        assert frame.get_data_size() == numbers[0] * numbers[1] * 3
        assert frame.data() == 0
        pixels = frame.data_numpy()
        assert pixels.shape == (numbers[1], numbers[0], 3)
        pixels[...] = 9
        assert frame.clone().data_numpy().tolist() == pixels.tolist()
        assert base.ApsFrame(frame).data() == 9
    elif size_verdict == "small":
        assert frame.data() is None
        with pytest.raises(RuntimeError, match=r"^ApsFrame data pointer is null\.$"):
            frame.data_numpy()


def buffers():
    arrays = st.sampled_from(["uint8", "int8", "uint16", "float32"]).flatmap(
        lambda dtype: st.integers(0, 24).map(lambda n: np.arange(n, dtype=dtype))
    )
    return st.one_of(
        st.binary(max_size=24),
        st.binary(max_size=24).map(bytearray),
        arrays,
        arrays.map(lambda a: a[::2]),
        arrays.map(lambda a: a.reshape(-1, 1)),
        arrays.map(memoryview),
        st.binary(max_size=24).map(memoryview),
    )


def buffer_verdict(buffer, data_size, own_data):
    """The error a buffer, size and ownership draw, or None when they make a frame."""
    view = memoryview(buffer)
    if view.itemsize != 1 or not view.c_contiguous:
        return ValueError
    if data_size > view.nbytes:
        return ValueError
    if not own_data and view.readonly:
        return ValueError
    return None


@given(
    width=st.integers(0, 4),
    height=st.integers(0, 4),
    buffer=st.one_of(buffers(), any_value),
    data_size=st.one_of(st.integers(0, 30), any_value),
    own_data=st.one_of(st.booleans(), any_value),
)
def test_frame_over_a_buffer_checks_the_buffer(width, height, buffer, data_size, own_data):
    size_verdict, size = integer_verdict(data_size, UINT64)
    own_verdict, own = bool_verdict(own_data)
    try:
        memoryview(buffer)
    except TypeError:
        exports = False
    else:
        exports = True
    if not exports or REFUSE in (size_verdict, own_verdict):
        with pytest.raises(TypeError):
            base.ApsFrame(width, height, 0, 0, buffer, data_size, own_data)
        return
    expected = buffer_verdict(buffer, size, own)
    try:
        frame = base.ApsFrame(width, height, 0, 0, buffer, data_size, own_data)
    except TypeError:
        assert not (size_verdict is ACCEPT and own_verdict is ACCEPT)
        return
    except ValueError:
        assert expected is ValueError
        return
    assert expected is None
    assert frame.get_data_size() == size
    content = memoryview(buffer).tobytes()
    assert frame.data() == (content[0] if size else None)
    if size and size >= width * height * 3 > 0:
        pixels = frame.data_numpy()
        assert pixels.tobytes() == content[: width * height * 3]
        pixels[...] = 0xA5
        shared = memoryview(buffer).tobytes()[: width * height * 3]
        assert (shared == bytes([0xA5]) * len(shared)) is (not own)
    elif 0 < size < width * height * 3:
        with pytest.raises(ValueError, match=r"^ApsFrame buffer holds \d+ bytes, fewer than the "):
            frame.data_numpy()


@given(other=any_value)
def test_frame_copy_takes_only_a_frame(other):
    assume(integer_verdict(other, INT32)[0] is REFUSE)
    with pytest.raises(TypeError):
        base.ApsFrame(other)


FRAME = {
    "exposure_start_timestamp": integer_kind(UINT64),
    "exposure_end_timestamp": integer_kind(UINT64),
}


@given(data=st.data())
def test_frame_timestamps_take_only_values_in_range(data):
    frame = base.ApsFrame(2, 1, 4, 5)
    check_properties(
        frame, FRAME, data, {"exposure_start_timestamp": 4, "exposure_end_timestamp": 5}
    )
    assert frame.data_numpy().shape == (1, 2, 3)


def numbers_verdict(values):
    """A sequence of numbers, stored as doubles; text is no sequence of numbers."""
    if isinstance(values, (str, bytes, bytearray, dict, int, float, type(None))):
        return REFUSE, None
    if not isinstance(values, (list, tuple)):
        return REFUSE, None
    stored = []
    for item in values:
        verdict, number = real_verdict(item, narrow=False)
        if verdict is REFUSE:
            return REFUSE, None
        stored.append(number)
    return (ACCEPT if all(isinstance(v, (int, float)) for v in values) else "either"), stored


NUMBERS = Kind(numbers_verdict, valid=st.lists(st.one_of(st.floats(), st.integers()), max_size=4))
MATRIX = {
    "rows": integer_kind(INT32),
    "cols": integer_kind(INT32),
    "type": integer_kind(INT32),
    "data": NUMBERS,
}


@given(data=st.data())
def test_matrix_takes_only_values_of_each_property(data):
    matrix = base.MatrixData()
    stored = check_properties(matrix, MATRIX, data, {"rows": 0, "cols": 0, "type": 0, "data": []})
    shape = f"{stored['rows']}x{stored['cols']}, type={stored['type']}"
    assert repr(matrix) == f"MatrixData({shape}, data_len={len(stored['data'])})"
    assert str(matrix) == f"MatrixData({shape})"


def matrix_verdict(value):
    return (ACCEPT, comparable(value)) if isinstance(value, base.MatrixData) else (REFUSE, None)


def matrices_verdict(value):
    if not isinstance(value, dict):
        return REFUSE, None
    stored = {}
    for name, matrix in value.items():
        verdict, name_bytes = text_verdict(name)
        if verdict is REFUSE or not isinstance(matrix, base.MatrixData):
            return REFUSE, None
        if name_bytes in stored:
            return ValueError, None
        stored[name_bytes] = comparable(matrix)
    return ACCEPT, stored


def read_matrices(stored):
    names = {name: read_text(name) for name in stored}
    if UnicodeDecodeError in names.values():
        return UnicodeDecodeError
    return {names[name]: matrix for name, matrix in stored.items()}


matrices = st.builds(base.MatrixData).map(lambda m: (setattr(m, "rows", 2), m)[1])
CALIBRATION = {
    "camera_serial": TEXT,
    "dvs_cols": integer_kind(UINT16),
    "dvs_rows": integer_kind(UINT16),
    "aps_cols": integer_kind(UINT16),
    "aps_rows": integer_kind(UINT16),
    "camera_matrix": Kind(matrix_verdict, valid=matrices),
    "dist_coeffs": Kind(matrix_verdict, valid=matrices),
    "affine_matrix": Kind(
        matrices_verdict,
        read_matrices,
        st.dictionaries(
            text_like.filter(lambda t: not isinstance(t, bytearray)), matrices, max_size=3
        ),
    ),
    "rotation": NUMBERS,
    "translation": NUMBERS,
}


@given(data=st.data())
def test_calibration_takes_only_values_of_each_property(data):
    parameters = base.CalibratorParameters()
    empty = comparable(base.MatrixData())
    stored = {name: 0 for name in ("dvs_cols", "dvs_rows", "aps_cols", "aps_rows")}
    stored.update(camera_serial=b"", camera_matrix=empty, dist_coeffs=empty, affine_matrix={})
    stored.update(rotation=[], translation=[])
    check_properties(parameters, CALIBRATION, data, stored, refusals=(TypeError, ValueError))
    expected = read_text(
        b"CalibratorParameters(camera_serial='%s', dvs=%dx%d, aps=%dx%d)"
        % tuple(
            stored[name]
            for name in ("camera_serial", "dvs_cols", "dvs_rows", "aps_cols", "aps_rows")
        )
    )
    if expected is UnicodeDecodeError:
        with pytest.raises(UnicodeDecodeError):
            repr(parameters)
    else:
        assert repr(parameters) == expected


FILE_INFO = {
    "start_timestamp": integer_kind(UINT64),
    "end_timestamp": integer_kind(UINT64),
    "aps_start_timestamp": integer_kind(UINT64),
    "max_events": integer_kind(UINT64),
    "dvs_width": integer_kind(UINT16),
    "dvs_height": integer_kind(UINT16),
    "serial_number": TEXT,
}


@given(data=st.data())
def test_file_info_takes_only_values_of_each_property(data):
    info = base.DvsFileInfo()
    stored = {name: 0 for name in FILE_INFO}
    stored["serial_number"] = b""
    check_properties(info, FILE_INFO, data, stored)
    expected = read_text(
        b"DvsFileInfo(start_timestamp=%d, serial_number='%s')"
        % (stored["start_timestamp"], stored["serial_number"])
    )
    if expected is UnicodeDecodeError:
        with pytest.raises(UnicodeDecodeError):
            repr(info)
    else:
        assert repr(info) == expected


CLASSES = [base.ApsFrame, base.MatrixData, base.CalibratorParameters, base.DvsFileInfo]


@pytest.mark.parametrize("cls", CLASSES[1:], ids=lambda cls: cls.__name__)
@given(arguments=st.lists(any_value, min_size=1, max_size=3))
def test_record_constructors_take_no_arguments(cls, arguments):
    with pytest.raises(TypeError):
        cls(*arguments)


LEVELS = list(base.LogLevelType.__members__.values())
LOGGER_METHODS = {"trace": 0, "debug": 1, "info": 2, "warn": 3, "error": 4, "fatal": 5}
LOGGER_LINES = {"log": 151, "trace": 154, "debug": 157, "info": 160, "warn": 163, "error": 166}
LOGGER_LINES.update(fatal=169)
MODULE_LINES = dict(zip(LOGGER_METHODS, (177, 180, 183, 186, 189, 192)))


@pytest.fixture
def logger():
    """The module's logger, set back to INFO afterwards."""
    logger = base.getLogger()
    yield logger
    logger.setLogLevel(base.INFO)


@settings(suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(
    threshold=st.one_of(any_value, enum_kind(base.LogLevelType).valid),
    entry=st.sampled_from(["log", *LOGGER_METHODS, *(f"log_{m}" for m in LOGGER_METHODS)]),
    level=st.one_of(any_value, enum_kind(base.LogLevelType).valid),
    message=st.one_of(any_value, text_like),
)
def test_logging_takes_only_levels_and_text(logger, capfdbinary, threshold, entry, level, message):
    before = logger.getLogLevel()
    if type(threshold) is base.LogLevelType:
        logger.setLogLevel(threshold)
    else:
        with pytest.raises(TypeError):
            logger.setLogLevel(threshold)
        assert logger.getLogLevel() == before
    capfdbinary.readouterr()
    if entry == "log":
        call, arguments, line = logger.log, (level, message), LOGGER_LINES["log"]
        level_value = int(level) if type(level) is base.LogLevelType else None
    elif entry.startswith("log_"):
        method = entry[4:]
        call, arguments, line = getattr(base, entry), (message,), MODULE_LINES[method]
        level_value = LOGGER_METHODS[method]
    else:
        call, arguments, line = getattr(logger, entry), (message,), LOGGER_LINES[entry]
        level_value = LOGGER_METHODS[entry]
    verdict, message_bytes = text_verdict(message)
    if verdict is REFUSE or level_value is None:
        with pytest.raises(TypeError):
            call(*arguments)
        assert capfdbinary.readouterr().err == b""
        return
    assert call(*arguments) is None
    written = capfdbinary.readouterr().err
    if level_value < int(logger.getLogLevel()):
        assert written == b""
        return
    shown = message_bytes.split(b"\x00")[0]
    name = LEVELS[level_value].name.encode()
    assert written.endswith(b" [%s] orvane_base_binding.cpp:%d: %s\n" % (name, line, shown))
    assert written.count(b"orvane_base_binding.cpp:") == 1
