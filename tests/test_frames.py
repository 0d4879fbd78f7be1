import array
import gc
import re

import numpy as np
import orvane_base_py as base
import pytest

ApsFrame = base.ApsFrame
U64_MAX = 2**64 - 1


def test_default_and_keyword_geometry():
    frame = ApsFrame()
    assert (frame.width(), frame.height(), frame.get_data_size()) == (3840, 2160, 3840 * 2160 * 3)
    assert (frame.exposure_start_timestamp, frame.exposure_end_timestamp) == (0, 0)
    frame = ApsFrame(640, 480)
    assert (frame.width(), frame.height(), frame.exposure_end_timestamp) == (640, 480, 0)
    frame = ApsFrame(height=2, width=3, end_ts=U64_MAX, start_ts=7)
    assert (frame.width(), frame.height()) == (3, 2)
    assert (frame.exposure_start_timestamp, frame.exposure_end_timestamp) == (7, U64_MAX)
    assert callable(frame.width)
    assert frame.data() == 0


def test_zero_geometry_has_no_pixels():
    frame = ApsFrame(0, 4)
    assert frame.data() is None
    assert frame.get_data_size() == 0
    with pytest.raises(RuntimeError) as excinfo:
        frame.data_numpy()
    assert str(excinfo.value) == "ApsFrame data pointer is null."


@pytest.mark.parametrize(
    "args", [(2**31, 1), (1, -(2**31) - 1), (1.0, 1), (1, 1, -1, 0), (1, 1, 0, 2**64), (1, 1, 0.5)]
)
def test_arguments_out_of_range_match_no_constructor(args):
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        ApsFrame(*args)


@pytest.mark.parametrize(
    ("args", "message"),
    [
        ((-1, 2), "ApsFrame width and height must not be negative"),
        ((2, -(2**31)), "ApsFrame width and height must not be negative"),
        ((2**31 - 1, 2**31 - 1), "ApsFrame size exceeds the largest possible buffer"),
        ((-1, 1, 0, 0, bytearray(3), 3), "ApsFrame width and height must not be negative"),
    ],
)
def test_impossible_geometry_is_value_error(args, message):
    with pytest.raises(ValueError, match=f"^{re.escape(message)}$"):
        ApsFrame(*args)


def test_geometry_no_memory_can_hold_is_memory_error():
    # 6 PiB: more than any address space, however the system overcommits.
    with pytest.raises(MemoryError):
        ApsFrame(2**31 - 1, 2**20)


def test_timestamps_are_unsigned_64_bit_properties():
    frame = ApsFrame(1, 1)
    frame.exposure_start_timestamp = U64_MAX
    frame.exposure_end_timestamp = 5
    for bad in (-1, 2**64, 1.0):
        with pytest.raises(TypeError, match="incompatible function arguments"):
            frame.exposure_start_timestamp = bad
    assert (frame.exposure_start_timestamp, frame.exposure_end_timestamp) == (U64_MAX, 5)


def test_view_shape_and_lifetime():
    frame = ApsFrame(4, 3)
    view = frame.data_numpy()
    assert view.shape == (3, 4, 3)
    assert view.strides == (12, 3, 1)
    assert view.dtype == np.uint8
    assert view.flags.writeable
    assert view.base is frame
    assert not view.any()
    del frame
    gc.collect()
    view[2, 3, 2] = 200
    assert view.base.data_numpy()[2, 3, 2] == 200


def test_writes_through_a_view_reach_the_frame_and_other_views():
    frame = ApsFrame(2, 2)
    first, second = frame.data_numpy(), frame.data_numpy()
    assert first is not second
    first[0, 0] = (10, 20, 30)
    first[1, 1, 2] = 77
    assert second[0, 0].tolist() == [10, 20, 30]
    assert second[1, 1, 2] == 77
    assert frame.data() == 10


def test_copy_shares_pixels_clone_duplicates_them():
    frame = ApsFrame(2, 1, 3, 4)
    copy = ApsFrame(frame)
    clone = frame.clone()
    same_copy = ApsFrame(other=frame)
    assert len({id(frame), id(copy), id(clone), id(same_copy)}) == 4
    frame.data_numpy()[0, 1, 0] = 9
    assert copy.data_numpy()[0, 1, 0] == 9
    assert same_copy.data_numpy()[0, 1, 0] == 9
    assert clone.data_numpy()[0, 1, 0] == 0
    for other in (copy, clone):
        assert (other.width(), other.height(), other.get_data_size()) == (2, 1, 6)
        assert (other.exposure_start_timestamp, other.exposure_end_timestamp) == (3, 4)
    copy.exposure_start_timestamp = 8
    assert frame.exposure_start_timestamp == 3


@pytest.mark.parametrize(
    "make_buffer",
    [
        bytes,
        bytearray,
        lambda data: memoryview(bytearray(data)),
        lambda data: np.frombuffer(bytes(data), dtype=np.uint8).reshape(2, -1),
        lambda data: array.array("B", data),
    ],
)
def test_own_data_copies_the_buffer(make_buffer):
    data = bytes(range(12))
    source = make_buffer(data)
    frame = ApsFrame(2, 2, 0, 0, source, 12, own_data=True)
    assert frame.get_data_size() == 12
    assert frame.data_numpy().tobytes() == data
    frame.data_numpy()[0, 0, 0] = 99
    assert bytes(source) == data


def test_own_data_false_refers_to_the_buffer_and_keeps_it():
    source = bytearray(range(12))
    frame = ApsFrame(2, 2, 1, 2, source, 12)
    view = frame.data_numpy()
    view[0, 0, 0] = 99
    assert source[0] == 99
    source[1] = 55
    assert view[0, 0, 1] == 55
    with pytest.raises(BufferError):
        source.extend(b"more")
    del frame, view
    gc.collect()
    source.extend(b"more")
    assert len(source) == 16


def test_external_buffer_outlives_its_variable():
    source = bytearray(b"\x01\x02\x03" * 4)
    array_source = np.arange(12, dtype=np.uint8)
    frame = ApsFrame(2, 2, 0, 0, source, 12, False)
    array_frame = ApsFrame(2, 2, 0, 0, array_source, 12)
    del source, array_source
    gc.collect()
    assert frame.data_numpy()[1, 1].tolist() == [1, 2, 3]
    assert array_frame.data_numpy()[1, 1].tolist() == [9, 10, 11]


def test_copies_keep_the_external_buffer_clones_do_not():
    source = bytearray(12)
    frame = ApsFrame(2, 2, 0, 0, source, 12)
    copy = ApsFrame(frame)
    clone = frame.clone()
    del frame
    gc.collect()
    with pytest.raises(BufferError):
        source.append(0)
    clone.data_numpy()[0, 0, 0] = 5
    assert source[0] == 0
    copy.data_numpy()[0, 0, 0] = 6
    assert source[0] == 6
    del copy
    gc.collect()
    source.append(0)
    assert clone.data_numpy()[0, 0, 0] == 5


NOT_BYTES = "external_data must be a C-contiguous buffer of bytes"


@pytest.mark.parametrize(
    ("source", "data_size", "message"),
    [
        (bytearray(11), 12, "data_size (12) exceeds the size of external_data (11 bytes)"),
        (
            bytes(12),
            12,
            "external_data is read-only; pass a writable buffer, or own_data=True to copy it",
        ),
        (np.zeros((3, 4), dtype=np.uint8)[:, ::2], 6, NOT_BYTES),
        (np.zeros(3, dtype=np.uint32), 12, NOT_BYTES),
    ],
)
def test_unusable_external_buffer(source, data_size, message):
    with pytest.raises(ValueError, match=f"^{re.escape(message)}$"):
        ApsFrame(2, 2, 0, 0, source, data_size, False)


@pytest.mark.parametrize("external_data", [7, None, "text", [1, 2, 3]])
def test_external_data_must_support_the_buffer_protocol(external_data):
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        ApsFrame(1, 1, 0, 0, external_data, 3)


def test_small_buffer_refuses_a_view():
    frame = ApsFrame(2, 2, 0, 0, bytearray(12), 11)
    assert frame.get_data_size() == 11
    message = "ApsFrame buffer holds 11 bytes, fewer than the 2 x 2 x 3 = 12 its geometry needs"
    with pytest.raises(ValueError, match=f"^{re.escape(message)}$"):
        frame.data_numpy()
    assert ApsFrame(2, 2, 0, 0, bytearray(12), 0).data() is None


def test_docstrings_and_text_signature():
    assert ApsFrame.data_numpy.__doc__.startswith(
        "data_numpy(self: orvane_base_py.ApsFrame) -> numpy.typing.NDArray[numpy.uint8]"
    )
    assert ApsFrame.data_numpy.__doc__.endswith(
        "Returns the image data as a read-only numpy array with shape (H, W, 3) in RGB888 format.\n"
    )
    assert ApsFrame.data.__doc__.endswith(
        "Returns a pointer to the raw pixel data (as uint8_t*). Use with caution.\n"
    )
