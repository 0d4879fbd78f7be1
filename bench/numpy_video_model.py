"""The emulator's ideal pixel watching a user's frames, in plain NumPy: the reference of the
dense-video benchmark.

Each pixel's log intensity moves linearly from one frame to the next, as the
emulator takes it, so the model steps once per frame (and every 10 ms past
the last, as the emulator holds it). Every step works on whole frames; only
the pixels that cross a threshold go on to the crossings' time stamps.
"""

import numpy as np
from numpy_pixel_model import NumpyPixelModel, crossing_times

HELD_PERIOD_US = 10_000


class NumpyVideoModel(NumpyPixelModel):
    """The pixels of a camera with `seed` watching `frames` (N x H x W uint8) shown at `times`."""

    def __init__(self, frames, times, seed=0, threshold=0.2, noise_hz=0.1):
        self.frames, self.times = frames, np.asarray(times)
        super().__init__(seed, frames.shape[2], frames.shape[1], threshold, noise_hz)
        self.reference = self.reference.astype(np.float64)

    def render(self, t):
        return self.frames[max(0, np.searchsorted(self.times, t, side="right") - 1)].ravel()

    def crossings(self, sample, t0, dt):
        start, end = self.LOG[self.last], self.LOG[sample]
        rising = end > self.reference
        step = self.step_size
        crossed = np.floor(np.abs(end - self.reference) / step)
        # The emulator visits only the pixels whose grey level changed.
        changed = np.flatnonzero(crossed * (start != end))
        crossed = crossed[changed].astype(np.int64)
        start, end, rising, step = start[changed], end[changed], rising[changed], step[changed]
        reference = self.reference[changed]
        signed_step = np.where(rising, step, -step)
        # float32, as the emulator keeps each pixel's reference.
        self.reference[changed] = (reference + crossed * signed_step).astype(np.float32)
        owner, times = crossing_times(start, end, reference, signed_step, crossed, dt)
        return changed[owner], times, rising[owner]

    def read(self, duration):
        end, chunks = self.t + duration, []
        while self.t < end:
            later = self.times[self.times > self.t]
            held = self.times[-1] + (self.t - self.times[-1]) // HELD_PERIOD_US * HELD_PERIOD_US
            chunks.append(self.step(min(later[0] if len(later) else held + HELD_PERIOD_US, end)))
        return np.concatenate(chunks)
