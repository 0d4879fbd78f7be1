import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest
from conftest import int_record


def registry_tool(param_prefix="", names=("gain",)):
    return sim.make_registry_tool(param_prefix, [(n, f"about {n}", int_record()) for n in names])


def test_registry_class_cannot_be_built_from_python():
    with pytest.raises(TypeError) as excinfo:
        hal.CameraToolBasePrivate()
    assert str(excinfo.value) == "orvane_hal_py.CameraToolBasePrivate: No constructor defined!"
    tool = registry_tool()
    assert type(tool) is hal.CameraToolBasePrivate
    assert not isinstance(tool, hal.CameraTool)
    assert not issubclass(hal.CameraTool, hal.CameraToolBasePrivate)


def test_registry_methods_are_documented():
    docs = {
        name: getattr(hal.CameraToolBasePrivate, name).__doc__.splitlines()[-1]
        for name in ("get_tool_info", "get_all_param_info", "get_param_info", "get_param")
    }
    assert docs == {
        "get_tool_info": "Get the information of the tool.",
        "get_all_param_info": "Get all the parameter information.",
        "get_param_info": "Get the detailed information of a parameter.",
        "get_param": "Get the value of a parameter.",
    }
    assert hal.CameraToolBasePrivate.set_param.__doc__.endswith("Set the value of a parameter.\n")


def test_registry_answers_from_its_entries(stderr_lines):
    tool = registry_tool(names=("b", "a", "Z"))
    params = tool.get_all_param_info()
    assert list(params) == ["Z", "a", "b"]
    assert str(params["a"]) == "Name: a Description: about a Type: INT"
    ok, record = tool.get_param_info("a")
    assert (ok, str(record)) == (True, "Min: 0 Max: 100 Default: 0 Unit: ")
    assert tool.set_param("a", 42) is True
    assert tool.get_param("a") == (True, 42)
    assert stderr_lines() == []
    assert registry_tool(names=()).get_all_param_info() == {}


def test_registry_absent_names(stderr_lines):
    tool = registry_tool()
    assert tool.get_param("missing") == (False, None)
    assert tool.get_param_info("missing") == (False, None)
    assert stderr_lines() == []
    assert tool.set_param("missing", 1) is False
    lines = stderr_lines()
    assert len(lines) == 1
    assert lines[0].endswith("[ERR] camera_tool_binding.cpp:137: Parameter missing not found")


@pytest.mark.parametrize("prefix", ["", "afk_"])
def test_prefix_joins_keys_but_not_names(prefix):
    tool = registry_tool(prefix, names=("b", "a"))
    assert list(tool.get_all_param_info()) == ["a", "b"]
    assert tool.get_tool_info().parameter_names == [prefix + "a", prefix + "b"]
    assert tool.get_param_info("a")[0] is True
    assert tool.set_param("b", 7) is True
    assert tool.get_param("b") == (True, 7)


def test_string_parameters_reach_python():
    text = hal.StringParameterInfo()
    text.default_value = "start"
    tool = sim.make_registry_tool("", [("label", "", text)])
    ok, record = tool.get_param_info("label")
    assert (ok, type(record), record.default_value) == (True, hal.StringParameterInfo, "start")
    assert tool.get_param("label") == (True, "start")
    assert tool.set_param("label", "") is True
    assert tool.get_param("label") == (True, "")


def test_names_are_decoded_strictly():
    tool = sim.make_registry_tool("", [(b"\xff", "", int_record())])
    with pytest.raises(UnicodeDecodeError):
        tool.get_all_param_info()


def test_same_name_twice_is_refused():
    with pytest.raises(ValueError, match=r"^Parameter p_gain is declared twice$"):
        sim.make_registry_tool("p_", [("gain", "", int_record()), (b"gain", "", int_record())])
