"""Event pictures and preview videos of the simulated camera's events."""

import os
import sys

import numpy as np
import orvane_sim_py as sim
import pytest

WHITE, BLACK, RED, BLUE = (255, 255, 255), (0, 0, 0), (215, 48, 39), (69, 117, 180)
# (x, y, polarity, timestamp): pixel A one ON event, B ON then OFF, C two OFF then two ON.
HAND_MADE = [
    (1, 0, 1, 0),
    (2, 1, 1, 10_000),
    (2, 1, 0, 30_000),
    (3, 2, 0, 40_000),
    (3, 2, 0, 50_000),
    (3, 2, 1, 55_000),
    (3, 2, 1, 60_000),
]
A, B, C, EMPTY = (0, 1), (1, 2), (2, 3), (0, 0)


def events_of(records, dtype=None):
    events = np.zeros(len(records), dtype or sim.event2d_array(0).dtype)
    for name, column in zip(events.dtype.names, zip(*records)):
        events[name] = column
    return events


@pytest.mark.parametrize(
    ("mode", "colours"),
    [
        ("polarity", {A: RED, B: BLUE, C: RED, EMPTY: WHITE}),
        # 1, 2 and 4 events; with three pixels the 99th percentile is the largest count.
        ("count", {A: (64,) * 3, B: (128,) * 3, C: WHITE, EMPTY: BLACK}),
        # 255 exp(-dt / 30 ms) for dt = 60, 30 and 0 ms before the latest event.
        ("time_surface", {A: (35,) * 3, B: (94,) * 3, C: WHITE, EMPTY: BLACK}),
    ],
)
def test_each_picture_mode_colours_the_pixels_of_hand_made_events(mode, colours):
    events = events_of(HAND_MADE)
    picture = sim.event_frame(events, 5, 3, mode=mode)
    assert picture.shape == (3, 5, 3)
    assert picture.dtype == np.uint8
    assert picture.flags.c_contiguous
    assert {pixel: tuple(picture[pixel]) for pixel in colours} == colours
    assert np.count_nonzero((picture != colours[EMPTY]).any(axis=2)) == 3
    # The (x, y, t, p) layout with p -1 or +1 draws the same picture.
    signed = [(x, y, t, 2 * p - 1) for x, y, p, t in HAND_MADE]
    xytp = events_of(signed, [("x", "<u2"), ("y", "<u2"), ("t", "<i8"), ("p", "i1")])
    assert (sim.event_frame(xytp, 5, 3, mode=mode) == picture).all()


GOOD = events_of(HAND_MADE)


@pytest.mark.parametrize(
    ("arguments", "options", "error", "message"),
    [
        ((GOOD, 5, 3), {"mode": "heat"}, ValueError, "mode must be one of 'polarity'"),
        ((GOOD, 5, 3), {"mode": "time_surface", "tau_us": 0}, ValueError, "tau_us must be"),
        ((GOOD, 5, 3), {"tau_us": "1"}, TypeError, "tau_us must be a number"),
        ((HAND_MADE, 5, 3), {}, TypeError, "structured array of events"),
        ((GOOD[["x", "y"]], 5, 3), {}, TypeError, "no field 'polarity'"),
        ((GOOD.reshape(7, 1), 5, 3), {}, ValueError, "one-dimensional"),
        ((GOOD, 3, 3), {}, ValueError, "event 3 at x=3, y=2 lies outside the 3 x 3 sensor"),
        ((GOOD, 5, 0), {}, ValueError, "height must be at least 1"),
        ((GOOD, 5.0, 3), {}, TypeError, "width must be an int"),
        (
            (
                events_of([(0.5, 0, 1, 0)], [("x", "f4"), ("y", "u2"), ("p", "i1"), ("t", "u8")]),
                5,
                3,
            ),
            {},
            TypeError,
            "field 'x' must hold integers",
        ),
    ],
)
def test_event_frame_refuses_bad_input(arguments, options, error, message):
    with pytest.raises(error, match=message):
        sim.event_frame(*arguments, **options)


def decoded(path):
    av = pytest.importorskip("av")
    with av.open(str(path)) as container:
        return [frame.to_ndarray(format="rgb24") for frame in container.decode(video=0)]


@pytest.mark.parametrize(
    ("width", "height", "fps", "beside", "shape"),
    [(64, 48, 30, False, (48, 64, 3)), (63, 47, 10, True, (48, 128, 3))],
)
def test_a_preview_holds_one_frame_per_period_of_scene_time(
    tmp_path, width, height, fps, beside, shape
):
    pytest.importorskip("av")
    camera = sim.Camera("dots", width=width, height=height, seed=1)
    grey = [(t, np.full((height, width), t // 4000, np.uint8)) for t in range(0, 10**6, 50_000)]
    path = tmp_path / "preview.mp4"
    sim.write_preview(
        path, camera.stream(7_000, 10**6), width, height, fps=fps, frames=grey if beside else None
    )
    frames = decoded(path)
    assert len(frames) == fps
    assert {frame.shape for frame in frames} == {shape}
    if beside:
        # The input frame at the end of each tenth of a second, on the left (lossy coding).
        shown = np.array([frame[:height, :width].mean() for frame in frames])
        assert np.abs(shown - [*range(25, 250, 25), 237]).max() < 10


def test_a_failed_preview_leaves_the_file_that_was_there(tmp_path, monkeypatch):
    pytest.importorskip("av")
    path = tmp_path / "preview.mp4"
    path.write_bytes(b"earlier")
    slices = [sim.Camera("dots", width=64, height=48).read(50_000), ("not", "events")]
    with pytest.raises(TypeError, match="structured array of events"):
        sim.write_preview(path, slices, 64, 48)
    assert os.listdir(tmp_path) == ["preview.mp4"]
    assert path.read_bytes() == b"earlier"
    monkeypatch.setitem(sys.modules, "av", None)
    with pytest.raises(ImportError, match=r'pip install "orvane-py\[video\]"'):
        sim.write_preview(path, [], 64, 48)
