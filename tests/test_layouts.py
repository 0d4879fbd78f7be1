import numpy as np
import numpy.lib.recfunctions as rfn
import orvane_sim_py as sim
import pytest


@pytest.fixture(scope="module")
def events():
    return sim.Camera("dots", width=160, height=120, seed=3).read(30_000)[0]


@pytest.mark.parametrize(("polarity", "off", "on"), [("01", 0, 1), ("signed", -1, 1)])
def test_xytp_copies_every_field_with_the_polarity_asked_for(events, polarity, off, on):
    xytp = sim.to_xytp(events, polarity=polarity)
    assert xytp.dtype.itemsize == 13
    assert (xytp["x"] == events["x"]).all()
    assert (xytp["y"] == events["y"]).all()
    assert (xytp["t"] == events["timestamp"].astype(np.int64)).all()
    assert (xytp["p"] == np.where(events["polarity"] == 1, on, off)).all()
    assert (xytp["t"] - 100_000 < 0).all()
    assert rfn.rename_fields(xytp, {"t": "time"}).dtype.names == ("x", "y", "time", "p")


@pytest.mark.parametrize(
    ("events", "polarity", "error", "message"),
    [
        (np.zeros(3, [("x", "u2"), ("t", "u8")]), "01", TypeError, "Event2D records"),
        ([(1, 2, 1, 5)], "01", TypeError, "got list"),
        (sim.event2d_array(3), "pm", ValueError, "'01' or 'signed', got 'pm'"),
    ],
)
def test_xytp_refuses_what_is_no_event_array_and_unknown_polarities(
    events, polarity, error, message
):
    with pytest.raises(error, match=message):
        sim.to_xytp(events, polarity=polarity)


def test_tonic_frames_hold_the_on_and_off_events_of_each_pixel(events):
    transforms = pytest.importorskip("tonic.transforms")
    frames = transforms.ToFrame((160, 120, 2), time_window=30_000)(sim.to_xytp(events))
    expected = np.zeros((2, 120, 160), np.int64)
    np.add.at(expected, (events["polarity"], events["y"], events["x"]), 1)
    assert frames.shape == (1, 2, 120, 160)
    assert (frames[0] == expected).all()
