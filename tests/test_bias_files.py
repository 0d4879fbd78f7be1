"""Bias files, and biases given to the simulated camera when it is made."""

import re

import orvane_hal_py as hal
import orvane_sim_py as sim
import pytest

TUNED = {"bias_diff_off": -35, "bias_diff_on": 140, "bias_fo": 7, "bias_hpf": 0, "bias_refr": -20}


def biases(camera):
    tool = camera.tool(hal.BIAS)
    return {name: tool.get_param(name)[1] for name in tool.get_all_param_info()}


def test_a_bias_file_carries_every_value_to_another_camera(tmp_path):
    path = tmp_path / "tuned.bias"
    sim.save_biases(sim.Camera(biases=TUNED), path)
    text = path.read_text()
    assert text.startswith("#")
    assert "bias_fo 7\n" in text
    camera = sim.Camera(biases={"bias_fo": 50})
    sim.load_biases(camera, path)
    assert biases(camera) == TUNED


@pytest.mark.parametrize(
    ("line", "reason"),
    [
        ("bias_nope 3", "unknown bias 'bias_nope'; the biases are bias_diff_off"),
        ("bias_fo 56  # one too many", "bias_fo must be -35 to 55, got 56"),
        ("bias_fo 2.5", "the value of bias_fo must be an integer, got '2.5'"),
        ("bias_fo", "expected 'name value'"),
        ("bias_fo 3 4", "expected 'name value'"),
        ("bias_refr 9", "bias_refr is given twice, first on line 2"),
        # Bytes that are not UTF-8 (kept here as lone surrogates), and a form feed,
        # which is no line break.
        ("bias_fo 7  # caf\udce9", "the line is not UTF-8 text"),
        ("bias_fo 3\fbias_fo 4", "expected 'name value'"),
    ],
)
def test_a_bad_bias_file_names_its_line_and_changes_nothing(tmp_path, stderr_lines, line, reason):
    path = tmp_path / "bad.bias"
    text = f"# tuned for the lab\nbias_refr 100\n\nbias_hpf 30\n{line}\n"
    path.write_bytes(text.encode("utf-8", "surrogateescape"))
    shown = line.encode("utf-8", "surrogateescape").decode("utf-8", "replace")
    camera = sim.Camera()
    before = biases(camera)
    stderr_lines()
    with pytest.raises(ValueError, match="^" + re.escape(f"{path} line 5 {shown!r}: {reason}")):
        sim.load_biases(camera, path)
    assert biases(camera) == before
    assert stderr_lines() == []


@pytest.mark.parametrize(
    ("given", "error", "message"),
    [
        ({"bias_fo": 3, "bias_nope": 1}, ValueError, r"biases\['bias_nope'\]: unknown bias"),
        (
            {"bias_fo": 3, "bias_hpf": -1},
            ValueError,
            r"biases\['bias_hpf'\]: bias_hpf must be 0 to 120, got -1",
        ),
        ({"bias_fo": 3.0}, TypeError, "a bias value must be an int, got float"),
        ({"bias_fo": True}, TypeError, "a bias value must be an int, got bool"),
        ({3: 3}, TypeError, "a bias name must be a str, got int"),
    ],
)
def test_a_bad_biases_argument_is_refused_before_any_is_set(stderr_lines, given, error, message):
    stderr_lines()
    with pytest.raises(error, match=message):
        sim.Camera(biases=given)
    # A value set and refused would have left the tool's WARN line.
    assert stderr_lines() == []
