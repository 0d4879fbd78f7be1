"""Random values of every kind at every setter, constructor and method of orvane_hal_py."""

import math

import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest
from fuzz_values import (
    ACCEPT,
    BOOL,
    INT32,
    REAL32,
    REFUSE,
    TEXT,
    TEXT_LIST,
    UINT16,
    any_value,
    bool_verdict,
    check_properties,
    comparable,
    enum_kind,
    integer_kind,
    integer_verdict,
    narrow_to_float32,
    raw_bytes,
    read_text,
    real_verdict,
    text_like,
    text_verdict,
    texts,
)
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

DESCRIPTION = {
    "serial": TEXT,
    "product": TEXT,
    "manufacturer": TEXT,
    "vid": integer_kind(UINT16),
    "pid": integer_kind(UINT16),
    "interfaceType": enum_kind(hal.INTERFACE_TYPE),
}


def text_form(stored_bytes):
    return read_text(stored_bytes) if stored_bytes is not None else None


@given(st.data())
def test_camera_description_takes_only_values_of_each_property(data):
    description = hal.CameraDescription()
    stored = {"serial": b"", "product": b"", "manufacturer": b"", "vid": 0, "pid": 0}
    stored["interfaceType"] = hal.INTERFACE_TYPE.USB
    check_properties(description, DESCRIPTION, data, stored)
    expected = read_text(
        b"Product: %s-%s \nSerial: %s \nInterface: USB"
        % (stored["manufacturer"], stored["product"], stored["serial"])
    )
    if expected is UnicodeDecodeError:
        with pytest.raises(UnicodeDecodeError):
            str(description)
    else:
        assert str(description) == expected


def plain_format(text):
    """The encoding and options of a format text, or None when it is no format."""
    if not text:
        return None
    encoding, *pieces = text.split(b";")
    options = {}
    for piece in pieces:
        key, equals, value = piece.partition(b"=")
        if not equals or not key or key in options:
            return None
        options[key] = value
    return encoding, options


# Format texts built from option-like pieces, so that many of them parse.
format_texts = st.lists(st.sampled_from([b"k=v", b"a=", b"=", b"x", b"k=\xff", b"a=b=c"])).map(
    lambda pieces: b";".join([b"EVT3", *pieces])
)


@given(
    text=st.one_of(any_value, text_like, format_texts),
    names=st.lists(st.one_of(any_value, text_like), max_size=4),
)
def test_raw_event_stream_format_parses_any_text_or_refuses_it(text, names):
    verdict, text_bytes = text_verdict(text)
    if verdict is REFUSE:
        with pytest.raises(TypeError):
            hal.RawEventStreamFormat(text)
        return
    parsed = plain_format(text_bytes)
    if parsed is None:
        with pytest.raises(ValueError, match=r"^raw event stream format "):
            hal.RawEventStreamFormat(text)
        return
    encoding, options = parsed
    fmt = hal.RawEventStreamFormat(text)
    if read_text(encoding) is UnicodeDecodeError:
        with pytest.raises(UnicodeDecodeError):
            fmt.get_encoding_type_str()
    else:
        assert fmt.get_encoding_type_str() == encoding.decode()
    expected_type = "EVT3" if encoding == b"EVT3" else "UNKNOWN"
    assert fmt.get_encoding_type() == hal.RawEventStreamEncodingType.__members__[expected_type]
    for name in [*names, *options]:
        verdict, name_bytes = text_verdict(name)
        if verdict is REFUSE:
            with pytest.raises(TypeError):
                fmt.contains(name)
            with pytest.raises(TypeError):
                fmt[name]
            continue
        assert fmt.contains(name) is (name_bytes in options)
        if name_bytes not in options:
            with pytest.raises(IndexError):
                fmt[name]
        elif read_text(options[name_bytes]) is UnicodeDecodeError:
            with pytest.raises(UnicodeDecodeError):
                fmt[name]
        else:
            assert fmt[name] == options[name_bytes].decode()


TOOL_INFO = {
    "tool_type": enum_kind(hal.ToolType),
    "parameter_names": TEXT_LIST,
    "description": TEXT,
}


@given(st.data())
def test_tool_info_takes_only_values_of_each_property(data):
    info = hal.ToolInfo()
    stored = {"tool_type": hal.ToolType.BIAS, "parameter_names": [], "description": b""}
    check_properties(info, TOOL_INFO, data, stored)
    expected = read_text(
        b"ToolType: %s\nDescription: %s\nParameters: %s"
        % (
            stored["tool_type"].name.encode(),
            stored["description"],
            b"".join(name + b" " for name in stored["parameter_names"]),
        )
    )
    if expected is UnicodeDecodeError:
        with pytest.raises(UnicodeDecodeError):
            str(info)
    else:
        assert str(info) == expected


def number_text(number, is_float):
    """As C's "%f" and "%d" print it: a NaN keeps its sign there."""
    if is_float and math.isnan(number):
        return "-nan" if math.copysign(1.0, number) < 0 else "nan"
    return f"{number:f}" if is_float else str(number)


RECORDS = {
    hal.BasicParameterInfo: {
        "name": TEXT,
        "description": TEXT,
        "type": enum_kind(hal.ToolParameterType),
    },
    hal.IntParameterInfo: {
        "min": integer_kind(INT32),
        "max": integer_kind(INT32),
        "default_value": integer_kind(INT32),
        "unit": TEXT,
    },
    hal.FloatParameterInfo: {"min": REAL32, "max": REAL32, "default_value": REAL32, "unit": TEXT},
    hal.BoolParameterInfo: {"default_value": BOOL},
    hal.EnumParameterInfo: {"options": TEXT_LIST, "default_value": TEXT},
    hal.StringParameterInfo: {"default_value": TEXT},
}
FRESH = {
    "name": b"",
    "description": b"",
    "type": hal.ToolParameterType.INT,
    "unit": b"",
    "options": [],
}


def record_text(record_class, stored):
    if record_class is hal.BasicParameterInfo:
        return b"Name: %s Description: %s Type: %s" % (
            stored["name"],
            stored["description"],
            stored["type"].name.encode(),
        )
    if record_class in (hal.IntParameterInfo, hal.FloatParameterInfo):
        is_float = record_class is hal.FloatParameterInfo
        numbers = [number_text(stored[n], is_float) for n in ("min", "max", "default_value")]
        return b"Min: %s Max: %s Default: %s Unit: %s" % (*map(str.encode, numbers), stored["unit"])
    if record_class is hal.BoolParameterInfo:
        return b"Default: 1" if stored["default_value"] else b"Default: 0"
    if record_class is hal.EnumParameterInfo:
        return b"Options: %d Default: %s" % (len(stored["options"]), stored["default_value"])
    return b"Default: " + stored["default_value"]


def clamp(record, value, bounds_of):
    low, high = bounds_of(record.min), bounds_of(record.max)
    if value < low:
        return low
    if high < value:
        return high
    return value


@pytest.mark.parametrize("record_class", list(RECORDS), ids=lambda cls: cls.__name__)
@given(data=st.data())
def test_parameter_records_take_only_values_of_each_property(record_class, data):
    kinds = RECORDS[record_class]
    record = record_class()
    fresh_numbers = 0.0 if record_class is hal.FloatParameterInfo else 0
    stored = {name: FRESH.get(name, fresh_numbers) for name in kinds}
    if record_class in (hal.BoolParameterInfo,):
        stored["default_value"] = False
    if record_class in (hal.EnumParameterInfo, hal.StringParameterInfo):
        stored["default_value"] = b""
    check_properties(record, kinds, data, stored)
    expected = read_text(record_text(record_class, stored))
    if expected is UnicodeDecodeError:
        with pytest.raises(UnicodeDecodeError):
            str(record)
    else:
        assert str(record) == expected
    if record_class is hal.IntParameterInfo:
        value = data.draw(st.one_of(any_value, integer_kind(INT32).valid), label="clamped")
        verdict, number = integer_verdict(value, INT32)
        check_constraint_value(record, value, verdict, number, lambda bound: bound)
    if record_class is hal.FloatParameterInfo:
        value = data.draw(st.one_of(any_value, REAL32.valid), label="clamped")
        verdict, number = real_verdict(value)
        check_constraint_value(record, value, verdict, number, narrow_to_float32)


def check_constraint_value(record, value, verdict, number, bounds_of):
    try:
        clamped = record.constraint_value(value)
    except TypeError:
        assert verdict != ACCEPT
        return
    assert verdict != REFUSE
    expected = clamp(record, number, bounds_of)
    if isinstance(expected, float) and math.isnan(expected):
        assert math.isnan(clamped)
    else:
        assert clamped == expected


ENUMS = {
    hal.INTERFACE_TYPE: (0, 2**32 - 1),
    hal.CAMERA_TYPE: (0, 2**32 - 1),
    hal.RawEventStreamEncodingType: INT32,
    hal.ToolType: INT32,
    hal.ToolParameterType: INT32,
}


@pytest.mark.parametrize("enum", list(ENUMS), ids=lambda enum: enum.__name__)
@given(value=st.one_of(any_value, st.sampled_from([0, 1, 2, -1, 2**31, 2**32])))
def test_enumerations_are_made_only_from_integers_in_range(enum, value):
    verdict, number = integer_verdict(value, ENUMS[enum])
    try:
        member = enum(value)
    except TypeError:
        assert verdict != ACCEPT
        return
    assert verdict != REFUSE
    assert int(member) == number


CLASSES = [
    hal.CameraDescription,
    hal.ToolInfo,
    *RECORDS,
    hal.CameraToolBasePrivate,
    hal.Imx636Biases,
    hal.Imx636ROI,
]


@pytest.mark.parametrize("cls", CLASSES, ids=lambda cls: cls.__name__)
@given(arguments=st.lists(any_value, min_size=1, max_size=3))
def test_constructors_take_no_arguments(cls, arguments):
    with pytest.raises(TypeError):
        cls(*arguments)


@given(value=st.one_of(any_value, enum_kind(hal.ToolParameterType).valid))
def test_tool_parameter_type_to_string_takes_only_its_enumeration(value):
    if type(value) is hal.ToolParameterType:
        assert hal.tool_parameter_type_to_string(value) == value.name
    else:
        with pytest.raises(TypeError):
            hal.tool_parameter_type_to_string(value)


@given(prefix=st.one_of(any_value, text_like))
def test_camera_tool_takes_a_text_prefix(prefix):
    verdict, _ = text_verdict(prefix)
    if verdict is REFUSE or isinstance(prefix, (bytes, bytearray)):
        # A str only: its argument is a std::string, which also takes bytes.
        try:
            hal.CameraTool(prefix)
        except TypeError:
            assert verdict is REFUSE
        return
    tool = hal.CameraTool(prefix)
    message = 'Tried to call pure virtual function "orvane::CameraTool::getToolInfo"'
    with pytest.raises(RuntimeError, match=f"^{message}$"):
        tool.get_tool_info()


TOOL_KINDS = ["Biases", "TriggerIn", "AntiFlicker", "EventRateControl", "EventTrailFilter", "ROI"]
RECORD_CLASSES = {
    hal.ToolParameterType.INT: hal.IntParameterInfo,
    hal.ToolParameterType.FLOAT: hal.FloatParameterInfo,
    hal.ToolParameterType.BOOL: hal.BoolParameterInfo,
    hal.ToolParameterType.STRING: hal.StringParameterInfo,
    hal.ToolParameterType.ENUM: hal.EnumParameterInfo,
}


def value_verdict(kind, value):
    if kind == hal.ToolParameterType.INT:
        return integer_verdict(value, INT32)
    if kind == hal.ToolParameterType.FLOAT:
        return real_verdict(value)
    if kind == hal.ToolParameterType.BOOL:
        return bool_verdict(value)
    return text_verdict(value)


def acceptable(kind, record, value):
    if kind in (hal.ToolParameterType.INT, hal.ToolParameterType.FLOAT):
        return record.min <= value <= record.max
    if kind == hal.ToolParameterType.ENUM:
        return value in [option.encode() for option in record.options]
    return True


def reading(kind, value):
    return read_text(value) if isinstance(value, bytes) else comparable(value)


def current_values(tool):
    values = {}
    for name in tool.get_all_param_info():
        try:
            values[name] = comparable(tool.get_param(name))
        except UnicodeDecodeError:
            values[name] = UnicodeDecodeError
    return values


def make_tool(kind, data):
    if kind != "registry":
        return sim.make_tool(kind, data.draw(st.sampled_from(["", "pre_"]), label="prefix"))
    text = hal.StringParameterInfo()
    text.default_value = "start"
    choice = hal.EnumParameterInfo()
    choice.options = ["a", "b\x00c", "é"]
    params = [("text", "", text), ("choice", "", choice), ("gain", "", hal.FloatParameterInfo())]
    return sim.make_registry_tool("r_", params)


@pytest.mark.parametrize("kind", [*TOOL_KINDS, "registry"])
@settings(suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(data=st.data())
def test_tool_parameters_take_only_acceptable_values(kind, data, capfdbinary):
    tool = make_tool(kind, data)
    infos = tool.get_all_param_info()
    name = data.draw(st.one_of(st.sampled_from(list(infos)), text_like, any_value), label="name")
    value = data.draw(any_value, label="value")
    before = current_values(tool)
    capfdbinary.readouterr()
    name_verdict, name_bytes = text_verdict(name)
    if name_verdict is REFUSE:
        for call in (tool.get_param, tool.get_param_info, lambda n: tool.set_param(n, value)):
            with pytest.raises(TypeError):
                call(name)
        assert current_values(tool) == before
        return
    info = {key.encode(): each for key, each in infos.items()}.get(name_bytes)
    if info is None:
        assert tool.get_param(name) == (False, None)
        assert tool.get_param_info(name) == (False, None)
        assert tool.set_param(name, value) is False
        shown = name_bytes.split(b"\x00")[0]
        assert capfdbinary.readouterr().err.endswith(
            b" [ERR] camera_tool_binding.cpp:137: Parameter %s not found\n" % shown
        )
        assert current_values(tool) == before
        return
    ok, record = tool.get_param_info(name)
    assert ok is True
    assert type(record) is RECORD_CLASSES[info.type]
    verdict, converted = value_verdict(info.type, value)
    try:
        taken = tool.set_param(name, value)
    except RuntimeError:
        assert verdict != ACCEPT, f"{value!r} was not converted"
        assert capfdbinary.readouterr().err == b""
        assert current_values(tool) == before
        return
    assert verdict != REFUSE, f"{value!r} was converted"
    assert taken is acceptable(info.type, record, converted)
    after = current_values(tool)
    if taken:
        before[name] = comparable((True, reading(info.type, converted)))
        if before[name][1] is UnicodeDecodeError:
            before[name] = UnicodeDecodeError
    else:
        assert b"[WARN] ParameterChecks.cpp:" in capfdbinary.readouterr().err
    assert after == before


class ToolAnswering(hal.CameraTool):
    """A Python tool whose overrides answer whatever they were given."""

    def __init__(self, tool_info, all_info, param_info):
        super().__init__("")
        self.answers = (tool_info, all_info, param_info)

    def getToolInfo(self):
        return self.answers[0]

    def getAllParamInfo(self):
        return self.answers[1]

    def getParamInfo(self, name, info):
        return self.answers[2]


def basic_info(kind):
    info = hal.BasicParameterInfo()
    info.type = kind
    return info


parameter_maps = st.dictionaries(
    st.one_of(texts, raw_bytes), st.sampled_from(list(RECORD_CLASSES)).map(basic_info), max_size=3
)
FALSE_VALUES = {
    hal.ToolParameterType.INT: 0,
    hal.ToolParameterType.FLOAT: 0.0,
    hal.ToolParameterType.BOOL: False,
    hal.ToolParameterType.STRING: "",
    hal.ToolParameterType.ENUM: "",
}


def map_verdict(answer):
    if not isinstance(answer, dict):
        return (REFUSE if isinstance(answer, (list, tuple, str, bytes, int, float)) else None), None
    stored = {}
    for key, info in answer.items():
        verdict, key_bytes = text_verdict(key)
        if verdict is REFUSE or type(info) is not hal.BasicParameterInfo:
            return REFUSE, None
        stored[key_bytes] = info
    return ACCEPT, stored


@given(
    tool_info=st.one_of(any_value, st.builds(hal.ToolInfo)),
    all_info=st.one_of(any_value, parameter_maps),
    param_info=st.one_of(any_value, st.booleans(), st.none()),
    value=any_value,
    data=st.data(),
)
def test_python_tool_answers_reach_callers_converted_or_refused(
    tool_info, all_info, param_info, value, data
):
    tool = ToolAnswering(tool_info, all_info, param_info)
    if isinstance(tool_info, hal.ToolInfo):
        assert tool.get_tool_info().description == tool_info.description
        assert sim.tool_info_from_thread(tool).description == tool_info.description
    else:
        with pytest.raises(RuntimeError):
            tool.get_tool_info()
        with pytest.raises(RuntimeError):
            sim.tool_info_from_thread(tool)
    verdict, stored = map_verdict(all_info)
    try:
        everything = tool.get_all_param_info()
    except RuntimeError:
        assert verdict is not ACCEPT
        return
    except UnicodeDecodeError:
        assert any(read_text(key) is UnicodeDecodeError for key in stored)
        return
    assert verdict is not REFUSE
    if stored is not None:
        assert sorted(everything) == sorted(read_text(key) for key in stored)
    name = data.draw(st.one_of(text_like, st.sampled_from([*everything, "absent"])), label="name")
    name_verdict, name_bytes = text_verdict(name)
    if name_verdict is REFUSE:
        with pytest.raises(TypeError):
            tool.get_param(name)
        return
    info = everything.get(read_text(name_bytes))
    if info is None:
        assert tool.get_param(name) == (False, None)
        return
    assert tool.get_param(name) == (False, FALSE_VALUES[info.type])
    truth, _ = bool_verdict(param_info)
    try:
        ok, record = tool.get_param_info(name)
    except RuntimeError:
        assert truth is not ACCEPT
    else:
        assert ok is bool(param_info)
        assert type(record) is RECORD_CLASSES[info.type]
    conversion, _ = value_verdict(info.type, value)
    try:
        assert tool.set_param(name, value) is False
    except RuntimeError:
        assert conversion is not ACCEPT
    else:
        assert conversion is not REFUSE
