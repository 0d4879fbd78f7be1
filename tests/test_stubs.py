import ast
import difflib
import importlib
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
    post_process = {
        "orvane_hal_py": ["overridable.py"],
        "orvane_sim_py": ["python_parts.py", "scene_types.py"],
    }
    for script in post_process.get(name, []):
        command = [sys.executable, str(STUBS / script), str(tmp_path / f"{name}.pyi")]
        subprocess.run(command, check=True)
    kept = (STUBS / f"{name}.pyi").read_text().splitlines(keepends=True)
    generated = (tmp_path / f"{name}.pyi").read_text().splitlines(keepends=True)
    diff = "".join(difflib.unified_diff(kept, generated, f"stubs/{name}.pyi", "regenerated"))
    assert not diff, f"the stubs disagree with the module; run `make stubs`\n{diff}"


@MODULES
def test_stubs_are_installed_as_a_stub_package(module):
    package = Path(module.__file__).parent / f"{module.__name__}-stubs"
    assert (package / "__init__.pyi").read_text() == (STUBS / f"{module.__name__}.pyi").read_text()
    assert (package / "py.typed").is_file()


def imports_and_their_names(stub):
    """The modules the stub imports, and each dotted name it uses that starts with one."""
    tree = ast.parse(stub)
    modules = [
        alias.name for node in tree.body if isinstance(node, ast.Import) for alias in node.names
    ]
    roots = {module.split(".")[0] for module in modules}
    names = set()
    for node in ast.walk(tree):
        root = node
        while isinstance(root, ast.Attribute):
            root = root.value
        if node is not root and isinstance(root, ast.Name) and root.id in roots:
            names.add(ast.unparse(node))
    return modules, names


@MODULES
def test_stubs_name_only_what_this_python_has(module):
    # The kept stubs are one text for every supported Python, so everything they
    # take from elsewhere must exist on each: typing_extensions.Buffer, say, and
    # not collections.abc.Buffer, which 3.12 added.
    modules, names = imports_and_their_names((STUBS / f"{module.__name__}.pyi").read_text())
    for imported in modules:
        importlib.import_module(imported)
    for name in names:
        root, *attributes = name.split(".")
        value = sys.modules[root]
        for attribute in attributes:
            assert hasattr(value, attribute), f"{name} does not exist on this Python"
            value = getattr(value, attribute)
