import json
import subprocess
import sys
from fractions import Fraction

import numpy as np
import orvane_sim_py as sim
import pytest
from conftest import run_in_child

av = pytest.importorskip("av")
pytest.importorskip("h5py")


def write_video(path, shift):
    """A 0.4 s video of a ramp sliding `shift` pixels a frame."""
    ramp = np.arange(64)
    with av.open(str(path), "w") as video:
        stream = video.add_stream("ffv1", rate=1000)
        stream.width, stream.height, stream.pix_fmt = 64, 48, "gray"
        for index in range(20):
            pixels = np.broadcast_to(((ramp + shift * index) % 64 * 4).astype(np.uint8), (48, 64))
            frame = av.VideoFrame.from_ndarray(np.ascontiguousarray(pixels), format="gray")
            frame.pts, frame.time_base = index * 20, Fraction(1, 1000)
            video.mux(stream.encode(frame))
        video.mux(stream.encode())
    return path


@pytest.fixture
def videos(tmp_path):
    (tmp_path / "broken.mp4").write_bytes(b"not a video")
    return [
        write_video(tmp_path / "left.mkv", 3),
        tmp_path / "broken.mp4",
        write_video(tmp_path / "right.mkv", -2),
    ]


def orvane_sim(*args):
    return subprocess.run(
        [sys.executable, "-m", "orvane_sim", *map(str, args)],
        capture_output=True,
        text=True,
        check=False,
    )


@pytest.mark.parametrize("kind", ["h5", "raw"])
def test_convert_writes_each_video_and_names_the_one_that_failed(tmp_path, videos, kind):
    out = tmp_path / "out"
    done = orvane_sim("convert", *videos, "--out", out, "--format", kind, "--seed", 3)
    assert done.returncode == 1
    lines = done.stdout.splitlines()
    assert lines[0].split() == ["video", "events", "duration", "s", "events/s", "time", "s"]
    assert [line.split()[:2] for line in lines[2:3]] == [["broken.mp4", "failed"]]
    assert f"{videos[1]}: ValueError: {videos[1]} is not a video" in done.stderr
    assert sorted(path.name for path in out.iterdir()) == [f"left.{kind}", f"right.{kind}"]
    events = int(lines[1].split()[1])
    info = orvane_sim("info", out / f"left.{kind}")
    assert info.returncode == 0
    assert f"events    {events}" in info.stdout.splitlines()
    assert ("HDF5" if kind == "h5" else "raw (EVT3)") in info.stdout
    assert orvane_sim("info", videos[1]).returncode == 1


@pytest.mark.parametrize(
    ("args", "message"),
    [
        (["convert", "x.mkv"], "the following arguments are required: --out"),
        (["convert", "x.mkv", "--out", "o", "--bias", "bias_fo"], "expected NAME=INTEGER"),
        (["convert", "x.mkv", "--out", "o", "--bias", "bias_fo=900"], "biases['bias_fo']"),
        (["convert", "x.mkv", "--out", "o", "--biases", "missing.txt"], "No such file"),
        (["convert", "x.mkv", "--out", "o", "--width", "32"], "--width and --height go together"),
        (["convert", "x.mkv", "--out", "o", "--workers", "2", "--scheduler", "a"], "not allowed"),
        (["info"], "the following arguments are required: FILE"),
    ],
)
def test_bad_usage_exits_with_2(args, message):
    done = orvane_sim(*args)
    assert (done.returncode, done.stdout) == (2, "")
    assert message in done.stderr


def test_the_same_files_from_one_and_two_workers(tmp_path, videos):
    distributed = pytest.importorskip("distributed")
    good = [videos[0], videos[2]]
    runs = {1: good, 2: [videos[1], *good[::-1]]}
    outputs = {}
    for workers, paths in runs.items():
        with (
            distributed.LocalCluster(
                n_workers=workers, threads_per_worker=1, dashboard_address=None
            ) as cluster,
            distributed.Client(cluster) as client,
        ):
            out = tmp_path / f"by{workers}"
            results = sim.convert_videos(paths, out, client=client, seed=5, format="raw")
        assert ["error" in result for result in results] == [path == videos[1] for path in paths]
        outputs[workers] = {path.name: path.read_bytes() for path in out.iterdir()}
    assert outputs[1] == outputs[2]
    assert sorted(outputs[1]) == ["left.raw", "right.raw"]


def test_missing_extras_name_what_to_install(tmp_path, videos):
    script = """
import sys
sys.modules["distributed"] = None
sys.modules["h5py"] = None
import orvane_sim_py as sim
from orvane_sim.cli import main
try:
    sim.convert_videos([], "out")
except ImportError as error:
    print(error)
print("exit", main(["convert", {video!r}, "--out", {out!r}]))
"""
    child = run_in_child(script.format(video=str(videos[0]), out=str(tmp_path / "o")))
    assert child.stdout.splitlines() == [
        'distributed is needed for this; install it with: pip install "orvane-py[cluster]"',
        "exit 1",
    ]
    assert 'pip install "orvane-py[files]"' in child.stderr


def test_bias_file_biases_and_preview_reach_the_conversion(tmp_path, videos):
    (tmp_path / "biases.txt").write_text("bias_diff_on 30\nbias_fo 5\n")
    out = tmp_path / "out"
    done = orvane_sim(
        "convert",
        videos[0],
        "--out",
        out,
        "--biases",
        tmp_path / "biases.txt",
        "--bias",
        "bias_fo=10",
        "--preview",
        "side-by-side",
        "--format",
        "raw",
    )
    assert done.returncode == 0, done.stderr
    assert sorted(path.name for path in out.iterdir()) == ["left.preview.mp4", "left.raw"]
    with av.open(str(out / "left.preview.mp4")) as preview:  # the input frame, then the events
        assert preview.streams.video[0].width == 2 * sim.EventReader(out / "left.raw").width
    tools = json.loads(sim.EventReader(out / "left.raw").attributes["tools"])
    assert (tools["Imx636Biases"]["bias_diff_on"], tools["Imx636Biases"]["bias_fo"]) == (30, 10)
