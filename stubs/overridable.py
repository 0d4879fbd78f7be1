"""Declares in orvane_hal_py's stubs the methods that a Python tool defines.

`CameraTool` binds none of them: the kit looks them up on the Python subclass
and calls them from C++. Declared on `CameraTool` in the stubs, they let a
type checker hold a subclass's definitions to what the kit passes and expects.
Run on the orvane_hal_py.pyi that pybind11_stubgen wrote.
"""

import sys
from pathlib import Path

OWNER = "class CameraTool:\n"
DECLARATIONS = '''    def getAllParamInfo(self) -> dict[str, BasicParameterInfo]:
        """
        Defined by a Python tool: the information of each of its parameters, by name.
        """
    def getParamInfo(self, name: str, info: typing.Any) -> bool:
        """
        Defined by a Python tool: fills `info`, the parameter information record of the kind
        of `name`, and says whether the tool has that parameter.
        """
    def getToolInfo(self) -> ToolInfo:
        """
        Defined by a Python tool: its information.
        """
'''


def declare_overridable_methods(stub):
    text = stub.read_text()
    head, owner, body = text.partition(OWNER)
    if not owner:
        sys.exit(f"{stub} has no {OWNER.strip()}")
    # After the constructor, where the class's methods start in name order.
    ellipsis = "        ...\n"
    constructor_end = body.index(ellipsis, body.index("    def __init__")) + len(ellipsis)
    stub.write_text(head + owner + body[:constructor_end] + DECLARATIONS + body[constructor_end:])


if __name__ == "__main__":
    declare_overridable_methods(Path(sys.argv[1]))
