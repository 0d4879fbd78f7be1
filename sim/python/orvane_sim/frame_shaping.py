"""Footage shaped to a sensor: a crop, then an area-averaging resize, of grey frames."""

from __future__ import annotations

import numpy as np

# ITU-R BT.709 luma weights of R, G and B, as the camera takes colour frames.
BT709_WEIGHTS = np.array([0.2126, 0.7152, 0.0722])


def rgb_luma(rgb: np.ndarray) -> np.ndarray:
    """The BT.709 luma of an (H, W, 3) uint8 RGB image, rounded to uint8."""
    return np.rint(rgb @ BT709_WEIGHTS).astype(np.uint8)


def _whole_numbers(values: object, count: int, what: str) -> tuple[int, ...]:
    try:
        numbers = tuple(values)  # type: ignore[call-overload]
    except TypeError:
        numbers = ()
    if len(numbers) != count or not all(
        isinstance(n, (int, np.integer)) and not isinstance(n, bool) for n in numbers
    ):
        raise TypeError(f"{what} must be a tuple of {count} integers, got {values!r}")
    return tuple(int(n) for n in numbers)


class FrameShaping:
    """Cuts `crop=(x, y, width, height)` out of each frame, then resizes it to
    `size=(width, height)` by area averaging: each output pixel is the mean of
    the input area it covers, partly covered pixels weighed by their share.
    """

    def __init__(
        self,
        size: tuple[int, int] | None = None,
        crop: tuple[int, int, int, int] | None = None,
    ) -> None:
        self.size = None if size is None else _whole_numbers(size, 2, "size")
        self.crop = None if crop is None else _whole_numbers(crop, 4, "crop")
        if self.size is not None and min(self.size) < 1:
            raise ValueError(f"size must be at least 1 x 1, got {self.size}")
        if self.crop is not None and (min(self.crop[:2]) < 0 or min(self.crop[2:]) < 1):
            raise ValueError(f"crop must start at x, y >= 0 and be at least 1 x 1, got {self.crop}")
        self._row_spans: tuple[np.ndarray, np.ndarray, np.ndarray] | None = None
        self._column_spans: tuple[np.ndarray, np.ndarray, np.ndarray] | None = None

    def check_fits(self, width: int, height: int, source: str) -> None:
        """Raises ValueError naming `source` when the crop leaves a frame of this size."""
        if self.crop is not None:
            x, y, crop_width, crop_height = self.crop
            if x + crop_width > width or y + crop_height > height:
                raise ValueError(
                    f"crop {self.crop} does not fit in the {width} x {height} frames of {source}"
                )

    def __call__(self, grey: np.ndarray) -> np.ndarray:
        if self.crop is not None:
            x, y, width, height = self.crop
            grey = grey[y : y + height, x : x + width]
        if self.size is None or self.size == (grey.shape[1], grey.shape[0]):
            return np.ascontiguousarray(grey)
        if self._row_spans is None or self._column_spans is None:
            self._row_spans = _area_spans(grey.shape[0], self.size[1])
            self._column_spans = _area_spans(grey.shape[1], self.size[0])
        means = _area_means(grey.astype(np.float64), 0, self._row_spans)
        means = _area_means(means, 1, self._column_spans)
        return np.rint(means).astype(np.uint8)


def _area_spans(inputs: int, outputs: int) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    """For each output pixel along one axis: the input pixel its area starts
    and ends in, and how far into that pixel, as (index, fraction) pairs."""
    edges = np.arange(outputs + 1) * (inputs / outputs)
    whole = np.minimum(np.floor(edges).astype(np.intp), inputs - 1)
    return whole, edges - whole, np.diff(edges)


def _area_means(
    pixels: np.ndarray, axis: int, spans: tuple[np.ndarray, np.ndarray, np.ndarray]
) -> np.ndarray:
    # The integral of the piecewise-constant pixels along the axis is
    # piecewise linear: the running sum up to a pixel plus the covered share of
    # it. Each output is the difference of the integral at its two edges.
    whole, fraction, widths = spans
    shape = [1, 1]
    shape[axis] = -1
    running = np.cumsum(pixels, axis=axis) - pixels
    at_edges = np.take(running, whole, axis=axis) + np.take(
        pixels, whole, axis=axis
    ) * fraction.reshape(shape)
    return np.diff(at_edges, axis=axis) / widths.reshape(shape)
