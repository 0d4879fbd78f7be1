"""HDF5 event files: one chunked, compressed dataset per field.

`events/x`, `events/y`, `events/p`, `events/t` and `triggers/p`, `triggers/t`,
`triggers/id` grow by one whole chunk of the writer at a time; the file's
`events` and `triggers` attributes count what is whole, and are set only after
the data are in, so a file cut short claims no more than it holds.
"""

from __future__ import annotations

import numpy as np

from .evt3 import MOST_COUNT, MOST_SIDE
from .extras import need

EVENT_FIELDS = {"x": "x", "y": "y", "p": "polarity", "t": "timestamp"}
TRIGGER_FIELDS = {"p": "polarity", "t": "timestamp", "id": "id"}
STORAGE_CHUNK = 1 << 16
READ_EVENTS = 1 << 20


def open_h5py():
    return need("h5py", "files")


class Hdf5Backend:
    def __init__(self, path, width, height, attributes, event_dtype, trigger_dtype):
        h5py = open_h5py()
        self.file = h5py.File(path, "w")
        self.file.attrs.update({"width": width, "height": height, **attributes})
        self.file.attrs.update({"events": 0, "triggers": 0, "complete": False})
        self.datasets = {}
        self.held = {"events": 0, "triggers": 0}
        for group, fields, dtype in (
            ("events", EVENT_FIELDS, event_dtype),
            ("triggers", TRIGGER_FIELDS, trigger_dtype),
        ):
            for name, field in fields.items():
                self.datasets[group, name] = self.file.create_dataset(
                    f"{group}/{name}",
                    shape=(0,),
                    maxshape=(None,),
                    dtype=dtype[field],
                    chunks=(STORAGE_CHUNK,),
                    compression="gzip",
                    compression_opts=1,
                    shuffle=True,
                )
        self.file.flush()

    def add(self, events, triggers):
        for group, fields, records in (
            ("events", EVENT_FIELDS, events),
            ("triggers", TRIGGER_FIELDS, triggers),
        ):
            if not len(records):
                continue
            start = self.held[group]
            self.held[group] += len(records)
            for name, field in fields.items():
                dataset = self.datasets[group, name]
                dataset.resize((self.held[group],))
                dataset[start:] = records[field]

    def commit(self):
        self.file.attrs.update(self.held)
        self.file.flush()

    def finish(self):
        try:
            self.commit()
            self.file.attrs["complete"] = True
        finally:
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
