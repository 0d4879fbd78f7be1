"""`Camera.record`: a stretch of the camera's stream saved to an event file."""

from __future__ import annotations

import json

from .event_files import EventWriter


def tool_values(camera):
    """Every tool's parameter values, by the tool's class name."""
    return {
        type(tool).__name__: {name: tool.get_param(name)[1] for name in tool.get_all_param_info()}
        for tool in camera.tools()
    }


def camera_attributes(camera):
    """What an event file keeps of the camera that made it."""
    return {
        "serial": camera.serial,
        "seed": str(camera.seed),
        "tools": json.dumps(tool_values(camera), sort_keys=True),
    }


def record(camera, path, duration_us, *, slice_us=100_000, format=None):
    """Streams the camera's next `duration_us` microseconds, `slice_us` at a time, into a
    new event file at `path`; returns the number of events written."""
    info = camera.file_info()
    kept = {
        **camera_attributes(camera),
        "start_us": str(camera.clock_us),
        "duration_us": str(duration_us),
    }
    written = 0
    stream = camera.stream(slice_us, duration_us)
    with EventWriter(
        path, width=info.dvs_width, height=info.dvs_height, format=format, attributes=kept
    ) as writer:
        for events, triggers in stream:
            writer.write(events, triggers)
            written += len(events)
    return written
