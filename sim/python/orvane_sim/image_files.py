"""A folder of still images as a camera's scene, one image per frame."""

from __future__ import annotations

import glob
import numbers
import os
import re
from collections.abc import Iterator
from typing import Any

import numpy as np

from .frame_shaping import FrameShaping
from .pyav_decoding import PathLike, grey_pixels, import_av, open_container

IMAGE_SUFFIXES = (".png", ".jpg", ".jpeg", ".tif", ".tiff")


def image_frames(
    folder_or_glob: PathLike,
    frame_rate_hz: float,
    *,
    size: tuple[int, int] | None = None,
    crop: tuple[int, int, int, int] | None = None,
) -> Iterator[tuple[int, np.ndarray]]:
    """`(time_us, frame)` pairs of a folder's PNG, JPEG and TIFF images, or of
    the files a glob pattern matches, in name order (numbers in names by value:
    `frame_9` before `frame_10`), `frame_rate_hz` images per second from 0.

    Each image is turned grey as a video's frames are (see `video_frames`),
    cut to `crop` and resized to `size`. The list of files and the first image
    are read here: no image raises ValueError naming the folder or pattern.
    Each next image is read when the camera needs it; one that cannot be read
    or differs in size from the first raises ValueError naming it there.
    """
    av = import_av()
    if not isinstance(frame_rate_hz, numbers.Real) or not frame_rate_hz > 0:
        raise ValueError(f"frame_rate_hz must be a number above 0, got {frame_rate_hz!r}")
    shaping = FrameShaping(size, crop)
    files = _image_files(os.fspath(folder_or_glob))
    first = _grey_image(av, files[0])
    shaping.check_fits(first.shape[1], first.shape[0], files[0])
    return _timed_images(av, files, first, frame_rate_hz, shaping)


def _image_files(source: str) -> list[str]:
    if os.path.isdir(source):
        files = [
            os.path.join(source, name)
            for name in os.listdir(source)
            if name.lower().endswith(IMAGE_SUFFIXES)
        ]
        where = f"in {source}"
    else:
        files = [name for name in glob.glob(source) if os.path.isfile(name)]
        where = f"matching {source}"
    if not files:
        raise ValueError(f"No PNG, JPEG or TIFF images {where}")
    return sorted(files, key=_name_order)


def _name_order(path: str) -> list[Any]:
    return [int(part) if part.isdigit() else part for part in re.split(r"(\d+)", path)]


def _grey_image(av: Any, path: str) -> np.ndarray:
    try:
        container = open_container(av, path)
    except FileNotFoundError as error:
        raise ValueError(f"{path} is gone") from error
    with container:
        try:
            frame = next(container.decode(video=0), None) if container.streams.video else None
        except av.FFmpegError as error:
            raise ValueError(f"{path} could not be decoded: {error}") from error
        if frame is None:
            raise ValueError(f"{path} holds no image")
        return np.array(grey_pixels(frame))


def _timed_images(
    av: Any, files: list[str], first: np.ndarray, frame_rate_hz: float, shaping: FrameShaping
) -> Iterator[tuple[int, np.ndarray]]:
    yield 0, shaping(first)
    for index in range(1, len(files)):
        grey = _grey_image(av, files[index])
        if grey.shape != first.shape:
            raise ValueError(
                f"{files[index]} is {grey.shape[1]} x {grey.shape[0]}, the images before it "
                f"{first.shape[1]} x {first.shape[0]}: all images must have one size"
            )
        yield round(index * 1_000_000 / frame_rate_hz), shaping(grey)
