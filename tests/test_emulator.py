"""The simulated camera as an emulator: scenes, the pixel model and the tools acting on it."""

import gc
import importlib
import os
import pickle
import re
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

import numpy as np
import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest
from conftest import run_in_child

HERE = os.path.dirname(__file__)

SMALL = {"width": 64, "height": 48}


def camera(scene="bar", seed=0, **options):
    return sim.Camera(scene=scene, seed=seed, **{**SMALL, **options})


def tool_set(cam, tool_type, **values):
    tool = cam.tool(tool_type)
    for name, value in values.items():
        assert tool.set_param(name, value), name


def bench_module(name):
    """A module of the benchmarks, which import each other."""
    sys.path.insert(0, str(Path(__file__).parents[1] / "bench"))
    try:
        return importlib.import_module(name)
    finally:
        sys.path.pop(0)


def small_video(seconds=0.1, width=64, height=48):
    """The benchmark's dense video (every pixel changing at every frame), on a small sensor."""
    frames, times = bench_module("dense_video").dense_video(width, height, seconds)
    return {"scene": frames, "frame_times_us": times.tolist()}


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


@pytest.mark.parametrize(
    ("slice_us", "duration_us", "slices"), [(300, 900, 3), (400, 1000, 3), (7, 0, 0)]
)
def test_stream_reads_one_slice_after_another(slice_us, duration_us, slices):
    stream, twin = camera().stream(slice_us, duration_us), camera()
    gc.collect()  # the stream keeps its camera
    for events, triggers in stream:
        expected = twin.read(min(slice_us, duration_us - twin.clock_us))
        assert [events.tobytes(), triggers.tobytes()] == [a.tobytes() for a in expected]
        slices -= 1
    assert (slices, twin.clock_us, next(stream, None)) == (0, duration_us, None)


def test_an_endless_stream_and_its_refusals():
    cam = camera()
    stream = cam.stream(500)
    assert iter(stream) is stream
    assert sum(len(next(stream)[0]) for _ in range(5)) > 0
    for args, error in (
        ((0,), "slice_us must be at least 1, got 0"),
        ((1, -1), "duration_us must not be negative, got -1"),
    ):
        with pytest.raises(ValueError, match=f"^{re.escape(error)}$"):
            cam.stream(*args)
    for refused in (lambda: cam.stream(1.5), lambda: sim.Camera("bar", "SIM-0002")):
        with pytest.raises(TypeError):
            refused()
    assert cam.clock_us == 2500


def test_repr_names_scene_size_and_clock():
    cam = sim.Camera("dots", serial="S-1", width=32, height=24)
    cam.read(500)
    frames = sim.Camera(np.zeros((1, 4, 6), np.uint8), frame_times_us=[0])
    assert repr(cam) == "<orvane_sim_py.Camera scene='dots' serial='S-1' 32x24 clock_us=500>"
    assert repr(frames) == "<orvane_sim_py.Camera scene=frames serial='SIM-0001' 6x4 clock_us=0>"
    assert repr(sim.Camera()).endswith(" 1280x720 clock_us=0>")


def test_arrays_are_handed_over_without_a_copy():
    events, _ = camera().read(100_000)
    assert events.flags.owndata is False
    assert events.base is not None


@pytest.mark.parametrize("scene", ["bar", "dots", "still", "flicker", "frames", "video"])
def test_same_seed_and_settings_give_the_same_stream(scene):
    """Whatever the number of threads, each rendering its own rows of the scene, with the
    per-pixel tools judging on them."""
    frames = np.random.default_rng(3).integers(0, 256, (3, 48, 64), np.uint8)
    given = {
        "frames": {"scene": list(frames), "frame_times_us": [0, 40_000, 90_000]},
        "video": small_video(),
    }.get(scene, {"scene": scene, **SMALL})

    def stream(seed, threads=None):
        cam = sim.Camera(seed=seed, threads=threads, **given)
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
    cam = sim.Camera(scene=list(frames), frame_times_us=[0, 10_000, 20_000], ideal=True)
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


@pytest.mark.parametrize("given_as", [np.array, list])
def test_frames_are_copied_when_the_camera_is_made(given_as):
    frames = np.full((2, 8, 8), 50, np.uint8)
    frames[1] = 200
    given = given_as(frames.copy())
    cam = sim.Camera(scene=given, frame_times_us=[0, 10_000], ideal=True)
    for frame in given:
        frame[...] = 0
    expected = sim.Camera(scene=frames, frame_times_us=[0, 10_000], ideal=True).read(20_000)
    assert (expected[0]["polarity"] == 1).sum() >= 64
    assert cam.read(20_000)[0].tobytes() == expected[0].tobytes()


@pytest.mark.parametrize("pieces", [[30_000], [7] * 600 + [25_800], "random"])
def test_an_iterator_of_frames_is_read_as_needed_and_gives_the_array_s_events(pieces):
    rng = np.random.default_rng(5)
    frames = rng.integers(0, 256, (6, 12, 16), np.uint8)
    times = [0, 3_000, 3_001, 9_000, 20_000, 25_000]
    pulled = []

    def on_demand():
        for t, frame in zip(times, frames):
            pulled.append(t)
            yield t, frame

    from_array = sim.Camera(scene=frames, frame_times_us=times, seed=2)
    from_iterator = sim.Camera(scene=on_demand(), seed=2)
    for piece in rng.integers(1, 2_000, 40).tolist() if pieces == "random" else pieces:
        assert from_iterator.read(piece)[0].tobytes() == from_array.read(piece)[0].tobytes()
        assert all(t < from_iterator.clock_us for t in pulled[:-1])
        assert (from_iterator.frame().data_numpy() == from_array.frame().data_numpy()).all()
    assert pulled == times


@pytest.mark.parametrize(
    ("bad", "error", "ended"),
    [
        (lambda cam: (0, np.zeros((4, 4), np.uint8)), ValueError, None),
        (lambda cam: (5, np.zeros((4, 4, 4), np.uint8)), ValueError, None),
        (lambda cam: signal.raise_signal(signal.SIGINT), KeyboardInterrupt, "KeyboardInterrupt"),
        (lambda cam: cam.read(100), RuntimeError, "RuntimeError: A camera cannot be read"),
    ],
)
def test_a_frame_refused_in_a_read_raises_and_the_next_read_goes_on(bad, error, ended):
    """A refused frame is skipped; a generator that raised has ended, and says so from then on."""

    def frames():
        yield 0, np.zeros((4, 4), np.uint8)
        yield bad(cam)
        yield 10, np.full((4, 4), 200, np.uint8)

    cam = sim.Camera(scene=frames())
    for raised, match in [(error, None)] + [
        (RuntimeError, f"^The scene's iterator raised {ended}")
    ] * 2:
        with pytest.raises(raised, match=match):
            cam.read(20)
        if not ended:
            break
    assert ended or (cam.read(20) and (cam.frame().data_numpy() == 200).all())


@pytest.mark.parametrize(
    "dtype", [np.dtype(np.uint8, metadata={"a": 1}), pickle.loads(pickle.dumps(np.dtype(np.uint8)))]
)
def test_frames_of_a_dtype_equivalent_to_uint8_are_taken(dtype):
    frames = np.arange(32, dtype=np.uint8).reshape(2, 4, 4) * 7
    expected = sim.Camera(scene=frames, frame_times_us=[0, 500]).read(1_000)[0].tobytes()
    for scene in (frames.astype(dtype), list(frames.astype(dtype))):
        assert sim.Camera(scene=scene, frame_times_us=[0, 500]).read(1_000)[0].tobytes() == expected


GREY = np.random.default_rng(8).integers(0, 256, (3, 16, 24), np.uint8)
RGB = np.random.default_rng(9).integers(0, 256, (3, 16, 24, 3), np.uint8)
LUMA = np.floor(0.2126 * RGB[..., 0] + 0.7152 * RGB[..., 1] + 0.0722 * RGB[..., 2] + 0.5)
DARKENED, BRIGHTENED = GREY.copy(), GREY.copy()
DARKENED[:, :4], BRIGHTENED[:, :4] = 0, 255


@pytest.mark.parametrize(
    ("frames", "grey"),
    [
        (RGB, LUMA),
        (RGB.astype(np.float32) / 255, LUMA),
        (RGB / 255, LUMA),
        (GREY / 255, GREY),
        (GREY.astype(np.float32) / 255, GREY),
        (np.concatenate([np.full((3, 4, 24), -0.5), GREY[:, 4:] / 255], axis=1), DARKENED),
        (np.concatenate([np.full((3, 4, 24), 1.7), GREY[:, 4:] / 255], axis=1), BRIGHTENED),
    ],
    ids=["rgb8", "rgb32", "rgb64", "grey64", "grey32", "below 0", "above 1"],
)
def test_colour_and_float_frames_give_the_events_of_their_grey_levels(frames, grey):
    times = [0, 7_000, 16_667]

    def stream(scene):
        cam = sim.Camera(scene=scene, frame_times_us=times, seed=4, threads=2)
        events = cam.read(12_000)[0].tobytes() + cam.read(8_000)[0].tobytes()
        return events, cam.frame().data_numpy()[..., 0].tobytes()

    expected = stream(grey.astype(np.uint8))
    assert len(expected[0]) > 0
    assert stream(frames) == stream(list(frames)) == expected


@pytest.mark.parametrize("scene", ["big", "[big[0]]"])
def test_frames_too_large_to_copy_raise_memory_error(scene):
    big = "np.broadcast_to(np.zeros(1, np.uint8), (10**6,) * 3)"
    script = f"import numpy as np, orvane_sim_py as sim\nbig = {big}\n"
    child = run_in_child(script + f"sim.Camera(scene={scene}, frame_times_us=[0])", timeout=60)
    assert "MemoryError: Unable to allocate" in child.stderr.splitlines()[-1]


class Interrupting:
    def __index__(self):
        raise KeyboardInterrupt


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
        # A real pixel's lag spreads a flicker's crossings wider than its dead time.
        cam = camera(scene, ideal=bias == "bias_refr")
        tool_set(cam, hal.BIAS, **{bias: value})
        counts.append(counted(cam.read(1_000_000)[0]))
    assert counts[0] > 1.3 * counts[1] > 0


@pytest.mark.parametrize(
    ("kwargs", "error", "message"),
    [
        (
            {"scene": "sunset"},
            ValueError,
            (
                "Unknown scene 'sunset': the built-in scenes are bar, dots, still, flicker; "
                "a serial number goes by keyword: Camera(serial=...)"
            ),
        ),
        (
            {"threads": 0},
            ValueError,
            "threads must be 1 to 1024, or None for every core this process may use, got 0",
        ),
        (
            {"threads": 1025},
            ValueError,
            "threads must be 1 to 1024, or None for every core this process may use, got 1025",
        ),
        ({"scene": "bar", "width": 0}, ValueError, "width must be 1 to 65535, got 0"),
        (
            {"scene": 5},
            TypeError,
            (
                "scene must be a scene's name, an N x H x W (x 3) array, a sequence of H x W (x 3) "
                "arrays or an iterator of (time_us, frame) pairs"
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
            {"scene": np.zeros((2, 4, 4), np.int16), "frame_times_us": [0, 1]},
            ValueError,
            "The frames must be of dtype uint8, float32 or float64, got int16",
        ),
        (
            {"scene": np.zeros((2, 4, 4, 4), np.uint8), "frame_times_us": [0, 1]},
            ValueError,
            "An array of frames must be N x H x W, or N x H x W x 3 for RGB, got shape (2, 4, 4, 4)",
        ),
        (
            {"scene": [np.zeros((4, 4)), np.zeros((4, 4), bool)], "frame_times_us": [0, 1]},
            ValueError,
            "Frame 1 must be of dtype uint8, float32 or float64, got bool",
        ),
        (
            {"scene": [np.zeros((4, 4)), np.zeros((4, 4, 2))], "frame_times_us": [0, 1]},
            ValueError,
            "Frame 1 must be H x W, or H x W x 3 for RGB, got shape (4, 4, 2)",
        ),
        (
            {"scene": [[1, 2]], "frame_times_us": [0]},
            TypeError,
            "Frame 0 must be a NumPy array, got list",
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
        (
            {"scene": np.zeros((1, 4, 4), np.uint8), "frame_times_us": [Interrupting()]},
            KeyboardInterrupt,
            "",
        ),
        (
            {"scene": iter([5])},
            TypeError,
            "Frame 0 of the scene's iterator must be a (time_us, frame) tuple, got int",
        ),
        (
            {"scene": iter([]), "frame_times_us": [0]},
            ValueError,
            "An iterator of frames gives their time stamps itself: frame_times_us must not be given",
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
    for duration, error, message in [
        (2**64, ValueError, "duration_us must be at most 18446744073709551615 (2**64 - 1) us, got"),
        (2**64 - 1, OverflowError, "The camera's clock cannot go past 18446744073709551615 us"),
    ]:
        with pytest.raises(error, match=f"^{re.escape(message)}"):
            cam.read(np.uint64(duration) if duration < 2**64 else duration)
    assert cam.clock_us == 10_000
    assert cam.read(1_000)[0].tobytes() == twin.read(1_000)[0].tobytes()


def every_tool_enabled(cam):
    tool_set(cam, hal.ROI, enable=True, x=4, y=4, x_width=50, y_height=36)
    tool_set(cam, hal.ANTI_FLICKER, enable=True)
    tool_set(cam, hal.EVENT_TRAIL_FILTER, enable=True, type="TRAIL", threshold=1000)
    tool_set(cam, hal.EVENT_RATE_CONTROL, enable=True, max_event_rate=100_000)
    tool_set(cam, hal.TRIGGER_IN, enable=True)


def flash(width, height, grey=200):
    """Every pixel steps from grey 50 to `grey` at 10 ms."""
    frames = np.full((3, height, width), 50, np.uint8)
    frames[2] = grey
    return {"scene": frames, "frame_times_us": [0, 10_000, 10_001]}


def read_in_pieces(scene, tools, pieces):
    given = {"flash": flash(**SMALL), "video": small_video()}
    cam = sim.Camera(seed=3, **given[scene]) if scene in given else camera(scene, seed=3)
    if tools:
        every_tool_enabled(cam)
    reads = [cam.read(d) for d in pieces]
    return tuple(b"".join(r[i].tobytes() for r in reads) for i in (0, 1))


@pytest.mark.parametrize("tools", [False, True], ids=["no tool", "every tool"])
@pytest.mark.parametrize("scene", ["bar", "dots", "flicker", "flash", "video"])
def test_a_stretch_gives_the_same_bytes_however_it_is_read(scene, tools):
    random_pieces = np.random.default_rng(5).integers(0, 3000, 60).tolist()
    total = sum(random_pieces)
    whole = read_in_pieces(scene, tools, [total])
    assert len(whole[0]) > 0
    for pieces in ([7] * (total // 7) + [total % 7], [999] * (total // 999) + [total % 999]):
        assert read_in_pieces(scene, tools, pieces) == whole
    assert read_in_pieces(scene, tools, random_pieces) == whole
    assert read_in_pieces(scene, tools, [1] * 3000) == read_in_pieces(scene, tools, [3000])


@pytest.mark.parametrize("rise_us", [1, 300])
def test_event_rate_control_spreads_a_burst_after_a_quiet_millisecond(rise_us):
    frames = np.full((3, 240, 320), 50, np.uint8)
    frames[2] = 200

    def read(enable):
        cam = sim.Camera(scene=frames, frame_times_us=[0, 10_000, 10_000 + rise_us], seed=2)
        tool_set(cam, hal.EVENT_RATE_CONTROL, enable=enable, max_event_rate=1_000_000)
        return cam.read(12_000)[0]

    everything, kept = read(False), read(True)
    share = len(kept) / len(everything)
    assert share < 0.2
    for band in range(8):
        band_share = (kept["y"] // 30 == band).sum() / (everything["y"] // 30 == band).sum()
        assert share / 2 <= band_share <= share * 2, band


def test_other_threads_run_while_a_read_emulates():
    ticks, done = [0], threading.Event()

    def tick():
        while not done.is_set():
            ticks[0] += 1

    threading.Thread(target=tick, daemon=True).start()
    before = ticks[0]
    camera(width=320, height=240).read(2_000_000)
    during = ticks[0] - before
    done.set()
    assert during > 1000


def test_reads_of_one_camera_from_two_threads_take_turns():
    cam, pieces = camera("dots"), []
    readers = [
        threading.Thread(target=lambda: pieces.append(cam.read(200_000)[0])) for _ in range(2)
    ]
    for reader in readers:
        reader.start()
    for reader in readers:
        reader.join()
    pieces.sort(key=lambda events: events["timestamp"][0])
    assert b"".join(p.tobytes() for p in pieces) == camera("dots").read(400_000)[0].tobytes()


STOPPED_READ = """
import os, resource, sys
import orvane_sim_py as sim

def reads(cam):
    return [b"".join(a.tobytes() for a in cam.read(d)) for d in (5_000, 30_000, 100_000)]

def fresh():
    return sim.Camera(scene="bar", width=64, height=48, seed=6)

cam = fresh()
cam.read(0)
limits = resource.getrlimit(resource.RLIMIT_AS)
if sys.argv[1] == "memory":
    with open("/proc/self/statm") as statm:
        mapped = int(statm.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
    resource.setrlimit(resource.RLIMIT_AS, (mapped + (96 << 20), limits[1]))
try:
    print("reading", flush=True)
    cam.read(10**12)
except (KeyboardInterrupt, MemoryError) as error:
    print(type(error).__name__, cam.clock_us, flush=True)
resource.setrlimit(resource.RLIMIT_AS, limits)
print(reads(cam) == reads(fresh()), flush=True)
"""


@pytest.mark.parametrize(
    ("how", "error"), [("sigint", "KeyboardInterrupt"), ("memory", "MemoryError")]
)
def test_a_read_stopped_by_ctrl_c_or_lack_of_memory_loses_nothing(how, error):
    with open("/proc/self/maps") as maps:
        if how == "memory" and "libasan" in maps.read():
            pytest.skip(
                "AddressSanitizer's shadow memory does not fit under an address-space limit"
            )
    child = subprocess.Popen(
        [sys.executable, "-c", STOPPED_READ, how], stdout=subprocess.PIPE, text=True, cwd=HERE
    )
    try:
        assert child.stdout.readline() == "reading\n"
        if how == "sigint":
            time.sleep(0.5)
            child.send_signal(signal.SIGINT)
        out, _ = child.communicate(timeout=60)
    finally:
        child.kill()
    assert out == f"{error} 0\nTrue\n"


def test_the_numpy_reference_counts_the_events_of_every_pixel_alike():
    """The benchmark's NumPy model is the emulator's model: same counts per pixel.

    The background activity is at its lowest, since the two draw it from
    different generators.
    """
    module = bench_module("numpy_pixel_model")
    width, height = 160, 120
    cam = camera(seed=5, width=width, height=height, ideal=True)
    tool_set(cam, hal.BIAS, bias_fo=-35, bias_hpf=120)
    reference = module.NumpyPixelModel(5, width, height, noise_hz=0.1 * 2 ** (-35 / 20 - 4))
    # Whole sample periods, so that no event of the emulator waits beyond the read.
    duration = 25 * reference.period
    counts = [
        np.bincount(events["y"].astype(int) * width + events["x"], minlength=width * height)
        for events in (cam.read(duration)[0], reference.read(duration))
    ]
    assert (counts[0] > 0).sum() > 3000
    assert (counts[0] == counts[1]).mean() >= 0.999


def test_the_numpy_video_model_counts_the_events_of_every_pixel_alike():
    """The dense-video benchmark's NumPy model: same counts per pixel, noise at its lowest."""
    video = small_video(seconds=0.2, width=128, height=96)
    cam = sim.Camera(**video, seed=5, ideal=True)
    tool_set(cam, hal.BIAS, bias_fo=-35, bias_hpf=120)
    reference = bench_module("numpy_video_model").NumpyVideoModel(
        video["scene"], video["frame_times_us"], 5, noise_hz=0.1 * 2 ** (-35 / 20 - 4)
    )
    duration = video["frame_times_us"][-1]
    counts = [
        np.bincount(events["y"].astype(int) * 128 + events["x"], minlength=128 * 96)
        for events in (cam.read(duration)[0], reference.read(duration))
    ]
    assert (counts[0] > 0).mean() > 0.9
    assert (counts[0] == counts[1]).mean() >= 0.999


def biased_camera(frames, times, ideal, **biases):
    cam = sim.Camera(scene=frames, frame_times_us=times, seed=1, ideal=ideal)
    tool_set(cam, hal.BIAS, **biases)
    return cam


def step_events(low, high, ideal, **biases):
    """The ON events after every pixel steps from grey `low` to `high` at 10 ms."""
    frames = np.full((3, 24, 32), low, np.uint8)
    frames[2] = high
    events = biased_camera(frames, [0, 10_000, 10_001], ideal, **biases).read(60_000)[0]
    return events[(events["timestamp"] > 10_000) & (events["polarity"] == 1)]


def median_lag(events):
    pixels = per_pixel(events)
    return np.median([times[0][0] - 10_000 for times in pixels.values()])


@pytest.mark.parametrize("ideal", [False, True])
def test_the_pixel_lags_in_the_dark_and_bias_fo_shortens_the_lag(ideal):
    dim, bright = median_lag(step_events(0, 3, ideal)), median_lag(step_events(100, 200, ideal))
    faster_dim = median_lag(step_events(0, 3, ideal, bias_fo=55))
    assert bright < 1_000
    assert (dim >= 3 * bright and faster_dim < dim / 1.5) != ideal


def ramp_counts(ideal, bias_hpf):
    """The ON and OFF events of each pixel while the grey level rises and falls over 1 s."""
    times = np.arange(0, 1_000_001, 10_000)
    levels = np.interp(times, [0, 500_000, 1_000_000], [20, 220, 20]).astype(np.uint8)
    frames = np.repeat(levels, 24 * 32).reshape(-1, 24, 32)
    events = biased_camera(frames, times.tolist(), ideal, bias_hpf=bias_hpf).read(1_000_000)[0]
    pixel = events["y"].astype(int) * 32 + events["x"]
    return [np.bincount(pixel[events["polarity"] == p], minlength=24 * 32) for p in (1, 0)]


@pytest.mark.parametrize("ideal", [False, True])
def test_on_and_off_thresholds_mismatch_apart_and_bias_hpf_forgets_a_slow_ramp(ideal):
    on, off = ramp_counts(ideal, 0)
    forgetful = sum(counts.sum() for counts in ramp_counts(ideal, 120))
    kept_step = len(step_events(50, 150, ideal, bias_hpf=120)) / len(step_events(50, 150, ideal))
    assert kept_step >= 0.9
    assert (np.corrcoef(on, off)[0, 1] < 0.5 and forgetful <= 0.7 * (on + off).sum()) != ideal


@pytest.mark.parametrize("ideal", [False, True])
def test_a_still_scene_leaks_more_in_the_dark_and_has_hot_pixels(ideal):
    events = sim.Camera("still", width=640, height=480, seed=4, ideal=ideal).read(1_000_000)[0]
    dark, bright = events[events["x"] < 160], events[events["x"] >= 480]
    per_pixel_count = np.bincount(events["y"].astype(int) * 640 + events["x"])
    hot_share = (per_pixel_count >= 10).sum() / (640 * 480)
    assert len(bright) > 0
    assert (
        len(dark) > 1.2 * len(bright)
        and (bright["polarity"] == 1).mean() > 0.7
        and 1e-5 <= hot_share <= 1e-3
    ) != ideal


@pytest.mark.parametrize("ideal", [False, True])
def test_the_readout_spreads_a_global_flash_without_dropping_an_event(ideal):
    events = sim.Camera(**flash(640, 480), ideal=ideal).read(60_000)[0]
    events = events[events["timestamp"] > 10_000]
    busiest = np.bincount(events["timestamp"].astype(np.int64)).max()
    assert len(np.unique(events["y"].astype(int) * 640 + events["x"])) >= 0.999 * 640 * 480
    assert (busiest <= sim.READOUT_EVENTS_PER_US) != ideal


THREADS = """
import os, resource
import orvane_sim_py as sim
os.sched_setaffinity(0, set(sorted(os.sched_getaffinity(0))[:cores]))
before = len(os.listdir("/proc/self/task"))
cam = sim.Camera("bar")
print(len(os.listdir("/proc/self/task")) - before)
with open("/proc/self/statm") as statm:
    mapped = int(statm.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
resource.setrlimit(resource.RLIMIT_AS, (mapped + (256 << 20), resource.RLIM_INFINITY))
sim.Camera("bar", threads=1024)
"""


@pytest.mark.parametrize("cores", [1, 2])
def test_threads_follow_the_affinity_and_a_count_the_system_refuses_fails_at_once(cores):
    with open("/proc/self/maps") as maps:
        if len(os.sched_getaffinity(0)) < cores or "libasan" in maps.read():
            pytest.skip("too few cores, or an address-space limit that ASan's shadow cannot fit")
    child = run_in_child(f"cores = {cores}\n" + THREADS, timeout=60)
    assert child.stdout == f"{cores - 1}\n"
    assert child.stderr.endswith(
        "RuntimeError: Cannot start the 89 worker threads of a camera with threads=1024: "
        "Resource temporarily unavailable\n"
    )
