"""Event files and many videos at once: what writing costs, how small raw files are, how two
Dask workers scale, and the memory of one worker converting a long video."""

import importlib.util
import logging
import os
import statistics
import tempfile
import time

import numpy as np
import orvane_sim_py as sim

SECOND = 1_000_000


def write_bar_video(path, width, height, seconds, rate=30):
    """A bright bar crossing the frame once a second, as H.264."""
    import av

    with av.open(path, "w") as video:
        stream = video.add_stream("libx264", rate=rate, options={"preset": "veryfast"})
        stream.width, stream.height, stream.pix_fmt = width, height, "yuv420p"
        columns = np.arange(width)
        for index in range(seconds * rate):
            left = (index % rate) * width // rate
            row = np.where((columns >= left) & (columns < left + width // 16), 200, 50)
            pixels = np.ascontiguousarray(np.broadcast_to(row.astype(np.uint8), (height, width)))
            video.mux(stream.encode(av.VideoFrame.from_ndarray(pixels, format="gray")))
        video.mux(stream.encode())


def stream_into(kind, folder, threads=1):
    """One second of the bar at 1280 x 720 streamed into a file of `kind`, or nowhere."""
    camera = sim.Camera(threads=threads)
    if kind is None:
        for _ in camera.stream(100_000, SECOND):
            pass
        return
    camera.record(os.path.join(folder, f"bar.{kind}"), SECOND)


def bench_writing(table, folder):
    from bench import ratio  # imported here, as bench.py imports this module

    namespace = {"stream_into": stream_into, "folder": folder}
    # The CPU time of one pixel-model thread is what the target bounds; the wall clock with a
    # thread a core is what a user waits, and shows how much of the writing the HDF5 writer's
    # compressing threads hide.
    for threads, clock, what, high in (
        (1, time.process_time, "CPU time, one pixel-model thread", 1.3),
        (None, time.perf_counter, "wall clock, a pixel-model thread a core", None),
    ):
        plain = (f"stream_into(None, folder, {threads})", namespace, 1)
        for kind in ("h5", "raw"):
            table.add(
                f"stream of 1 s of the 1280 x 720 bar written to {kind} ({what})",
                ratio(
                    (f"stream_into({kind!r}, folder, {threads})", namespace, 1),
                    plain,
                    rounds=5,
                    clock=clock,
                ),
                "the same stream, not written",
                high=high,
            )
    path = os.path.join(folder, "bar.raw")
    events = sim.EventReader(path).event_count
    table.add(
        "bytes per event of raw EVT 3.0, 1 s of the 1280 x 720 bar",
        os.path.getsize(path) / events,
        "absolute (16 in memory)",
        high=8.0,
    )


def bench_workers(table, folder):
    from distributed import Client, LocalCluster

    videos = []
    for index in range(4):
        videos.append(os.path.join(folder, f"bar{index}.mp4"))
        write_bar_video(videos[-1], 320, 240, 2)
    clusters = {
        workers: LocalCluster(
            n_workers=workers,
            threads_per_worker=1,
            dashboard_address=None,
            silence_logs=logging.ERROR,
        )
        for workers in (1, 2)
    }
    clients = {workers: Client(cluster) for workers, cluster in clusters.items()}
    try:
        runs = {1: [], 2: []}
        for workers, client in clients.items():
            # Every worker imports the modules and decodes once before the timing.
            sim.convert_videos(videos[:workers], folder, client=client, threads=1)
        for _ in range(3):
            for workers, client in clients.items():
                start = time.perf_counter()
                sim.convert_videos(videos, folder, client=client, threads=1)
                runs[workers].append(time.perf_counter() - start)
    finally:
        for workers, client in clients.items():
            client.close()
            clusters[workers].close()
    seconds = {workers: statistics.median(times) for workers, times in runs.items()}
    table.add(
        "four 2 s 320 x 240 videos, one worker's time over two workers' (wall clock)",
        seconds[1] / seconds[2],
        "two workers",
        low=1.7,
    )


LONG_CONVERSION_MEMORY = """
from orvane_sim.conversion import convert_video
convert_video({path!r}, {out!r}, format="h5")
print(peak_resident_bytes() / (1 << 20))
"""


def bench_worker_memory(table, folder):
    # Imported here: bench.py imports this module, and these import bench.py back.
    from bench_footage import textured_frames, write_h264

    from bench import PEAK_RESIDENT, child_figure

    path = os.path.join(folder, "long.mp4")
    write_h264(path, textured_frames(10 * 60, 10, 0))
    table.add(
        "peak resident MiB of a process converting a 10 s 1280 x 720 60 fps video to HDF5",
        child_figure(PEAK_RESIDENT + LONG_CONVERSION_MEMORY.format(path=path, out=folder)),
        "absolute",
        high=400,
    )


def bench_files(table):
    missing = [
        name for name in ("h5py", "av", "distributed") if importlib.util.find_spec(name) is None
    ]
    if missing:
        print(f"bench_files: {', '.join(missing)} missing (the cli and cluster extras), skipped")
        return
    with tempfile.TemporaryDirectory() as folder:
        bench_writing(table, folder)
        if (os.cpu_count() or 1) >= 2:
            bench_workers(table, folder)
        bench_worker_memory(table, folder)
