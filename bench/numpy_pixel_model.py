"""The emulator's pixel model in plain NumPy: the reference of its benchmark.

It watches the `bar` scene as the emulator renders it, with the same
threshold mismatch (the same key, drawn first from the camera's generator),
threshold crossings, interpolated time stamps, refractory period and
background activity. Its noise comes from NumPy's generator, so those
events match the emulator's in number, not one by one. Every step works on
whole arrays; the only Python loop runs over the n-th event of the pixels.
"""

import numpy as np
import orvane_sim_py as sim

MASK64 = (1 << 64) - 1
U64 = np.uint64


def first_draw(seed):
    """The first number std::mt19937_64(seed) gives."""
    state = [seed & MASK64]
    for index in range(1, 157):
        state.append((6364136223846793005 * (state[-1] ^ (state[-1] >> 62)) + index) & MASK64)
    word = (state[0] & 0xFFFFFFFF80000000) | (state[1] & 0x7FFFFFFF)
    word = state[156] ^ (word >> 1) ^ (0xB5026F5AA96619E9 if word & 1 else 0)
    word ^= (word >> 29) & 0x5555555555555555
    word ^= (word << 17) & 0x71D67FFFEDA60000
    word ^= (word << 37) & 0xFFF7EEE000000000
    return word ^ (word >> 43)


def mixed(bits):
    """The splitmix64 finaliser, as the emulator hashes the pixels' mismatch."""
    bits = (bits ^ (bits >> U64(30))) * U64(0xBF58476D1CE4E5B9)
    bits = (bits ^ (bits >> U64(27))) * U64(0x94D049BB133111EB)
    return bits ^ (bits >> U64(31))


def threshold_scales(key, count):
    """Each pixel's thresholds over the nominal ones: Box-Muller on two hashes."""
    pixel = np.arange(count, dtype=U64) * U64(2) + U64(key)
    radius = np.sqrt(-2.0 * np.log(((mixed(pixel) >> U64(11)) + U64(1)) * 2.0**-53))
    angle = 2.0 * np.pi * (((mixed(pixel + U64(1)) >> U64(11)) + U64(1)) * 2.0**-53)
    return np.clip((1.0 + 0.1 * radius * np.cos(angle)).astype(np.float32), 0.5, 1.5)


def crossing_times(start, end, reference, signed_step, crossed, dt):
    """Where each pixel's log intensity, moving linearly from `start` to `end` over `dt` us,
    crosses its `crossed` thresholds past `reference`: the pixel of each crossing (an index
    into the arguments) and its time in whole microseconds, from 1 to `dt`."""
    us_per_log = dt / (end - start)
    first_offset, offset_step = (reference - start) * us_per_log, signed_step * us_per_log
    owner = np.repeat(np.arange(len(crossed)), crossed)
    nth = np.arange(len(owner)) - np.repeat(np.cumsum(crossed) - crossed, crossed) + 1
    offset = first_offset[owner] + nth * offset_step[owner]
    return owner, np.clip(np.ceil(np.maximum(offset, 0)), 1, dt)


class NumpyPixelModel:
    """The pixels of a `width` x `height` camera with `seed`, at the given biases."""

    LOG = np.log(np.arange(256) + 10.0).astype(np.float32).astype(np.float64)

    def __init__(self, seed=0, width=1280, height=720, threshold=0.2, noise_hz=0.1):
        self.width, self.height = width, height
        self.bar_width = max(2.0, width / 16)
        self.speed = (width + self.bar_width) / 1e6  # pixels per microsecond
        self.period = max(1, int(1 / self.speed))
        self.refractory_us, self.noise_hz = 100, noise_hz
        self.random = np.random.default_rng(seed)
        pixels = width * height
        self.step_size = threshold * threshold_scales(first_draw(seed), pixels).astype(np.float64)
        # Padded to whole 8-byte words, which the comparison of two samples reads.
        self.last = self.render(0)
        self.reference = self.LOG[self.last[:pixels]].astype(np.float32)
        self.last_event = np.full(pixels, -(2**62), np.int64)
        self.t = 0

    def render(self, t):
        left = -self.bar_width + self.speed * (t % 1_000_000)
        columns = np.arange(self.width)
        cover = np.minimum(columns + 1.0, left + self.bar_width) - np.maximum(columns, left)
        row = np.floor(50 + 150 * np.clip(cover, 0, 1) + 0.5).astype(np.uint8)
        frame = np.zeros(-(-self.width * self.height // 8) * 8, np.uint8)
        frame[: self.width * self.height].reshape(self.height, self.width)[:] = row
        return frame

    def changed(self, sample):
        """The pixels whose grey level changed, in order: eight at a time, then one by one."""
        words = np.flatnonzero(sample.view(U64) != self.last.view(U64))
        candidates = (words[:, None] * 8 + np.arange(8)).ravel()
        return candidates[sample[candidates] != self.last[candidates]]

    def crossings(self, sample, t0, dt):
        """Pixel, offset into the interval and polarity of each crossing, in pixel order."""
        changed = self.changed(sample)
        start, end = self.LOG[self.last[changed]], self.LOG[sample[changed]]
        reference = self.reference[changed].astype(np.float64)
        rising = end > reference
        step = self.step_size[changed]
        signed_step = np.where(rising, step, -step)
        crossed = np.floor(np.abs(end - reference) / step).astype(np.int64)
        self.reference[changed] = np.where(
            crossed > 0, reference + crossed * signed_step, reference
        ).astype(np.float32)
        owner, times = crossing_times(start, end, reference, signed_step, crossed, dt)
        return changed[owner], times, rising[owner]

    def noise(self, dt):
        pixels = self.width * self.height
        count = self.random.poisson(self.noise_hz * pixels * dt * 1e-6)
        return (
            self.random.integers(0, pixels, count),
            self.random.integers(1, dt + 1, count),
            self.random.integers(0, 2, count).astype(bool),
        )

    def step(self, t):
        sample = self.render(t)
        t0, dt = self.t, t - self.t
        signal, noise = self.crossings(sample, t0, dt), self.noise(dt)
        self.last, self.t = sample, t
        pixel, offset, polarity = (np.concatenate(pair) for pair in zip(signal, noise))
        offset = offset.astype(np.int64)
        # Pixel order, each pixel's events in time order: the crossings are
        # already, so the sort only merges the few noise events in.
        order = np.argsort(pixel * (dt + 1) + offset, kind="stable")
        pixel, offset, polarity = pixel[order], offset[order], polarity[order]
        # The refractory period, the n-th event of every pixel at a time.
        first = np.ones(len(pixel), bool)
        first[1:] = pixel[1:] != pixel[:-1]
        index = np.arange(len(pixel))
        rank = index - np.maximum.accumulate(np.where(first, index, 0))
        by_rank = np.argsort(rank.astype(np.uint16), kind="stable")
        bounds = np.searchsorted(rank[by_rank], np.arange(rank.max() + 2 if len(rank) else 1))
        kept = np.zeros(len(pixel), bool)
        times = t0 + offset
        for begin, end in zip(bounds[:-1], bounds[1:]):
            batch = by_rank[begin:end]
            late = batch[times[batch] - self.last_event[pixel[batch]] >= self.refractory_us]
            kept[late] = True
            self.last_event[pixel[late]] = times[late]
        pixel, offset, polarity = pixel[kept], offset[kept], polarity[kept]
        # Time order, those of one time stamp in pixel order.
        order = np.argsort(offset.astype(np.uint16 if dt < 2**16 else np.int64), kind="stable")
        events = np.empty(len(order), sim.event2d_array(0).dtype)
        events["x"], events["y"] = pixel[order] % self.width, pixel[order] // self.width
        events["polarity"], events["timestamp"] = polarity[order], t0 + offset[order]
        return events

    def read(self, duration):
        end, chunks = self.t + duration, []
        while self.t < end:
            chunks.append(self.step(min(self.t + self.period, end)))
        return np.concatenate(chunks)
