import subprocess
import sys
from pathlib import Path

TOUR = Path(__file__).resolve().parents[1] / "examples" / "tour.py"

SECTIONS = [
    "Streaming the emulated sensor",
    "Camera description",
    "Camera tools",
    "Reading and setting tool parameters",
    "A refused value (the kit explains why on stderr)",
    "A tool with parameters of your own",
    "A tool written in Python",
    "Test patterns, unrelated to the scene: events(n) and triggers(n)",
    "Raw event stream format",
    "APS frames and their NumPy view",
    "Calibration and recording records",
    "Logging through the kit's logger",
    "An emulated sensor watching a moving bar",
    "The realistic pixel: lag, noise and the readout",
    "Your own video, to an event file",
]


def test_tour_runs_and_shows_every_feature(capfd, tmp_path):
    subprocess.run([sys.executable, str(TOUR), str(tmp_path / "tour.png")], check=True, timeout=120)
    out = capfd.readouterr()
    titles = [line[3:-3] for line in out.out.splitlines() if line.startswith("== ")]
    assert titles == SECTIONS
    for shown in (
        "Serial: SIM-0001",
        "fields: ('x', 'y', 'polarity', 'timestamp') bytes per event: 16",
        "set_param('gain', 24) -> True (True, 24)",
        "get_param_info('exposure') -> True Min: 10 Max: 100000 Default: 1000 Unit: us",
        "frame over a bytearray, second row: [[6, 7, 8], [9, 10, 11]]",
        "every tool off                    220497 events in 20 ms",
        "ROI 640 x 360 at (160, 180)       112811 events in 20 ms",
    ):
        assert shown in out.out
    logged = [line.split("] ", 1)[1] for line in out.err.splitlines()]
    assert logged[:2] == [
        "ParameterChecks.cpp:26: Parameter x: 5000 refused, allowed range is [0, 1279]",
        "camera_tool_binding.cpp:137: Parameter gain not found",
    ]
    assert logged[-1] == "orvane_base_binding.cpp:169: 100% of this text is printed as is"
    # The picture is drawn only where matplotlib is installed.
    for picture in ("tour.png", "tour_pixel.png", "tour_video.png"):
        assert (tmp_path / picture).exists() == (f"saved to {tmp_path / picture}" in out.out)
