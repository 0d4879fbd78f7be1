"""Types in orvane_sim_py's stubs what Camera() takes as its scene.

The binding takes any object and sorts it at run time, so pybind11_stubgen
writes `typing.Any`, which lets a type checker pass `Camera(3.5)` or an
iterator of bare frames. The stubs name what is taken instead: a built-in
scene's name, an N x H x W (x 3) array of uint8, float32 or float64 values, a
sequence of such H x W (x 3) frames (with integer time stamps), or an iterator
of (time_us, frame) pairs.
Run on the orvane_sim_py.pyi that pybind11_stubgen wrote.
"""

import sys
from pathlib import Path

FRAMES = "numpy.typing.NDArray[numpy.uint8 | numpy.float32 | numpy.float64]"
SCENE = (
    f"str | bytes | bytearray | {FRAMES} | collections.abc.Sequence[{FRAMES}]"
    f" | collections.abc.Iterator[tuple[typing.SupportsIndex, {FRAMES}]]"
)
FRAME_TIMES = (
    "collections.abc.Sequence[typing.SupportsIndex]"
    " | numpy.typing.NDArray[numpy.integer[typing.Any]] | None"
)
GENERATED = {
    "scene: typing.Any = 'bar'": f"scene: {SCENE} = 'bar'",
    "frame_times_us: typing.Any = None": f"frame_times_us: {FRAME_TIMES} = None",
}


def type_the_scene(stub):
    text = stub.read_text()
    for generated, typed in GENERATED.items():
        if text.count(generated) != 1:
            sys.exit(f"{stub} does not declare {generated} once")
        text = text.replace(generated, typed)
    stub.write_text(text)


if __name__ == "__main__":
    type_the_scene(Path(sys.argv[1]))
