import gc
import weakref

import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest
from conftest import run_in_child


class PythonTool(hal.CameraTool):
    def __init__(self, description):
        super().__init__("")
        self.description = description

    def getToolInfo(self):
        info = hal.ToolInfo()
        info.tool_type, info.description = hal.APS_CTRL, self.description
        return info


def test_python_tool_outlives_its_python_name():
    holder = sim.ToolHolder(PythonTool("kept alive"))
    gc.collect()
    assert holder.tool_info().description == "kept alive"
    tool = holder.tool()
    assert type(tool) is PythonTool
    assert tool.description == "kept alive"
    del holder
    gc.collect()
    assert tool.get_tool_info().description == "kept alive"


def test_library_tool_outlives_its_camera():
    camera = sim.Camera()
    roi = camera.tool(hal.ROI)
    assert roi.set_param("x", 10) is True
    holder = sim.ToolHolder(roi)
    del camera, roi
    gc.collect()
    tool = holder.tool()
    assert type(tool) is hal.Imx636ROI
    assert tool.get_param("x") == (True, 10)


def test_tool_info_from_thread_reaches_python_and_library_tools():
    assert sim.tool_info_from_thread(PythonTool("from a thread")).description == "from a thread"
    roi = sim.make_tool("ROI")
    assert sim.tool_info_from_thread(roi).parameter_names == roi.get_tool_info().parameter_names


def test_functions_sharing_a_tool_refuse_none():
    for share in (sim.tool_info_from_thread, sim.ToolHolder):
        with pytest.raises(TypeError, match=r"incompatible (function|constructor) arguments"):
            share(None)


# A daemon thread keeps asking a tool from a C++ thread while the program
# ends: the kit's own tool, a Python tool, and one whose override gives the
# interpreter lock up while it runs.
EXIT_WHILE_ASKING = """
import threading, time
import orvane_hal_py as hal, orvane_sim_py as sim

class PythonTool(hal.CameraTool):
    def getToolInfo(self):
        if kind == "sleeping":
            time.sleep(0.001)
        return hal.ToolInfo()

tool = sim.make_tool("ROI") if kind == "kit" else PythonTool("")
asked = threading.Event()

def ask_forever():
    while True:
        sim.tool_info_from_thread(tool)
        asked.set()

threading.Thread(target=ask_forever, daemon=True).start()
asked.wait()
print("exiting")
"""


@pytest.mark.parametrize("tool", ["kit", "python", "sleeping"])
def test_program_ends_normally_while_a_thread_asks_a_tool(tool):
    out = run_in_child(f"kind = {tool!r}\n" + EXIT_WHILE_ASKING, leaves_memory=True)
    assert (out.returncode, out.stdout, out.stderr) == (0, "exiting\n", "")


def test_asking_from_a_thread_during_exit_raises():
    # Registered before the module's own hook, so it runs after it.
    script = """
import atexit
def ask():
    try:
        sim.tool_info_from_thread(sim.make_tool("ROI"))
    except RuntimeError as error:
        print(error)
atexit.register(ask)
import orvane_sim_py as sim
"""
    out = run_in_child(script)
    assert (out.returncode, out.stdout, out.stderr) == (
        0,
        "can't create new thread at interpreter shutdown\n",
        "",
    )


# A daemon thread stays in a Python tool's override that never returns: the
# exit waited for ever, deaf to Ctrl-C (sent here while the exit waits).
NEVER_RETURNS = """
import atexit, signal, threading, time
import orvane_hal_py as hal, orvane_sim_py as sim

class Polling(hal.CameraTool):
    def getToolInfo(self):
        polling.set()
        while True:
            try:
                time.sleep(0.01)
            except Exception:
                pass

polling = threading.Event()
tool = Polling("")
ask = tool.get_tool_info if directly else lambda: sim.tool_info_from_thread(tool)
threading.Thread(target=ask, daemon=True).start()
polling.wait()
if interrupted:  # from a thread started before the exit, which starts none
    exiting = threading.Event()

    def interrupt():
        exiting.wait()
        time.sleep(0.2)  # well into the exit's wait
        signal.raise_signal(signal.SIGINT)

    threading.Thread(target=interrupt, daemon=True).start()
    atexit.register(exiting.set)
print("exiting")
"""


@pytest.mark.parametrize("directly", [True, False])
@pytest.mark.parametrize("interrupted", [False, True])
def test_program_ends_while_a_python_override_never_returns(directly, interrupted):
    script = f"directly, interrupted = {directly}, {interrupted}\n{NEVER_RETURNS}"
    out = run_in_child(script, 60, leaves_memory=True)
    assert (out.returncode, out.stdout, out.stderr) == (0, "exiting\n", "")


def test_python_tools_holding_their_own_holder_are_collected():
    class SelfHolding(PythonTool):
        def __init__(self):
            super().__init__("self-held")
            self.holder = sim.ToolHolder(self)

    tools = [weakref.ref(SelfHolding()) for _ in range(20)]
    outside = sim.ToolHolder(SelfHolding())  # held from outside its cycle too: kept whole
    gc.collect()
    assert [tool() for tool in tools] == [None] * 20
    assert outside.tool().holder.tool_info().description == "self-held"
