"""A read that raises costs nothing: the camera goes on as if it had never been called."""

import importlib.util

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
    for tool, name, value in ((hal.ANTI_FLICKER, "enable", how != "memory"),
                              (hal.EVENT_TRAIL_FILTER, "enable", True),
                              (hal.EVENT_RATE_CONTROL, "max_event_rate", 2_000_000),
                              (hal.EVENT_RATE_CONTROL, "enable", True)):
        cam.tool(tool).set_param(name, value)
    return cam


def roi(cam, enable):
    for name, value in {"x": 3, "y": 3, "x_width": 1, "y_height": 1, "enable": enable}.items():
        cam.tool(hal.ROI).set_param(name, value)


def play(cam, reads):
    return [b"".join(a.tobytes() for a in cam.read(d)) for d in reads]


signal.signal(signal.SIGALRM, signal.SIG_IGN)
cam = camera(how == "late")
cam.read(2_000)
# A window of one pixel while the read fails, which must not act on the reads after it.
roi(cam, how != "memory")
limits = resource.getrlimit(resource.RLIMIT_AS)
if how == "sigint":
    threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start()
elif how == "memory":
    with open("/proc/self/statm") as statm:
        mapped = int(statm.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
    resource.setrlimit(resource.RLIMIT_AS, (mapped + (64 << 20), limits[1]))
elif how == "late":
    signal.signal(signal.SIGALRM, signal.default_int_handler)
elif how == "nomemory":
    import _testcapi
done, failed, moved = [], 0, 0
for k, duration in enumerate([10**12] if how in ("sigint", "memory") else [3_000] * 20):
    clock, got = cam.clock_us, None
    try:
        if how == "nomemory":
            _testcapi.set_nomemory(k, k + 1)
        try:
            got = cam.read(duration)
        finally:
            if how == "nomemory":
                _testcapi.remove_mem_hooks()
    except (KeyboardInterrupt, MemoryError):
        failed += got is None
        moved += got is None and cam.clock_us != clock
    if got is not None:
        done.append(duration)
signal.signal(signal.SIGALRM, signal.SIG_IGN)
roi(cam, False)
after = play(cam, [20_000, 20_000])
resource.setrlimit(resource.RLIMIT_AS, limits)
twin = camera()
twin.read(2_000)
roi(twin, how != "memory")
play(twin, done)
roi(twin, False)
print(failed > 0, moved, after == play(twin, [20_000, 20_000]))
"""


@pytest.mark.parametrize("how", ["sigint", "memory", "late", "nomemory"])
def test_a_failed_read_is_undone_with_what_the_sensor_made_past_the_clock(how):
    """Ctrl-C in a long read, the memory running out, a signal that came after the last
    check, and every Python allocation that makes the records failing in turn."""
    with open("/proc/self/maps") as maps:
        if how == "memory" and "libasan" in maps.read():
            pytest.skip(
                "AddressSanitizer's shadow memory does not fit under an address-space limit"
            )
    if how == "nomemory" and importlib.util.find_spec("_testcapi") is None:
        pytest.skip("this Python has no _testcapi")
    child = run_in_child(f"how = {how!r}\n" + UNDONE, timeout=120)
    assert child.returncode == 0, child.stderr
    assert child.stdout == "True 0 True\n"
