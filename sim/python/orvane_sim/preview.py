"""Preview videos: an MP4 of event pictures, one per 1/fps of scene time.

The pictures are drawn straight into the encoder's YUV 4:2:0 planes through
palettes of Y, U and V values, which costs a fraction of drawing RGB and
converting it. The video is MPEG-4 Part 2, the encoder every FFmpeg build
has, which keeps up with the emulator where H.264 would not.
"""

from __future__ import annotations

import bisect
import math
import numbers
import os
import threading
from collections.abc import Iterable, Iterator
from fractions import Fraction
from typing import Any

import numpy as np
import numpy.typing as npt

from .biases import PathLike
from .pictures import DEFAULT_TAU_US, Canvas, Events, Image, check_mode, check_size

_MOST_FPS = 1_000_000
_CODEC = "mpeg4"


def _import_av() -> Any:
    try:
        import av
    except ImportError as error:
        raise ImportError(
            'write_preview needs PyAV: pip install "orvane-py[video]"', name=error.name
        ) from error
    return av


def _frame_rate(fps: Any) -> Fraction:
    if isinstance(fps, bool) or not isinstance(fps, numbers.Real):
        raise TypeError(f"fps must be a number, got {type(fps).__name__}")
    if not (math.isfinite(float(fps)) and 0 < float(fps) <= _MOST_FPS):
        raise ValueError(f"fps must be above 0 and at most {_MOST_FPS}, got {fps}")
    return Fraction(float(fps)).limit_denominator(1001)


def _yuv_palettes(palette: Image) -> tuple[Image, Image, Image]:
    """BT.601 limited-range Y, U and V of each RGB palette colour."""
    rgb = palette.astype(np.float64) / 255
    matrix = np.array(
        [[65.481, 128.553, 24.966], [-37.797, -74.203, 112.0], [112.0, -93.786, -18.214]]
    )
    yuv = rgb @ matrix.T + [16, 128, 128]
    y, u, v = np.rint(yuv).astype(np.uint8).T
    return np.ascontiguousarray(y), np.ascontiguousarray(u), np.ascontiguousarray(v)


def _even(size: int) -> int:
    return size + size % 2


class _Planes:
    """One video frame's Y, U and V planes; events on the right, the input frame to their left.

    4:2:0 needs an even size: an odd sensor is padded by one row or column of background.
    """

    def __init__(self, width: int, height: int, palette: Image, beside: bool) -> None:
        self.width, self.height = width, height
        self.even_width, self.even_height = _even(width), _even(height)
        self.left = self.even_width if beside else 0
        self.total_width = total_width = self.left + self.even_width
        self.buffer = np.empty((self.even_height * 3 // 2, total_width), np.uint8)
        flat = self.buffer.reshape(-1)
        luma = self.even_height * total_width
        self.y = flat[:luma].reshape(self.even_height, total_width)
        self.u = flat[luma : luma * 5 // 4].reshape(self.even_height // 2, total_width // 2)
        self.v = flat[luma * 5 // 4 :].reshape(self.even_height // 2, total_width // 2)
        self.y[:, : self.left] = 16
        self.u[:, : self.left // 2] = self.v[:, : self.left // 2] = 128
        self.palettes = _yuv_palettes(palette)
        self.grey_luma = _yuv_palettes(np.repeat(np.arange(256, dtype=np.uint8)[:, None], 3, 1))[0]

    def draw_events(self, levels: Image) -> None:
        if (self.even_width, self.even_height) != (self.width, self.height):
            padding = ((0, self.even_height - self.height), (0, self.even_width - self.width))
            levels = np.pad(levels, padding)
        chroma = levels[::2, ::2]
        column = self.left // 2
        # "clip" lets np.take write straight into the planes: the levels are all in the palettes.
        np.take(self.palettes[0], levels, out=self.y[:, self.left :], mode="clip")
        np.take(self.palettes[1], chroma, out=self.u[:, column:], mode="clip")
        np.take(self.palettes[2], chroma, out=self.v[:, column:], mode="clip")

    def draw_frame(self, frame: Image) -> None:
        np.take(self.grey_luma, frame, out=self.y[: self.height, : self.width], mode="clip")


class _InputFrames:
    """The caller's (time_us, frame) pairs, read as far as the preview's time needs."""

    def __init__(self, frames: Iterable[Any], width: int, height: int) -> None:
        self.pairs: Iterator[Any] = iter(frames)
        self.width, self.height = width, height
        self.latest_us: int | None = None
        self.shown = self._next()
        if self.shown is None:
            raise ValueError("frames holds no frame")
        self.coming = self._next()

    def _next(self) -> tuple[int, Image] | None:
        pair = next(self.pairs, None)
        if pair is None:
            return None
        if not (isinstance(pair, tuple) and len(pair) == 2):
            raise TypeError(f"frames must give (time_us, frame) pairs, got {type(pair).__name__}")
        time_us, frame = pair
        if not isinstance(frame, np.ndarray) or frame.dtype != np.uint8:
            raise TypeError("each input frame must be a uint8 NumPy array")
        if frame.shape != (self.height, self.width):
            raise ValueError(
                f"an input frame of shape {frame.shape} is not the sensor's "
                f"({self.height}, {self.width})"
            )
        if self.latest_us is not None and time_us < self.latest_us:
            raise ValueError(
                f"input frame times must not decrease: {time_us} after {self.latest_us}"
            )
        self.latest_us = time_us
        return time_us, frame

    def at(self, time_us: int) -> Image:
        """The latest frame at or before `time_us` (the first one before its time)."""
        while self.coming is not None and self.coming[0] <= time_us:
            self.shown, self.coming = self.coming, None
            self.coming = self._next()
        assert self.shown is not None
        return self.shown[1]


class _PreviewWriter:
    """Cuts the stream into windows (k / fps, (k + 1) / fps] of scene time and encodes each."""

    def __init__(
        self,
        stream: Any,
        container: Any,
        canvas: Canvas,
        planes: _Planes,
        inputs: _InputFrames | None,
        rate: Fraction,
        av: Any,
    ) -> None:
        self.stream, self.container, self.canvas, self.planes = stream, container, canvas, planes
        self.inputs, self.rate, self.av = inputs, rate, av
        self.window: int | None = None
        self.written = 0
        self.latest_us = 0

    def window_end(self, window: int) -> int:
        return (window + 1) * 1_000_000 * self.rate.denominator // self.rate.numerator

    def window_of(self, time_us: int) -> int:
        return max(0, math.ceil(time_us * self.rate / 1_000_000) - 1)

    def add(self, events: Events) -> None:
        if not len(events):
            return
        t = events.t
        if t[0] < self.latest_us:
            raise ValueError(
                f"the events' time stamps must not decrease from slice to slice: "
                f"{t[0]} after {self.latest_us}"
            )
        self.latest_us = int(t[-1])
        if self.window is None:
            self.window = self.window_of(int(t[0]))
        start = 0
        while start < len(t):
            # A field of a structured array is strided, which np.searchsorted would copy.
            stop = bisect.bisect_right(t, self.window_end(self.window), lo=start)
            self.canvas.add(events.part(start, stop))
            if stop == len(t):
                break
            self.encode()
            start = stop

    def encode(self) -> None:
        assert self.window is not None
        end_us = self.window_end(self.window)
        self.planes.draw_events(self.canvas.levels(end_us))
        if self.inputs is not None:
            self.planes.draw_frame(self.inputs.at(end_us))
        frame = self.av.VideoFrame.from_ndarray(self.planes.buffer, format="yuv420p")
        frame.pts = self.written
        self.container.mux(self.stream.encode(frame))
        self.written += 1
        self.window += 1
        self.canvas.clear()

    def finish(self) -> None:
        if self.window is not None:
            self.encode()
        self.container.mux(self.stream.encode(None))


def _events_of(item: Any, width: int, height: int) -> Events:
    if not (isinstance(item, tuple) and len(item) == 2):
        raise TypeError(
            f"slices must give (events, triggers) pairs, as Camera.stream does, got "
            f"{type(item).__name__}"
        )
    return Events(item[0], width, height)


def write_preview(
    path: PathLike,
    slices: Iterable[tuple[npt.NDArray[np.void], npt.NDArray[np.void]]],
    width: int,
    height: int,
    *,
    fps: float = 30,
    mode: str = "polarity",
    frames: Iterable[tuple[int, npt.NDArray[np.uint8]]] | None = None,
) -> None:
    """Writes an MP4 of event pictures (see `event_frame`) of the slices `Camera.stream` yields.

    Frame k shows the events of scene time (k / fps, (k + 1) / fps] microseconds,
    from the frame holding the first event to the one holding the last; the
    time surface's now is the end of each frame's stretch. With `frames`
    ((time_us, grey frame) pairs, as a camera's scene takes them), each video
    frame shows, left of the events, the latest input frame at or before the
    end of its stretch. The file appears at `path` only once complete; an
    error leaves any file there as it was.
    """
    width, height = check_size(width, height)
    check_mode(mode, DEFAULT_TAU_US)
    rate = _frame_rate(fps)
    av = _import_av()
    inputs = None if frames is None else _InputFrames(frames, width, height)
    canvas = Canvas(width, height, mode, DEFAULT_TAU_US)
    planes = _Planes(width, height, canvas.palette, beside=inputs is not None)
    partial = f"{os.fspath(path)}.{os.getpid()}-{threading.get_ident()}.partial"
    try:
        with av.open(partial, "w", format="mp4") as container:
            stream = container.add_stream(_CODEC, rate=rate)
            stream.width, stream.height = planes.total_width, planes.even_height
            stream.pix_fmt = "yuv420p"
            # The encoder's own threads would cost more CPU time than they save on one.
            stream.codec_context.thread_count = 1
            writer = _PreviewWriter(stream, container, canvas, planes, inputs, rate, av)
            for item in slices:
                writer.add(_events_of(item, width, height))
            writer.finish()
        os.replace(partial, path)
    except BaseException:
        if os.path.exists(partial):
            os.remove(partial)
        raise
