"""Declares in orvane_sim_py's stubs the names it hands out from orvane_sim.

The module's `__getattr__` forwards each name of `orvane_sim.__all__`; in a stub
it would let a type checker accept any attribute at all. So the generated
`__getattr__` gives way to one re-export per name, which carries the pure-Python
function's own signature and types.
Run on the orvane_sim_py.pyi that pybind11_stubgen wrote.
"""

import sys
from pathlib import Path

import orvane_sim

GENERATED = "def __getattr__(name: str) -> typing.Any:\n    ...\n"


def declare_python_parts(stub):
    text = stub.read_text()
    if GENERATED not in text:
        sys.exit(f"{stub} has no generated __getattr__")
    reexports = "".join(f"from orvane_sim import {name} as {name}\n" for name in orvane_sim.__all__)
    stub.write_text(text.replace(GENERATED, reexports))


if __name__ == "__main__":
    declare_python_parts(Path(sys.argv[1]))
