import gc
import re

import numpy as np
import orvane_base_py as base
import orvane_sim_py as sim
import pytest

MatrixData = base.MatrixData
CalibratorParameters = base.CalibratorParameters


def matrix(rows, cols, type_code, data):
    m = MatrixData()
    m.rows, m.cols, m.type, m.data = rows, cols, type_code, data
    return m


def test_matrix_text_forms():
    assert repr(MatrixData()) == "MatrixData(0x0, type=0, data_len=0)"
    assert str(MatrixData()) == "MatrixData(0x0, type=0)"
    three = matrix(3, 3, 6, range(9))
    assert repr(three) == "MatrixData(3x3, type=6, data_len=9)"
    assert str(three) == "MatrixData(3x3, type=6)"
    assert repr(matrix(-1, 2, -(2**31), [])) == "MatrixData(-1x2, type=-2147483648, data_len=0)"


def test_matrix_integer_members_are_signed_32_bit():
    m = MatrixData()
    m.rows, m.cols, m.type = 2**31 - 1, -(2**31), 6
    for bad in (2**31, -(2**31) - 1, 1.0, "1"):
        with pytest.raises(TypeError, match="incompatible function arguments"):
            m.rows = bad
    assert (m.rows, m.cols, m.type) == (2**31 - 1, -(2**31), 6)


@pytest.mark.parametrize(
    "values",
    [[1, 2.5, True], (1.0, 2.0), range(3), np.array([0.5, 1.5], dtype=np.float32), []],
)
def test_sequences_read_as_new_lists_of_float(values):
    expected = [float(v) for v in values]
    m = MatrixData()
    p = CalibratorParameters()
    m.data = p.rotation = p.translation = values
    for read in (lambda: m.data, lambda: p.rotation, lambda: p.translation):
        first = read()
        assert first == expected
        assert all(type(v) is float for v in first)
        first.append(9.0)
        assert read() == expected


@pytest.mark.parametrize(
    ("value", "detail"),
    [
        (1.0, " must be a sequence of numbers, not float"),
        ("123", " must be a sequence of numbers, not str"),
        (b"\x01", " must be a sequence of numbers, not bytes"),
        ({1.0}, " must be a sequence of numbers, not set"),
        ([1.0, "2"], "[1] must be a number, not str"),
        ([None], "[0] must be a number, not NoneType"),
        ([1, 10**400], "[1] is too large for a float"),
    ],
)
def test_bad_sequences_leave_the_record_unchanged(value, detail):
    m = matrix(1, 2, 6, [4.0, 5.0])
    with pytest.raises(TypeError, match=f"^{re.escape('MatrixData.data' + detail)}$"):
        m.data = value
    assert m.data == [4.0, 5.0]
    p = CalibratorParameters()
    p.rotation = [1.0]
    with pytest.raises(TypeError, match=f"^{re.escape('CalibratorParameters.rotation' + detail)}$"):
        p.rotation = value
    with pytest.raises(TypeError, match=re.escape("CalibratorParameters.translation")):
        p.translation = value
    assert (p.rotation, p.translation) == ([1.0], [])


class Number:
    """Converts to a float by raising `error`."""

    def __init__(self, error):
        self.error = error

    def __float__(self):
        raise self.error


class LyingLength:
    """Three numbers behind a length of 2**62."""

    def __len__(self):
        return 2**62

    def __getitem__(self, index):
        if index < 3:
            return 1.0
        raise IndexError(index)


@pytest.mark.parametrize(
    ("value", "error", "message"),
    [
        ([1.0, Number(ValueError("no"))], TypeError, "[1] must be a number, not Number"),
        ([Number(TypeError("no"))], TypeError, "[0] must be a number, not Number"),
        ([Number(KeyboardInterrupt("stop"))], KeyboardInterrupt, "stop"),
        ([Number(MemoryError("full"))], MemoryError, "full"),
        ([Number(ZeroDivisionError("zero"))], ZeroDivisionError, "zero"),
        (LyingLength(), ValueError, " has no item 3, though its length is 4611686018427387904"),
    ],
)
def test_only_conversion_failures_are_reported_as_bad_numbers(value, error, message):
    m = matrix(1, 2, 6, [4.0, 5.0])
    with pytest.raises(error) as excinfo:
        m.data = value
    if error is TypeError or error is ValueError:
        assert str(excinfo.value) == "MatrixData.data" + message
        assert excinfo.value.__cause__ is not None
    else:
        assert excinfo.value is value[0].error
    assert m.data == [4.0, 5.0]


def test_calibration_text_form_and_members():
    p = CalibratorParameters()
    assert repr(p) == "CalibratorParameters(camera_serial='', dvs=0x0, aps=0x0)"
    p.camera_serial = "AB12"
    p.dvs_cols, p.dvs_rows, p.aps_cols, p.aps_rows = 1280, 720, 1920, 1080
    assert repr(p) == "CalibratorParameters(camera_serial='AB12', dvs=1280x720, aps=1920x1080)"
    assert str(p) == repr(p)
    p.camera_serial = b"it's"
    assert repr(p).startswith("CalibratorParameters(camera_serial='it's', ")
    p.camera_serial = bytearray(b"XY")
    assert p.camera_serial == "XY"


def test_invalid_utf8_serial_raises_on_read():
    p = CalibratorParameters()
    p.camera_serial = b"\xff"
    with pytest.raises(UnicodeDecodeError):
        _ = p.camera_serial
    with pytest.raises(UnicodeDecodeError):
        repr(p)


def test_sensor_sizes_are_unsigned_16_bit():
    p = CalibratorParameters()
    p.dvs_cols = 65535
    for bad in (65536, -1, 2.0):
        with pytest.raises(TypeError, match="incompatible function arguments"):
            p.dvs_cols = bad
    assert p.dvs_cols == 65535


@pytest.mark.parametrize("member", ["camera_matrix", "dist_coeffs"])
def test_matrix_members_are_references_into_the_parent(member):
    p = CalibratorParameters()
    m = getattr(p, member)
    assert getattr(p, member) is m
    m.rows = 3
    m.data = [1.0, 2.0]
    assert getattr(p, member).rows == 3
    assert getattr(p, member).data == [1.0, 2.0]
    del p
    gc.collect()
    m.cols = 4
    assert repr(m) == "MatrixData(3x4, type=0, data_len=2)"


@pytest.mark.parametrize("member", ["camera_matrix", "dist_coeffs"])
def test_matrix_members_copy_on_assignment(member):
    p = CalibratorParameters()
    earlier = getattr(p, member)
    q = matrix(5, 1, 6, [1.0] * 5)
    setattr(p, member, q)
    q.rows = 7
    q.data = []
    assert repr(getattr(p, member)) == "MatrixData(5x1, type=6, data_len=5)"
    assert earlier.rows == 5
    with pytest.raises(TypeError, match="incompatible function arguments"):
        setattr(p, member, "not a matrix")
    assert getattr(p, member).rows == 5


def test_affine_matrix_reads_as_a_new_dict_of_copies():
    p = CalibratorParameters()
    assert p.affine_matrix == {}
    source = matrix(2, 3, 6, range(6))
    p.affine_matrix = {"b": source, b"a": MatrixData()}
    source.rows = 9
    matrices = p.affine_matrix
    assert list(matrices) == ["a", "b"]
    assert repr(matrices["b"]) == "MatrixData(2x3, type=6, data_len=6)"
    matrices["b"].rows = 8
    del matrices["a"]
    assert p.affine_matrix["b"].rows == 2
    assert list(p.affine_matrix) == ["a", "b"]
    assert p.affine_matrix["b"] is not p.affine_matrix["b"]


@pytest.mark.parametrize(
    ("value", "error", "message"),
    [
        ([("a", MatrixData())], TypeError, " must be a dict of str to MatrixData, not list"),
        ({1: MatrixData()}, TypeError, " key must be text (str, bytes or bytearray), not int"),
        ({"\ud800": MatrixData()}, ValueError, " key is a str that cannot be encoded as UTF-8"),
        ({"a": MatrixData(), "b": 1}, TypeError, "['b'] must be a MatrixData, not int"),
        ({"a": MatrixData(), b"a": MatrixData()}, ValueError, " names 'a' twice"),
        (
            {b"\xff": MatrixData(), b"\xff\x00": 1},
            TypeError,
            "['\\xff\\x00'] must be a MatrixData, not int",
        ),
        ({"a\x00": MatrixData(), b"a\x00": MatrixData()}, ValueError, " names 'a\\x00' twice"),
    ],
)
def test_bad_affine_matrix_leaves_the_record_unchanged(value, error, message):
    p = CalibratorParameters()
    p.affine_matrix = {"kept": MatrixData()}
    full = "CalibratorParameters.affine_matrix" + message
    with pytest.raises(error, match=f"^{re.escape(full)}$"):
        p.affine_matrix = value
    assert list(p.affine_matrix) == ["kept"]


def test_simulated_camera_calibration():
    p = sim.Camera(serial="CAL-7").calibration()
    assert repr(p) == "CalibratorParameters(camera_serial='CAL-7', dvs=1280x720, aps=1280x720)"
    assert repr(p.camera_matrix) == "MatrixData(3x3, type=6, data_len=9)"
    assert p.camera_matrix.data[2] == 640.0
    assert p.camera_matrix.data[5] == 360.0
    assert repr(p.dist_coeffs) == "MatrixData(1x5, type=6, data_len=5)"
    assert list(p.affine_matrix) == ["dvs_to_aps"]
    assert (p.rotation, p.translation) == ([0.0] * 3, [0.0] * 3)
