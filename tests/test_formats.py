import operator
import re

import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest

Encoding = hal.RawEventStreamEncodingType
Format = hal.RawEventStreamFormat


def test_encoding_type_is_strict():
    assert int(Encoding.EVT3) == 0
    assert int(Encoding.UNKNOWN) == -1
    assert operator.index(Encoding.UNKNOWN) == -1
    assert hash(Encoding.UNKNOWN) == hash(-1)
    assert Encoding.EVT3 != 0
    assert Encoding.EVT3 == Encoding.EVT3
    assert Encoding.EVT3 != Encoding.UNKNOWN
    assert not hasattr(hal, "EVT3")


def test_registered_after_camera_description():
    names = list(vars(hal))
    at = names.index("CameraDescription")
    assert names[at + 1 : at + 3] == ["RawEventStreamEncodingType", "RawEventStreamFormat"]


@pytest.mark.parametrize(
    ("text", "encoding", "name"),
    [
        ("EVT3;height=720;width=1280", Encoding.EVT3, "EVT3"),
        ("EVT21;height=480", Encoding.UNKNOWN, "EVT21"),
        (" EVT3", Encoding.UNKNOWN, " EVT3"),
        (b"EVT3;width=640", Encoding.EVT3, "EVT3"),
        (bytearray(b"EVT3"), Encoding.EVT3, "EVT3"),
    ],
)
def test_encoding(text, encoding, name):
    fmt = Format(text)
    assert fmt.get_encoding_type() == encoding
    assert fmt.get_encoding_type_str() == name


def test_options():
    fmt = Format("EVT3;height=720;width=1280;note=; pad = x ")
    assert fmt["height"] == "720"
    assert fmt[b"width"] == "1280"
    assert fmt.__getitem__(name="note") == ""
    assert fmt[" pad "] == " x "
    assert fmt.contains("height")
    assert fmt.contains(name=bytearray(b"width"))
    assert not fmt.contains("pad")
    assert not fmt.contains("EVT3")


def test_absent_option_raises_index_error():
    fmt = Format("EVT3;height=720")
    with pytest.raises(IndexError) as excinfo:
        fmt["width"]
    assert str(excinfo.value) == "raw event stream format has no option 'width'"


def test_messages_show_raw_bytes_escaped():
    fmt = Format(b"EVT3;\xc3\xa9=1")
    with pytest.raises(IndexError) as excinfo:
        fmt[b"\xff\x00x"]
    assert str(excinfo.value) == "raw event stream format has no option '\\xff\\x00x'"
    repeated = "raw event stream format option '\xe9' is repeated"
    with pytest.raises(ValueError, match=f"^{re.escape(repeated)}$"):
        Format(b"EVT3;\xc3\xa9=1;\xc3\xa9=2;\xfe")
    without_equals = "raw event stream format option '\\xfe' has no '='"
    with pytest.raises(ValueError, match=f"^{re.escape(without_equals)}$"):
        Format(b"EVT3;\xfe")


@pytest.mark.parametrize(
    ("text", "message"),
    [
        ("", "raw event stream format is empty"),
        ("EVT3;height", "raw event stream format option 'height' has no '='"),
        ("EVT3;", "raw event stream format option '' has no '='"),
        ("EVT3;=1", "raw event stream format option '=1' has an empty key"),
        ("EVT3;a=1;b=2;a=3", "raw event stream format option 'a' is repeated"),
    ],
)
def test_malformed_text_raises_value_error(text, message):
    with pytest.raises(ValueError, match=f"^{re.escape(message)}$"):
        Format(text)


def test_wrong_arguments_raise_type_error():
    fmt = Format("EVT3;height=720")
    with pytest.raises(TypeError, match="incompatible function arguments"):
        fmt[0]
    with pytest.raises(TypeError, match="incompatible function arguments"):
        "height" in fmt  # noqa: B015
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        Format(text="EVT3")
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        Format(3)
    with pytest.raises(TypeError, match="incompatible function arguments"):
        fmt.contains(None)


def test_docstrings():
    assert Format.contains.__doc__.endswith("Check if the format contains a specific option\n")
    assert Format.__getitem__.__doc__.endswith("Get the value of the option by name\n")


def test_simulated_camera_stream_format():
    fmt = sim.Camera().stream_format()
    assert isinstance(fmt, Format)
    assert fmt.get_encoding_type() == Encoding.EVT3
    assert (fmt["width"], fmt["height"]) == ("1280", "720")
