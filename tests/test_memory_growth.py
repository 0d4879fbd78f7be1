"""Long loops of every operation leave the process's resident memory where it was."""

import gc
import os

import orvane_base_py as base
import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest
from conftest import int_record

pytestmark = pytest.mark.memory

ROUNDS = 1500
# Far below what one leaked frame buffer per round would add (ROUNDS x 12 KiB).
GROWTH_LIMIT = 8 * 2**20


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def sanitizer_loaded():
    with open("/proc/self/maps") as maps:
        return "libasan" in maps.read()


class PythonTool(hal.CameraTool):
    def getToolInfo(self):
        info = hal.ToolInfo()
        info.parameter_names = ["a", "b"]
        return info


def one_round(n):
    tool = sim.make_tool("EventTrailFilter", "p_")
    tool.set_param("threshold", 2000 + n % 1000)
    tool.set_param("threshold", -1)
    tool.get_param("type")
    tool.get_param_info("type")
    tool.set_param("absent", 1)
    with pytest.raises(RuntimeError):
        tool.set_param("threshold", "text")
    custom = sim.make_tool("ROI", params=[("gain", "a gain", int_record(0, 9))])
    custom.get_all_param_info()
    sim.tool_info_from_thread(PythonTool(""))
    sim.ToolHolder(custom).tool_info()

    pixels = bytearray(64 * 64 * 3)
    frame = base.ApsFrame(64, 64, n, n + 1, pixels, len(pixels))
    view = frame.data_numpy()
    view[0, 0, 0] = n % 256
    copy = base.ApsFrame(frame)
    clone = copy.clone()
    owned = base.ApsFrame(64, 64, 0, 0, bytes(pixels), len(pixels), own_data=True)
    del frame, copy, view, clone, owned, pixels

    parameters = sim.Camera().calibration()
    matrix = parameters.camera_matrix
    matrix.data = [float(n)] * 9
    parameters.affine_matrix = {"a": matrix, b"b": base.MatrixData()}
    parameters.rotation = [1.0, 2.0, 3.0]
    del parameters
    repr(matrix)

    base.log_warn(f"round {n}")
    base.getLogger().error(f"round {n}: 100%")
    fmt = hal.RawEventStreamFormat("EVT3;height=720;width=1280")
    fmt["width"]
    with pytest.raises(IndexError):
        fmt[b"\xff"]
    with pytest.raises(ValueError, match="repeated"):
        hal.RawEventStreamFormat("EVT3;a=1;a=2")
    sim.event2d_array(256)
    info = base.DvsFileInfo()
    info.serial_number = "S" * 64
    repr(info)


@pytest.mark.skipif(
    sanitizer_loaded(), reason="the sanitizer holds freed memory in quarantine, so RSS grows"
)
def test_long_loops_keep_resident_memory_flat():
    for n in range(ROUNDS):
        one_round(n)
    gc.collect()
    after_first = resident_bytes()
    for n in range(ROUNDS):
        one_round(n)
    gc.collect()
    after_second = resident_bytes()
    print(
        f"resident memory after {ROUNDS} rounds: {after_first}, after {2 * ROUNDS}: {after_second}"
    )
    assert after_second - after_first < GROWTH_LIMIT
