"""Random values of every kind at every function and method of orvane_sim_py."""

import orvane_base_py as base
import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest
from conftest import run_in_child
from fuzz_values import (
    ACCEPT,
    BOUND_CLASSES,
    INT16,
    OBJECT_MAKERS,
    REFUSE,
    UINT8,
    UINT16,
    UINT64,
    any_value,
    enum_kind,
    integer_kind,
    integer_verdict,
    read_text,
    text_like,
    text_verdict,
)
from hypothesis import given, settings
from hypothesis import strategies as st

KINDS = ["Biases", "TriggerIn", "AntiFlicker", "EventRateControl", "EventTrailFilter", "ROI"]
TOOL_CLASSES = dict(
    zip(
        KINDS,
        (
            hal.Imx636Biases,
            hal.Imx636TriggerIn,
            hal.Imx636AntiFlicker,
            hal.Imx636EventRateControl,
            hal.Imx636EventTrailFilter,
            hal.Imx636ROI,
        ),
    )
)
RECORDS = [
    hal.IntParameterInfo,
    hal.FloatParameterInfo,
    hal.BoolParameterInfo,
    hal.EnumParameterInfo,
    hal.StringParameterInfo,
]
parameter_specs = st.lists(
    st.one_of(
        st.tuples(
            st.one_of(text_like, st.sampled_from(["a", "b", b"a"])),
            text_like,
            st.one_of(st.sampled_from(RECORDS).map(lambda cls: cls()), any_value),
        ),
        any_value,
    ),
    max_size=3,
)


def params_verdict(params, prefix):
    """The registry keys that `params` make, or the error they must raise."""
    if params is None:
        return ACCEPT, None
    if isinstance(params, bytearray) and not params:
        # The binding layer takes any sequence but text; an empty one is no parameters.
        return ACCEPT, []
    if not isinstance(params, (list, tuple)):
        return TypeError, None
    keys = []
    for declaration in params:
        if not isinstance(declaration, (list, tuple)) or len(declaration) != 3:
            return TypeError, None
        name, description, record = declaration
        name_verdict, name_bytes = text_verdict(name)
        if name_verdict is REFUSE or text_verdict(description)[0] is REFUSE:
            return TypeError, None
        if type(record) not in RECORDS:
            return TypeError, None
        keys.append(prefix + name_bytes)
    if len(set(keys)) != len(keys):
        return ValueError, None
    return ACCEPT, keys


@given(
    kind=st.one_of(st.sampled_from(KINDS), text_like, any_value),
    prefix=st.one_of(st.sampled_from(["", "p_"]), text_like, any_value),
    params=st.one_of(st.none(), parameter_specs, any_value),
)
def test_make_tool_builds_a_tool_or_refuses_its_arguments(kind, prefix, params):
    kind_verdict, kind_bytes = text_verdict(kind)
    prefix_verdict, prefix_bytes = text_verdict(prefix)
    if REFUSE in (kind_verdict, prefix_verdict):
        with pytest.raises(TypeError):
            sim.make_tool(kind, prefix, params)
        return
    verdict, keys = params_verdict(params, prefix_bytes)
    try:
        tool = sim.make_tool(kind, prefix, params)
    except TypeError:
        assert verdict is TypeError
        return
    except ValueError:
        assert verdict is ValueError or kind_bytes not in [k.encode() for k in KINDS]
        return
    assert verdict is ACCEPT
    assert type(tool) is TOOL_CLASSES[kind_bytes.decode()]
    if keys is not None:
        names = {key[len(prefix_bytes) :] for key in keys}
        readable = [read_text(name) for name in names]
        if UnicodeDecodeError in readable:
            with pytest.raises(UnicodeDecodeError):
                tool.get_all_param_info()
        else:
            assert sorted(tool.get_all_param_info()) == sorted(readable)


@given(prefix=st.one_of(text_like, any_value), params=st.one_of(parameter_specs, any_value))
def test_make_registry_tool_builds_a_registry_or_refuses(prefix, params):
    prefix_verdict, prefix_bytes = text_verdict(prefix)
    # Unlike make_tool, the registry tool has no default parameter set to take for None.
    verdict, keys = (
        (TypeError, None) if params is None else params_verdict(params, prefix_bytes or b"")
    )
    try:
        tool = sim.make_registry_tool(prefix, params)
    except TypeError:
        assert prefix_verdict is REFUSE or verdict is TypeError
        return
    except ValueError:
        assert verdict is ValueError
        return
    assert verdict is ACCEPT
    assert prefix_verdict is not REFUSE
    assert isinstance(tool, hal.CameraToolBasePrivate)
    info = tool.get_tool_info()
    if any(read_text(key) is UnicodeDecodeError for key in keys):
        with pytest.raises(UnicodeDecodeError):
            info.parameter_names  # noqa: B018
    else:
        assert info.parameter_names == sorted(read_text(key) for key in keys)


@given(
    x=st.one_of(any_value, integer_kind(UINT16).valid),
    y=st.one_of(any_value, integer_kind(UINT16).valid),
    p=st.one_of(any_value, integer_kind(UINT8).valid),
    t=st.one_of(any_value, integer_kind(UINT64).valid),
    polarity=st.one_of(any_value, integer_kind(INT16).valid),
    trigger_id=st.one_of(any_value, integer_kind(INT16).valid),
)
def test_event_records_are_made_only_from_values_in_range(x, y, p, t, polarity, trigger_id):
    verdicts = [
        integer_verdict(v, b) for v, b in ((x, UINT16), (y, UINT16), (p, UINT8), (t, UINT64))
    ]
    try:
        event = sim.event2d(x, y, p, t)
    except TypeError:
        assert not all(verdict is ACCEPT for verdict, _ in verdicts)
    else:
        assert all(verdict is not REFUSE for verdict, _ in verdicts)
        assert sim.event2d_fields(event) == tuple(number for _, number in verdicts)
    verdicts = [
        integer_verdict(v, b) for v, b in ((polarity, INT16), (t, UINT64), (trigger_id, INT16))
    ]
    try:
        trigger = sim.trigger(polarity, t, trigger_id)
    except TypeError:
        assert not all(verdict is ACCEPT for verdict, _ in verdicts)
    else:
        assert all(verdict is not REFUSE for verdict, _ in verdicts)
        assert sim.trigger_fields(trigger) == tuple(number for _, number in verdicts)


@given(value=any_value)
def test_functions_taking_records_or_tools_refuse_anything_else(value):
    for function in (
        sim.event2d_fields,
        sim.trigger_fields,
        sim.tool_info_from_thread,
        sim.ToolHolder,
    ):
        with pytest.raises(TypeError):
            function(value)


def small_or_impossible(value):
    """Whether a count is small, past what a vector of records can hold, or no count."""
    _, number = integer_verdict(value, UINT64)
    return number is None or number <= 300 or number >= 2**59


# Counts between those would only allocate (and fill) gigabytes.
counts = st.one_of(
    st.integers(-3, 300),
    st.sampled_from([2**59, 2**63, 2**64 - 1, 2**64]),
    any_value.filter(small_or_impossible),
)


@given(n=counts)
def test_record_arrays_hold_the_count_asked_for(n):
    verdict, number = integer_verdict(n, UINT64)
    for make, first in ((sim.event2d_array, 1000), (sim.trigger_array, 2000)):
        try:
            records = make(n)
        except TypeError:
            assert verdict is not ACCEPT
            continue
        except ValueError:
            assert number >= 2**59
            continue
        assert verdict is not REFUSE
        assert len(records) == number
        if number:
            assert records["timestamp"][-1] == first + number - 1


@given(serial=st.one_of(text_like, any_value), n=counts, tool_type=any_value, data=st.data())
def test_camera_takes_only_a_text_serial_counts_and_tool_types(serial, n, tool_type, data):
    verdict, serial_bytes = text_verdict(serial)
    if verdict is REFUSE:
        with pytest.raises(TypeError):
            sim.Camera(serial=serial)
        return
    camera = sim.Camera(serial=serial)
    expected_serial = read_text(serial_bytes)
    if expected_serial is UnicodeDecodeError:
        with pytest.raises(UnicodeDecodeError):
            camera.description().serial  # noqa: B018
    else:
        assert camera.description().serial == expected_serial
        assert camera.calibration().camera_serial == expected_serial
    count_verdict, number = integer_verdict(n, UINT64)
    try:
        events = camera.events(n)
    except TypeError:
        assert count_verdict is not ACCEPT
    except ValueError:
        assert number >= 2**59
    else:
        assert len(events) == number
    tool_type = data.draw(st.one_of(st.just(tool_type), enum_kind(hal.ToolType).valid))
    if type(tool_type) is hal.ToolType:
        tool = camera.tool(tool_type)
        assert (
            tool is None
            if tool_type == hal.APS_CTRL
            else tool.get_tool_info().tool_type == tool_type
        )
    else:
        with pytest.raises(TypeError):
            camera.tool(tool_type)
    assert isinstance(camera.frame(), base.ApsFrame)


@given(name=st.one_of(st.sampled_from(["bar", b"dots", bytearray(b"still")]), text_like))
def test_camera_takes_a_scene_name_as_text_and_shows_an_unknown_one_escaped(name):
    verdict, name_bytes = text_verdict(name)
    error, message = ValueError, "scene is a str that cannot be encoded as UTF-8"
    if verdict is ACCEPT:
        shown = name_bytes.decode("utf-8", "backslashreplace").replace("\0", "\\x00")
        error, message = ValueError, f"Unknown scene '{shown}': the built-in scenes are "
        if shown in ("bar", "dots", "still", "flicker"):
            cameras = [sim.Camera(scene=each, width=8, height=8) for each in (name, shown)]
            assert len({camera.read(10_000)[0].tobytes() for camera in cameras}) == 1
            return
    with pytest.raises(error) as raised:
        sim.Camera(scene=name)
    known = "bar, dots, still, flicker; a serial number goes by keyword: Camera(serial=...)"
    assert str(raised.value).removesuffix(known) == message


def test_no_mix_of_bound_classes_and_objects_ends_the_process():
    assert {type(make()) for make in OBJECT_MAKERS} >= set(BOUND_CLASSES)
    examples = settings().max_examples * 5
    child = run_in_child(f"import fuzz_values\nfuzz_values.run_mixed_calls({examples})")
    assert child.returncode == 0, f"last call: {child.stdout[-500:]}\n{child.stderr[-3000:]}"
