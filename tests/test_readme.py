"""Runs the README's python blocks and holds each printed line to its comment.

A line `print(...)  # value` must print exactly `value`; `# about value` allows
each number in it to be off by 10%. A line that prints several lines, or runs
several times in a loop, is compared with all it printed joined by ", " (each
printed line without its trailing spaces). A line
without a comment is not compared. A block whose first line is
`# Needs: pip install ".[extra]"` is skipped where that extra is not installed.
"""

import ast
import builtins
import io
import re
import tokenize
from pathlib import Path

import pytest

README = Path(__file__).resolve().parents[1] / "README.md"
# The module that tells whether an extra is installed; the test extra is, here.
EXTRA_MODULES = {
    "video": "av",
    "files": "h5py",
    "cluster": "distributed",
    "plot": "matplotlib",
    "tonic": "tonic",
}
NEEDS = re.compile(r'# Needs: pip install "\.\[([a-z,]+)\]"\n')
APPROXIMATE = "about "
TOLERANCE = 0.10
NUMBER = re.compile(r"-?\d+(?:\.\d+)?(?:[eE][-+]?\d+)?")


def python_examples(text):
    """Each python block of the README, padded so that tracebacks give README lines."""
    examples = []
    for block in re.finditer(r"^```python\n(.*?)^```", text, flags=re.MULTILINE | re.DOTALL):
        line = text.count("\n", 0, block.start(1))
        examples.append(pytest.param("\n" * line + block.group(1), id=f"line {line + 1}"))
    return examples


def skip_unless_extras_installed(example):
    needs = NEEDS.match(example.lstrip("\n"))
    for extra in needs.group(1).split(",") if needs else ():
        if extra != "test":
            assert extra in EXTRA_MODULES, f"no module known for the extra {extra!r}"
            pytest.importorskip(EXTRA_MODULES[extra], reason=f'needs pip install ".[{extra}]"')


def comments_by_line(example):
    tokens = tokenize.generate_tokens(io.StringIO(example).readline)
    return {
        token.start[0]: token.string[1:].strip()
        for token in tokens
        if token.type == tokenize.COMMENT
    }


class CommentedPrints(ast.NodeTransformer):
    """Sends each print() call that ends on a commented line to `record(line, ...)`."""

    def __init__(self, comments):
        self.comments = comments
        self.checked = set()

    def visit_Call(self, node):
        self.generic_visit(node)
        is_print = isinstance(node.func, ast.Name) and node.func.id == "print"
        if not is_print or node.end_lineno not in self.comments:
            return node
        self.checked.add(node.end_lineno)
        line = ast.copy_location(ast.Constant(node.end_lineno), node)
        node.func = ast.copy_location(ast.Name("__record_print__", ast.Load()), node.func)
        node.args.insert(0, line)
        return node


def matches(printed, expected):
    if not expected.startswith(APPROXIMATE):
        return printed == expected
    expected = expected[len(APPROXIMATE) :]
    if NUMBER.split(printed) != NUMBER.split(expected):
        return False
    pairs = zip(NUMBER.findall(printed), NUMBER.findall(expected))
    return all(abs(float(got) - float(want)) <= TOLERANCE * abs(float(want)) for got, want in pairs)


def run_and_compare(example):
    """Runs `example`; returns (line, comment, what the line printed) for each mismatch."""
    comments = comments_by_line(example)
    commented = CommentedPrints(comments)
    tree = ast.fix_missing_locations(commented.visit(ast.parse(example)))
    printed = {line: [] for line in commented.checked}

    def record_print(line, *values, **options):
        text = io.StringIO()
        builtins.print(*values, **{**options, "file": text})
        printed[line].extend(row.rstrip() for row in text.getvalue().splitlines())
        builtins.print(*values, **options)

    # Running the README's own text is what this test is for.
    exec(compile(tree, str(README), "exec"), {"__record_print__": record_print})  # noqa: S102
    shown = {line: ", ".join(lines) for line, lines in printed.items()}
    return [
        (line, comments[line], shown[line])
        for line in sorted(printed)
        if not matches(shown[line], comments[line])
    ]


@pytest.mark.parametrize("example", python_examples(README.read_text()))
def test_readme_example_prints_what_its_comments_say(example):
    skip_unless_extras_installed(example)
    mismatches = run_and_compare(example)
    assert not mismatches, "\n".join(
        f"README line {line}: the comment says {comment!r}, the line printed {shown!r}"
        for line, comment, shown in mismatches
    )


@pytest.mark.parametrize(
    ("example", "wrong"),
    [
        ("print(6 * 7)  # 42\nprint(1 / 3)  # 0.33", [(2, "0.33", "0.3333333333333333")]),
        ("for n in (1, 2):\n    print(n, 'a')  # 1 a, 2 b", [(2, "1 a, 2 b", "1 a, 2 a")]),
        (
            "print(1000, 'x')  # about 1090 x\nprint(1000)  # about 1120",
            [(2, "about 1120", "1000")],
        ),
        ("print(1000, 'x')  # about 1000 y", [(1, "about 1000 y", "1000 x")]),
        ("if False:\n    print(1)  # 1", [(2, "1", "")]),
    ],
)
def test_a_comment_unlike_the_printed_line_is_found(example, wrong):
    assert run_and_compare(example) == wrong
