"""A read that raises costs nothing: the camera goes on as if it had never been called."""

from importlib.util import find_spec

import pytest
from conftest import run_in_child

UNDONE = """
import itertools, os, resource, signal, threading
import numpy as np
import orvane_hal_py as hal
import orvane_sim_py as sim
frames = np.full((2, 48, 64), 40, np.uint8)
frames[1, :, ::3] = 220

def camera(alarms=False):
    pairs = zip(itertools.count(0, 1000), itertools.cycle(frames))
    if alarms:  # each frame taken sets SIGALRM off at once, from C: no Python code runs meanwhile
        timers = map(signal.setitimer, itertools.repeat(signal.ITIMER_REAL), itertools.repeat(1e-5))
        pairs = itertools.chain([next(pairs)], map({}.get, timers, pairs))
    cam = sim.Camera("flicker", width=64, height=48) if how == "memory" else sim.Camera(pairs)
    # The anti-flicker filter would drop the flicker scene's events, which fill the memory.
    for tool, values in ((hal.ANTI_FLICKER, [how != "memory"]), (hal.EVENT_TRAIL_FILTER, [True]),
                         (hal.EVENT_RATE_CONTROL, [True, 2_000_000])):
        for name, value in zip(("enable", "max_event_rate"), values):
            cam.tool(tool).set_param(name, value)
    cam.read(2_000)
    roi(cam, how != "memory")  # a window of one pixel that must not act on the reads after
    return cam

def roi(cam, enable):
    for name, value in {"x": 3, "y": 3, "x_width": 1, "y_height": 1, "enable": enable}.items():
        cam.tool(hal.ROI).set_param(name, value)

def play(cam, reads):
    return [b"".join(a.tobytes() for a in cam.read(d)) for d in reads]

signal.signal(signal.SIGALRM, signal.SIG_IGN)
cam, limits = camera(how == "late"), resource.getrlimit(resource.RLIMIT_AS)
if how == "sigint":
    threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start()
elif how == "memory":
    with open("/proc/self/statm") as statm:
        mapped = int(statm.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
    resource.setrlimit(resource.RLIMIT_AS, (mapped + (64 << 20), limits[1]))
elif how == "late":
    signal.signal(signal.SIGALRM, signal.default_int_handler)
import _testcapi
done, failed, moved = [], 0, 0
for k, duration in enumerate([10**12] if how in ("sigint", "memory") else [3_000] * 20):
    clock, got = cam.clock_us, None
    try:
        _testcapi.set_nomemory(k, k + 1) if how == "nomemory" else None
        try:
            got = cam.read(duration)
        finally:
            _testcapi.remove_mem_hooks()
    except (KeyboardInterrupt, MemoryError):
        failed += got is None
        moved += got is None and cam.clock_us != clock
    done += [duration] if got is not None else []
signal.signal(signal.SIGALRM, signal.SIG_IGN)
roi(cam, False)
after = play(cam, [20_000, 20_000])
resource.setrlimit(resource.RLIMIT_AS, limits)
twin = camera()
play(twin, done)
roi(twin, False)
print(failed > 0, moved, after == play(twin, [20_000, 20_000]))
"""


@pytest.mark.parametrize("how", ["sigint", "memory", "late", "nomemory"])
def test_a_failed_read_is_undone_with_what_the_sensor_made_past_the_clock(how):
    """Ctrl-C, no memory left, a signal after the last check, each Python allocation failing."""
    with open("/proc/self/maps") as maps:
        if (how == "memory" and "libasan" in maps.read()) or not find_spec("_testcapi"):
            pytest.skip("no _testcapi, or an address-space limit that ASan's shadow cannot fit")
    child = run_in_child(f"how = {how!r}\n" + UNDONE, timeout=120)
    assert (child.stdout, child.stderr) == ("True 0 True\n", "")
