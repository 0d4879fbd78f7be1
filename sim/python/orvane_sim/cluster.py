"""Many videos at once: one Dask task per video, on a local cluster or any scheduler."""

from __future__ import annotations

import logging
import os
from collections.abc import Callable, Sequence
from typing import Any

from .conversion import convert_video
from .event_files import PathLike
from .extras import need

PROGRESS_TOPIC = "orvane-sim-progress"


def report_progress(video):
    """A progress callback that a task sends to the client as a Dask event."""

    def progress(clock_us, length_us):
        from distributed import get_worker

        event = {"video": video, "clock_us": clock_us, "length_us": length_us}
        get_worker().log_event(PROGRESS_TOPIC, event)

    return progress


def convert_in_task(path, out_dir, reporting, options):
    progress = report_progress(os.fspath(path)) if reporting else None
    return convert_video(path, out_dir, progress=progress, **options)


def convert_videos(
    paths: Sequence[PathLike],
    out_dir: PathLike,
    *,
    client: Any = None,
    workers: int | None = None,
    on_progress: Callable[[str, int, int | None], object] | None = None,
    on_done: Callable[[dict[str, Any]], object] | None = None,
    **options: Any,
) -> list[dict[str, Any]]:
    """Converts each video of `paths` into an event file in `out_dir`, one Dask task each.

    `client` is a `distributed.Client`; without one, a `LocalCluster` of
    `workers` processes (one per core when None) runs the tasks and is closed
    after. `options` go to each conversion (`format`, `seed`, `biases`, `size`,
    `threads`, `ideal`). Returns one dict per video, in the order of `paths`:
    its summary, or `{"video": path, "error": text}` for one that failed (the
    others still run). `on_progress(video, clock_us, length_us)` is called as
    tasks report, `on_done(result)` as each ends.
    """
    distributed = need("distributed", "cluster")
    os.makedirs(out_dir, exist_ok=True)
    own_cluster = None
    if client is None:
        own_cluster = distributed.LocalCluster(
            n_workers=workers,
            threads_per_worker=1,
            processes=True,
            dashboard_address=None,
            # A failed task is reported with the results; its traceback need not be logged too.
            silence_logs=logging.CRITICAL,
        )
        client = distributed.Client(own_cluster)
    try:
        if on_progress is not None:
            client.subscribe_topic(PROGRESS_TOPIC, lambda event: on_progress(**event[1]))
        futures = {
            client.submit(
                convert_in_task, path, out_dir, on_progress is not None, options, pure=False
            ): index
            for index, path in enumerate(paths)
        }
        results = [None] * len(paths)
        for future in distributed.as_completed(futures):
            index = futures[future]
            try:
                result = future.result()
            except Exception as error:  # noqa: BLE001 - any task's failure is reported
                result = {
                    "video": os.fspath(paths[index]),
                    "error": f"{type(error).__name__}: {error}",
                }
            results[index] = result
            if on_done is not None:
                on_done(result)
        if on_progress is not None:
            client.unsubscribe_topic(PROGRESS_TOPIC)
        return results
    finally:
        if own_cluster is not None:
            client.close()
            own_cluster.close()
