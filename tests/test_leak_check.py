"""The checker that judges LeakSanitizer reports for make leak-check."""

import importlib.util
from pathlib import Path

import pytest

LEAK_DIR = Path(__file__).parent / "leak"
checker_spec = importlib.util.spec_from_file_location("checker", LEAK_DIR / "check_leak_reports.py")
checker = importlib.util.module_from_spec(checker_spec)
checker_spec.loader.exec_module(checker)

MALLOC = "    #0 0x1 in __interceptor_malloc asan_malloc_linux.cpp:69 in /usr/lib/libasan.so"
NUMPY_INIT = [
    "    #1 0x2 in PyTuple_Pack Objects/tupleobject.c:166 in /lib/libpython3.11.so.1.0",
    "    #2 0x3 in init_string_ufuncs (numpy/_multiarray_umath.so+0x2) in numpy/_multiarray_umath.so",
]
THROUGH_A_MODULE = [
    "    #1 0x2 in PyTuple_Pack Objects/tupleobject.c:166 in /lib/libpython3.11.so.1.0",
    "    #2 0x4 in pybind11::make_tuple pybind11/cast.h:1 in /site/orvane_hal_py.cpython-311.so",
    "    #3 0x3 in init_string_ufuncs (numpy/_multiarray_umath.so+0x2) in numpy/_multiarray_umath.so",
]
THROUGH_A_LIBRARY = [
    "    #1 0x5 in operator new(unsigned long) new_op.cc:1 in /usr/lib/libasan.so",
    "    #2 0x6 in orvane::ApsFrame::clone() const ApsFrame.cpp:1 in /site/libOrvaneBase.so.1",
]
UNKNOWN = ["    #1 0x7 in some_other_allocator other.c:1 in /lib/libother.so"]
MODULE_STATE = [
    "    #1 0x8 in PyModule_ExecDef Objects/moduleobject.c:400 in /lib/libpython3.11.so"
]


def report(*leaks, kind="Direct"):
    blocks = [
        f"{kind} leak of 56 byte(s) in 1 object(s) allocated from:\n" + "\n".join([MALLOC, *frames])
        for frames in leaks
    ]
    return "==1==ERROR: LeakSanitizer: detected memory leaks\n\n" + "\n\n".join(blocks) + "\n"


@pytest.mark.parametrize(
    ("text", "passes"),
    [
        (report(NUMPY_INIT, MODULE_STATE), True),
        (report(THROUGH_A_MODULE, kind="Indirect"), True),
        (report(NUMPY_INIT, THROUGH_A_MODULE), False),
        (report(THROUGH_A_LIBRARY), False),
        (report(UNKNOWN), False),
        (report(["    #1 0x9 in caller x.c:1 in /lib/x.so", *MODULE_STATE]), False),
        ("==1==ERROR: AddressSanitizer: heap-use-after-free on address 0x1\n", False),
        ("x.cpp:3:5: runtime error: signed integer overflow\n", False),
    ],
)
def test_checker_fails_on_leaks_through_our_code_and_unknown_ones(tmp_path, capsys, text, passes):
    (tmp_path / "report.123").write_text(text)
    status = checker.main(tmp_path, LEAK_DIR / "known_leaks.supp")
    assert status == (0 if passes else 1), capsys.readouterr()


def test_checker_fails_when_no_report_was_written(tmp_path):
    assert checker.main(tmp_path, LEAK_DIR / "known_leaks.supp") == 1
