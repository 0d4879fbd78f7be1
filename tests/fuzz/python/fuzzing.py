"""What the Python fuzz targets share: atheris over our readers, with coverage of
the `orvane_sim` package, and the oracle for event files.

Each target runs as `python fuzz_<target>.py <libFuzzer options> <corpus folders>`.
A broken expectation is an uncaught exception, which atheris reports as a crash,
keeping its input; a hang or unbounded memory is caught by libFuzzer's
-timeout and -rss_limit_mb.
"""

import os
import sys
import tempfile
import warnings

import atheris

with atheris.instrument_imports(include=["orvane_sim"]):
    import orvane_sim  # noqa: F401 - instrumented before orvane_sim_py hands its names out

import orvane_sim_py as sim

SCRATCH = tempfile.mkdtemp(prefix="orvane-fuzz-")
# A file may rightly span more slices than are worth reading; the reader must
# hand each out in bounded time, which the first ones show.
MOST_SLICES = 200
SLICE_LENGTHS = (1, 1000, 1 << 40)


def scratch_path(name):
    return os.path.join(SCRATCH, name)


def expect_refusal_naming(error, named):
    """Passes a ValueError whose text names `named`; anything else is a fault."""
    if not isinstance(error, ValueError) or named not in str(error):
        raise AssertionError(f"expected a ValueError naming {named!r}, got {error!r}") from error


def read_event_file(path, slice_us):
    """Reads the whole event file at `path` as a user would, checking what it hands out."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            with sim.EventReader(path) as reader:
                check_event_file(reader, slice_us)
        except Exception as error:  # noqa: BLE001 - the oracle judges every exception
            expect_refusal_naming(error, path)
    for warning in caught:
        if not issubclass(warning.category, UserWarning) or path not in str(warning.message):
            raise AssertionError(f"a warning that does not name {path!r}: {warning.message!r}")


def check_event_file(reader, slice_us):
    if not (0 < reader.width <= 2048 and 0 < reader.height <= 2048):
        raise AssertionError(f"a sensor of {reader.width} x {reader.height}")
    info = reader.file_info()
    if info.max_events != reader.event_count:
        raise AssertionError(f"file_info gives {info.max_events} events of {reader.event_count}")
    last_times = {"events": 0, "triggers": 0}
    for number, (events, triggers) in enumerate(reader.slices(slice_us)):
        if events.dtype != reader.event_dtype or triggers.dtype != reader.trigger_dtype:
            raise AssertionError(f"records of {events.dtype} and {triggers.dtype}")
        for what, t in (("events", events["timestamp"]), ("triggers", triggers["timestamp"])):
            if len(t) and (t[0] < last_times[what] or (t[1:] < t[:-1]).any()):
                raise AssertionError(f"{what} out of time order")
            last_times[what] = int(t[-1]) if len(t) else last_times[what]
        if len(events) and (
            events["x"].max() >= reader.width or events["y"].max() >= reader.height
        ):
            raise AssertionError("an event outside the sensor")
        if number + 1 == MOST_SLICES:
            break


def slice_length(data):
    return SLICE_LENGTHS[len(data) % len(SLICE_LENGTHS)]


def run(test_one_input):
    atheris.Setup(sys.argv, test_one_input)
    atheris.Fuzz()
