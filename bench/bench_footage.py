"""Video files as scenes: what decoding adds to a read, and the memory a long video takes."""

import os
import tempfile
import time

import numpy as np
import orvane_sim_py as sim
from dense_video import dense_video

from bench import PEAK_RESIDENT, child_figure, ratio

WIDTH, HEIGHT, RATE = 1280, 720, 60


def textured_frames(count, pan_px_per_s, zoom_per_s, seed=7):
    """A smooth texture of a few random waves, panned and zoomed about the
    centre: every pixel changes at every frame."""
    rng = np.random.default_rng(seed)
    waves = rng.uniform(-0.05, 0.05, (8, 2))
    phases = rng.uniform(0, 2 * np.pi, 8)
    x = np.arange(WIDTH) - WIDTH / 2
    y = (np.arange(HEIGHT) - HEIGHT / 2)[:, None]
    for index in range(count):
        t = index / RATE
        scale = 1 / (1 + zoom_per_s * t)
        u, v = x * scale + pan_px_per_s * t, y * scale
        grey = 128 + sum(
            30 * np.sin(fx * u + fy * v + phase) for (fx, fy), phase in zip(waves, phases)
        )
        yield np.clip(grey, 0, 255).astype(np.uint8)


def write_h264(path, frames):
    import av

    with av.open(path, "w") as video:
        stream = video.add_stream("libx264", rate=RATE, options={"preset": "veryfast"})
        stream.width, stream.height, stream.pix_fmt = WIDTH, HEIGHT, "yuv420p"
        for pixels in frames:
            video.mux(stream.encode(av.VideoFrame.from_ndarray(pixels, format="gray")))
        video.mux(stream.encode())


LONG_VIDEO_MEMORY = (
    PEAK_RESIDENT
    + """
import av, numpy
import orvane_sim_py as sim
before = peak_resident_bytes()
camera = sim.Camera(scene=sim.video_frames({path!r}))
largest = 0
for events, _ in camera.stream(100_000, 10_000_000):
    largest = max(largest, events.nbytes)
print((peak_resident_bytes() - before - largest) / (1 << 20))
"""
)


def bench_footage(table):
    try:
        import av  # noqa: F401
    except ImportError:
        print("bench_footage: PyAV is missing (the video extra), skipped")
        return
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "pan.mp4")
        write_h264(path, dense_video(WIDTH, HEIGHT, seconds=0.25, fps=RATE)[0])
        times, frames = zip(*sim.video_frames(path))
        shared = {"sim": sim, "path": path, "frames": np.array(frames), "times": list(times)}
        duration = times[-1] + 1
        # Wall clock: PyAV decodes on threads of its own, as the camera emulates on its own.
        table.add(
            "read of 1280 x 720 H.264 (video_frames) over the same frames as an array",
            ratio(
                (
                    f"sim.Camera(scene=sim.video_frames(path), ideal=True).read({duration})",
                    shared,
                    1,
                ),
                (
                    f"sim.Camera(scene=frames, frame_times_us=times, ideal=True).read({duration})",
                    shared,
                    1,
                ),
                rounds=3,
                clock=time.perf_counter,
            ),
            "frames as an array",
            high=1.5,
        )
        long_path = os.path.join(folder, "long.mp4")
        write_h264(long_path, textured_frames(10 * RATE, 10, 0))
        table.add(
            "peak resident MiB of 10 s of 1280 x 720 60 fps video_frames in 100 ms reads, "
            "beyond the events",
            child_figure(LONG_VIDEO_MEMORY.format(path=long_path)),
            "absolute",
            high=300,
        )
