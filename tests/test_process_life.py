"""The modules through a process's life: forks, exits with reads on other threads, cycles."""

import pytest
from conftest import run_in_child

FORKED = """
import os, signal, time
import orvane_sim_py as sim
cam, twin = (sim.Camera("bar", width=64, height=48, threads=n) for n in (4, 1))
cam.read(5_000), twin.read(5_000)
time.sleep(0.1)  # the workers wait for the next task
pid = os.fork()
if pid == 0:
    signal.alarm(20)  # a child that hangs at its end is killed, and says so by its status
    print(cam.read(20_000)[0].tobytes() == twin.read(20_000)[0].tobytes(), flush=True)
else:
    print(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))
"""


def test_a_forked_child_reads_a_threaded_camera_and_ends():
    child = run_in_child(FORKED, timeout=60, leaves_memory=True)
    assert child.stdout == "True\n0\n", child.stderr


EXIT_DURING_READS = """
import itertools, threading, time
import numpy as np
import orvane_sim_py as sim
pairs = zip(itertools.count(0, 1000), itertools.cycle(np.arange(2, dtype=np.uint8)[:, None, None] * np.full((32, 32), 200, np.uint8)))
scene = {"bar": "bar", "iterator": pairs, "generator": (pair for pair in pairs)}[kind]
cam = sim.Camera(scene, threads=2)
for read in (lambda: list(cam.stream(1_000)), lambda: cam.read(10**12)) * 2:
    threading.Thread(target=read, daemon=True).start()
time.sleep(0.3)
"""


@pytest.mark.parametrize("kind", ["bar", "iterator", "generator"])
def test_the_interpreter_exits_while_daemon_threads_read(kind):
    children = [
        run_in_child(f"kind = {kind!r}\n" + EXIT_DURING_READS, timeout=30, leaves_memory=True)
        for _ in "abc"
    ]
    assert [(child.returncode, child.stderr) for child in children] == [(0, "")] * 3


CYCLES = """
import gc, os, weakref
import numpy as np
import orvane_sim_py as sim

class Owner:
    def __init__(self):
        self.cam = sim.Camera(self.frames(), threads=2)
        self.cam.read(1_000)

    def frames(self):
        yield from ((k * 1000, np.full((16, 16), 40 + 100 * (k % 2), np.uint8)) for k in range(9**9))

class KeepsItsStream(sim.Camera):
    def __init__(self):
        super().__init__("bar", width=16, height=16, threads=2)
        self.slices = self.stream(1_000)
        next(self.slices)

before = len(os.listdir("/proc/self/task"))
made = [weakref.ref(Owner().cam if kind == "generator" else KeepsItsStream()) for _ in range(50)]
gc.collect()
print(sum(ref() is not None for ref in made), len(os.listdir("/proc/self/task")) - before)
"""


@pytest.mark.parametrize("kind", ["generator", "stream"])
def test_cameras_in_reference_cycles_are_freed_with_their_threads(kind):
    child = run_in_child(f"kind = {kind!r}\n" + CYCLES, timeout=60)
    assert child.stdout == "0 0\n", child.stderr
