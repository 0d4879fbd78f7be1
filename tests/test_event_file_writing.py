import numpy as np
import orvane_sim_py as sim
import pytest

EVENT, TRIGGER = sim.event2d_array(0).dtype, sim.trigger_array(0).dtype
START = (None, 0, -1)


def records(dtype, n, **fields):
    made = np.zeros(n, dtype)
    for name, values in fields.items():
        made[name] = values
    return made


def events(**fields):
    return records(EVENT, 3, **{"timestamp": [5, 6, 7], **fields})


def triggers(**fields):
    return records(TRIGGER, 2, **{"timestamp": [5, 9], **fields})


@pytest.mark.parametrize(
    ("given", "error", "message"),
    [
        ((events(x=[0, 2048, 1]), triggers()), ValueError, r"events\[1\] lies outside"),
        ((events(y=[4095, 0, 0]), triggers()), ValueError, r"events\[0\] lies outside"),
        ((events(polarity=[0, 1, 2]), triggers()), ValueError, r"events\[2\] has polarity 2"),
        ((events(timestamp=[5, 4, 7]), triggers()), ValueError, r"events\[1\] is earlier"),
        ((events(), triggers(polarity=[0, -1])), ValueError, r"triggers\[1\] has polarity -1"),
        ((events(), triggers(id=[16, 0])), ValueError, r"triggers\[0\] has id 16"),
        ((events(), triggers(timestamp=[9, 5])), ValueError, r"triggers\[1\] is earlier"),
        ((events().reshape(3, 1), triggers()), ValueError, "1-d arrays"),
        ((np.zeros(3, np.uint16), triggers()), TypeError, "incompatible function arguments"),
        ((triggers(), events()), TypeError, "incompatible function arguments"),
    ],
)
def test_the_encoder_refuses_records_its_words_cannot_carry(given, error, message):
    with pytest.raises(error, match=message):
        sim._encode_evt3(*given, START)
    words, state = sim._encode_evt3(events(), triggers(), START)
    assert state == (9, 0, 0)
    # Low time 5 (the high bits are the state's 0), row 0, then each event after a low time
    # word, and the trigger edges after the events of their time.
    assert [word >> 12 for word in words] == [6, 0, 2, 0xA, 6, 2, 6, 2, 6, 0xA]


@pytest.mark.parametrize("chunk_events", [1_000, 70_000, 1 << 20])
def test_hdf5_files_hold_every_storage_chunk_however_writes_and_commits_cut_them(
    tmp_path, chunk_events
):
    h5py = pytest.importorskip("h5py")
    rng = np.random.default_rng(chunk_events)
    n = 3 * (1 << 16) + 123
    written = records(
        EVENT,
        n,
        x=rng.integers(0, 1280, n),
        y=rng.integers(0, 720, n),
        polarity=rng.integers(0, 2, n),
        timestamp=np.cumsum(rng.integers(0, 3, n)),
    )
    cuts = np.sort(rng.integers(0, n, 40))
    path = tmp_path / "many.h5"
    with sim.EventWriter(path, width=1280, height=720, chunk_events=chunk_events) as writer:
        for piece in np.split(written, cuts):
            writer.write(piece)
    with h5py.File(path) as file:
        assert file["events/t"].compression == "gzip"
        assert file["events/t"].shuffle
        for name, field in (("x", "x"), ("y", "y"), ("p", "polarity"), ("t", "timestamp")):
            assert (file[f"events/{name}"][:] == written[field]).all()
    read = b"".join(e.tobytes() for e, _ in sim.EventReader(path).slices(10**9))
    assert read == written.tobytes()
