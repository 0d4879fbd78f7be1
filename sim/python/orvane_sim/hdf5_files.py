"""HDF5 event files: one chunked, compressed dataset per field.

`events/x`, `events/y`, `events/p`, `events/t` and `triggers/p`, `triggers/t`,
`triggers/id` grow by one whole chunk of the writer at a time; the file's
`events` and `triggers` attributes count what is whole, and are set only after
the data are in, so a file cut short claims no more than it holds.
"""

from __future__ import annotations

import numpy as np

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
        self.width, self.height = int(attrs["width"]), int(attrs["height"])
        self.counts = {}
        for group in ("events", "triggers"):
            held = min(len(self.file[f"{group}/{name}"]) for name in ("t", "p"))
            claimed = int(attrs.get(group, held))
            if held < claimed:
                warn(f"{path} holds {held} {group} where it claims {claimed}")
            self.counts[group] = min(held, claimed)
        if not attrs.get("complete", True):
            warn(
                f"{path} was not closed by its writer (cut short?): reading its "
                f"{self.counts['events']} events up to its last whole chunk"
            )
        self.attributes = {
            name: value.decode() if isinstance(value, bytes) else value
            for name, value in attrs.items()
            if name not in ("width", "height", "events", "triggers", "complete")
        }

    def first_last(self):
        n = self.counts["events"]
        if not n:
            return 0, 0
        t = self.file["events/t"]
        return int(t[0]), int(t[n - 1])

    def read(self, group, fields, dtype, start, stop):
        records = np.zeros(stop - start, dtype)
        for name, field in fields.items():
            records[field] = self.file[f"{group}/{name}"][start:stop]
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
