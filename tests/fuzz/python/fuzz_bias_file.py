"""Bias files: the input is the whole file, loaded into one camera with `load_biases`.

A refusal must name the file, the line's number and its text, and leave every
bias as it was.
"""

import orvane_hal_py as hal
from fuzzing import expect_refusal_naming, run, scratch_path, sim

PATH = scratch_path("input.bias")
CAMERA = sim.Camera()
TOOL = CAMERA.tool(hal.BIAS)


def biases():
    return {name: TOOL.get_param(name)[1] for name in TOOL.get_all_param_info()}


def text_lines(data):
    """The file's lines as an editor numbers them, with newlines read as `open` reads them."""
    text = data.decode("utf-8", "replace").replace("\r\n", "\n").replace("\r", "\n")
    return text.split("\n")


def test_one_input(data):
    with open(PATH, "wb") as file:
        file.write(data)
    before = biases()
    try:
        sim.load_biases(CAMERA, PATH)
    except Exception as error:
        expect_refusal_naming(error, f"{PATH} line ")
        number = int(str(error)[len(f"{PATH} line ") :].split(" ", 1)[0])
        lines = text_lines(data)
        if not 0 < number <= len(lines) or repr(lines[number - 1].strip()) not in str(error):
            raise AssertionError(f"line {number} is not the one quoted in {error}") from error
        if biases() != before:
            raise AssertionError(f"{error}, yet the biases changed") from error


if __name__ == "__main__":
    run(test_one_input)
