"""Event files: `EventWriter` saves what `read` and `stream` hand out, `EventReader` reads
it back in slices of time, both in bounded memory.

Two formats: HDF5 (`.h5`, `.hdf5`) and raw EVT 3.0 (`.raw`). The writer hands
each write to the file at once, and marks what the file holds as whole once a
chunk of events is in; a file cut short reads back to its last whole chunk,
with a warning.
"""

from __future__ import annotations

import os
import re
import warnings
from collections.abc import Iterator, Mapping
from importlib import metadata
from typing import TYPE_CHECKING, Any, Union

import numpy as np
import numpy.typing as npt
from orvane_base_py import DvsFileInfo
from orvane_hal_py import RawEventStreamFormat

from . import evt3
from .hdf5_files import Hdf5Backend, Hdf5Source
from .raw_files import RawBackend, RawSource

if TYPE_CHECKING:
    from typing_extensions import Self

PathLike = Union[str, "os.PathLike[str]"]
Records = npt.NDArray[np.void]

FORMATS = {".h5": "h5", ".hdf5": "h5", ".raw": "raw"}
CHUNK_EVENTS = 1 << 20
ATTRIBUTE_NAME = re.compile(r"[a-z][a-z0-9_]*\Z")
RESERVED = {"width", "height", "events", "triggers", "complete", "evt", "format", "geometry"}


def record_dtypes():
    import orvane_sim_py

    return orvane_sim_py.event2d_array(0).dtype, orvane_sim_py.trigger_array(0).dtype


def file_format(path, given):
    kind = given if given is not None else FORMATS.get(os.path.splitext(path)[1].lower())
    if kind == "hdf5":
        kind = "h5"
    if kind not in ("h5", "raw"):
        raise ValueError(
            f"{path}: give format='h5' or 'raw', or a name ending in .h5, .hdf5 or .raw"
        )
    return kind


def package_version():
    try:
        return metadata.version("orvane-py")
    except metadata.PackageNotFoundError:
        return "unknown"


class EventWriter:
    """Appends events and trigger edges, in time order, to a new event file.

    `attributes` (names of lower-case letters, digits and underscores, text
    values of one line) are kept in the file with the sensor size and the
    package's version. Use it as a context manager, or call `close()`.
    """

    def __init__(
        self,
        path: PathLike,
        *,
        width: int,
        height: int,
        format: str | None = None,
        attributes: Mapping[str, str] | None = None,
        chunk_events: int = CHUNK_EVENTS,
    ) -> None:
        path = os.fspath(path)
        kind = file_format(path, format)
        if not (0 < width <= evt3.MOST_SIDE and 0 < height <= evt3.MOST_SIDE):
            raise ValueError(f"width and height must be 1 to 2048, got {width} x {height}")
        if chunk_events < 1:
            raise ValueError(f"chunk_events must be at least 1, got {chunk_events}")
        kept = {"package_version": package_version()}
        for name, value in (attributes or {}).items():
            if not ATTRIBUTE_NAME.match(name) or name in RESERVED:
                raise ValueError(f"attribute name {name!r} is reserved or not a plain name")
            if not isinstance(value, str) or "\n" in value:
                raise ValueError(f"attribute {name!r} must be text of one line")
            kept[name] = value
        self.path, self.kind = path, kind
        self.width, self.height, self.chunk_events = width, height, chunk_events
        self.event_dtype, self.trigger_dtype = record_dtypes()
        self.pending = 0
        self.last_event_t = self.last_trigger_t = 0
        if kind == "h5":
            self.backend = Hdf5Backend(
                path, width, height, kept, self.event_dtype, self.trigger_dtype
            )
        else:
            self.backend = RawBackend(path, width, height, kept)

    def write(self, events: Records, triggers: Records | None = None) -> None:
        """Appends `events` (Event2D records) and `triggers` (EventTriggerIn records)."""
        if self.backend is None:
            raise ValueError(f"{self.path}: the writer is closed")
        events = self.checked(events, self.event_dtype, "events")
        triggers = self.checked(
            np.zeros(0, self.trigger_dtype) if triggers is None else triggers,
            self.trigger_dtype,
            "triggers",
        )
        if len(events):
            if events["x"].max() >= self.width or events["y"].max() >= self.height:
                raise ValueError(f"events outside the {self.width} x {self.height} sensor")
            if events["polarity"].max() > 1:
                raise ValueError("event polarities must be 0 or 1")
        if len(triggers):
            if not np.isin(triggers["polarity"], (0, 1)).all():
                raise ValueError("trigger polarities must be 0 or 1")
            if triggers["id"].min() < 0 or triggers["id"].max() > evt3.MOST_TRIGGER_ID:
                raise ValueError(f"trigger ids must be 0 to {evt3.MOST_TRIGGER_ID}")
        last_event_t = self.in_order(events, self.last_event_t, "events")
        last_trigger_t = self.in_order(triggers, self.last_trigger_t, "triggers")
        self.backend.add(events, triggers)
        self.last_event_t, self.last_trigger_t = last_event_t, last_trigger_t
        self.pending += len(events) + len(triggers)
        if self.pending >= self.chunk_events:
            self.flush()

    @staticmethod
    def checked(records, dtype, what):
        records = np.asarray(records)
        if records.ndim != 1 or records.dtype.names is None:
            raise TypeError(f"{what} must be a 1-d structured array, got {records.dtype}")
        if records.dtype != dtype:
            try:
                converted = np.zeros(len(records), dtype)
                for name in dtype.names:
                    converted[name] = records[name]
            except (ValueError, KeyError):
                raise TypeError(f"{what} must have the fields {dtype.names}") from None
            records = converted
        return records

    @staticmethod
    def in_order(records, last, what):
        if not len(records):
            return last
        t = records["timestamp"]
        if t[0] < last or (t[1:] < t[:-1]).any():
            raise ValueError(f"{what} must come in time order")
        return int(t[-1])

    def flush(self) -> None:
        """Marks everything written so far as a whole chunk of the file."""
        self.backend.commit()
        self.pending = 0

    def close(self) -> None:
        """Marks the file whole and closes it."""
        if self.backend is not None:
            backend, self.backend = self.backend, None
            backend.finish()

    def __enter__(self) -> Self:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()


class EventReader:
    """An event file, HDF5 or raw EVT 3.0, read in slices of time."""

    def __init__(self, path: PathLike) -> None:
        self.path = os.fspath(path)
        self.event_dtype, self.trigger_dtype = record_dtypes()
        try:
            with open(self.path, "rb") as file:
                magic = file.read(8)
        except IsADirectoryError:
            raise ValueError(f"{self.path}: is a directory, not an event file") from None

        def warn(message):
            warnings.warn(message, stacklevel=4)

        if magic == b"\x89HDF\r\n\x1a\n":
            self.kind, self.source = "h5", Hdf5Source(self.path, warn)
            self.format: RawEventStreamFormat | None = None
        else:
            self.kind, self.source = "raw", RawSource(self.path, warn)
            self.format = self.source.format
        self.width, self.height = self.source.width, self.source.height
        self.attributes: dict[str, Any] = dict(self.source.attributes)
        self._counts = None

    def counts(self) -> tuple[int, int, int, int]:
        """(events, triggers, first event time, last event time) of the whole file."""
        if self._counts is None:
            source = self.source
            if self.kind == "h5":
                first, last = source.first_last()
                self._counts = (source.counts["events"], source.counts["triggers"], first, last)
            elif source.counts is not None:
                c = source.counts
                self._counts = (
                    c["events"],
                    c["triggers"],
                    c["first_timestamp"],
                    c["last_timestamp"],
                )
            else:
                self._counts = self.scanned_counts()
        return self._counts

    def scanned_counts(self):
        events = triggers = first = last = 0
        for block_events, block_triggers in self.blocks():
            if len(block_events):
                first = first if events else int(block_events["timestamp"][0])
                last = int(block_events["timestamp"][-1])
            events += len(block_events)
            triggers += len(block_triggers)
        return events, triggers, first, last

    @property
    def event_count(self) -> int:
        return self.counts()[0]

    @property
    def trigger_count(self) -> int:
        return self.counts()[1]

    def file_info(self) -> DvsFileInfo:
        """A `DvsFileInfo` of the whole file."""
        events, _, first, last = self.counts()
        info = DvsFileInfo()
        info.dvs_width, info.dvs_height = self.width, self.height
        info.max_events = events
        if events:
            info.start_timestamp, info.end_timestamp = first, last + 1
        info.serial_number = str(self.attributes.get("serial", ""))
        return info

    def slices(self, slice_us: int) -> Iterator[tuple[Records, Records]]:
        """Yields (events, triggers) of each `(k * slice_us, (k + 1) * slice_us]` of time
        (the first also holds time 0), from the one of the first record to the one of the
        last, as `Camera.stream` hands them out."""
        if slice_us < 1:
            raise ValueError(f"slice_us must be at least 1, got {slice_us}")
        return time_slices(self.blocks(), slice_us)

    def blocks(self) -> Iterator[tuple[Records, Records]]:
        """Yields (events, triggers) in blocks as the file holds them, in bounded memory."""
        return checked_blocks(
            self.path,
            self.source.blocks(self.event_dtype, self.trigger_dtype),
            self.width,
            self.height,
        )

    def close(self) -> None:
        if self.kind == "h5":
            self.source.close()

    def __enter__(self) -> Self:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"<orvane_sim_py.EventReader {self.path!r} {self.kind} {self.width}x{self.height}>"


def checked_blocks(path, blocks, width, height):
    """`blocks`, refusing records that the file's sensor could not have given, or that
    come out of time order (which slicing in time relies on)."""
    last_times = {"events": 0, "triggers": 0}
    for events, triggers in blocks:
        for what, records in (("events", events), ("triggers", triggers)):
            t = records["timestamp"]
            if len(t) and (t[0] < last_times[what] or (t[1:] < t[:-1]).any()):
                raise ValueError(f"{path}: its {what}' times are negative or go back")
            last_times[what] = int(t[-1]) if len(t) else last_times[what]
        p = events["polarity"]
        unfit = (events["x"] >= width) | (events["y"] >= height) | (p < 0) | (p > 1)
        if unfit.any():
            x, y, p, t = (
                events[name][unfit.argmax()] for name in ("x", "y", "polarity", "timestamp")
            )
            raise ValueError(
                f"{path}: its event at {t} us (x {x}, y {y}, polarity {p}) does not fit "
                f"its {width} x {height} sensor"
            )
        p, trigger_id = triggers["polarity"], triggers["id"]
        if ((p < 0) | (p > 1) | (trigger_id < 0) | (trigger_id > evt3.MOST_TRIGGER_ID)).any():
            raise ValueError(f"{path}: its trigger edges have polarities or ids out of range")
        yield events, triggers


def time_slices(blocks, slice_us):
    """Regroups blocks of time-ordered (events, triggers) into slices of time."""
    kept_events, kept_triggers, end = [], [], None
    for events, triggers in blocks:
        if not len(events) and not len(triggers):
            continue
        kept_events.append(events)
        kept_triggers.append(triggers)
        latest = max(
            int(events["timestamp"][-1]) if len(events) else 0,
            int(triggers["timestamp"][-1]) if len(triggers) else 0,
        )
        if end is None:
            firsts = [int(r["timestamp"][0]) for r in (events, triggers) if len(r)]
            end = (max(min(firsts) - 1, 0) // slice_us + 1) * slice_us
        while latest > end:
            yield take_through(kept_events, end), take_through(kept_triggers, end)
            end += slice_us
    if end is not None:
        while any(len(r) for r in kept_events) or any(len(r) for r in kept_triggers):
            yield take_through(kept_events, end), take_through(kept_triggers, end)
            end += slice_us


def take_through(kept, end):
    """The records of `kept` up to time `end`, taken out of it."""
    records = joined(kept) if len(kept) > 1 else kept[0]
    split = int(np.searchsorted(records["timestamp"], end, "right"))
    kept[:] = [records[split:]]
    return records[:split]


def joined(arrays):
    """The arrays end to end, in their own dtype (concatenate would drop its padding)."""
    records = np.zeros(sum(len(a) for a in arrays), arrays[0].dtype)
    return np.concatenate(arrays, out=records)
