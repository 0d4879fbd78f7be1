import math

import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest
from conftest import int_record, run_in_child

CLASSES = {
    "Biases": hal.Imx636Biases,
    "TriggerIn": hal.Imx636TriggerIn,
    "AntiFlicker": hal.Imx636AntiFlicker,
    "EventRateControl": hal.Imx636EventRateControl,
    "EventTrailFilter": hal.Imx636EventTrailFilter,
    "ROI": hal.Imx636ROI,
}

CONSTANT_INFO = {
    "TriggerIn": (
        hal.TRIGGER_IN,
        ["enable"],
        "Trigger in of DVS cameras with IMX636 sensors",
    ),
    "EventTrailFilter": (
        hal.EVENT_TRAIL_FILTER,
        ["enable", "threshold", "type"],
        "Event Trail Filter of DVS cameras with IMX636 sensor",
    ),
    "EventRateControl": (
        hal.EVENT_RATE_CONTROL,
        ["enable", "max_event_rate"],
        "ERC of DVS cameras with IMX636 sensor",
    ),
    "ROI": (
        hal.ROI,
        ["enable", "mode", "x", "y", "x_width", "y_height"],
        "ROI of DVS cameras with IMX636 sensor",
    ),
}


@pytest.mark.parametrize(("kind", "cls"), CLASSES.items())
def test_tool_classes_are_camera_tools_made_only_by_the_library(kind, cls):
    assert cls.__bases__ == (hal.CameraTool,)
    with pytest.raises(TypeError) as excinfo:
        cls()
    assert str(excinfo.value) == f"orvane_hal_py.{cls.__name__}: No constructor defined!"
    tool = sim.make_tool(kind)
    assert type(tool) is cls
    assert isinstance(tool, hal.CameraTool)
    assert not isinstance(tool, hal.CameraToolBasePrivate)


@pytest.mark.parametrize(("kind", "expected"), CONSTANT_INFO.items())
def test_fixed_tool_info_ignores_the_registry(kind, expected):
    for params in (None, [], [("other", "", int_record())]):
        tool = sim.make_tool(kind, "p_", params)
        first, second = tool.get_tool_info(), tool.get_tool_info()
        assert (first.tool_type, first.parameter_names, first.description) == expected
        first.parameter_names = []
        assert second.parameter_names == expected[1]


def test_anti_flicker_names_come_from_the_registry():
    assert sim.make_tool("AntiFlicker", params=[]).get_tool_info().parameter_names == []
    params = [(name, "", int_record()) for name in ("low", "High", "band")]
    tool = sim.make_tool("AntiFlicker", "afk_", params)
    info = tool.get_tool_info()
    assert (info.tool_type, info.description) == (
        hal.ANTI_FLICKER,
        "Anti flicker of DVS cameras with IMX636 sensor.",
    )
    assert info.parameter_names == ["afk_High", "afk_band", "afk_low"]
    assert list(tool.get_all_param_info()) == ["High", "band", "low"]


def test_make_tool_refuses_bad_input():
    with pytest.raises(ValueError, match=r"^Unknown tool kind 'Lens'; expected one of ") as excinfo:
        sim.make_tool("Lens")
    assert str(excinfo.value) == (
        "Unknown tool kind 'Lens'; expected one of Biases, TriggerIn, AntiFlicker, "
        "EventRateControl, EventTrailFilter, ROI"
    )
    with pytest.raises(TypeError) as excinfo:
        sim.make_tool("ROI", params=[("x", "", hal.BasicParameterInfo())])
    assert str(excinfo.value) == (
        "The record of parameter x must be an IntParameterInfo, FloatParameterInfo, "
        "BoolParameterInfo, EnumParameterInfo or StringParameterInfo"
    )
    with pytest.raises(TypeError):
        sim.make_tool("ROI", params=[("x", int_record())])


def test_make_tool_messages_show_raw_bytes_escaped():
    with pytest.raises(ValueError, match=r"^Unknown tool kind 'L\\xffns'; expected one of "):
        sim.make_tool(b"L\xffns")
    with pytest.raises(TypeError, match=r"^The record of parameter \\xff\\x00 must be an Int"):
        sim.make_tool("ROI", params=[(b"\xff\x00", "", hal.BasicParameterInfo())])
    twice = [(b"\xff", "", int_record()), (b"\xff", "", int_record())]
    with pytest.raises(ValueError, match=r"^Parameter p\\xff is declared twice$"):
        sim.make_tool("ROI", "p", params=twice)


def test_camera_hands_out_its_tools_once_in_type_order():
    camera = sim.Camera()
    tools = camera.tools()
    assert [type(t) for t in tools] == [
        hal.Imx636Biases,
        hal.Imx636TriggerIn,
        hal.Imx636AntiFlicker,
        hal.Imx636EventTrailFilter,
        hal.Imx636EventRateControl,
        hal.Imx636ROI,
    ]
    assert all(a is b for a, b in zip(tools, camera.tools()))
    assert [camera.tool(t.get_tool_info().tool_type) for t in tools] == tools
    assert camera.tool(hal.APS_CTRL) is None


@pytest.mark.parametrize(("width", "height"), [(320, 240), (2560, 1440)])
def test_the_camera_window_spans_its_sensor(width, height, stderr_lines):
    roi = sim.Camera(width=width, height=height).tool(hal.ROI)
    for name, size in {"x": width, "y": height, "x_width": width, "y_height": height}.items():
        _, record = roi.get_param_info(name)
        full = (1, size, size) if name.endswith(("width", "height")) else (0, size - 1, 0)
        assert (record.min, record.max, record.default_value) == full
        assert roi.set_param(name, full[2]) is True
    assert stderr_lines() == []
    assert roi.set_param("x", max(width, 500)) is False
    assert roi.set_param("x_width", width + 1) is False
    assert len(stderr_lines()) == 2


def test_every_default_parameter_starts_at_its_default():
    for tool in sim.Camera().tools():
        for name, basic in tool.get_all_param_info().items():
            ok, record = tool.get_param_info(name)
            assert ok is True
            assert tool.get_param(name) == (True, record.default_value), name
            if basic.type in (hal.ToolParameterType.INT, hal.ToolParameterType.FLOAT):
                assert record.min <= record.default_value <= record.max, name
            if basic.type == hal.ToolParameterType.ENUM:
                assert record.default_value in record.options, name


def test_every_kind_is_in_some_default_set():
    kinds = {
        basic.type for tool in sim.Camera().tools() for basic in tool.get_all_param_info().values()
    }
    assert kinds == set(hal.ToolParameterType.__members__.values())


@pytest.mark.parametrize(
    ("kind", "name", "value", "warning"),
    [
        ("ROI", "x", 1280, "Parameter x: 1280 refused, allowed range is [0, 1279]"),
        ("ROI", "x_width", 0, "Parameter x_width: 0 refused, allowed range is [1, 1280]"),
        (
            "ROI",
            "mode",
            "roi",
            'Parameter mode: "roi" refused, allowed options are: ROI, RONI',
        ),
        (
            "AntiFlicker",
            "duty_cycle",
            100.5,
            "Parameter duty_cycle: 100.5 refused, allowed range is [0, 100]",
        ),
        (
            "AntiFlicker",
            "duty_cycle",
            math.nan,
            "Parameter duty_cycle: nan refused, allowed range is [0, 100]",
        ),
    ],
)
def test_refused_values_warn_once_and_change_nothing(kind, name, value, warning, stderr_lines):
    tool = sim.make_tool(kind, "")
    before = tool.get_param(name)
    assert tool.set_param(name, value) is False
    assert tool.get_param(name) == before
    lines = stderr_lines()
    assert len(lines) == 1
    assert "[WARN] " in lines[0]
    assert lines[0].endswith(warning)


def test_accepted_values_are_kept_per_tool(stderr_lines):
    camera = sim.Camera()
    roi, etf = camera.tool(hal.ROI), camera.tool(hal.EVENT_TRAIL_FILTER)
    assert roi.set_param("x", 1279) is True
    assert roi.set_param("mode", "RONI") is True
    assert roi.set_param("enable", True) is True
    assert etf.set_param("enable", False) is True
    assert [roi.get_param(n) for n in ("x", "mode", "enable")] == [
        (True, 1279),
        (True, "RONI"),
        (True, True),
    ]
    assert etf.get_param("enable") == (True, False)
    assert sim.Camera().tool(hal.ROI).get_param("x") == (True, 0)
    afk = camera.tool(hal.ANTI_FLICKER)
    assert afk.set_param("light_source", "") is True
    assert afk.get_param("light_source") == (True, "")
    assert stderr_lines() == []


def test_camera_tool_constructor_refuses_tools_it_did_not_make():
    # Run in a child interpreter: each of these ended the process.
    child = run_in_child("""
import orvane_hal_py as hal
import orvane_sim_py as sim

class Derived(hal.Imx636ROI):
    def __init__(self):
        hal.CameraTool.__init__(self, "")

tool = hal.CameraTool("a")
for attempt in (
    lambda: hal.CameraTool.__init__(sim.make_tool("ROI"), "p"),
    Derived,
    lambda: tool.__init__("b"),
):
    try:
        attempt()
    except TypeError as error:
        print(error)
""")
    constructor = "orvane_hal_py.CameraTool.__init__() cannot construct an object of class"
    assert child.stdout.splitlines() == [
        f"{constructor} orvane_hal_py.Imx636ROI: its C++ object is of another class",
        f"{constructor} Derived: its C++ object is of another class",
        f"{constructor} orvane_hal_py.CameraTool: it is constructed already",
    ]
    assert child.returncode == 0
