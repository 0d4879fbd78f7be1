"""Event pictures: a stretch of events drawn as an RGB image of the sensor's size.

Each mode keeps one value per pixel (`Canvas`), which events update piece by
piece, and turns it into a level 0 to 255 that indexes a 256-colour palette:
so `event_frame` draws one array of events, and a preview feeds a canvas
slice by slice without holding the slices.
"""

from __future__ import annotations

import math
import numbers
from typing import Any

import numpy as np
import numpy.typing as npt

MODES = ("polarity", "count", "time_surface")
DEFAULT_TAU_US = 30_000
BACKGROUND = (255, 255, 255)
OFF_COLOUR = (69, 117, 180)
ON_COLOUR = (215, 48, 39)
# A count picture is scaled to this percentile of the counts of the pixels
# that have events, so that a few hot pixels do not leave the rest black.
COUNT_PERCENTILE = 99

# The camera's field names, and those of the (x, y, t, p) layout other event
# libraries use, whose polarity is -1 or +1.
_FIELD_NAMES = {"polarity": ("polarity", "p"), "timestamp": ("timestamp", "t")}

Image = npt.NDArray[np.uint8]


def check_size(width: Any, height: Any) -> tuple[int, int]:
    sizes = []
    for name, value in (("width", width), ("height", height)):
        if isinstance(value, bool) or not isinstance(value, numbers.Integral):
            raise TypeError(f"{name} must be an int, got {type(value).__name__}")
        if value < 1:
            raise ValueError(f"{name} must be at least 1, got {value}")
        sizes.append(int(value))
    return sizes[0], sizes[1]


def check_mode(mode: Any, tau_us: Any) -> None:
    if mode not in MODES:
        raise ValueError(f"mode must be one of {', '.join(map(repr, MODES))}, got {mode!r}")
    if isinstance(tau_us, bool) or not isinstance(tau_us, numbers.Real):
        raise TypeError(f"tau_us must be a number, got {type(tau_us).__name__}")
    if not (math.isfinite(float(tau_us)) and float(tau_us) > 0):
        raise ValueError(f"tau_us must be a positive number of microseconds, got {tau_us}")


def _field(events: np.ndarray, name: str) -> np.ndarray:
    names = events.dtype.names or ()
    for candidate in _FIELD_NAMES.get(name, (name,)):
        if candidate in names:
            values = events[candidate]
            if values.dtype.kind not in "iu":
                raise TypeError(f"the events' field {candidate!r} must hold integers")
            return values
    raise TypeError(
        f"the events have no field {name!r}: expected a structured array with fields x, y, "
        f"polarity and timestamp, as Camera.read returns, got fields {names}"
    )


class Events:
    """The fields of an array of events that a canvas needs, checked against the sensor."""

    def __init__(self, events: Any, width: int, height: int) -> None:
        if not isinstance(events, np.ndarray) or events.dtype.names is None:
            raise TypeError(
                "events must be a NumPy structured array of events, as Camera.read returns, "
                f"got {type(events).__name__}"
            )
        if events.ndim != 1:
            raise ValueError(f"events must be one-dimensional, got shape {events.shape}")
        self.x, self.y = _field(events, "x"), _field(events, "y")
        self.polarity, self.t = _field(events, "polarity"), _field(events, "timestamp")
        self.width, self.height = width, height

    def pixels(self) -> npt.NDArray[np.intp]:
        """Each event's pixel as an index into the sensor's pixels, row after row."""
        pixel: npt.NDArray[np.intp] = np.multiply(
            self.y, self.width, dtype=np.intp, casting="unsafe"
        )
        pixel += self.x
        # With x inside the rows, the index is inside the sensor exactly when y is; y alone is
        # checked where it is wide enough for the product to wrap around.
        outside = self.x.max() >= self.width or pixel.max() >= self.width * self.height
        if self.y.dtype.itemsize >= 8:
            outside = outside or self.y.max() >= self.height
        if self.x.dtype.kind == "i" or self.y.dtype.kind == "i":
            outside = outside or self.x.min() < 0 or self.y.min() < 0
        if outside:
            self._raise_outside()
        return pixel

    def _raise_outside(self) -> None:
        x, y = self.x.astype(np.int64), self.y.astype(np.int64)
        index = np.flatnonzero((x < 0) | (x >= self.width) | (y < 0) | (y >= self.height))[0]
        raise ValueError(
            f"event {index} at x={x[index]}, y={y[index]} lies outside the "
            f"{self.width} x {self.height} sensor"
        )

    def __len__(self) -> int:
        return len(self.x)

    def part(self, start: int, stop: int) -> Events:
        part = Events.__new__(Events)
        part.x, part.y = self.x[start:stop], self.y[start:stop]
        part.polarity, part.t = self.polarity[start:stop], self.t[start:stop]
        part.width, part.height = self.width, self.height
        return part


def _grey_palette() -> Image:
    return np.repeat(np.arange(256, dtype=np.uint8)[:, None], 3, axis=1)


def _polarity_palette() -> Image:
    palette = np.zeros((256, 3), np.uint8)
    palette[:3] = [BACKGROUND, OFF_COLOUR, ON_COLOUR]
    return palette


class Canvas:
    """One picture's value per pixel, fed events in time order.

    Polarity keeps 0 (no event), 1 (OFF) or 2 (ON) per pixel; count the number
    of events; the time surface the time stamp of the latest event, which it
    keeps across `clear()`, so that a preview's surface fades from frame to frame.
    """

    def __init__(self, width: int, height: int, mode: str, tau_us: float) -> None:
        self.width, self.height, self.mode, self.tau_us = width, height, mode, tau_us
        self.palette = _polarity_palette() if mode == "polarity" else _grey_palette()
        self._latest = np.full(width * height, -np.inf) if mode == "time_surface" else None
        self._state = np.zeros(width * height, np.uint8) if mode == "polarity" else None
        self._counts: np.ndarray | None = None

    def clear(self) -> None:
        # Refilled in place: fresh pages would fault in again at every preview frame.
        if self._state is not None:
            self._state.fill(0)
        self._counts = None

    def add(self, events: Events) -> None:
        if not len(events):
            return
        pixel = events.pixels()
        if self.mode == "polarity":
            # Integer-array assignment stores repeated pixels in order: the last event wins.
            assert self._state is not None
            self._state[pixel] = (events.polarity > 0).view(np.uint8) + np.uint8(1)
        elif self.mode == "count":
            counts = np.bincount(pixel, minlength=self.width * self.height)
            self._counts = counts if self._counts is None else self._counts + counts
        else:
            assert self._latest is not None
            self._latest[pixel] = events.t

    def levels(self, now_us: float) -> Image:
        """The picture as palette indices, (height, width); `now_us` is the time surface's now."""
        if self.mode == "polarity":
            assert self._state is not None
            level = self._state
        elif self.mode == "count":
            level = self._count_levels()
        else:
            assert self._latest is not None
            decay = np.subtract(self._latest, now_us)
            decay /= self.tau_us
            np.exp(decay, out=decay)
            decay *= 255
            level = np.rint(decay, out=decay).astype(np.uint8)
        return level.reshape(self.height, self.width)

    def rgb(self, now_us: float) -> Image:
        """The picture as a (height, width, 3) image; `now_us` is the time surface's now."""
        levels = self.levels(now_us)
        if self.mode == "polarity":
            return to_rgb(levels, self.palette)
        grey: Image = np.stack((levels,) * 3, axis=2)
        return grey

    def _count_levels(self) -> Image:
        if self._counts is None:
            return np.zeros(self.width * self.height, np.uint8)
        active = self._counts[self._counts > 0]
        rank = math.ceil(COUNT_PERCENTILE / 100 * len(active)) - 1
        scale = np.partition(active, rank)[rank]
        level = np.minimum(self._counts, scale) * (255 / scale)
        grey: Image = np.rint(level, out=level).astype(np.uint8)
        return grey


def to_rgb(levels: Image, palette: Image) -> Image:
    """Palette colours of `levels` as a (height, width, 3) image."""
    # One 32-bit lookup per pixel is several times faster than gathering rows of three bytes.
    padded = np.zeros((256, 4), np.uint8)
    padded[:, :3] = palette
    words = np.take(padded.view(np.uint32).ravel(), levels)
    return np.ascontiguousarray(words.view(np.uint8).reshape(*levels.shape, 4)[..., :3])


def event_frame(
    events: npt.NDArray[np.void],
    width: int,
    height: int,
    *,
    mode: str = "polarity",
    tau_us: float = DEFAULT_TAU_US,
) -> Image:
    """A (height, width, 3) uint8 picture of `events` (as `Camera.read` returns them).

    - "polarity": ON events red, OFF events blue, on white; at a pixel with
      several events the last one decides.
    - "count": events per pixel in grey on black, white from the 99th
      percentile of the pixels' counts up.
    - "time_surface": grey `255 * exp(-(now - t) / tau_us)` of each pixel's
      latest event time `t`, where `now` is the latest time stamp; black
      where no event fell.
    """
    width, height = check_size(width, height)
    check_mode(mode, tau_us)
    checked = Events(events, width, height)
    canvas = Canvas(width, height, mode, tau_us)
    canvas.add(checked)
    now_us = float(checked.t.max()) if len(checked) else 0.0
    return canvas.rgb(now_us)
