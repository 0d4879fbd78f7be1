"""Several Python threads and C++ threads using the three modules at once.

Each Python thread owns its own parameters, tools, frames and log messages and
checks that it sees its own writes; C++ threads call a Python tool's overrides
while the Python threads run. A deadlock shows as a thread still alive after a
generous join timeout; a crash ends the run.
"""

import gc
import re
import sys
import threading
from functools import partial

import orvane_base_py as base
import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest
from conftest import int_record

pytestmark = pytest.mark.stress

ITERATIONS = 150
JOIN_TIMEOUT_S = 300
LOG_LINE = re.compile(rb"^\S+ \S+ \[(TRACE|DEBUG|INFO|WARN|ERR|FATAL)\] [\w.]+:\d+: .*$")


def run_together(workers):
    """Starts every worker at once and waits for all; re-raises the first failure."""
    start = threading.Barrier(len(workers))
    failures = []

    def run(work):
        try:
            start.wait()
            work()
        except BaseException as error:  # noqa: BLE001 - reported below, whatever it is
            failures.append(error)

    threads = [threading.Thread(target=run, args=(work,), daemon=True) for work in workers]
    switch_interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-5)
    try:
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(JOIN_TIMEOUT_S)
    finally:
        sys.setswitchinterval(switch_interval)
    stuck = [thread.name for thread in threads if thread.is_alive()]
    assert not stuck, f"still running after {JOIN_TIMEOUT_S} s: {stuck}"
    if failures:
        raise failures[0]


class OwnedTool(hal.CameraTool):
    def __init__(self, owner):
        super().__init__("")
        self.owner = owner

    def getToolInfo(self):
        info = hal.ToolInfo()
        info.description = self.owner
        info.parameter_names = [self.owner]
        return info


def choices(*options):
    record = hal.EnumParameterInfo()
    record.options = list(options)
    return record


def parameters_of(owner):
    return [
        (f"{owner}_int", "", int_record(0, 1000)),
        (f"{owner}_bool", "", hal.BoolParameterInfo()),
        (f"{owner}_mode", "", choices("a", "b", "c")),
        (f"{owner}_text", "", hal.StringParameterInfo()),
    ]


def test_threads_share_tools_logging_and_frames(capfdbinary):
    owners = [f"t{index}" for index in range(3)]
    shared = sim.make_tool("AntiFlicker", params=[p for o in owners for p in parameters_of(o)])
    roi = sim.Camera().tool(hal.ROI)
    roi_owned = {0: ("x", 1279), 1: ("y", 719), 2: ("x_width", 1280)}

    def set_and_check(tool, name, value):
        assert tool.set_param(name, value) is True
        assert tool.get_param(name) == (True, value)

    def use_tools(index):
        owner = owners[index]
        roi_name, roi_max = roi_owned[index]
        for n in range(ITERATIONS):
            set_and_check(shared, f"{owner}_int", n % 1001)
            set_and_check(shared, f"{owner}_bool", n % 2 == 0)
            set_and_check(shared, f"{owner}_mode", "abc"[n % 3])
            set_and_check(shared, f"{owner}_text", f"{owner} {n}")
            set_and_check(roi, roi_name, n % roi_max + 1)
            # A refused value leaves the thread's last write in place.
            assert shared.set_param(f"{owner}_int", 5000) is False
            assert shared.get_param(f"{owner}_int") == (True, n % 1001)
            ok, record = shared.get_param_info(f"{owner}_int")
            assert ok is True
            assert (record.min, record.max) == (0, 1000)

    def log(index):
        logger = base.getLogger()
        for n in range(ITERATIONS):
            base.log_warn(f"module {index} {n}")
            logger.error(f"logger {index} {n}")
            assert shared.set_param(f"absent {index} {n}", 1) is False

    def use_frames(index):
        for n in range(ITERATIONS):
            pixels = bytearray(4 * 3 * 3)
            frame = base.ApsFrame(4, 3, n, n + 1, pixels, len(pixels))
            view = frame.data_numpy()
            view[...] = (index * 50 + n) % 256
            assert pixels == bytes([(index * 50 + n) % 256]) * len(pixels)
            copy = base.ApsFrame(frame)
            clone = frame.clone()
            del frame
            view[0, 0, 0] = 1
            assert copy.data() == 1
            assert clone.data() == (index * 50 + n) % 256
            parameters = base.CalibratorParameters()
            matrix = parameters.camera_matrix
            matrix.rows = n
            del parameters
            assert matrix.rows == n
            if n % 25 == 0:
                gc.collect()

    def ask_from_cpp_threads(index):
        tool = OwnedTool(f"owned by {index}")
        for _ in range(ITERATIONS // 3):
            assert sim.tool_info_from_thread(tool).parameter_names == [f"owned by {index}"]
            assert sim.tool_info_from_thread(roi).tool_type == hal.ROI

    run_together(
        [partial(use_tools, index) for index in range(len(owners))]
        + [
            partial(role, index)
            for role in (log, use_frames, ask_from_cpp_threads)
            for index in (0, 1)
        ]
    )

    lines = capfdbinary.readouterr().err.splitlines()
    assert all(LOG_LINE.match(line) for line in lines)
    for index in range(2):
        for n in range(ITERATIONS):
            for text in (b"module %d %d" % (index, n), b"logger %d %d" % (index, n)):
                assert sum(line.endswith(b": " + text) for line in lines) == 1
            absent = b"Parameter absent %d %d not found" % (index, n)
            assert sum(line.endswith(absent) for line in lines) == 1
