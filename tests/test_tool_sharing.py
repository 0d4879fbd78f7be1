import gc

import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest


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
