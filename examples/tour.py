"""A short tour of the Orvane Python kit, run against the simulated camera.

Run it as `python examples/tour.py [PICTURE]`: with matplotlib installed it
draws what the emulated sensor sees into PICTURE (tour.png by default).
"""

import importlib.util
import sys
from pathlib import Path
from typing import Any

import numpy as np
import numpy.typing as npt
import orvane_base_py as base
import orvane_hal_py as hal
import orvane_sim_py as sim


def section(title: str) -> None:
    print(f"\n== {title} ==", flush=True)


def tool_of(camera: sim.Camera, tool_type: hal.ToolType) -> hal.CameraTool:
    """The camera's tool of `tool_type` (Camera.tool gives None for one it lacks)."""
    tool = camera.tool(tool_type)
    assert tool is not None
    return tool


def describe_camera(camera: sim.Camera) -> None:
    section("Camera description")
    print(camera.description())
    made = hal.CameraDescription()
    made.serial, made.vid, made.interfaceType = "00ca7f3e", 0x31F7, hal.INTERFACE_TYPE.USB
    print(made)
    print("CAMERA_TYPE members:", list(hal.CAMERA_TYPE.__members__))


def stream_the_sensor(camera: sim.Camera) -> None:
    section("Streaming the emulated sensor")
    print(repr(camera))
    tool_of(camera, hal.TRIGGER_IN).set_param("enable", True)
    slices = []
    for events, triggers in camera.stream(10_000, 50_000):
        on = np.count_nonzero(events["polarity"])
        edges = triggers["timestamp"].tolist()
        print(f"up to {camera.clock_us:>5} us: {len(events):>6} events ({on} ON), edges at {edges}")
        slices.append(events)
    events = slices[-1]
    print("fields:", events.dtype.names, "bytes per event:", events.dtype.itemsize)
    print("read in C++ from the first element:", sim.event2d_fields(events[0]))
    print(repr(camera))
    xytp = np.empty(len(events), [("x", "<u2"), ("y", "<u2"), ("t", "<i8"), ("p", "i1")])
    xytp["x"], xytp["y"], xytp["t"] = events["x"], events["y"], events["timestamp"]
    xytp["p"] = 2 * events["polarity"].astype(np.int8) - 1
    print("as (x, y, t, p) with signed polarity:", xytp[:3].tolist())
    picture = sim.event_frame(events, camera.frame().width(), camera.frame().height())
    drawn = np.count_nonzero((picture != 255).any(axis=2))
    print(f"event picture {picture.shape}: {drawn} pixels coloured ON red or OFF blue on white")


def show_test_patterns(camera: sim.Camera) -> None:
    section("Test patterns, unrelated to the scene: events(n) and triggers(n)")
    print(camera.events(5))
    event = sim.event2d(3, 4, 1, 5000)
    print("one Event2D record:", event.x, event.y, event.p, event.t)
    print(camera.triggers(3))


def parse_stream_format(camera: sim.Camera) -> None:
    section("Raw event stream format")
    fmt = camera.stream_format()
    print(fmt.get_encoding_type_str(), fmt.get_encoding_type())
    print("width", fmt["width"], "height", fmt["height"])
    custom = hal.RawEventStreamFormat("EVT3;height=480;width=640;bits=8")
    print("has bits:", custom.contains("bits"), "has depth:", custom.contains("depth"))


def draw_aps_frame(camera: sim.Camera) -> None:
    section("APS frames and their NumPy view")
    frame = base.ApsFrame(8, 4, 100, 200)
    pixels = frame.data_numpy()
    pixels[:, :, 0] = 255  # a red frame
    pixels[1:3, 2:6] = (0, 0, 255)  # with a blue box, drawn in place
    print(frame.width(), "x", frame.height(), "first byte", frame.data())
    print(pixels[:, :, 2])
    buffer = bytearray(range(2 * 2 * 3))
    over = base.ApsFrame(2, 2, 0, 0, buffer, len(buffer))  # a view of `buffer`
    print("frame over a bytearray, second row:", over.data_numpy()[1].tolist())
    test_pattern = camera.frame().data_numpy()
    print("simulated frame", test_pattern.shape, "top-right pixel", test_pattern[0, -1])


def show_records(camera: sim.Camera) -> None:
    section("Calibration and recording records")
    calibration = camera.calibration()
    print(calibration)
    print(repr(calibration.camera_matrix), calibration.camera_matrix.data)
    print(calibration.affine_matrix)
    info = camera.file_info()
    print(info, "events handed out:", info.max_events, "up to", info.end_timestamp, "us")


def log_at_each_level() -> None:
    section("Logging through the kit's logger")
    logger = base.getLogger()
    logger.setLogLevel(base.TRACE)
    for log in (base.log_trace, base.log_debug, base.log_info, base.log_warn, base.log_error):
        log(f"a message at {log.__name__[4:]}")
    logger.fatal("100% of this text is printed as is")
    logger.setLogLevel(base.INFO)


def show_tools(camera: sim.Camera) -> None:
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
    roi = tool_of(camera, hal.ROI)
    for name, setting in [("x", 320), ("x_width", 640), ("mode", "RONI"), ("enable", True)]:
        print(f"ROI.set_param({name!r}, {setting!r}) -> {roi.set_param(name, setting)}")
    print("ROI x, mode:", roi.get_param("x"), roi.get_param("mode"))
    erc = tool_of(camera, hal.EVENT_RATE_CONTROL)
    print("ERC.set_param('max_event_rate', 5000000) ->", erc.set_param("max_event_rate", 5000000))
    print("ERC max_event_rate:", erc.get_param("max_event_rate"))

    section("A refused value (the kit explains why on stderr)")
    print("ROI.set_param('x', 5000) ->", roi.set_param("x", 5000))
    print("ROI x is still", roi.get_param("x"))

    section("A tool with parameters of your own")
    gain = hal.IntParameterInfo()
    gain.min, gain.max, gain.default_value, gain.unit = 0, 48, 12, "dB"
    custom = sim.make_tool("Biases", param_prefix="sensor0.", params=[("gain", "Gain", gain)])
    print(custom.get_all_param_info()["gain"])
    print("set_param('gain', 24) ->", custom.set_param("gain", 24), custom.get_param("gain"))
    print("asked from a C++ thread:", sim.tool_info_from_thread(custom).tool_type)

    section("A tool written in Python")
    tool = ExposureTool()
    print(tool.get_tool_info())
    ok, record = tool.get_param_info("exposure")
    print("get_param_info('exposure') ->", ok, record)
    print("set_param of an unknown name ->", tool.set_param("gain", 1))


class ExposureTool(hal.CameraTool):
    """A tool implemented in Python: it describes one INT parameter."""

    def __init__(self) -> None:
        super().__init__("")

    def getToolInfo(self) -> hal.ToolInfo:
        info = hal.ToolInfo()
        info.tool_type, info.description = hal.APS_CTRL, "Exposure of the APS frames"
        info.parameter_names = ["exposure"]
        return info

    def getAllParamInfo(self) -> dict[str, hal.BasicParameterInfo]:
        basic = hal.BasicParameterInfo()
        basic.name, basic.type = "exposure", hal.ToolParameterType.INT
        return {"exposure": basic}

    def getParamInfo(self, name: str, info: hal.IntParameterInfo) -> bool:
        info.min, info.max, info.unit = 10, 100_000, "us"
        info.default_value = 1_000
        return name == "exposure"


Events = npt.NDArray[np.void]
ToolValues = dict[tuple[hal.ToolType, str], Any]
FloatImage = npt.NDArray[np.float64]
ByteImage = npt.NDArray[np.uint8]

# The stretch of the bar scene that every configuration of the emulator reads.
READ_US = 20_000
ROI_WINDOW = {"x": 160, "y": 180, "x_width": 640, "y_height": 360}
ROI_LABEL = "ROI 640 x 360 at (160, 180)"


def read_bar(tool_values: ToolValues) -> tuple[sim.Camera, Events]:
    """A new camera on the bar scene, its tools set as given, read for READ_US."""
    camera = sim.Camera("bar", seed=0)
    camera.read(300_000)  # the bar reaches the middle of the sensor
    for (tool_type, name), value in tool_values.items():
        tool_of(camera, tool_type).set_param(name, value)
    events, _ = camera.read(READ_US)
    return camera, events


def accumulated(events: Events, camera: sim.Camera) -> FloatImage:
    """Events summed per pixel: +1 for each ON event, -1 for each OFF event."""
    image = np.zeros((camera.frame().height(), camera.frame().width()))
    np.add.at(image, (events["y"], events["x"]), 2.0 * events["polarity"] - 1)
    return image


def draw(picture: str, before: FloatImage, after: FloatImage, frame: ByteImage) -> None:
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.patches import Rectangle

    figure, axes = plt.subplots(1, 3, figsize=(12, 2.6), dpi=80)
    panels = [
        (before, "events, every tool off", "bwr"),
        (after, f"events, {ROI_LABEL}", "bwr"),
        (frame, "APS frame at the end of the read", "gray"),
    ]
    for axis, (image, title, colours) in zip(axes, panels):
        limits = {"vmin": -4, "vmax": 4} if colours == "bwr" else {"vmin": 0, "vmax": 255}
        axis.imshow(image, cmap=colours, **limits)
        axis.set_title(title, fontsize=10)
        axis.set_axis_off()
    window = (ROI_WINDOW["x"], ROI_WINDOW["y"]), ROI_WINDOW["x_width"], ROI_WINDOW["y_height"]
    axes[1].add_patch(Rectangle(*window, fill=False, linestyle="--", edgecolor="black"))
    figure.tight_layout()
    figure.savefig(picture)
    print("picture saved to", picture)


def emulate_a_sensor(picture: str) -> None:
    section("An emulated sensor watching a moving bar")
    roi = {(hal.ROI, name): value for name, value in ROI_WINDOW.items()}
    configurations = {
        "every tool off": {},
        ROI_LABEL: {**roi, (hal.ROI, "enable"): True},
        "event rate control at 5 Mev/s": {
            (hal.EVENT_RATE_CONTROL, "max_event_rate"): 5_000_000,
            (hal.EVENT_RATE_CONTROL, "enable"): True,
        },
        "trail filter (TRAIL, 5 ms)": {
            (hal.EVENT_TRAIL_FILTER, "threshold"): 5000,
            (hal.EVENT_TRAIL_FILTER, "enable"): True,
        },
    }
    read = {label: read_bar(values) for label, values in configurations.items()}
    for label, (_, events) in read.items():
        print(f"{label:<32} {len(events):>7} events in {READ_US // 1000} ms")
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        print('no picture: matplotlib is not installed (pip install ".[plot]")')
        return
    camera, before = read["every tool off"]
    _, after = read[ROI_LABEL]
    frame = camera.frame().data_numpy()[:, :, 0]
    draw(picture, accumulated(before, camera), accumulated(after, camera), frame)


def step_camera(low: int, high: int) -> sim.Camera:
    """Every pixel of a 64 x 48 sensor steps from grey `low` to `high` at 10 ms."""
    frames = np.full((3, 48, 64), low, np.uint8)
    frames[2] = high
    return sim.Camera(scene=frames, frame_times_us=[0, 10_000, 10_001], seed=1)


def first_event_lags(events: npt.NDArray[np.void]) -> npt.NDArray[np.int64]:
    """Each pixel's first ON event after the step at 10 ms, in microseconds after it."""
    after = events[(events["timestamp"] > 10_000) & (events["polarity"] == 1)]
    pixels = after["y"].astype(np.int64) * 64 + after["x"]
    _, first = np.unique(pixels, return_index=True)
    lags: npt.NDArray[np.int64] = after["timestamp"][first].astype(np.int64) - 10_000
    return lags


def draw_pixel(
    picture: str,
    steps: dict[str, npt.NDArray[np.int64]],
    noise: npt.NDArray[np.float64],
    flash: npt.NDArray[np.int64],
) -> None:
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    figure, axes = plt.subplots(1, 3, figsize=(12, 2.8), dpi=80)
    for label, lags in steps.items():
        axes[0].hist(lags / 1000, bins=np.linspace(0, 4, 81), label=label, histtype="step")
    axes[0].set(xlabel="first ON event after the step (ms)", ylabel="pixels")
    axes[0].set_title("lag: a dim and a bright step", fontsize=10)
    axes[0].legend(fontsize=8)
    axes[1].imshow(np.minimum(noise, 3), cmap="gray")
    hot = np.argwhere(noise >= 10)
    axes[1].scatter(hot[:, 1], hot[:, 0], s=14, facecolors="none", edgecolors="red")
    axes[1].set_title("1 s of a still scene, dark | bright (hot pixels circled)", fontsize=10)
    axes[1].set_axis_off()
    shown = flash[:20_000]
    axes[2].plot(np.arange(len(shown)) / 1000, shown, linewidth=0.5)
    axes[2].set(xlabel="ms after the flash", ylabel="events per us")
    axes[2].set_title("a global flash on 640 x 480 through the readout", fontsize=10)
    figure.tight_layout()
    figure.savefig(picture)
    print("picture saved to", picture)


def show_the_realistic_pixel(picture: str) -> None:
    section("The realistic pixel: lag, noise and the readout")
    steps = {}
    for label, (low, high) in {"grey 0 to 3": (0, 3), "grey 100 to 200": (100, 200)}.items():
        steps[label] = first_event_lags(step_camera(low, high).read(60_000)[0])
        print(f"step from {label:<16} median lag {np.median(steps[label]):>6.0f} us")
    still = np.zeros((1, 480, 640), np.uint8)
    still[:, :, 320:] = 255
    events = sim.Camera(scene=still, frame_times_us=[0], seed=4).read(1_000_000)[0]
    noise = np.zeros((480, 640))
    np.add.at(noise, (events["y"], events["x"]), 1)
    print(
        f"still scene: {int(noise[:, :320].sum())} events in the dark half, "
        f"{int(noise[:, 320:].sum())} in the bright half, {int((noise >= 10).sum())} hot pixels"
    )
    frames = np.full((3, 480, 640), 50, np.uint8)
    frames[2] = 200
    flashed = sim.Camera(scene=frames, frame_times_us=[0, 10_000, 10_001]).read(40_000)[0]
    after = flashed["timestamp"][flashed["timestamp"] > 10_000].astype(np.int64)
    per_us = np.bincount(after - 10_001)
    spread_ms = np.searchsorted(np.cumsum(per_us), 0.99 * per_us.sum()) / 1000
    print(
        f"global flash: {per_us.sum()} events, 99% of them within {spread_ms:.1f} ms, "
        f"at most {per_us.max()} per us (the readout carries {sim.READOUT_EVENTS_PER_US})"
    )
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        return
    draw_pixel(picture, steps, noise, per_us)


def write_clip(path: Path, width: int, height: int, seconds: float, fps: int) -> None:
    """A clip standing in for your own video: a texture panning at 100 px/s."""
    import av

    columns, rows = np.arange(width), np.arange(height)[:, None]
    with av.open(str(path), "w") as video:
        stream = video.add_stream("libx264", rate=fps, options={"preset": "veryfast"})
        stream.width, stream.height, stream.pix_fmt = width, height, "yuv420p"
        for index in range(round(seconds * fps)):
            x = columns + 100 * index / fps
            grey = 128 + 60 * np.sin(x / 9) * np.cos(rows / 13) + 40 * np.sin((x + rows) / 31)
            pixels = np.clip(grey, 0, 255).astype(np.uint8)
            video.mux(stream.encode(av.VideoFrame.from_ndarray(pixels, format="gray")))
        video.mux(stream.encode())


def convert_a_video(picture: str) -> None:
    section("Your own video, to an event file")
    if not all(importlib.util.find_spec(module) for module in ("av", "h5py")):
        print('needs the command line\'s extra: pip install ".[cli]"')
        return
    folder = Path(picture).resolve().parent
    clip, events_file = folder / "clip.mp4", folder / "clip.h5"
    write_clip(clip, 320, 240, 1.0, 30)
    camera = sim.Camera(scene=sim.video_frames(clip), seed=1)
    written = camera.record(events_file, 1_000_000)
    reader = sim.EventReader(events_file)
    info = reader.file_info()
    print(f"{clip.name}: {info.dvs_width} x {info.dvs_height}, {written} events written")
    print(f"{events_file.name}: {events_file.stat().st_size / written:.1f} bytes per event")
    print(f"the same from the shell: orvane-sim convert {clip.name} --out events/ --format h5")
    events, _ = next(reader.slices(100_000))
    image = sim.event_frame(events, info.dvs_width, info.dvs_height)
    try:
        import matplotlib.pyplot as plt
    except ImportError:
        return
    plt.imsave(picture, image)
    print("its first 100 ms as a picture (ON red, OFF blue) saved to", picture)


def main(picture: str) -> None:
    camera = sim.Camera("bar")
    stream_the_sensor(camera)
    describe_camera(camera)
    show_tools(camera)
    show_test_patterns(camera)
    parse_stream_format(camera)
    draw_aps_frame(camera)
    show_records(camera)
    log_at_each_level()
    emulate_a_sensor(picture)
    show_the_realistic_pixel(str(Path(picture).with_name(Path(picture).stem + "_pixel.png")))
    convert_a_video(str(Path(picture).with_name(Path(picture).stem + "_video.png")))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "tour.png")
