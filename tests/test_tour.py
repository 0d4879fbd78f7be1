import subprocess
import sys
from pathlib import Path

TOUR = Path(__file__).resolve().parents[1] / "examples" / "tour.py"


def test_tour_runs_and_shows_the_simulated_camera():
    out = subprocess.run(
        [sys.executable, str(TOUR)], capture_output=True, text=True, check=True, timeout=120
    )
    assert "Serial: SIM-0001" in out.stdout
    assert "'names': ['x', 'y', 'polarity', 'timestamp']" in out.stdout
