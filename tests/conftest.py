import os
import subprocess
import sys

import orvane_hal_py as hal
import pytest
from hypothesis import settings

# The property-based tests run bounded by default ("ci": a couple of minutes
# for all of them, also on the sanitizer build); HYPOTHESIS_PROFILE=long
# tries many more values. Their calls take unpredictable time under the
# sanitizers, so no example has a deadline.
settings.register_profile("ci", max_examples=200, deadline=None, print_blob=True)
settings.register_profile("long", max_examples=5000, deadline=None, print_blob=True)
# For runs where every allocation is costly to record (LeakSanitizer).
settings.register_profile("few", max_examples=10, deadline=None, print_blob=True)
settings.load_profile(os.environ.get("HYPOTHESIS_PROFILE", "ci"))


def int_record(low=0, high=100, default=0, unit=""):
    record = hal.IntParameterInfo()
    record.min, record.max, record.default_value, record.unit = low, high, default, unit
    return record


def basic(name, kind):
    info = hal.BasicParameterInfo()
    info.name, info.type = name, kind
    return info


@pytest.fixture
def stderr_lines(capfd):
    """Reads what was written to the process's stderr since the last read, as lines."""
    capfd.readouterr()

    def read():
        return capfd.readouterr().err.splitlines()

    return read


def run_in_child(script, timeout=300, leaves_memory=False):
    """Runs `script` in a new interpreter, so that a crash fails a test instead of ending the run.

    `leaves_memory`: the child ends on purpose without freeing what is in use
    (threads parked at exit, a forked child's workers), so LeakSanitizer, where
    it runs, does not look at it."""
    env = dict(os.environ)
    if leaves_memory and "ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] += ":detect_leaks=0"
    return subprocess.run(
        [sys.executable, "-c", script],
        check=False,
        capture_output=True,
        text=True,
        timeout=timeout,
        cwd=os.path.dirname(__file__),
        env=env,
    )
