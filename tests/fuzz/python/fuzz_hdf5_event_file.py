"""HDF5 event files: the input chooses a valid file's events and trigger edges,
then damages to it (attributes and datasets replaced by others of any kind,
type, shape or values, or removed); h5py writes it and `EventReader` reads it.
The HDF5 library's parsing of damaged bytes is its own; what the reader makes
of what h5py hands back is ours.
"""

import atheris
import h5py
import numpy as np
from fuzzing import read_event_file, run, scratch_path, slice_length

PATH = scratch_path("input.h5")
ATTRIBUTES = ("width", "height", "events", "triggers", "complete")
DATASETS = ("events/x", "events/y", "events/p", "events/t", "triggers/p", "triggers/t")
DATASETS += ("triggers/id",)
DTYPES = ("<u2", "u1", "<i2", "<i4", "<i8", "<u8", "<f8", "?", "S3")
MOST_RECORDS = 40
MOST_TIME = 1 << 40


def valid_file(given):
    """Attributes and datasets as `EventWriter` writes them (choices of 0 give an empty file)."""
    width, height = given.ConsumeIntInRange(1, 64), given.ConsumeIntInRange(1, 64)
    events, triggers = (given.ConsumeIntInRange(0, MOST_RECORDS) for _ in range(2))
    attributes = {
        "width": width,
        "height": height,
        "events": events,
        "triggers": triggers,
        "complete": True,
    }
    datasets = {
        "events/x": np.array(given.ConsumeIntListInRange(events, 0, width - 1), "<u2"),
        "events/y": np.array(given.ConsumeIntListInRange(events, 0, height - 1), "<u2"),
        "events/p": np.array(given.ConsumeIntListInRange(events, 0, 1), "u1"),
        "events/t": np.sort(np.array(given.ConsumeIntListInRange(events, 0, MOST_TIME), "<u8")),
        "triggers/p": np.array(given.ConsumeIntListInRange(triggers, 0, 1), "<i2"),
        "triggers/t": np.sort(np.array(given.ConsumeIntListInRange(triggers, 0, MOST_TIME), "<u8")),
        "triggers/id": np.array(given.ConsumeIntListInRange(triggers, 0, 15), "<i2"),
    }
    return attributes, datasets


def attribute_value(given):
    kind = given.ConsumeIntInRange(0, 7)
    if kind == 0:
        return None
    if kind == 1:
        return given.ConsumeIntInRange(-3, 3000)
    if kind == 2:
        return np.uint64(given.ConsumeIntInRange(0, (1 << 64) - 1))
    if kind == 3:
        return given.ConsumeRegularFloat()
    if kind == 4:
        return given.ConsumeUnicodeNoSurrogates(4).replace("\0", "")
    if kind == 5:
        return np.array([given.ConsumeIntInRange(0, 3000), 1])
    if kind == 6:
        return np.int8(given.ConsumeIntInRange(-128, 127))
    return given.ConsumeBool()


def dataset_value(given, values):
    """A replacement for the dataset of `values`: None (removed), a group ({}), the
    values cut short (as a writer cut short between datasets leaves them), or values
    of any type and shape."""
    layout = given.ConsumeIntInRange(0, 5)
    if layout == 0:
        return None
    if layout == 1:
        return {}
    if layout == 5:
        cut = isinstance(values, np.ndarray) and values.ndim == 1
        return values[: given.ConsumeIntInRange(0, MOST_RECORDS)] if cut else values
    dtype = np.dtype(DTYPES[given.ConsumeIntInRange(0, len(DTYPES) - 1)])
    size = given.ConsumeIntInRange(0, MOST_RECORDS) * dtype.itemsize
    values = np.frombuffer(given.ConsumeBytes(size).ljust(size, b"\0"), dtype)
    if layout == 2:
        return values[:1].reshape(()) if len(values) else np.zeros((), dtype)
    if layout == 3:
        return np.stack([values, values], 1)
    return values if given.ConsumeBool() else np.sort(values)


def write_file(given):
    attributes, datasets = valid_file(given)
    while given.ConsumeBool():
        choice = given.ConsumeIntInRange(0, len(ATTRIBUTES) + len(DATASETS) - 1)
        if choice < len(ATTRIBUTES):
            attributes[ATTRIBUTES[choice]] = attribute_value(given)
        else:
            name = DATASETS[choice - len(ATTRIBUTES)]
            datasets[name] = dataset_value(given, datasets[name])
    with h5py.File(PATH, "w") as file:
        file.attrs.update({name: value for name, value in attributes.items() if value is not None})
        for name, values in datasets.items():
            if isinstance(values, dict):
                file.create_group(name)
            elif values is not None:
                file[name] = values


def test_one_input(data):
    write_file(atheris.FuzzedDataProvider(data))
    read_event_file(PATH, slice_length(data))


if __name__ == "__main__":
    run(test_one_input)
