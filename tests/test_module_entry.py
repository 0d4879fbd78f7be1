import importlib
import os
import shutil
import subprocess
import sys
from pathlib import Path

import orvane_base_py
import orvane_hal_py
import pytest


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
