import sys
from fractions import Fraction

import numpy as np
import orvane_sim_py as sim
import pytest

av = pytest.importorskip("av")

# Eleven frames, so that name order must put 10.png after 9.png.
FRAMES = np.random.default_rng(5).integers(0, 256, (11, 24, 36), dtype=np.uint8)
TIMES = [index * 10_000 for index in range(len(FRAMES))]
READ_US = 130_000


def write_video(path, frames, times_us, codec="ffv1", pix_fmt="gray"):
    """Writes frames at times given in whole milliseconds (the container's unit)."""
    with av.open(str(path), "w") as video:
        stream = video.add_stream(codec, rate=1000)
        stream.width, stream.height, stream.pix_fmt = frames.shape[2], frames.shape[1], pix_fmt
        for time_us, pixels in zip(times_us, frames):
            frame = av.VideoFrame.from_ndarray(pixels, format="gray")
            frame.pts, frame.time_base = time_us // 1000, Fraction(1, 1000)
            video.mux(stream.encode(frame))
        video.mux(stream.encode())
    return path


def write_images(folder, frames):
    for index, pixels in enumerate(frames):
        with av.open(str(folder / f"{index}.png"), "w", format="image2") as image:
            stream = image.add_stream("png")
            stream.width, stream.height, stream.pix_fmt = pixels.shape[1], pixels.shape[0], "gray"
            image.mux(stream.encode(av.VideoFrame.from_ndarray(pixels, format="gray")))
            image.mux(stream.encode())
    return folder


def events(**scene):
    return sim.Camera(seed=3, **scene).read(READ_US)[0].tobytes()


def area_resized(frame, width, height):
    """Area averaging by its definition: each pixel split into width x height
    parts, and each output pixel the mean of as many parts."""
    parts = frame.astype(np.float64).repeat(height, 0).repeat(width, 1)
    means = parts.reshape(height, frame.shape[0], width, frame.shape[1]).mean(axis=(1, 3))
    return np.rint(means).astype(np.uint8)


@pytest.mark.parametrize(
    "scene",
    [
        lambda tmp: {"scene": list(FRAMES), "frame_times_us": TIMES},
        lambda tmp: {"scene": iter(zip(TIMES, FRAMES))},
        lambda tmp: {"scene": sim.video_frames(write_video(tmp / "clip.mkv", FRAMES, TIMES))},
        lambda tmp: {"scene": sim.image_frames(write_images(tmp, FRAMES), 100)},
        lambda tmp: {"scene": sim.image_frames(str(write_images(tmp, FRAMES) / "*.png"), 100)},
    ],
    ids=["list", "iterator", "lossless video", "image folder", "image glob"],
)
def test_every_form_of_the_frames_gives_the_array_s_events(tmp_path, scene):
    expected = events(scene=FRAMES, frame_times_us=TIMES)
    assert len(expected) > 0
    assert events(**scene(tmp_path)) == expected


def test_video_times_are_its_presentation_times_from_the_start(tmp_path):
    times = [5_000, 15_000, 40_000, 46_000, 90_000]
    path = write_video(tmp_path / "variable.mkv", FRAMES[:5], times)
    assert [t for t, _ in sim.video_frames(path)] == [0, 10_000, 35_000, 41_000, 85_000]
    # The frame shown at the start comes at 0; the last one reaches the end.
    part = list(sim.video_frames(path, start_us=20_000, duration_us=30_000))
    assert [t for t, _ in part] == [0, 15_000, 21_000, 65_000]
    assert np.array_equal(part[0][1], FRAMES[1])


@pytest.mark.parametrize(
    ("size", "crop", "shape"),
    [
        ((18, 12), None, (12, 18)),
        ((24, 16), None, (16, 24)),
        (None, (6, 3, 24, 18), (18, 24)),
        ((16, 12), (6, 3, 24, 18), (12, 16)),
        ((10, 7), (1, 2, 33, 21), (7, 10)),
    ],
)
def test_resized_footage_is_area_averaged_after_the_crop(tmp_path, size, crop, shape):
    x, y, width, height = crop or (0, 0, 36, 24)
    cut = FRAMES[:, y : y + height, x : x + width]
    expected = np.array([area_resized(frame, *(size or (width, height))) for frame in cut])
    path = write_video(tmp_path / "clip.mkv", FRAMES, TIMES)
    for frames in (
        sim.video_frames(path, size=size, crop=crop),
        sim.image_frames(write_images(tmp_path, FRAMES), 100, size=size, crop=crop),
    ):
        shaped = np.array([frame for _, frame in frames])
        assert shaped.shape[1:] == shape
        assert np.array_equal(shaped, expected)
    resized = events(scene=sim.video_frames(path, size=size, crop=crop))
    assert resized == events(scene=expected, frame_times_us=TIMES)


def bad_image_folder(tmp_path, flaw):
    folder, other = tmp_path / "images", tmp_path / "other"
    folder.mkdir(), other.mkdir()
    write_images(folder, FRAMES[:3])
    if flaw == "unreadable":
        (folder / "1.png").write_text("not an image")
    else:
        write_images(other, FRAMES[:1, :20])
        (other / "0.png").replace(folder / "1.png")
    return folder


@pytest.mark.parametrize(
    ("call", "error", "message"),
    [
        (lambda tmp: sim.video_frames(tmp / "missing.mp4"), FileNotFoundError, "missing.mp4"),
        (lambda tmp: sim.video_frames(tmp / "notes.txt"), ValueError, r"notes\.txt"),
        (lambda tmp: sim.video_frames(tmp / "sound.wav"), ValueError, r"sound\.wav has no video"),
        (lambda tmp: sim.video_frames(tmp / "0.png", crop=(30, 0, 8, 8)), ValueError, "crop"),
        (lambda tmp: sim.image_frames(tmp / "nothing", 30), ValueError, "nothing"),
        (lambda tmp: sim.image_frames(tmp, 0), ValueError, "frame_rate_hz"),
        (lambda tmp: sim.video_frames(tmp, size=(0, 5)), ValueError, "size"),
    ],
)
def test_bad_files_and_arguments_raise_at_the_call_naming_them(tmp_path, call, error, message):
    write_images(tmp_path, FRAMES[:1])
    (tmp_path / "nothing").mkdir()
    (tmp_path / "notes.txt").write_text("no video here")
    with av.open(str(tmp_path / "sound.wav"), "w") as sound:
        samples = av.AudioFrame.from_ndarray(np.zeros((1, 800), np.int16), "s16", "mono")
        samples.sample_rate = 8000
        sound.mux(sound.add_stream("pcm_s16le", rate=8000).encode(samples))
    with pytest.raises(error, match=message):
        call(tmp_path)


@pytest.mark.parametrize("flaw", ["unreadable", "other size"])
def test_a_bad_image_raises_naming_it_and_the_frames_before_stay(tmp_path, flaw):
    camera = sim.Camera(scene=sim.image_frames(bad_image_folder(tmp_path, flaw), 100))
    with pytest.raises(ValueError, match=r"1\.png"):
        camera.read(READ_US)
    assert camera.clock_us == 0
    assert np.array_equal(camera.frame().data_numpy()[..., 0], FRAMES[0])


def test_missing_pyav_names_the_extra(monkeypatch, tmp_path):
    monkeypatch.setitem(sys.modules, "av", None)
    for call in (lambda: sim.video_frames(tmp_path), lambda: sim.image_frames(tmp_path, 1)):
        with pytest.raises(ImportError, match=r"orvane-py\[video\]"):
            call()
