"""Opening video and image files with PyAV, and their pictures as grey frames."""

from __future__ import annotations

import errno
import os
from types import ModuleType
from typing import Any, Union

import numpy as np

from .frame_shaping import rgb_luma

PathLike = Union[str, "os.PathLike[str]"]


def import_av() -> ModuleType:
    try:
        import av
    except ImportError as error:
        raise ImportError(
            'Reading video and image files needs PyAV: pip install "orvane-py[video]"'
        ) from error
    return av


def open_container(av: ModuleType, path: PathLike) -> Any:
    """The file at `path` opened for decoding; FileNotFoundError when there is
    none, ValueError naming it when PyAV cannot read it."""
    name = os.fspath(path)
    if not os.path.exists(name):
        raise FileNotFoundError(errno.ENOENT, "No such file", name)
    if os.path.isdir(name):
        raise ValueError(f"{name} is a folder, not a video or image file")
    try:
        return av.open(name)
    except av.FFmpegError as error:
        raise ValueError(f"{name} is not a video or image file PyAV can read: {error}") from error


def grey_pixels(frame: Any) -> np.ndarray:
    """A decoded picture as (H, W) uint8 grey: the luma plane of an 8-bit grey
    or planar YUV picture as coded, the BT.709 luma of any other."""
    layout = frame.format
    luma = layout.components[0]
    if layout.name == "gray" or (
        layout.is_planar and not layout.is_rgb and luma.is_luma and luma.bits == 8
    ):
        plane = frame.planes[0]
        rows = np.frombuffer(plane, np.uint8, frame.height * plane.line_size)
        rows = rows.reshape(frame.height, plane.line_size)
        return rows[:, : frame.width]
    return rgb_luma(frame.to_ndarray(format="rgb24"))
