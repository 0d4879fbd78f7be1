"""Event pictures against the NumPy a user would write for them, and the cost of a preview.

Run through bench.py (`make bench`).
"""

import os
import tempfile
import time

import numpy as np
import orvane_sim_py as sim

import bench

WIDTH, HEIGHT = 1280, 720
COLOURS = np.array([(69, 117, 180), (215, 48, 39)], np.uint8)
TAU_US = 30_000


def numpy_polarity(events):
    pixel = events["y"].astype(np.intp) * WIDTH + events["x"]
    image = np.full((HEIGHT * WIDTH, 3), 255, np.uint8)
    image[pixel] = COLOURS[events["polarity"]]
    return image.reshape(HEIGHT, WIDTH, 3)


def numpy_count(events):
    counts = np.bincount(
        events["y"].astype(np.intp) * WIDTH + events["x"], minlength=WIDTH * HEIGHT
    )
    scale = np.percentile(counts[counts > 0], 99)
    grey = np.rint(np.minimum(counts, scale) * (255 / scale)).astype(np.uint8)
    return np.repeat(grey.reshape(HEIGHT, WIDTH, 1), 3, axis=2)


def numpy_time_surface(events):
    latest = np.full(WIDTH * HEIGHT, -np.inf)
    latest[events["y"].astype(np.intp) * WIDTH + events["x"]] = events["timestamp"]
    decay = np.exp((latest - events["timestamp"].max()) / TAU_US)
    grey = np.rint(255 * decay).astype(np.uint8)
    return np.repeat(grey.reshape(HEIGHT, WIDTH, 1), 3, axis=2)


NUMPY_PICTURES = {
    "polarity": numpy_polarity,
    "count": numpy_count,
    "time_surface": numpy_time_surface,
}


def bench_event_frames(table):
    events, _ = sim.Camera("bar", threads=1).read(150_000)
    events = events[:1_000_000]
    assert len(events) == 1_000_000
    for mode, numpy_picture in NUMPY_PICTURES.items():
        namespace = {"sim": sim, "events": events, "mode": mode, "numpy_picture": numpy_picture}
        if mode != "count":  # np.percentile interpolates where event_frame takes a count
            ours = sim.event_frame(events, WIDTH, HEIGHT, mode=mode)
            assert (ours == numpy_picture(events)).all(), mode
        table.add(
            f"event_frame(mode={mode!r}), 1e6 events at 1280 x 720",
            bench.ratio(
                ("sim.event_frame(events, 1280, 720, mode=mode)", namespace, 1),
                ("numpy_picture(events)", namespace, 1),
                rounds=15,
            ),
            "the same picture in NumPy",
            high=2.0,
        )


def bench_preview(table):
    """Process CPU time, which counts the encoder's threads: the camera reads on one thread."""
    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, "preview.mp4")
        namespace = {"sim": sim, "path": path}
        streaming = "for _ in sim.Camera(threads=1).stream(10_000, 500_000): pass"
        previewing = (
            "sim.write_preview(path, sim.Camera(threads=1).stream(10_000, 500_000), 1280, 720)"
        )
        table.add(
            "streaming 0.5 s of the bar at 1280 x 720 while writing its preview",
            bench.ratio(
                (previewing, namespace, 1),
                (streaming, namespace, 1),
                rounds=5,
                clock=time.process_time,
            ),
            "streaming without it",
            high=1.3,
        )


def bench_pictures(table):
    bench_event_frames(table)
    bench_preview(table)
