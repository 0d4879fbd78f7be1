"""One video file into one event file, as the command line and each Dask task do it."""

from __future__ import annotations

import hashlib
import os
import time

from .event_files import EventWriter, file_format
from .recording import camera_attributes

SUFFIXES = {"h5": ".h5", "raw": ".raw"}
SLICE_US = 100_000


def video_seed(seed, path):
    """The seed of one video: from the given seed and the video's file name only, so a
    video's file is the same wherever and in whatever order it is converted."""
    digest = hashlib.sha256(f"{seed}\0{os.path.basename(path)}".encode()).digest()
    return int.from_bytes(digest[:8], "little")


def output_path(path, out_dir, format):
    stem = os.path.splitext(os.path.basename(path))[0]
    return os.path.join(out_dir, stem + SUFFIXES[file_format(stem, format)])


def video_length_us(path):
    """The video's length as its container states it, or None."""
    from .pyav_decoding import import_av, open_container

    with open_container(import_av(), os.fspath(path)) as container:
        return container.duration


class Frames:
    """A video's frames, noting when the last one has been taken."""

    def __init__(self, frames):
        self.frames, self.last_us, self.done = frames, 0, False

    def __iter__(self):
        for time_us, frame in self.frames:
            self.last_us = time_us
            yield time_us, frame
        self.done = True


def convert_video(
    path,
    out_dir,
    *,
    format="h5",
    seed=0,
    bias_file=None,
    biases=None,
    size=None,
    preview=False,
    progress=None,
    slice_us=SLICE_US,
    **camera_kw,
):
    """Converts the video at `path` into an event file in `out_dir`; returns a summary dict.

    The camera takes the biases of `bias_file` (see `load_biases`), then those
    of `biases`. The file is written under a temporary name and renamed once
    whole, so a failure leaves none behind; with `preview` ("events", or
    "side-by-side" for the input frames left of them), a preview video of the
    events (`write_preview`) goes beside it as `<name>.preview.mp4`.
    `progress(clock_us, length_us)` is called after each slice; `camera_kw` go
    to `Camera` (`threads`, `ideal`).
    """
    import orvane_hal_py as hal
    import orvane_sim_py as sim

    from .biases import apply_bias_mapping, load_biases
    from .preview import write_preview
    from .video_files import video_frames

    started = time.perf_counter()
    target = output_path(path, out_dir, format)
    length_us = video_length_us(path)
    frames = Frames(video_frames(path, size=size))
    camera = sim.Camera(scene=iter(frames), seed=video_seed(seed, path), **camera_kw)
    if bias_file is not None:
        load_biases(camera, bias_file)
    if biases:
        apply_bias_mapping(camera.tool(hal.BIAS), biases)
    info = camera.file_info()
    attributes = {**camera_attributes(camera), "source": os.path.basename(path)}
    os.makedirs(out_dir, exist_ok=True)
    part = os.path.join(out_dir, f".{os.path.basename(target)}.part")
    written = {"events": 0}

    def slices(writer):
        for events, triggers in camera.stream(slice_us):
            writer.write(events, triggers)
            written["events"] += len(events)
            if progress is not None:
                progress(camera.clock_us, length_us)
            yield events, triggers
            if frames.done and camera.clock_us >= frames.last_us:
                return

    try:
        with EventWriter(
            part, width=info.dvs_width, height=info.dvs_height, format=format, attributes=attributes
        ) as writer:
            if preview:
                preview_path = os.path.splitext(target)[0] + ".preview.mp4"
                beside = video_frames(path, size=size) if preview == "side-by-side" else None
                write_preview(
                    preview_path, slices(writer), info.dvs_width, info.dvs_height, frames=beside
                )
            else:
                for _ in slices(writer):
                    pass
        os.replace(part, target)
    except BaseException:
        if os.path.exists(part):
            os.remove(part)
        raise
    return {
        "video": os.fspath(path),
        "output": target,
        "events": written["events"],
        "duration_us": camera.clock_us,
        "seconds": time.perf_counter() - started,
    }
