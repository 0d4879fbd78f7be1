"""A dense video: a natural-looking texture panning and zooming, every pixel changing at every
frame, the job users of event emulators do most.
"""

import numpy as np

PAN_PX_PER_S = 150
ZOOM_PER_S = 0.1


def texture(width, height, seed):
    """Grey levels whose spectrum falls as 1 / frequency, as natural images' does."""
    rng = np.random.default_rng(seed)
    fy = np.fft.fftfreq(height)[:, None]
    fx = np.fft.rfftfreq(width)[None, :]
    amplitude = 1 / np.maximum(np.hypot(fx, fy), 1 / max(width, height))
    phase = np.exp(2j * np.pi * rng.random((height, width // 2 + 1)))
    image = np.fft.irfft2(amplitude * phase, s=(height, width))
    low, high = np.percentile(image, [0.5, 99.5])
    return np.clip((image - low) / (high - low), 0, 1) * 250 + 2


def dense_video(width=1280, height=720, seconds=1.0, fps=60, seed=7):
    """Frames (N x H x W uint8) and their time stamps in microseconds, from 0."""
    count = round(seconds * fps)
    times = np.round(np.arange(count) * 1e6 / fps).astype(np.int64)
    margin = int(PAN_PX_PER_S * seconds) + 4
    source = texture(width + margin, height + 4, seed)
    columns, rows = np.arange(width) - (width - 1) / 2, np.arange(height) - (height - 1) / 2
    frames = np.empty((count, height, width), np.uint8)
    for index, t in enumerate(times * 1e-6):
        zoom = 1 + ZOOM_PER_S * t
        x = columns / zoom + (width - 1) / 2 + 1 + PAN_PX_PER_S * t
        y = rows / zoom + (height - 1) / 2 + 1
        x0, y0 = np.floor(x).astype(int), np.floor(y).astype(int)
        ax, ay = x - x0, (y - y0)[:, None]
        top = source[y0][:, x0] * (1 - ax) + source[y0][:, x0 + 1] * ax
        bottom = source[y0 + 1][:, x0] * (1 - ax) + source[y0 + 1][:, x0 + 1] * ax
        frames[index] = np.floor(top * (1 - ay) + bottom * ay + 0.5)
    return frames, times
