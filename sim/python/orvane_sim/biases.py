"""Bias files: the bias tool's values as plain text, one `name value` per line.

A `#` starts a comment, to the end of its line; blank lines are skipped.
Every value is checked against the tool's own parameter information before
any is set, so a file or mapping with one bad entry changes nothing.
"""

from __future__ import annotations

import os
import re
from typing import TYPE_CHECKING, Any, Union

import orvane_hal_py as hal

if TYPE_CHECKING:
    import orvane_sim_py

PathLike = Union[str, "os.PathLike[str]"]

_INTEGER = re.compile(r"[+-]?[0-9]+")
_SURROGATE = re.compile("[\udc80-\udcff]")


def _bias_tool(camera: orvane_sim_py.Camera) -> hal.CameraTool:
    tool = camera.tool(hal.BIAS)
    if tool is None:
        raise ValueError(f"{camera!r} has no bias tool")
    return tool


def _range_error(tool: hal.CameraTool, name: str, value: int) -> str | None:
    """Why the tool would refuse `value` for `name`, or None when it takes it."""
    names = tool.get_all_param_info()
    if name not in names:
        return f"unknown bias {name!r}; the biases are {', '.join(names)}"
    _, info = tool.get_param_info(name)
    assert isinstance(info, hal.IntParameterInfo)
    if not info.min <= value <= info.max:
        return f"{name} must be {info.min} to {info.max}, got {value}"
    return None


def _apply(tool: hal.CameraTool, values: dict[str, int]) -> None:
    for name, value in values.items():
        tool.set_param(name, value)


def apply_bias_mapping(tool: hal.CameraTool, biases: dict[Any, Any]) -> None:
    """Sets `biases` ({name: int}) on the bias tool, all of them or, on a bad entry, none.

    `Camera(..., biases={...})` calls this on the new camera's bias tool.
    """
    checked: dict[str, int] = {}
    for name, value in biases.items():
        where = f"biases[{name!r}]"
        if not isinstance(name, str):
            raise TypeError(f"{where}: a bias name must be a str, got {type(name).__name__}")
        if isinstance(value, bool) or not isinstance(value, int):
            raise TypeError(f"{where}: a bias value must be an int, got {type(value).__name__}")
        error = _range_error(tool, name, value)
        if error is not None:
            raise ValueError(f"{where}: {error}")
        checked[name] = value
    _apply(tool, checked)


def save_biases(camera: orvane_sim_py.Camera, path: PathLike) -> None:
    """Writes the camera's bias values to `path`, one `name value` line per bias."""
    tool = _bias_tool(camera)
    lines = [f"# Biases of camera {camera.serial}, in bias code steps from the factory tuning"]
    for name in tool.get_all_param_info():
        _, value = tool.get_param(name)
        lines.append(f"{name} {value}")
    with open(path, "w", encoding="utf-8") as file:
        file.write("\n".join(lines) + "\n")


def _parse_line(tool: hal.CameraTool, text: str) -> tuple[str, int]:
    words = text.split("#", 1)[0].split()
    if len(words) != 2:
        raise ValueError("expected 'name value'")
    name, value_text = words
    if not _INTEGER.fullmatch(value_text):
        raise ValueError(f"the value of {name} must be an integer, got {value_text!r}")
    value = int(value_text)
    error = _range_error(tool, name, value)
    if error is not None:
        raise ValueError(error)
    return name, value


def load_biases(camera: orvane_sim_py.Camera, path: PathLike) -> None:
    """Sets the camera's biases from the file at `path`, all of them or, on a bad line, none.

    Biases the file does not name keep their values. A bad line (not `name
    value`, an unknown name, a value that is no integer or out of its range,
    a name given twice) raises `ValueError` naming the file, the line's number
    and its text.
    """
    tool = _bias_tool(camera)
    # Bytes that are not UTF-8 are kept (as lone surrogates) so that the error
    # can name their line rather than a byte offset into the file.
    with open(path, encoding="utf-8", errors="surrogateescape") as file:
        text = file.read()
    values: dict[str, int] = {}
    first_line: dict[str, int] = {}
    # Only newlines end lines, as editors number them: str.splitlines would also
    # break at form feeds, vertical tabs and other separators.
    for number, line in enumerate(text.split("\n"), start=1):
        try:
            if _SURROGATE.search(line):
                raise ValueError("the line is not UTF-8 text")
            if not line.split("#", 1)[0].strip():
                continue
            name, value = _parse_line(tool, line)
            if name in values:
                raise ValueError(f"{name} is given twice, first on line {first_line[name]}")
        except ValueError as error:
            shown = line.strip().encode("utf-8", "surrogateescape").decode("utf-8", "replace")
            raise ValueError(f"{os.fspath(path)} line {number} {shown!r}: {error}") from None
        values[name], first_line[name] = value, number
    _apply(tool, values)
