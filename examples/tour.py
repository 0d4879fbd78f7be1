"""A short tour of the Orvane Python kit, run against the simulated camera."""

import orvane_hal_py as hal
import orvane_sim_py as sim


def section(title):
    print(f"\n== {title} ==")


def describe_camera(camera):
    section("Camera description")
    print(camera.description())


def show_events(camera):
    section("DVS events as a NumPy structured array")
    events = camera.events(5)
    print(events.dtype)
    print(events)
    section("Trigger events")
    print(camera.triggers(3))


def show_tools(camera):
    section("Camera tools")
    for tool in camera.tools():
        print(f"\n{type(tool).__name__}")
        print(tool.get_tool_info())
        for name, basic in tool.get_all_param_info().items():
            _, record = tool.get_param_info(name)
            _, value = tool.get_param(name)
            kind = hal.tool_parameter_type_to_string(basic.type)
            print(f"  {name:<16} {kind:<6} value={value!r:<14} {record}")

    section("Reading and setting tool parameters")
    roi = camera.tool(hal.ROI)
    for name, value in [("x", 320), ("x_width", 640), ("mode", "RONI"), ("enable", True)]:
        print(f"ROI.set_param({name!r}, {value!r}) -> {roi.set_param(name, value)}")
    print("ROI x, mode:", roi.get_param("x"), roi.get_param("mode"))
    erc = camera.tool(hal.EVENT_RATE_CONTROL)
    print("ERC.set_param('max_event_rate', 5000000) ->", erc.set_param("max_event_rate", 5000000))
    print("ERC max_event_rate:", erc.get_param("max_event_rate"))

    section("A refused value (the kit explains why on stderr)")
    print("ROI.set_param('x', 5000) ->", roi.set_param("x", 5000))
    print("ROI x is still", roi.get_param("x"))


def main():
    camera = sim.Camera()
    describe_camera(camera)
    show_events(camera)
    show_tools(camera)


if __name__ == "__main__":
    main()
