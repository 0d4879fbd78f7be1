import importlib
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import orvane_base_py
import orvane_hal_py
import orvane_sim_py
import pytest
from conftest import run_in_child

ROOT = Path(__file__).resolve().parents[1]


def registered_names(module):
    return [name for name in vars(module) if not name.startswith("__")]


def test_hal_registers_core_names_first_in_order():
    names = registered_names(orvane_hal_py)
    assert names[:3] == ["INTERFACE_TYPE", "CAMERA_TYPE", "CameraDescription"]


def test_base_registers_event_records_first_in_order():
    names = registered_names(orvane_base_py)
    assert names[:2] == ["Event2D", "EventTriggerIn"]


@pytest.mark.parametrize("module", [orvane_hal_py, orvane_base_py])
def test_modules_have_no_docstring(module):
    assert module.__doc__ is None


# Dunders that help() shows with their own text; the others are the interpreter's.
DOCUMENTED_DUNDERS = ("__init__", "__iter__", "__next__", "__repr__")


def sim_public_members():
    for name, value in vars(orvane_sim_py).items():
        if name.startswith("_") or not callable(value):
            continue
        yield name, value
        for attribute, member in vars(value).items() if isinstance(value, type) else ():
            if not attribute.startswith("_") or attribute in DOCUMENTED_DUNDERS:
                yield f"{name}.{attribute}", member


def described(name, member):
    """Whether the docstring says more than the signature pybind11 puts first."""
    lines = (member.__doc__ or "").strip().splitlines()
    if lines and lines[0].startswith(name.rsplit(".", 1)[-1] + "("):
        lines = lines[1:]
    return any(line.strip() for line in lines)


def test_every_public_name_of_the_simulated_camera_is_documented():
    members = dict(sim_public_members())
    assert {"Camera.read", "Camera.clock_us", "CameraStream.__next__", "make_tool"} <= set(members)
    assert [name for name, member in members.items() if not described(name, member)] == []
    assert orvane_sim_py.__doc__


@pytest.mark.parametrize("name", ["orvane_hal_py", "orvane_base_py", "orvane_sim_py"])
def test_reimport_returns_the_cached_module(name):
    module = importlib.import_module(name)
    first_names = registered_names(module)
    del sys.modules[name]
    again = importlib.import_module(name)
    assert again is module
    assert registered_names(again) == first_names


def test_sim_imports_both_kit_modules():
    script = "import sys, orvane_sim_py; print('orvane_hal_py' in sys.modules, 'orvane_base_py' in sys.modules)"
    out = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, check=True, cwd="/"
    )
    assert out.stdout.split() == ["True", "True"]


def test_sim_hands_out_the_python_parts_only_when_asked():
    script = """import sys, orvane_sim_py
print('orvane_sim' in sys.modules, hasattr(orvane_sim_py, '__path__'), 'orvane_sim' in sys.modules)
try:
    orvane_sim_py.no_such_name
except AttributeError as error:
    print(error, 'orvane_sim' in sys.modules)
"""
    out = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, check=True, cwd="/"
    )
    assert out.stdout.splitlines() == [
        "False False False",
        "module 'orvane_sim_py' has no attribute 'no_such_name' True",
    ]


def test_import_works_from_any_directory_without_environment(tmp_path):
    env = {
        key: value
        for key, value in os.environ.items()
        if key not in ("PYTHONPATH", "LD_LIBRARY_PATH")
    }
    script = "import orvane_hal_py; print(orvane_hal_py.CameraDescription())"
    out = subprocess.run(
        [sys.executable, "-c", script],
        capture_output=True,
        text=True,
        check=True,
        cwd=tmp_path,
        env=env,
    )
    assert out.stdout == "Product: - \nSerial:  \nInterface: USB\n"


@pytest.mark.parametrize("foreign", [False, True], ids=["alone", "copies on LD_LIBRARY_PATH"])
def test_kit_libraries_load_from_inside_the_installed_package(foreign, tmp_path):
    package_libs = Path(orvane_hal_py.__file__).parent / "orvane_kit.libs"
    env = dict(os.environ)
    if foreign:
        # Libraries of the same SONAMEs elsewhere must not replace the installed ones.
        for library in package_libs.iterdir():
            shutil.copy(library, tmp_path)
        env["LD_LIBRARY_PATH"] = str(tmp_path)
    # Importing the simulated camera loads every module, so every kit library is mapped.
    script = "import orvane_sim_py; print(open('/proc/self/maps').read())"
    maps = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, check=True, env=env
    ).stdout
    mapped = {Path(line.split()[-1]) for line in maps.splitlines() if "libOrvane" in line}
    assert {path.name for path in mapped} == {"libOrvaneHal.so.1", "libOrvaneBase.so.1"}
    assert {path.parent for path in mapped} == {package_libs}


def test_import_failing_for_want_of_numpy_leaves_nothing_behind():
    script = """
import sys
sys.modules["numpy"] = None
try:
    import orvane_base_py
except ImportError as error:
    print(error, type(error.__cause__).__name__)
del sys.modules["numpy"]
import orvane_base_py, orvane_sim_py
print(orvane_sim_py.event2d_array(1).dtype.names)
"""
    out = run_in_child(script)
    assert (out.returncode, out.stderr) == (0, "")
    assert out.stdout.splitlines() == [
        "initialization failed ModuleNotFoundError",
        "('x', 'y', 'polarity', 'timestamp')",
    ]


def test_enumerations_and_members_have_no_docstring():
    enumerations = [
        value
        for module in (orvane_hal_py, orvane_base_py, orvane_sim_py)
        for value in vars(module).values()
        if isinstance(value, type) and hasattr(value, "__members__")
    ]
    assert len(enumerations) == 6
    for enumeration in enumerations:
        assert enumeration.__doc__ is None, enumeration
        assert [member.__doc__ for member in enumeration.__members__.values()] == [None] * len(
            enumeration.__members__
        )


# The checks below run in a child interpreter: before the classes were
# guarded, each of them ended the process. Each prints what was not refused.
def refusals_in_child(script):
    child = run_in_child("import pickle\nfrom fuzz_values import *\n" + script)
    assert child.returncode == 0, child.stderr
    return child.stdout.splitlines()


def test_every_bound_function_refuses_none_as_self():
    script = """
for name, function in BOUND_FUNCTIONS:
    try:
        function(None)
    except TypeError as error:
        if name == "ApsFrame.width":
            print(str(error).splitlines()[0])
    else:
        print(name)
"""
    assert refusals_in_child(script) == [
        "width(): incompatible function arguments. The following argument types are supported:"
    ]


def test_constructors_refuse_objects_constructed_already():
    script = """
constructors = [function for name, function in BOUND_FUNCTIONS if name.endswith(".__init__")]
for make in OBJECT_MAKERS:
    for constructor in constructors:
        try:
            constructor(make())
        except TypeError:
            pass
        else:
            print(constructor, make())
"""
    assert refusals_in_child(script) == []


def test_bound_objects_cannot_be_pickled_with_protocols_0_and_1():
    script = """
for make in OBJECT_MAKERS:
    obj = make()
    refusal = f"cannot pickle {type(obj).__name__!r} object"
    for attempt in (lambda: pickle.dumps(obj, 0), lambda: pickle.dumps(obj, 1), obj.__reduce__):
        try:
            attempt()
        except TypeError as error:
            if str(error) != refusal and type(obj) is not PythonTool:
                print(error)
        else:
            print("pickled", obj)
"""
    assert refusals_in_child(script) == []


def test_bound_objects_change_class_only_between_python_classes_of_one_bound_class():
    script = """
class Other(PythonTool):
    pass

for make in OBJECT_MAKERS:
    for cls in [*BOUND_CLASSES, PythonTool, int]:
        obj = make()
        if cls is not type(obj):
            try:
                obj.__class__ = cls
            except TypeError:
                continue
            print(type(obj).__name__, "became", cls.__name__)
tool = PythonTool()
tool.__class__ = Other
print(type(tool).__name__, tool.get_tool_info().tool_type)
try:
    hal.ToolInfo().__class__ = base.MatrixData
except TypeError as error:
    print(error)
"""
    assert refusals_in_child(script) == [
        "Other ToolType.BIAS",
        (
            "cannot change the class of an object of class orvane_hal_py.ToolInfo to "
            "<class 'orvane_base_py.MatrixData'>: their C++ objects are of different classes"
        ),
    ]


# Kept by a subclass's __init__ that failed before the bound one ran, or made
# by __new__ alone: every function given such an object as self, as an
# argument, or inside a container refused it; each ended the process or read
# memory that held no object. Each prints what was not refused so.
def test_objects_whose_cpp_object_was_never_built_are_refused():
    script = """
never_built = "was never built: its class's __init__() did not complete"
unbuilt = [make(cls) for cls in BOUND_CLASSES for make in (half_built, lambda c: c.__new__(c))]
calls = [
    (name, function)
    for name, function in BOUND_FUNCTIONS
    if not name.endswith(("__init__", "__setstate__", "__class__.fget", "__class__.fset"))
]
calls += [(f.__name__, f) for f in (sim.event2d_fields, sim.trigger_fields, sim.ToolHolder)]
calls.append(("tool_info_from_thread", sim.tool_info_from_thread))
in_a_list = ("in a list", lambda o: sim.make_tool("ROI", "", [("a", "", o)]))
for obj in unbuilt:
    records = isinstance(obj, (hal.IntParameterInfo, hal.EnumParameterInfo))
    for name, call in calls + [in_a_list] if records else calls:
        try:
            call(obj)
        except TypeError as error:
            if never_built not in str(error):
                print(name, type(obj).__mro__[1].__name__, error)
        else:
            print(name, type(obj).__mro__[1].__name__, "taken")
"""
    assert refusals_in_child(script) == []


def test_the_common_base_of_the_bound_classes_makes_no_object():
    """The base itself, a class derived from it alone, pickle once a class's __new__ is gone."""
    script = """
del hal.CameraDescription.__new__
for way in ("base()", "type('Derived', (base,), {})()", "pickle.dumps(hal.CameraDescription(), 0)"):
    try:
        eval(way, {"base": sim.Camera.__base__, "hal": hal, "pickle": pickle})
    except TypeError as error:
        print(error)
"""
    refused = "cannot create '{}' objects: no class in its MRO binds a C++ class"
    names = ["pybind11_object", "Derived", "pybind11_object"]
    assert refusals_in_child(script) == [refused.format(name) for name in names]


OUT_OF_PYTHON_MEMORY = """
import _testcapi
cam = sim.Camera("bar", width=16, height=16)
run = eval(f"lambda: {call}")
for k in range(40):
    try:
        _testcapi.set_nomemory(k, k + 1)
        try:
            run()
        finally:
            _testcapi.remove_mem_hooks()
    except BaseException as error:  # pybind11's list caster raises RuntimeError from MemoryError
        if not isinstance(error.__cause__ or error, MemoryError):
            raise
"""
MAKING_BOUND_OBJECTS = ["cam.frame()", "cam.file_info()", "cam.tools()", "hal.CameraDescription()"]
MAKING_BOUND_OBJECTS.append("cam.tools()[0].get_param_info('bias_fo')")


@pytest.mark.skipif(not importlib.util.find_spec("_testcapi"), reason="no _testcapi")
@pytest.mark.parametrize("call", MAKING_BOUND_OBJECTS)
def test_a_bound_object_python_has_no_memory_for_raises_memory_error(call):
    # pybind11 drops what it had made when Python's allocator fails.
    script = f"call = {call!r}\nfrom fuzz_values import *\n" + OUT_OF_PYTHON_MEMORY
    child = run_in_child(script, leaves_memory=True)
    assert (child.returncode, child.stderr) == (0, "")


SUBINTERPRETERS = next(
    (name for name in ("_interpreters", "_xxsubinterpreters") if importlib.util.find_spec(name)),
    None,
)

# The legacy ones too, which share the main one's lock; then the main one still imports them.
SUBINTERPRETER = """
import sys
legacy = ("legacy",) if sys.version_info >= (3, 13) else ()
shared = {"isolated": False} if sys.version_info[:2] == (3, 12) else {}
for name in ("orvane_base_py", "orvane_hal_py", "orvane_sim_py") * 2:
    interp = interpreters.create(*legacy, **shared)
    try:  # Python 3.13 returns what was raised, earlier ones raise it
        print(interpreters.run_string(interp, f"import {name}"))
    except Exception as error:
        print(error)
    interpreters.destroy(interp)
import orvane_sim_py as sim
print(sim.Camera("bar", width=8, height=8).read(1_000)[0].dtype.names)
"""


@pytest.mark.skipif(not SUBINTERPRETERS, reason="this Python has no subinterpreters to try")
def test_subinterpreters_cannot_import_the_modules_and_the_main_one_still_can():
    child = run_in_child(f"import {SUBINTERPRETERS} as interpreters\n" + SUBINTERPRETER)
    lines = child.stdout.splitlines()
    for line, name in zip(lines, ("orvane_base_py", "orvane_hal_py", "orvane_sim_py") * 2):
        assert "ImportError" in line
        assert (
            f"{name} can be imported only by the main interpreter, not by a subinterpreter" in line
        )
    assert lines[6:] == ["('x', 'y', 'polarity', 'timestamp')"], child.stderr


def test_pybind11_range_is_the_same_where_required_and_where_enforced():
    pin = re.search(
        r'"pybind11>=(\d+)\.(\d+),<(\d+)\.(\d+)"', (ROOT / "pyproject.toml").read_text()
    )
    header = (ROOT / "binding" / "pybind11_internals.h").read_text()
    bounds = re.findall(r"#define ORVANE_PYBIND11_TESTED_(?:FROM|BELOW) 0x([0-9a-fA-F]{8})", header)
    assert pin is not None
    assert len(bounds) == 2
    versions = [(int(bound, 16) >> 24, (int(bound, 16) >> 16) & 0xFF) for bound in bounds]
    assert versions == [(int(pin[1]), int(pin[2])), (int(pin[3]), int(pin[4]))]
    assert f"pybind11>={pin[1]}.{pin[2]},<{pin[3]}.{pin[4]}" in header
