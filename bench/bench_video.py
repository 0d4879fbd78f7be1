"""The emulator on a user's dense video, against a NumPy model of the same ideal pixel."""

import os
import time

import orvane_sim_py as sim
from dense_video import dense_video
from numpy_video_model import NumpyVideoModel

SECOND = 1_000_000


def bench_video(table):
    """One second of a 1280 x 720 texture panning at 150 px/s and zooming 10%/s, 60 frames given
    as an array with their time stamps: every pixel changes at every frame.

    Each run makes its camera (or model) afresh, since the video ends after a second.
    """
    # bench.py imports this module: its own names are there once it runs.
    from bench import ratio

    frames, times = dense_video()
    namespace = {"sim": sim, "frames": frames, "times": times.tolist(), "second": SECOND}

    def camera_read(threads, ideal):
        statement = (
            f"sim.Camera(scene=frames, frame_times_us=times, threads={threads}, ideal={ideal})"
            ".read(second)"
        )
        return (statement, namespace, 1)

    emulator = camera_read(1, True)
    reference = (
        "NumpyVideoModel(frames, times).read(second)",
        {**namespace, "NumpyVideoModel": NumpyVideoModel},
        1,
    )
    start = time.thread_time()
    events = sim.Camera(scene=frames, frame_times_us=times.tolist(), threads=1, ideal=True).read(
        SECOND
    )[0]
    table.add(
        "emulated seconds per CPU second, 1280 x 720 dense video",
        1 / (time.thread_time() - start),
        "absolute",
    )
    table.add(
        "events of the NumPy video model per emulator event",
        len(NumpyVideoModel(frames, times).read(SECOND)) / len(events),
        "-",
    )
    del events
    table.add(
        "NumPy video model over the C++ pixel model on one thread, 1 s of dense video",
        ratio(reference, emulator, rounds=3),
        "C++ pixel model",
        low=4.0,
    )
    if (os.cpu_count() or 1) >= 2:
        table.add(
            "read(1 s) of dense video on one thread over two threads (wall clock)",
            ratio(emulator, camera_read(2, True), rounds=5, clock=time.perf_counter),
            "two threads",
            low=1.7,
        )
    table.add(
        "realistic over ideal pixel on one thread, 1 s of dense video",
        ratio(camera_read(1, False), emulator, rounds=3),
        "ideal pixel",
        high=2.0,
    )
