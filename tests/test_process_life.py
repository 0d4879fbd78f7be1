"""The modules through a process's life: forks, exits with reads on other threads, cycles."""

import pytest
from conftest import run_in_child

FORKED = """
import os, sys, time
import orvane_sim_py as sim

def camera(threads):
    cam = sim.Camera("bar", width=64, height=48, threads=threads)
    cam.read(5_000)
    return cam

cam = camera(4)
expected = camera(1).read(20_000)[0].tobytes()
time.sleep(0.1)  # the workers wait for the next task
pid = os.fork()
if pid == 0:
    print(cam.read(20_000)[0].tobytes() == expected, flush=True)
    sys.exit(0)  # the interpreter's end destroys the camera
for _ in range(300):
    done, status = os.waitpid(pid, os.WNOHANG)
    if done:
        print(os.waitstatus_to_exitcode(status))
        break
    time.sleep(0.1)
else:
    os.kill(pid, 9)
    print("the child hung")
"""


def test_a_forked_child_reads_a_threaded_camera_and_ends():
    child = run_in_child(FORKED, timeout=60)
    assert child.stdout == "True\n0\n", child.stderr


EXIT_DURING_READS = """
import itertools, threading, time
import numpy as np
import orvane_sim_py as sim

frames = np.zeros((2, 32, 32), np.uint8)
frames[1] = 200

def generator():
    for t, frame in zip(itertools.count(0, 1000), itertools.cycle(frames)):
        yield t, frame

scenes = {"bar": "bar", "iterator": zip(itertools.count(0, 1000), itertools.cycle(frames)),
          "generator": generator()}
cam = sim.Camera(scenes[scene], threads=2)

def streaming():
    for _ in cam.stream(1_000):
        pass

for reader in (streaming, lambda: cam.read(10**12), streaming):
    threading.Thread(target=reader, daemon=True).start()
time.sleep(0.3)
print("exiting", flush=True)
"""


@pytest.mark.parametrize("scene", ["bar", "iterator", "generator"])
def test_the_interpreter_exits_while_daemon_threads_read(scene):
    for _ in range(3):
        child = run_in_child(f"scene = {scene!r}\n" + EXIT_DURING_READS, timeout=30)
        assert (child.returncode, child.stdout) == (0, "exiting\n"), child.stderr


CYCLES = """
import gc, os, weakref
import numpy as np
import orvane_sim_py as sim

class Owner:
    def __init__(self):
        self.cam = sim.Camera(self.frames(), threads=2)
        self.cam.read(1_000)

    def frames(self):
        for k in range(10**9):
            yield k * 1000, np.full((16, 16), 40 + 100 * (k % 2), np.uint8)

class KeepsItsStream(sim.Camera):
    def __init__(self):
        super().__init__("bar", width=16, height=16, threads=2)
        self.slices = self.stream(1_000)
        next(self.slices)

def threads():
    return len(os.listdir("/proc/self/task"))

before = threads()
made = [weakref.ref(Owner().cam if kind == "generator" else KeepsItsStream()) for _ in range(50)]
gc.collect()
print(sum(ref() is not None for ref in made), threads() - before)
"""


@pytest.mark.parametrize("kind", ["generator", "stream"])
def test_cameras_in_reference_cycles_are_freed_with_their_threads(kind):
    child = run_in_child(f"kind = {kind!r}\n" + CYCLES, timeout=60)
    assert child.stdout == "0 0\n", child.stderr
