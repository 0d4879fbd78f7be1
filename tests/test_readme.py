import re
from pathlib import Path

import pytest

README = Path(__file__).resolve().parents[1] / "README.md"


def python_examples():
    """Each python block of the README, padded so that tracebacks give README lines."""
    text = README.read_text()
    examples = []
    for block in re.finditer(r"^```python\n(.*?)^```", text, flags=re.MULTILINE | re.DOTALL):
        line = text.count("\n", 0, block.start(1))
        examples.append(pytest.param("\n" * line + block.group(1), id=f"line {line + 1}"))
    return examples


@pytest.mark.parametrize("example", python_examples())
def test_readme_example_runs(example):
    # Running the README's own text is what this test is for.
    exec(compile(example, str(README), "exec"), {})  # noqa: S102
