import operator

import orvane_hal_py
import pytest
from orvane_hal_py import CAMERA_TYPE, INTERFACE_TYPE, CameraDescription

FRESH_TEXT = "Product: - \nSerial:  \nInterface: USB"


def test_interface_type_is_convertible():
    assert INTERFACE_TYPE.USB == 0
    assert int(INTERFACE_TYPE.USB) == 0
    assert operator.index(INTERFACE_TYPE.USB) == 0
    assert hash(INTERFACE_TYPE.USB) == 0
    assert list(INTERFACE_TYPE.__members__) == ["USB"]


def test_camera_type_members_values_and_unnamed_value():
    assert list(CAMERA_TYPE.__members__) == ["TARN", "Glimra", "Pairline", "Sorel"]
    assert [int(member) for member in CAMERA_TYPE.__members__.values()] == [0, 2, 3, 4]
    assert CAMERA_TYPE.Glimra == 2
    assert CAMERA_TYPE.Glimra != 3
    assert hash(CAMERA_TYPE.Sorel) == 4
    unnamed = CAMERA_TYPE(1)
    assert int(unnamed) == 1
    assert unnamed.name == "???"
    assert str(unnamed) == "CAMERA_TYPE.???"


def test_enumerations_are_not_arithmetic_nor_exported():
    with pytest.raises(TypeError):
        _ = CAMERA_TYPE.Glimra < CAMERA_TYPE.Sorel
    with pytest.raises(TypeError):
        _ = CAMERA_TYPE.Glimra | CAMERA_TYPE.Sorel
    assert not hasattr(orvane_hal_py, "USB")
    assert not hasattr(orvane_hal_py, "TARN")


def test_members_are_registered_in_order():
    own = [name for name in vars(CameraDescription) if not name.startswith("_")]
    assert own == ["serial", "product", "manufacturer", "vid", "pid", "interfaceType"]
    dunders = [
        name for name in vars(CameraDescription) if name in ("__init__", "__str__", "__repr__")
    ]
    assert dunders == ["__init__", "__str__"]


def test_fresh_record_values_and_text():
    description = CameraDescription()
    assert (description.serial, description.product, description.manufacturer) == ("", "", "")
    assert (description.vid, description.pid) == (0, 0)
    assert description.interfaceType == INTERFACE_TYPE.USB
    assert str(description) == FRESH_TEXT
    assert repr(description).startswith("<orvane_hal_py.CameraDescription object at ")


def test_no_constructor_arguments():
    with pytest.raises(TypeError):
        CameraDescription("serial")


def test_text_form_joins_manufacturer_and_product():
    description = CameraDescription()
    description.manufacturer = "M1"
    description.product = "P1"
    description.serial = "S1"
    assert str(description) == "Product: M1-P1 \nSerial: S1 \nInterface: USB"
    description.manufacturer = "Other"
    assert str(description).startswith("Product: Other-P1 \n")


@pytest.mark.parametrize("field", ["vid", "pid"])
def test_sixteen_bit_ids_accept_range_and_keep_value_on_refusal(field):
    description = CameraDescription()
    setattr(description, field, 65535)
    assert getattr(description, field) == 65535
    setattr(description, field, True)
    assert getattr(description, field) == 1
    for bad in (65536, -1, 2.0, "3", None, 2**64):
        with pytest.raises(TypeError):
            setattr(description, field, bad)
        assert getattr(description, field) == 1


@pytest.mark.parametrize("field", ["serial", "product", "manufacturer"])
def test_text_members_take_str_bytes_and_bytearray(field):
    description = CameraDescription()
    setattr(description, field, "Kamera-ü")
    assert getattr(description, field) == "Kamera-ü"
    setattr(description, field, b"raw")
    assert getattr(description, field) == "raw"
    setattr(description, field, bytearray("ü".encode()))
    assert getattr(description, field) == "ü"
    for bad in (5, None, ["a"], "\ud800"):
        with pytest.raises(TypeError):
            setattr(description, field, bad)
        assert getattr(description, field) == "ü"


def test_invalid_utf8_is_refused_on_the_way_out():
    description = CameraDescription()
    description.serial = b"\xff\xfe"
    with pytest.raises(UnicodeDecodeError):
        _ = description.serial
    with pytest.raises(UnicodeDecodeError):
        str(description)


def test_embedded_nul_survives_the_round_trip():
    description = CameraDescription()
    description.product = "a\0b"
    assert description.product == "a\0b"


def test_interface_type_takes_only_members_and_reads_a_copy():
    description = CameraDescription()
    value = description.interfaceType
    assert isinstance(value, INTERFACE_TYPE)
    for bad in (0, CAMERA_TYPE.TARN, None, "USB"):
        with pytest.raises(TypeError):
            description.interfaceType = bad
    description.interfaceType = INTERFACE_TYPE.USB
    assert description.interfaceType is not value
    assert description.interfaceType == value
