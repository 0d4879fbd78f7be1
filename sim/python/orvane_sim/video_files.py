"""A video file as a camera's scene: its frames, grey, at their presentation times."""

from __future__ import annotations

import numbers
import os
from collections.abc import Iterator
from fractions import Fraction
from typing import Any

import numpy as np

from .frame_shaping import FrameShaping
from .pyav_decoding import PathLike, grey_pixels, import_av, open_container

MICROSECONDS = 1_000_000


def video_frames(
    path: PathLike,
    *,
    start_us: int = 0,
    duration_us: int | None = None,
    size: tuple[int, int] | None = None,
    crop: tuple[int, int, int, int] | None = None,
) -> Iterator[tuple[int, np.ndarray]]:
    """`(time_us, frame)` pairs of the video at `path`, decoded as they are asked for.

    Each frame is the video's luma as an (H, W) uint8 array (the BT.709 luma
    of an RGB video), cut to `crop=(x, y, width, height)` and then resized to
    `size=(width, height)` by area averaging. Its time is its presentation time
    in microseconds from `start_us` of the video, whose first frame is at 0:
    the frame shown at `start_us` comes at 0, and a variable frame rate keeps
    its own times. With `duration_us`, the frames end with the first one at or
    after `start_us + duration_us`, so that the scene is whole up to there.

    The file is opened and its first frame decoded here: a missing file
    raises FileNotFoundError, one that PyAV cannot read, or that has no video
    stream, ValueError naming it. Decoding uses PyAV's threads.
    """
    av = import_av()
    if not _is_whole(start_us) or start_us < 0:
        raise ValueError(f"start_us must be an integer >= 0, got {start_us!r}")
    if duration_us is not None and (not _is_whole(duration_us) or duration_us < 0):
        raise ValueError(f"duration_us must be None or an integer >= 0, got {duration_us!r}")
    start_us = int(start_us)
    shaping = FrameShaping(size, crop)
    name = os.fspath(path)
    container = open_container(av, name)
    try:
        if not container.streams.video:
            raise ValueError(f"{name} has no video stream")
        stream = container.streams.video[0]
        stream.thread_type = "AUTO"
        decoded = _decoded(av, container, stream, name)
        first = next(decoded, None)
        if first is None:
            raise ValueError(f"{name} has no video frame")
        if first.pts is None:
            raise ValueError(f"{name} gives its frames no presentation times")
        shaping.check_fits(first.width, first.height, name)
        frames = _chain(first, decoded)
        if start_us > 0:
            frames = _from_start(av, container, stream, name, first, start_us)
    except BaseException:
        container.close()
        raise
    return _timed_frames(container, name, first.pts, frames, start_us, duration_us, shaping)


def _is_whole(value: object) -> bool:
    return isinstance(value, numbers.Integral) and not isinstance(value, bool)


def _decoded(av: Any, container: Any, stream: Any, name: str) -> Iterator[Any]:
    try:
        yield from container.decode(stream)
    except av.FFmpegError as error:
        raise ValueError(f"{name} could not be decoded: {error}") from error


def _timed_frames(
    container: Any,
    name: str,
    origin: int,
    frames: Iterator[Any],
    start_us: int,
    duration_us: int | None,
    shaping: FrameShaping,
) -> Iterator[tuple[int, np.ndarray]]:
    microseconds_per_tick = Fraction(container.streams.video[0].time_base) * MICROSECONDS
    with container:
        shown: tuple[int, Any] | None = None
        last_time = -1
        for frame in frames:
            if frame.pts is None:
                raise ValueError(f"{name} gives a frame no presentation time")
            time_us = round((frame.pts - origin) * microseconds_per_tick) - start_us
            if time_us <= 0 and last_time < 0:
                # The latest frame at or before the start is the one shown there.
                shown = (0, frame)
                continue
            if shown is not None:
                yield shown[0], shaping(grey_pixels(shown[1]))
                shown, last_time = None, 0
            # Presentation times closer than a microsecond, or repeated, keep the first frame.
            if time_us <= last_time:
                continue
            yield time_us, shaping(grey_pixels(frame))
            last_time = time_us
            if duration_us is not None and time_us >= duration_us:
                return
        if shown is not None:
            yield shown[0], shaping(grey_pixels(shown[1]))


def _from_start(
    av: Any, container: Any, stream: Any, name: str, first: Any, start_us: int
) -> Iterator[Any]:
    """The frames from the key frame before `start_us` on; from the first
    frame on when the file cannot seek there."""
    ticks = first.pts + int(start_us / (Fraction(stream.time_base) * MICROSECONDS))
    try:
        container.seek(ticks, stream=stream)
    except av.FFmpegError:
        container.seek(first.pts, stream=stream)
        return _decoded(av, container, stream, name)
    frames = _decoded(av, container, stream, name)
    landed = next(frames, None)
    if landed is None or landed.pts is None or landed.pts > ticks:
        container.seek(first.pts, stream=stream)
        return _decoded(av, container, stream, name)
    return _chain(landed, frames)


def _chain(head: Any, rest: Iterator[Any]) -> Iterator[Any]:
    yield head
    yield from rest
