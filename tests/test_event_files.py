import json

import numpy as np
import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest
from conftest import run_in_child
from orvane_sim.raw_files import COUNT_FIELDS

pytest.importorskip("h5py")

FORMATS = ["h5", "raw"]
SLICE_US = 10_000


def triggered_camera(**kw):
    camera = sim.Camera("dots", width=64, height=48, seed=7, **kw)
    camera.tool(hal.TRIGGER_IN).set_param("enable", True)
    return camera


def write_stream(path, slices=12, chunk_events=200):
    """Writes a stream into `path`; returns the bytes of each slice's events and triggers."""
    written = []
    with sim.EventWriter(path, width=64, height=48, chunk_events=chunk_events) as writer:
        for events, triggers in triggered_camera().stream(SLICE_US, slices * SLICE_US):
            writer.write(events, triggers)
            written.append((events.tobytes(), triggers.tobytes()))
    return written


def read_back(path, slice_us=SLICE_US):
    with sim.EventReader(path) as reader:
        return [(e.tobytes(), t.tobytes()) for e, t in reader.slices(slice_us)]


@pytest.mark.parametrize("kind", FORMATS)
def test_round_trip_gives_the_same_bytes_and_file_info(tmp_path, kind):
    path = tmp_path / f"dots.{kind}"
    written = write_stream(path)
    assert read_back(path) == written
    with sim.EventReader(path) as reader:
        info = reader.file_info()
        events = np.frombuffer(b"".join(e for e, _ in written), sim.event2d_array(0).dtype)
        assert (reader.kind, reader.width, reader.height) == (kind, 64, 48)
        assert (info.max_events, info.start_timestamp, info.end_timestamp) == (
            len(events),
            events["timestamp"][0],
            events["timestamp"][-1] + 1,
        )
        assert reader.trigger_count == 2 * 12 * SLICE_US // 10_000
    if kind == "raw":
        assert sim.EventReader(path).format["width"] == "64"


def late_events():
    """Events around and far past the 24-bit wrap of EVT 3.0's time, with a long gap."""
    events = np.zeros(6, sim.event2d_array(0).dtype)
    events["x"], events["y"], events["polarity"] = [1, 2, 3, 4, 5, 6], [0, 0, 1, 1, 2, 2], 1
    events["timestamp"] = [60_000, 16_777_215, 16_777_216, 20_000_000, 40_000_123, 100_000_000_000]
    return events


@pytest.mark.parametrize("kind", FORMATS)
def test_evlib_reads_the_same_events(tmp_path, kind):
    evlib = pytest.importorskip("evlib")
    path = tmp_path / f"dots.{kind}"
    with sim.EventWriter(path, width=64, height=48) as writer:
        writer.write(*triggered_camera().read(50_000))
        writer.write(late_events())
    ours = np.concatenate([e for e, _ in sim.EventReader(path).slices(10**12)])
    theirs = evlib.load_events(str(path), sort=False).collect()
    assert len(theirs) == len(ours)
    assert (theirs["x"].to_numpy() == ours["x"]).all()
    assert (theirs["y"].to_numpy() == ours["y"]).all()
    assert (theirs["t"].dt.total_microseconds().to_numpy() == ours["timestamp"]).all()
    assert ((theirs["polarity"].to_numpy() > 0) == (ours["polarity"] == 1)).all()


CUT_SHORT = """
import os
import orvane_sim_py as sim
path = {path!r}
writer = sim.EventWriter(path, width=64, height=48, chunk_events=200)
for events, triggers in sim.Camera("dots", width=64, height=48, seed=7).stream(10_000, 120_000):
    writer.write(events, triggers)
    print(writer.pending, flush=True)
os._exit(0)
"""


@pytest.mark.parametrize("kind", FORMATS)
def test_a_file_cut_short_reads_back_to_its_last_whole_chunk(tmp_path, kind):
    path = str(tmp_path / f"cut.{kind}")
    child = run_in_child(CUT_SHORT.format(path=path))
    assert child.returncode == 0, child.stderr
    uncommitted = int(child.stdout.split()[-1])
    assert uncommitted > 0
    if kind == "raw":
        with open(path, "ab") as file:
            file.write(b"\x12")  # half a word, as a write cut mid-way leaves
    whole = b"".join(
        events.tobytes()
        for events, _ in sim.Camera("dots", width=64, height=48, seed=7).stream(SLICE_US, 120_000)
    )
    with pytest.warns(UserWarning, match="cut short"):
        reader = sim.EventReader(path)
    got = b"".join(events.tobytes() for events, _ in reader.slices(10**9))
    assert got == whole[: len(whole) - 16 * uncommitted]


def evt3_words(*words):
    return np.array([(kind << 12) | value for kind, value in words], "<u2").tobytes()


RAW_HEAD = b"% evt 3.0\n% format EVT3;height=4;width=4\n% end\n"


def edited_h5(path, edit):
    import h5py

    with sim.EventWriter(path, width=4, height=4) as writer:
        writer.write(np.zeros(3, sim.event2d_array(0).dtype))
    with h5py.File(path, "a") as file:
        edit(file)


def replaced(file, name, values):
    del file[name]
    file[name] = values


def foreign_files(tmp_path):
    import h5py

    (tmp_path / "text.raw").write_text("hello\n")
    (tmp_path / "empty.h5").write_bytes(b"")
    (tmp_path / "evt2.raw").write_bytes(b"% format EVT2;height=4;width=4\n% end\n")
    (tmp_path / "open.raw").write_bytes(b"% format EVT3;height=4;width=4\n")
    (tmp_path / "nosize.raw").write_bytes(b"% format EVT3\n% end\n")
    (tmp_path / "noformat.raw").write_bytes(b"% format EVT3;width\n% end\n")
    (tmp_path / "huge.raw").write_bytes(b"% format EVT3;height=4;width=2049\n% end\n")
    counts = "".join(f"% {name} -2\n" for name in COUNT_FIELDS)
    (tmp_path / "counts.raw").write_bytes(RAW_HEAD[:-6] + counts.encode() + b"% end\n")
    # An event at x 9 of a 4-wide sensor; a time that goes back from 5 to 3 us.
    (tmp_path / "outside.raw").write_bytes(RAW_HEAD + evt3_words((0x6, 5), (0x0, 1), (0x2, 9)))
    back = evt3_words((0x6, 5), (0x0, 1), (0x2, 1), (0x6, 3), (0x2, 2))
    (tmp_path / "back.raw").write_bytes(RAW_HEAD + back)
    with h5py.File(tmp_path / "other.h5", "w") as other:
        other["data"] = [1, 2, 3]
    (tmp_path / "folder.h5").mkdir()
    edited_h5(tmp_path / "words.h5", lambda f: f.attrs.__setitem__("width", "wide"))
    edited_h5(tmp_path / "flags.h5", lambda f: f.attrs.__setitem__("complete", [1, 0]))
    edited_h5(tmp_path / "table.h5", lambda f: replaced(f, "events/x", [[1, 2]] * 3))
    edited_h5(tmp_path / "negative.h5", lambda f: replaced(f, "events/t", [-5, 1, 2]))
    edited_h5(tmp_path / "wide.h5", lambda f: replaced(f, "events/x", [70_000, 1, 2]))
    return [
        ("text.raw", "no '% ' header"),
        ("empty.h5", "no '% ' header"),
        ("evt2.raw", "is not EVT 3.0"),
        ("open.raw", "no '% end' line"),
        ("nosize.raw", "no sensor size"),
        ("noformat.raw", "its format line is not a format"),
        ("huge.raw", "sensor of 2049 x 4 is not 1 to 2048 a side"),
        ("counts.raw", "counts are not 0 to"),
        ("outside.raw", r"event at 5 us \(x 9, y 1, polarity 0\) does not fit its 4 x 4 sensor"),
        ("back.raw", "its events' times are negative or go back"),
        ("other.h5", "not an event file"),
        ("folder.h5", "is a directory"),
        ("words.h5", "its width attribute is not a whole number"),
        ("flags.h5", "its complete attribute is not true or false"),
        ("table.h5", "its events/x is not a list of whole numbers"),
        ("negative.h5", "its event times are not 0 to 9223372036854775807 in order"),
        ("wide.h5", "its events/x holds values outside 0 to 65535"),
    ]


def read_whole(path):
    with sim.EventReader(path) as reader:
        reader.file_info()
        list(reader.slices(SLICE_US))


def test_bad_or_foreign_files_raise_value_error_naming_the_path(tmp_path):
    for name, reason in foreign_files(tmp_path):
        with pytest.raises(ValueError, match=reason) as error:
            read_whole(tmp_path / name)
        assert str(tmp_path / name) in str(error.value)


def test_h5_datasets_cut_at_different_lengths_read_back_to_their_common_length(tmp_path):
    path = tmp_path / "ragged.h5"
    edited_h5(path, lambda f: replaced(f, "events/x", [1, 2]))
    with pytest.warns(UserWarning, match="holds 2 events where it claims 3"):
        reader = sim.EventReader(path)
    assert [events["x"].tolist() for events, _ in reader.slices(SLICE_US)] == [[1, 2]]


@pytest.mark.parametrize(
    ("change", "message"),
    [
        (lambda e, t: (e[::-1], t), "events must come in time order"),
        (lambda e, t: (e, t[::-1]), "triggers must come in time order"),
        (lambda e, t: (set_field(e, "x", 64), t), "outside the 64 x 48 sensor"),
        (lambda e, t: (set_field(e, "polarity", 2), t), "polarities must be 0 or 1"),
        (lambda e, t: (e, set_field(t, "id", 16)), "trigger ids must be 0 to 15"),
    ],
)
def test_writes_that_a_file_cannot_hold_are_refused(tmp_path, change, message):
    events, triggers = triggered_camera().read(30_000)
    with sim.EventWriter(tmp_path / "x.raw", width=64, height=48) as writer:
        with pytest.raises(ValueError, match=message):
            writer.write(*change(events, triggers))
        writer.write(events, triggers)
    assert read_back(tmp_path / "x.raw", 30_000) == [(events.tobytes(), triggers.tobytes())]


def set_field(records, name, value):
    changed = records.copy()
    changed[name][-1] = value
    return changed


def test_a_name_without_a_known_suffix_or_format_is_refused(tmp_path):
    with pytest.raises(ValueError, match="give format='h5' or 'raw'"):
        sim.EventWriter(tmp_path / "x.dat", width=4, height=4)
    assert not (tmp_path / "x.dat").exists()


def test_foreign_evt3_vectors_decode_to_their_events(tmp_path):
    def word(kind, value):
        return (kind << 12) | value

    words = [word(0x8, 1), word(0x6, 5), word(0x0, 3), word(0x3, (1 << 11) | 10)]
    words += [word(0x4, 0b100000000101), word(0x5, 0b10), word(0x2, 7)]
    header = b"% evt 3.0\n% format EVT3;height=8;width=40\n% end\n"
    (tmp_path / "v.raw").write_bytes(header + np.array(words, "<u2").tobytes())
    events, _ = next(sim.EventReader(tmp_path / "v.raw").slices(10**6))
    assert events["x"].tolist() == [10, 12, 21, 23, 7]
    assert events["polarity"].tolist() == [1, 1, 1, 1, 0]
    assert set(events["timestamp"].tolist()) == {4096 + 5}
    assert set(events["y"].tolist()) == {3}


@pytest.mark.parametrize("kind", FORMATS)
def test_record_saves_what_the_stream_hands_out_with_the_camera_s_values(tmp_path, kind):
    camera = triggered_camera(serial="SIM-42")
    camera.read(5_000)
    path = tmp_path / f"rec.{kind}"
    count = camera.record(path, 60_000, slice_us=SLICE_US)
    again = triggered_camera()
    again.read(5_000)
    expected = [(e.tobytes(), t.tobytes()) for e, t in again.stream(SLICE_US, 60_000)]
    assert count == sum(len(e) // 16 for e, _ in expected)
    with sim.EventReader(path) as reader:
        got = [(e.tobytes(), t.tobytes()) for e, t in reader.slices(SLICE_US)]
        attributes = reader.attributes
    assert b"".join(e for e, _ in got) == b"".join(e for e, _ in expected)
    assert b"".join(t for _, t in got) == b"".join(t for _, t in expected)
    assert (attributes["serial"], attributes["seed"], attributes["start_us"]) == (
        "SIM-42",
        "7",
        "5000",
    )
    assert json.loads(attributes["tools"])["Imx636TriggerIn"] == {"enable": True}


def test_missing_h5py_names_the_extra():
    child = run_in_child(
        "import sys; sys.modules['h5py'] = None\nimport orvane_sim_py as sim\n"
        "try:\n    sim.EventWriter('x.h5', width=4, height=4)\n"
        "except ImportError as error:\n    print(error)\n"
    )
    assert 'pip install "orvane-py[files]"' in child.stdout
