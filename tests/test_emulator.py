"""The simulated camera as an emulator: scenes, the pixel model and the tools acting on it."""

import importlib.util
from pathlib import Path

import numpy as np
import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest

SMALL = {"width": 64, "height": 48}


def camera(scene="bar", seed=0, **size):
    return sim.Camera(scene=scene, seed=seed, **(size or SMALL))


def tool_set(cam, tool_type, **values):
    tool = cam.tool(tool_type)
    for name, value in values.items():
        assert tool.set_param(name, value), name


def per_pixel(events):
    """The events of each pixel in order, as (timestamp, polarity) lists."""
    pixels = {}
    for x, y, p, t in events.tolist():
        pixels.setdefault((x, y), []).append((t, p))
    return pixels


@pytest.mark.parametrize("scene", ["bar", "dots", "still", "flicker"])
def test_read_covers_the_next_stretch_of_the_clock(scene):
    cam = camera(scene)
    first, triggers = cam.read(100_000)
    second, _ = cam.read(50_000)
    assert cam.clock_us == 150_000
    assert len(triggers) == 0
    for events, start, end in ((first, 0, 100_000), (second, 100_000, 150_000)):
        assert len(events) > 0
        assert (np.diff(events["timestamp"].astype(np.int64)) >= 0).all()
        assert start < events["timestamp"].min()
        assert events["timestamp"].max() <= end
        assert events["x"].max() < 64
        assert events["y"].max() < 48
    assert len(cam.read(0)[0]) == 0


def test_arrays_are_handed_over_without_a_copy():
    events, _ = camera().read(100_000)
    assert events.flags.owndata is False
    assert events.base is not None


@pytest.mark.parametrize("scene", ["bar", "still", "flicker"])
def test_same_seed_and_settings_give_the_same_stream(scene):
    """Whatever the number of threads, with the per-pixel tools judging on them."""

    def stream(seed, threads=None):
        cam = sim.Camera(scene=scene, seed=seed, threads=threads, **SMALL)
        tool_set(cam, hal.BIAS, bias_fo=40)
        tool_set(cam, hal.ANTI_FLICKER, enable=scene == "flicker")
        tool_set(cam, hal.EVENT_TRAIL_FILTER, enable=scene == "flicker")
        return b"".join(cam.read(d)[0].tobytes() for d in (30_000, 70_000))

    assert stream(7, 1) == stream(7, 2) == stream(7, 5) == stream(7, 1000) == stream(7)
    assert stream(7) != stream(8)


def test_frame_shows_the_scene_at_the_clock():
    cam = sim.Camera()
    assert (cam.frame().width(), cam.frame().height()) == (1280, 720)
    cam.read(500_000)
    frame = cam.frame()
    assert frame.exposure_start_timestamp == frame.exposure_end_timestamp == 500_000
    view = frame.data_numpy()
    assert (view[..., 0] == view[..., 1]).all()
    assert (view[..., 1] == view[..., 2]).all()
    assert (view[0] == view[719]).all()
    bright = np.flatnonzero(view[0, :, 0] == view[0, :, 0].max())
    assert 500 < bright.mean() < 700


def test_a_scene_of_frames_sets_the_geometry_and_makes_the_events():
    frames = np.full((3, 30, 40), 50, np.uint8)
    frames[1:, 10:20, 5:15] = 200
    cam = sim.Camera(scene=list(frames), frame_times_us=[0, 10_000, 20_000])
    assert (cam.stream_format()["width"], cam.stream_format()["height"]) == ("40", "30")
    assert (cam.calibration().dvs_cols, cam.calibration().dvs_rows) == (40, 30)
    assert cam.frame().data_numpy().shape == (30, 40, 3)
    events, _ = cam.read(20_000)
    in_square = (events["x"] >= 5) & (events["x"] < 15) & (events["y"] >= 10) & (events["y"] < 20)
    square = events[in_square]
    assert (square["polarity"] == 1).all()
    assert square["timestamp"].max() <= 10_000
    assert len(set(zip(square["x"].tolist(), square["y"].tolist()))) == 100
    assert (~in_square).sum() < 15  # background activity only
    cam.read(5_000)
    assert cam.frame().data_numpy()[15, 10, 0] == 200


@pytest.mark.parametrize(("mode", "inside"), [("ROI", True), ("RONI", False)])
def test_roi_keeps_the_window_or_the_rest(mode, inside):
    def in_window(events):
        return (events["x"] >= 16) & (events["x"] < 40) & (events["y"] >= 8) & (events["y"] < 24)

    cam = camera()
    tool_set(cam, hal.ROI, x=16, y=8, x_width=24, y_height=16, mode=mode)
    disabled, _ = cam.read(200_000)
    assert in_window(disabled).any()
    assert (~in_window(disabled)).any()
    tool_set(cam, hal.ROI, enable=True)
    enabled, _ = cam.read(200_000)
    assert len(enabled) > 0
    assert (in_window(enabled) == inside).all()


def test_event_rate_control_caps_every_window_and_spreads_the_drops():
    cam = camera(width=320, height=240)
    tool_set(cam, hal.EVENT_RATE_CONTROL, max_event_rate=100_000)
    cam.read(100_000)
    unlimited, _ = cam.read(20_000)
    tool_set(cam, hal.EVENT_RATE_CONTROL, enable=True)
    limited, _ = cam.read(20_000)

    def most_in_a_window(events):
        t = events["timestamp"].astype(np.int64)
        return (np.searchsorted(t, t + 1000, "left") - np.arange(len(t))).max()

    assert most_in_a_window(unlimited) > 101
    assert most_in_a_window(limited) <= 101
    assert len(limited) > 1500
    # What is kept lies all over each millisecond and all over the sensor.
    late_in_window = (limited["timestamp"] % 1000) >= 500
    assert 0.3 < late_in_window.mean() < 0.7
    assert len(np.unique(limited["y"])) > 0.9 * len(np.unique(unlimited["y"]))


def trail_reference(events, kind, threshold):
    """What the trail filter keeps of `events`, by its rule for `kind`."""
    kept = set()
    for pixel, stream in per_pixel(events).items():
        seen = last_kept = None
        in_burst = 0
        for t, p in stream:
            continues = seen is not None and seen[1] == p and t - seen[0] <= threshold
            in_burst = min(in_burst + 1, 3) if continues else 1
            seen = (t, p)
            if kind == "TRAIL":
                keep = last_kept is None or last_kept[1] != p or t - last_kept[0] > threshold
            elif kind == "STC_CUT_TRAIL":
                keep = in_burst == 2
            else:
                keep = in_burst >= 2
            if keep:
                last_kept = (t, p)
                kept.add((*pixel, p, t))
    return kept


@pytest.mark.parametrize("kind", ["TRAIL", "STC_CUT_TRAIL", "STC_KEEP_TRAIL"])
def test_trail_filter_follows_the_rule_of_its_type(kind):
    streams = []
    for enable in (False, True):
        cam = camera()
        tool_set(cam, hal.EVENT_TRAIL_FILTER, enable=enable, type=kind, threshold=2000)
        streams.append(cam.read(300_000)[0])
    raw, filtered = streams
    expected = trail_reference(raw, kind, 2000)
    assert 0 < len(expected) < len(raw)
    assert {tuple(e) for e in filtered.tolist()} == expected
    assert len(filtered) == len(expected)


def test_anti_flicker_separates_the_flickering_light():
    def by_region(events):
        lamp = events["x"] < 32
        return lamp.sum(), (~lamp).sum()

    counts = {}
    for filtering_mode in ("BAND_STOP", "BAND_PASS", None):
        cam = camera("flicker")
        if filtering_mode:
            tool_set(
                cam,
                hal.ANTI_FLICKER,
                enable=True,
                filtering_mode=filtering_mode,
                low_frequency=80,
                high_frequency=120,
            )
        cam.read(100_000)  # each flickering pixel needs a few periods to be recognised
        counts[filtering_mode] = by_region(cam.read(400_000)[0])
    lamp, moving = counts[None]
    assert lamp > 1000
    assert moving > 1000
    assert counts["BAND_STOP"][0] <= 0.1 * lamp
    assert counts["BAND_STOP"][1] >= 0.8 * moving
    assert counts["BAND_PASS"][0] >= 0.8 * lamp
    assert counts["BAND_PASS"][1] <= 0.1 * moving


def test_trigger_in_sees_a_square_wave_when_enabled():
    cam = camera("still")
    assert len(cam.read(30_000)[1]) == 0
    tool_set(cam, hal.TRIGGER_IN, enable=True)
    _, triggers = cam.read(30_000)
    assert triggers.tolist() == [
        (p, t, 0)
        for p, t in [(0, 35_000), (1, 40_000), (0, 45_000), (1, 50_000), (0, 55_000), (1, 60_000)]
    ]


@pytest.mark.parametrize(
    ("scene", "bias", "low", "high", "counted"),
    [
        ("bar", "bias_diff_on", -50, 100, lambda e: (e["polarity"] == 1).sum()),
        ("bar", "bias_diff_off", -30, 100, lambda e: (e["polarity"] == 0).sum()),
        ("flicker", "bias_refr", 0, 200, len),
        ("still", "bias_hpf", 0, 100, len),
        ("still", "bias_fo", 50, -30, len),
    ],
)
def test_raising_a_bias_lowers_its_count(scene, bias, low, high, counted):
    counts = []
    for value in (low, high):
        cam = camera(scene)
        tool_set(cam, hal.BIAS, **{bias: value})
        counts.append(counted(cam.read(1_000_000)[0]))
    assert counts[0] > 1.3 * counts[1] > 0


@pytest.mark.parametrize(
    ("kwargs", "error", "message"),
    [
        (
            {"scene": "sunset"},
            ValueError,
            "Unknown scene 'sunset': the built-in scenes are bar, dots, still, flicker",
        ),
        ({"scene": "bar", "width": 0}, ValueError, "width must be 1 to 65535, got 0"),
        (
            {"scene": 5},
            TypeError,
            (
                "scene must be a scene's name, an N x H x W uint8 array or a "
                "sequence of H x W uint8 arrays"
            ),
        ),
        (
            {
                "scene": [np.zeros((4, 4), np.uint8), np.zeros((4, 5), np.uint8)],
                "frame_times_us": [0, 1],
            },
            ValueError,
            "All frames must have one size: frame 1 is 4 x 5, frame 0 is 4 x 4",
        ),
        (
            {"scene": np.zeros((2, 4, 4), np.uint8), "frame_times_us": [5, 5]},
            ValueError,
            "Frame time stamps must increase: frame 1 at 5 us follows 5 us",
        ),
        (
            {"scene": np.zeros((2, 4, 4), np.uint8), "frame_times_us": [0]},
            ValueError,
            "There must be one time stamp per frame: got 2 frames and 1 time stamps",
        ),
        (
            {"scene": np.zeros((2, 4, 4), np.float32), "frame_times_us": [0, 1]},
            TypeError,
            "The frames must be of dtype uint8, got float32",
        ),
        (
            {"scene": [[1, 2]], "frame_times_us": [0]},
            TypeError,
            "Frame 0 must be a NumPy array of dtype uint8, got list",
        ),
        (
            {"scene": np.zeros((1, 4, 4), np.uint8)},
            ValueError,
            "A scene of frames needs frame_times_us, one time stamp per frame",
        ),
        (
            {"scene": np.zeros((1, 4, 4), np.uint8), "frame_times_us": [-1]},
            ValueError,
            "Frame time stamps must not be negative, got -1",
        ),
        (
            {"scene": [], "frame_times_us": []},
            ValueError,
            "A scene of frames needs at least one frame",
        ),
    ],
)
def test_bad_scenes_are_refused_with_a_clear_message(kwargs, error, message):
    with pytest.raises(error) as raised:
        sim.Camera(**kwargs)
    assert str(raised.value) == message


def test_a_refused_read_leaves_the_camera_unchanged():
    cam, twin = camera(), camera()
    cam.read(10_000), twin.read(10_000)
    with pytest.raises(ValueError, match=r"^duration_us must not be negative, got -1$"):
        cam.read(-1)
    with pytest.raises(TypeError):
        cam.read(1.5)
    assert cam.clock_us == 10_000
    assert cam.read(1_000)[0].tobytes() == twin.read(1_000)[0].tobytes()


def test_the_numpy_reference_counts_the_events_of_every_pixel_alike():
    """The benchmark's NumPy model is the emulator's model: same counts per pixel.

    The background activity is at its lowest, since the two draw it from
    different generators.
    """
    path = Path(__file__).parents[1] / "bench" / "numpy_pixel_model.py"
    spec = importlib.util.spec_from_file_location("numpy_pixel_model", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    width, height, duration = 160, 120, 150_000
    cam = camera(seed=5, width=width, height=height)
    tool_set(cam, hal.BIAS, bias_fo=-35, bias_hpf=120)
    reference = module.NumpyPixelModel(5, width, height, noise_hz=0.1 * 2 ** (-35 / 20 - 4))
    counts = [
        np.bincount(events["y"].astype(int) * width + events["x"], minlength=width * height)
        for events in (cam.read(duration)[0], reference.read(duration))
    ]
    assert (counts[0] > 0).sum() > 3000
    assert (counts[0] == counts[1]).mean() >= 0.999
