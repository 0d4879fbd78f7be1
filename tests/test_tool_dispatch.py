import re
import types

import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest
from conftest import basic, int_record

PURE = 'Tried to call pure virtual function "orvane::CameraTool::{}"'
CAST_ERROR = r"^Unable to cast Python instance of type <class '\w+'> to C\+\+ type"


class GainOnly(hal.CameraTool):
    """Describes one INT parameter but implements no lookup."""

    def __init__(self):
        super().__init__("")

    def getAllParamInfo(self):
        return {"gain": basic("gain", hal.ToolParameterType.INT)}


class Described(hal.CameraTool):
    """Answers every lookup with `answer` after filling the record it receives."""

    def __init__(self, kinds, answer):
        super().__init__("")
        self.kinds = kinds
        self.answer = answer
        self.received = []

    def getAllParamInfo(self):
        return {name: basic(name, kind) for name, kind in self.kinds.items()}

    def getParamInfo(self, name, info):
        self.received.append((name, type(info).__name__))
        if isinstance(info, (hal.IntParameterInfo, hal.FloatParameterInfo)):
            info.min = 5
        elif isinstance(info, hal.EnumParameterInfo):
            info.options = ["a", "b"]
        info.default_value = {
            hal.IntParameterInfo: 7,
            hal.FloatParameterInfo: 0.5,
            hal.BoolParameterInfo: True,
            hal.EnumParameterInfo: "b",
            hal.StringParameterInfo: "text",
        }[type(info)]
        return self.answer


ALL_KINDS = {
    "i": hal.ToolParameterType.INT,
    "f": hal.ToolParameterType.FLOAT,
    "b": hal.ToolParameterType.BOOL,
    "s": hal.ToolParameterType.STRING,
    "e": hal.ToolParameterType.ENUM,
}


def test_tool_type_is_strict_and_exported():
    members = hal.ToolType.__members__
    assert len(members) == 7
    assert 2 not in [int(m) for m in members.values()]
    assert hal.APS_CTRL is hal.ToolType.APS_CTRL
    assert int(hal.APS_CTRL) == 7
    assert hash(hal.ROI) == 6
    assert hal.ToolType.ROI != 6


def test_tool_info_text_and_fields():
    info = hal.ToolInfo()
    assert str(info) == "ToolType: BIAS\nDescription: \nParameters: "
    assert not hasattr(info, "tool_name")
    info.tool_type, info.description, info.parameter_names = hal.ROI, "d", ("a", "b")
    assert str(info) == "ToolType: ROI\nDescription: d\nParameters: a b "
    names = info.parameter_names
    names.append("c")
    assert info.parameter_names == ["a", "b"]
    info.parameter_names = ["only"]
    assert info.parameter_names == ["only"]


def test_bare_camera_tool_has_no_operations():
    tool = hal.CameraTool("prefix")
    assert isinstance(tool, hal.CameraTool)
    with pytest.raises(RuntimeError) as excinfo:
        tool.get_tool_info()
    assert str(excinfo.value) == PURE.format("getToolInfo")
    for call in (
        tool.get_all_param_info,
        lambda: tool.get_param("any"),
        lambda: tool.get_param_info("any"),
        lambda: tool.set_param("any", 1),
    ):
        with pytest.raises(RuntimeError) as excinfo:
            call()
        assert str(excinfo.value) == PURE.format("getAllParamInfo")


def test_subclass_with_only_a_parameter_map(stderr_lines):
    tool = GainOnly()
    with pytest.raises(RuntimeError) as excinfo:
        tool.get_param_info("gain")
    assert str(excinfo.value) == PURE.format("getParamInfo")
    assert tool.get_param_info("other") == (False, None)
    assert tool.get_param("other") == (False, None)
    assert tool.get_param("gain") == (False, 0)
    assert tool.set_param("gain", 3) is False
    assert stderr_lines() == []
    assert tool.set_param("other", 3) is False
    lines = stderr_lines()
    assert len(lines) == 1
    assert lines[0].endswith("[ERR] camera_tool_binding.cpp:137: Parameter other not found")


def test_param_info_override_fills_the_callers_record():
    tool = Described(ALL_KINDS, True)
    results = {name: tool.get_param_info(name) for name in ALL_KINDS}
    assert tool.received == [
        ("i", "IntParameterInfo"),
        ("f", "FloatParameterInfo"),
        ("b", "BoolParameterInfo"),
        ("s", "StringParameterInfo"),
        ("e", "EnumParameterInfo"),
    ]
    assert {name: (ok, str(record)) for name, (ok, record) in results.items()} == {
        "i": (True, "Min: 5 Max: 0 Default: 7 Unit: "),
        "f": (True, "Min: 5.000000 Max: 0.000000 Default: 0.500000 Unit: "),
        "b": (True, "Default: 1"),
        "s": (True, "Default: text"),
        "e": (True, "Options: 2 Default: b"),
    }


@pytest.mark.parametrize(
    ("answer", "ok"), [(False, False), (None, False), (0, False), (0.0, False)]
)
def test_false_answers_leave_the_fresh_record(answer, ok):
    tool = Described({"i": hal.ToolParameterType.INT}, answer)
    result, record = tool.get_param_info("i")
    assert result is ok
    assert str(record) == "Min: 0 Max: 0 Default: 0 Unit: "


@pytest.mark.parametrize("answer", [True, 1, 2.5])
def test_true_answers_count_as_success(answer):
    assert Described({"i": hal.ToolParameterType.INT}, answer).get_param_info("i")[0] is True


@pytest.mark.parametrize("answer", ["yes", [1], object()])
def test_answers_without_truth_value_are_conversion_errors(answer):
    with pytest.raises(RuntimeError, match=CAST_ERROR):
        Described({"i": hal.ToolParameterType.INT}, answer).get_param_info("i")


def test_override_results_must_convert():
    class Wrong(hal.CameraTool):
        def getToolInfo(self):
            return "info"

        def getAllParamInfo(self):
            return {"gain": int_record()}

    tool = Wrong("")
    with pytest.raises(RuntimeError, match=CAST_ERROR):
        tool.get_tool_info()
    with pytest.raises(RuntimeError, match=CAST_ERROR):
        tool.get_all_param_info()


def test_override_answering_none_for_a_record_is_a_conversion_error():
    class Unanswered(hal.CameraTool):
        def getToolInfo(self):
            return None

        def getAllParamInfo(self):
            return {"gain": None}

    tool = Unanswered("")
    info_error = (
        "Unable to cast Python instance of type <class 'NoneType'> to C++ type 'orvane::ToolInfo'"
    )
    for call in (tool.get_tool_info, lambda: sim.tool_info_from_thread(tool)):
        with pytest.raises(RuntimeError, match=f"^{re.escape(info_error)}$"):
            call()
    map_error = (
        "Unable to cast Python instance of type <class 'dict'> to C++ type "
        "'orvane::ParameterInfoMap'"
    )
    with pytest.raises(RuntimeError, match=f"^{re.escape(map_error)}$"):
        tool.get_all_param_info()
    with pytest.raises(RuntimeError, match=f"^{re.escape(map_error)}$"):
        tool.set_param("gain", 1)


def test_override_exceptions_reach_the_caller():
    class Failing(hal.CameraTool):
        def getToolInfo(self):
            raise ValueError("no info")

    with pytest.raises(ValueError, match=r"^no info$"):
        Failing("").get_tool_info()


def test_override_calling_back_into_itself_is_not_forwarded_again():
    class Recursive(hal.CameraTool):
        calls = 0

        def getToolInfo(self):
            Recursive.calls += 1
            return self.get_tool_info()

    with pytest.raises(RuntimeError) as excinfo:
        Recursive("").get_tool_info()
    assert str(excinfo.value) == PURE.format("getToolInfo")
    assert Recursive.calls == 1


# The Python call that reaches each pure operation of a tool.
REACH = {
    "getToolInfo": lambda tool: tool.get_tool_info(),
    "getAllParamInfo": lambda tool: tool.get_all_param_info(),
    "getParamInfo": lambda tool: tool.get_param_info("gain"),
}


def tool_with(operation, attribute):
    """A tool whose class sets `operation` to `attribute`, over a one-parameter map."""
    members = {"getAllParamInfo": lambda self: {"gain": basic("gain", hal.ToolParameterType.INT)}}
    members[operation] = attribute
    return type("Attributed", (hal.CameraTool,), members)("")


@pytest.mark.parametrize("operation", list(REACH))
def test_override_reaching_itself_again_is_not_forwarded(operation):
    # A lambda, reaching the operation again through a helper.
    tool = tool_with(operation, lambda self, *args: REACH[operation](self))
    with pytest.raises(RuntimeError) as excinfo:
        REACH[operation](tool)
    assert str(excinfo.value) == PURE.format(operation)


def described(description):
    info = hal.ToolInfo()
    info.description = description
    return info


class Routed(hal.CameraTool):
    """Answers its first getToolInfo through `route`, the later ones itself."""

    def __init__(self, route=None):
        super().__init__("")
        self.route = route
        self.calls = 0

    def getAllParamInfo(self):
        return {"gain": basic("gain", hal.ToolParameterType.INT)}

    def getToolInfo(self):
        self.calls += 1
        if self.route is not None and self.calls == 1:
            return self.route(self)
        return described(f"answer {self.calls}")


@pytest.mark.parametrize(
    ("route", "description"),
    [
        (lambda tool: Routed().get_tool_info(), "answer 1"),
        (lambda tool: described(",".join(tool.get_all_param_info())), "gain"),
        (sim.tool_info_from_thread, "answer 2"),
    ],
    ids=["other object", "other operation", "other thread"],
)
def test_overrides_are_forwarded_again_on_other_objects_operations_and_threads(route, description):
    assert Routed(route).get_tool_info().description == description


class CallableObject:
    def __init__(self):
        self.calls = 0

    def __call__(self, *args):
        self.calls += 1
        return hal.ToolInfo()


@pytest.mark.parametrize("operation", list(REACH))
@pytest.mark.parametrize("attribute", [5, CallableObject()], ids=["int", "callable object"])
def test_only_python_functions_override(operation, attribute):
    tool = tool_with(operation, attribute)
    with pytest.raises(RuntimeError) as excinfo:
        REACH[operation](tool)
    assert str(excinfo.value) == PURE.format(operation)
    assert getattr(attribute, "calls", 0) == 0


def test_snake_case_methods_do_not_implement_the_interface():
    class Shadowing(hal.CameraTool):
        def get_tool_info(self):
            return hal.ToolInfo()

    tool = Shadowing("")
    assert str(tool.get_tool_info()) == str(hal.ToolInfo())
    with pytest.raises(RuntimeError) as excinfo:
        sim.tool_info_from_thread(tool)
    assert str(excinfo.value) == PURE.format("getToolInfo")


def test_parameter_map_keeps_byte_order_and_takes_any_mapping():
    class Mapped(hal.CameraTool):
        def getAllParamInfo(self):
            kinds = {n: basic(n, hal.ToolParameterType.INT) for n in ("b", "a", "Z", "é")}
            return types.MappingProxyType(kinds)

    params = Mapped("").get_all_param_info()
    assert list(params) == ["Z", "a", "b", "é"]
    assert str(params["a"]) == "Name: a Description:  Type: INT"


def test_kind_without_member_dispatches_nowhere(stderr_lines):
    tool = Described({"x": hal.ToolParameterType(9)}, True)
    assert tool.get_param_info("x") == ()
    assert tool.get_param("x") == ()
    assert tool.set_param("x", 1) is False
    assert tool.received == []
    assert stderr_lines() == []


def test_python_tools_use_the_library_value_defaults():
    tool = Described(ALL_KINDS, True)
    assert [tool.get_param(name) for name in ALL_KINDS] == [
        (False, 0),
        (False, 0.0),
        (False, False),
        (False, ""),
        (False, ""),
    ]
    assert [tool.set_param(name, value) for name, value in zip(ALL_KINDS, (1, 1.0, 1, "", ""))] == [
        False
    ] * 5


def make_kinds_tool():
    choice = hal.EnumParameterInfo()
    choice.options, choice.default_value = ["ROI", "RONI"], "ROI"
    real = hal.FloatParameterInfo()
    real.min, real.max = -10, 10
    return sim.make_tool(
        "ROI",
        params=[
            ("i", "", int_record(-10, 10)),
            ("f", "", real),
            ("b", "", hal.BoolParameterInfo()),
            ("s", "", hal.StringParameterInfo()),
            ("e", "", choice),
        ],
    )


@pytest.mark.parametrize(
    ("name", "value", "read_back"),
    [
        ("i", -3, -3),
        ("i", True, 1),
        ("f", 3, 3.0),
        ("f", 0.1, 0.10000000149011612),
        ("b", 0, False),
        ("b", 2, True),
        ("b", None, False),
        ("s", "text", "text"),
        ("s", b"bytes", "bytes"),
        ("s", bytearray(b"array"), "array"),
        ("e", "RONI", "RONI"),
    ],
)
def test_set_param_converts_by_kind(name, value, read_back):
    tool = make_kinds_tool()
    assert tool.set_param(name, value) is True
    result = tool.get_param(name)
    assert result == (True, read_back)
    assert type(result[1]) is type(read_back)


STD_STRING = "std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >"


@pytest.mark.parametrize(
    ("name", "value", "expected"),
    [
        ("i", 1.5, "int"),
        ("i", "1", "int"),
        ("i", 2**31, "int"),
        ("f", "1.0", "float"),
        ("b", "yes", "bool"),
        ("s", 5, STD_STRING),
        ("e", 1, STD_STRING),
    ],
)
def test_unconvertible_values_raise_before_the_tool_is_called(name, value, expected, stderr_lines):
    tool = make_kinds_tool()
    before = tool.get_param(name)
    with pytest.raises(RuntimeError) as excinfo:
        tool.set_param(name, value)
    assert str(excinfo.value) == (
        f"Unable to cast Python instance of type {type(value)} to C++ type '{expected}'"
    )
    assert tool.get_param(name) == before
    assert stderr_lines() == []


def test_param_info_by_kind_on_a_library_tool():
    tool = make_kinds_tool()
    records = {name: tool.get_param_info(name) for name in ("i", "f", "b", "s", "e")}
    assert {name: (ok, type(record).__name__) for name, (ok, record) in records.items()} == {
        "i": (True, "IntParameterInfo"),
        "f": (True, "FloatParameterInfo"),
        "b": (True, "BoolParameterInfo"),
        "s": (True, "StringParameterInfo"),
        "e": (True, "EnumParameterInfo"),
    }
    assert str(records["e"][1]) == "Options: 2 Default: ROI"
    assert tool.get_param_info("missing") == (False, None)
