"""Raw files: a text header of `% name value` lines, then EVT 3.0 words.

The header's first lines are the ones the field's readers look for (the
version, the format text that `RawEventStreamFormat` parses, the geometry).
Then come the writer's attributes and a block of fixed-width counts that the
writer rewrites in place after each whole chunk of words is out, so the
header never claims a word the file does not hold.
"""

from __future__ import annotations

import os

import numpy as np

from . import evt3

HEADER_END = b"% end\n"
HEADER_LIMIT = 1 << 16
COUNT_FIELDS = ("events", "triggers", "first_timestamp", "last_timestamp", "data_bytes", "complete")
COUNT_DIGITS = 20
READ_WORDS = 1 << 20


def format_text(width, height):
    return f"EVT3;height={height};width={width}"


def count_block(counts):
    return "".join(f"% {name} {counts[name]:0{COUNT_DIGITS}d}\n" for name in COUNT_FIELDS).encode()


class RawBackend:
    def __init__(self, path, width, height, attributes):
        self.file = open(path, "wb")  # noqa: SIM115 - held until finish()
        head = (
            f"% evt 3.0\n% format {format_text(width, height)}\n% geometry {width}x{height}\n"
            + "".join(f"% {name} {value}\n" for name, value in attributes.items())
        ).encode()
        self.counts = dict.fromkeys(COUNT_FIELDS, 0)
        self.added = dict.fromkeys(("events", "triggers", "data_bytes"), 0)
        self.counts_at = len(head)
        self.file.write(head + count_block(self.counts) + HEADER_END)
        self.state = evt3.EncoderState()

    def add(self, events, triggers):
        words = evt3.encode(events, triggers, self.state)
        self.file.write(words)
        added = self.added
        if len(events):
            if not self.counts["events"] and not added["events"]:
                added["first_timestamp"] = int(events["timestamp"][0])
            added["last_timestamp"] = int(events["timestamp"][-1])
        added["events"] += len(events)
        added["triggers"] += len(triggers)
        added["data_bytes"] += words.nbytes

    def commit(self):
        self.file.flush()
        for name in ("events", "triggers", "data_bytes"):
            self.counts[name] += self.added.pop(name)
        self.counts.update(self.added)
        self.added = dict.fromkeys(("events", "triggers", "data_bytes"), 0)
        self.rewrite_counts()

    def rewrite_counts(self):
        end = self.file.tell()
        self.file.seek(self.counts_at)
        self.file.write(count_block(self.counts))
        self.file.seek(end)
        self.file.flush()

    def finish(self):
        try:
            self.commit()
            self.counts["complete"] = 1
            self.rewrite_counts()
        finally:
            self.file.close()


class RawSource:
    """A raw file opened for reading: its header, and its words block by block."""

    def __init__(self, path, warn):
        from orvane_hal_py import RawEventStreamEncodingType, RawEventStreamFormat

        self.path = path
        with open(path, "rb") as file:
            start = file.read(HEADER_LIMIT)
        if not start.startswith(b"% "):
            raise ValueError(f"{path}: not a raw event file (no '% ' header)")
        lines, self.data_start = {}, None
        offset = 0
        for line in start.splitlines(keepends=True):
            if not line.startswith(b"%") or not line.endswith(b"\n"):
                break
            offset += len(line)
            if line == HEADER_END:
                self.data_start = offset
                break
            name, _, value = line[1:].strip().decode("utf-8", "replace").partition(" ")
            lines.setdefault(name, value)
        if self.data_start is None:
            raise ValueError(f"{path}: its header has no '% end' line")
        if "format" not in lines:
            raise ValueError(f"{path}: its header has no format line")
        try:
            self.format = RawEventStreamFormat(lines["format"])
        except ValueError as error:
            raise ValueError(f"{path}: its format line is not a format ({error})") from None
        if self.format.get_encoding_type() != RawEventStreamEncodingType.EVT3:
            raise ValueError(
                f"{path}: encoding {self.format.get_encoding_type_str()!r} is not EVT 3.0"
            )
        try:
            self.width, self.height = int(self.format["width"]), int(self.format["height"])
        except (KeyError, IndexError, ValueError, RuntimeError):
            raise ValueError(f"{path}: its format line gives no sensor size") from None
        if not (0 < self.width <= evt3.MOST_SIDE and 0 < self.height <= evt3.MOST_SIDE):
            size = f"{self.width} x {self.height}"
            raise ValueError(f"{path}: its sensor of {size} is not 1 to {evt3.MOST_SIDE} a side")
        self.attributes = {
            name: value
            for name, value in lines.items()
            if name not in (*COUNT_FIELDS, "evt", "format", "geometry")
        }
        held = os.path.getsize(path) - self.data_start
        self.counts = None
        self.data_bytes = held - held % 2
        if all(name in lines for name in COUNT_FIELDS):
            try:
                self.counts = {name: int(lines[name]) for name in COUNT_FIELDS}
            except ValueError:
                raise ValueError(f"{path}: its header's counts are not numbers") from None
            if not all(0 <= count <= evt3.MOST_COUNT for count in self.counts.values()):
                raise ValueError(f"{path}: its header's counts are not 0 to {evt3.MOST_COUNT}")
            claimed = self.counts["data_bytes"]
            if not self.counts["complete"]:
                warn(
                    f"{path} was not closed by its writer (cut short?): reading its "
                    f"{self.counts['events']} events up to its last whole chunk"
                )
            if held < claimed:
                warn(f"{path} holds {held} bytes of words where its header claims {claimed}")
                self.counts = None
            else:
                self.data_bytes = claimed

    def blocks(self, event_dtype, trigger_dtype):
        state = evt3.DecoderState()
        with open(self.path, "rb") as file:
            file.seek(self.data_start)
            left = self.data_bytes // 2
            while left:
                words = np.fromfile(file, "<u2", min(left, READ_WORDS))
                if not len(words):
                    break
                left -= len(words)
                yield evt3.decode(words, state, event_dtype, trigger_dtype)
