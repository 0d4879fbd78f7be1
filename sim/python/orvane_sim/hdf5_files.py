"""HDF5 event files: one chunked, compressed dataset per field.

`events/x`, `events/y`, `events/p`, `events/t` and `triggers/p`, `triggers/t`,
`triggers/id` grow by one whole chunk of the writer at a time; the file's
`events` and `triggers` attributes count what is whole, and are set only after
the data are in, so a file cut short claims no more than it holds.

The datasets carry HDF5's standard shuffle and deflate filters, so any HDF5
reader opens them; but the writer shuffles and deflates each storage chunk
itself, on a few threads while the caller goes on (zlib lets go of the
interpreter lock), and hands HDF5 the finished chunks.
"""

from __future__ import annotations

import zlib
from collections import deque
from concurrent.futures import ThreadPoolExecutor

import numpy as np

from .evt3 import MOST_COUNT, MOST_SIDE
from .extras import need

EVENT_FIELDS = {"x": "x", "y": "y", "p": "polarity", "t": "timestamp"}
TRIGGER_FIELDS = {"p": "polarity", "t": "timestamp", "id": "id"}
STORAGE_CHUNK = 1 << 16
READ_EVENTS = 1 << 20
COMPRESSING_THREADS = 2
# Chunks handed to the threads and not yet in the file, at most: enough to keep
# the threads busy while the caller makes the next block, few enough to bound
# the memory they hold.
CHUNKS_IN_FLIGHT = 64
COMPRESSION_LEVEL = 1
# Runs of equal bytes are most of what the shuffled chunks hold (the high bytes
# of times and rows); matching only those, deflate costs a fraction of its
# fastest level's time, and its output is a deflate stream like any other.
COMPRESSION_STRATEGY = zlib.Z_RLE


def open_h5py():
    return need("h5py", "files")


def deflated_chunk(values):
    """`values`, one whole storage chunk, as the shuffle and deflate filters store it."""
    size = values.dtype.itemsize
    shuffled = values.view(np.uint8).reshape(-1, size).T.tobytes() if size > 1 else values
    compressor = zlib.compressobj(COMPRESSION_LEVEL, zlib.DEFLATED, 15, 9, COMPRESSION_STRATEGY)
    return compressor.compress(shuffled) + compressor.flush()


class ChunkedField:
    """One dataset, written a storage chunk at a time; the unfinished last chunk is
    held back, and stored (padded) only when the file is committed."""

    def __init__(self, dataset):
        self.dataset = dataset
        self.pending = []
        self.pending_count = 0
        self.chunks_cut = 0

    def cut(self, values):
        """The whole chunks that `values` completes, by their index."""
        self.pending.append(values)
        self.pending_count += len(values)
        if self.pending_count < STORAGE_CHUNK:
            return []
        held = self.pending[0] if len(self.pending) == 1 else np.concatenate(self.pending)
        whole = len(held) // STORAGE_CHUNK * STORAGE_CHUNK
        chunks = [
            (self.chunks_cut + index, held[start : start + STORAGE_CHUNK])
            for index, start in enumerate(range(0, whole, STORAGE_CHUNK))
        ]
        self.chunks_cut += len(chunks)
        self.pending = [held[whole:]] if whole < len(held) else []
        self.pending_count = len(held) - whole
        return chunks

    def last_chunk(self):
        """The unfinished last chunk, padded with zeros, or None."""
        if not self.pending_count:
            return None
        padded = np.zeros(STORAGE_CHUNK, self.dataset.dtype)
        padded[: self.pending_count] = np.concatenate(self.pending)
        return self.chunks_cut, padded


class Hdf5Backend:
    def __init__(self, path, width, height, attributes, event_dtype, trigger_dtype):
        h5py = open_h5py()
        self.file = h5py.File(path, "w")
        self.file.attrs.update({"width": width, "height": height, **attributes})
        self.file.attrs.update({"events": 0, "triggers": 0, "complete": False})
        self.fields = {}
        self.held = {"events": 0, "triggers": 0}
        for group, fields, dtype in (
            ("events", EVENT_FIELDS, event_dtype),
            ("triggers", TRIGGER_FIELDS, trigger_dtype),
        ):
            for name, field in fields.items():
                dataset = self.file.create_dataset(
                    f"{group}/{name}",
                    shape=(0,),
                    maxshape=(None,),
                    dtype=dtype[field],
                    chunks=(STORAGE_CHUNK,),
                    compression="gzip",
                    compression_opts=COMPRESSION_LEVEL,
                    shuffle=True,
                )
                self.fields[group, name] = ChunkedField(dataset)
        self.file.flush()
        self.threads = ThreadPoolExecutor(COMPRESSING_THREADS)
        self.in_flight = deque()

    def add(self, events, triggers):
        for group, fields, records in (
            ("events", EVENT_FIELDS, events),
            ("triggers", TRIGGER_FIELDS, triggers),
        ):
            if not len(records):
                continue
            self.held[group] += len(records)
            for name, field in fields.items():
                chunked = self.fields[group, name]
                chunked.dataset.resize((self.held[group],))
                for index, values in chunked.cut(np.ascontiguousarray(records[field])):
                    future = self.threads.submit(deflated_chunk, values)
                    self.in_flight.append((chunked.dataset, index, future))
        self.store_done(CHUNKS_IN_FLIGHT)

    def store_done(self, most_left):
        """Stores the compressed chunks in order, waiting while more than `most_left` are
        still in flight."""
        while self.in_flight and (len(self.in_flight) > most_left or self.in_flight[0][2].done()):
            dataset, index, future = self.in_flight.popleft()
            dataset.id.write_direct_chunk((index * STORAGE_CHUNK,), future.result())

    def commit(self):
        self.store_done(0)
        for chunked in self.fields.values():
            last = chunked.last_chunk()
            if last is not None:
                index, values = last
                chunked.dataset.id.write_direct_chunk(
                    (index * STORAGE_CHUNK,), deflated_chunk(values)
                )
        self.file.attrs.update(self.held)
        self.file.flush()

    def finish(self):
        try:
            self.commit()
            self.file.attrs["complete"] = True
        finally:
            self.threads.shutdown(cancel_futures=True)
            self.file.close()


class Hdf5Source:
    """An HDF5 event file opened for reading."""

    def __init__(self, path, warn):
        """Opens the file at `path`, refusing one whose attributes or datasets no
        `EventWriter` could have written, and warning through `warn` of one cut short."""
        h5py = open_h5py()
        self.path = path
        try:
            self.file = h5py.File(path, "r")
        except OSError as error:
            raise ValueError(f"{path}: not a readable HDF5 file ({error})") from None
        attrs = self.file.attrs
        missing = [
            f"{group}/{name}"
            for group, fields in (("events", EVENT_FIELDS), ("triggers", TRIGGER_FIELDS))
            for name in fields
            if f"{group}/{name}" not in self.file
        ]
        if missing or "width" not in attrs or "height" not in attrs:
            self.file.close()
            raise ValueError(
                f"{path}: not an event file (missing {', '.join(missing) or 'its sensor size'})"
            )
        try:
            self.check_datasets(h5py)
            self.width = self.whole_number("width", 1, MOST_SIDE)
            self.height = self.whole_number("height", 1, MOST_SIDE)
            self.counts = {}
            for group, fields in (("events", EVENT_FIELDS), ("triggers", TRIGGER_FIELDS)):
                held = min(len(self.file[f"{group}/{name}"]) for name in fields)
                claimed = self.whole_number(group, 0, MOST_COUNT, held)
                if held < claimed:
                    warn(f"{path} holds {held} {group} where it claims {claimed}")
                self.counts[group] = min(held, claimed)
            complete = attrs.get("complete", True)
            is_flag = isinstance(complete, (bool, int, np.bool_, np.integer))
            if not is_flag:
                raise ValueError(f"{path}: its complete attribute is not true or false")
        except ValueError:
            self.file.close()
            raise
        if not complete:
            warn(
                f"{path} was not closed by its writer (cut short?): reading its "
                f"{self.counts['events']} events up to its last whole chunk"
            )
        self.attributes = {
            name: value.decode() if isinstance(value, bytes) else value
            for name, value in attrs.items()
            if name not in ("width", "height", "events", "triggers", "complete")
        }

    def check_datasets(self, h5py):
        for group, fields in (("events", EVENT_FIELDS), ("triggers", TRIGGER_FIELDS)):
            for name in fields:
                dataset = self.file[f"{group}/{name}"]
                is_list = isinstance(dataset, h5py.Dataset) and dataset.ndim == 1
                if not is_list or dataset.dtype.kind not in "iu":
                    raise ValueError(
                        f"{self.path}: its {group}/{name} is not a list of whole numbers"
                    )

    def whole_number(self, name, low, high, default=None):
        value = self.file.attrs.get(name, default)
        is_whole = isinstance(value, (int, np.integer)) and not isinstance(value, (bool, np.bool_))
        if not is_whole:
            raise ValueError(f"{self.path}: its {name} attribute is not a whole number")
        if not low <= value <= high:
            raise ValueError(f"{self.path}: its {name} attribute is not {low} to {high}")
        return int(value)

    def first_last(self):
        n = self.counts["events"]
        if not n:
            return 0, 0
        t = self.file["events/t"]
        first, last = int(t[0]), int(t[n - 1])
        if not 0 <= first <= last <= MOST_COUNT:
            raise ValueError(f"{self.path}: its event times are not 0 to {MOST_COUNT} in order")
        return first, last

    def read(self, group, fields, dtype, start, stop):
        records = np.zeros(stop - start, dtype)
        for name, field in fields.items():
            try:
                values = self.file[f"{group}/{name}"][start:stop]
            except OSError as error:
                raise ValueError(
                    f"{self.path}: its {group}/{name} cannot be read ({error})"
                ) from None
            kept = dtype[field]
            if len(values) and not np.can_cast(values.dtype, kept):
                limits = np.iinfo(kept)
                if values.min() < limits.min or values.max() > limits.max:
                    raise ValueError(
                        f"{self.path}: its {group}/{name} holds values outside {limits.min} to "
                        f"{limits.max}"
                    )
            records[field] = values
        return records

    def blocks(self, event_dtype, trigger_dtype):
        """Blocks of events, each with the trigger edges up to its last event's time."""
        n_events, n_triggers = self.counts["events"], self.counts["triggers"]
        trigger_t = self.file["triggers/t"]
        taken = 0
        for start in range(0, n_events, READ_EVENTS):
            stop = min(start + READ_EVENTS, n_events)
            events = self.read("events", EVENT_FIELDS, event_dtype, start, stop)
            last = events["timestamp"][-1]
            upto = taken
            while upto < n_triggers:
                window = trigger_t[upto : min(upto + READ_EVENTS, n_triggers)]
                within = int(np.searchsorted(window, last, "right"))
                upto += within
                if within < len(window):
                    break
            yield events, self.read("triggers", TRIGGER_FIELDS, trigger_dtype, taken, upto)
            taken = upto
        if taken < n_triggers:
            for start in range(taken, n_triggers, READ_EVENTS):
                stop = min(start + READ_EVENTS, n_triggers)
                yield (
                    np.zeros(0, event_dtype),
                    self.read("triggers", TRIGGER_FIELDS, trigger_dtype, start, stop),
                )

    def close(self):
        self.file.close()
