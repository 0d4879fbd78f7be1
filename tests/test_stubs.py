import difflib
import subprocess
import sys
from pathlib import Path

import orvane_base_py
import orvane_hal_py
import orvane_sim_py
import pytest

STUBS = Path(__file__).resolve().parents[1] / "stubs"
MODULES = pytest.mark.parametrize(
    "module", [orvane_base_py, orvane_hal_py, orvane_sim_py], ids=lambda module: module.__name__
)


@MODULES
def test_kept_stubs_match_the_built_module(module, tmp_path):
    name = module.__name__
    subprocess.run(
        [sys.executable, "-m", "pybind11_stubgen", "--exit-code", "-o", str(tmp_path), name],
        check=True,
        capture_output=True,
    )
    kept = (STUBS / f"{name}.pyi").read_text().splitlines(keepends=True)
    generated = (tmp_path / f"{name}.pyi").read_text().splitlines(keepends=True)
    diff = "".join(difflib.unified_diff(kept, generated, f"stubs/{name}.pyi", "regenerated"))
    assert not diff, f"the stubs disagree with the module; run `make stubs`\n{diff}"


@MODULES
def test_stubs_are_installed_as_a_stub_package(module):
    package = Path(module.__file__).parent / f"{module.__name__}-stubs"
    assert (package / "__init__.pyi").read_text() == (STUBS / f"{module.__name__}.pyi").read_text()
    assert (package / "py.typed").is_file()
