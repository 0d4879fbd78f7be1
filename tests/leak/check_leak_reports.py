"""Judges the LeakSanitizer reports of a run: fails on any leak through our code.

Usage: check_leak_reports.py REPORT_DIR SUPPRESSIONS

Every direct leak whose allocation stack passes through our modules or kit
libraries fails the check, whatever the suppressions say (but the state of a
module imported while our code ran, which is the interpreter's): they are applied
only afterwards, to the leaks left, which must all be known ones of the
interpreter or NumPy. Indirect leaks (memory reachable only from leaked
blocks) follow from the direct leak that holds them and are only counted.
Any other sanitizer report fails the check too.
"""

import re
import sys
from pathlib import Path

# Our extension modules and kit libraries, as the stack frames name them.
OURS = re.compile(r"\b(orvane_(hal|base|sim)_py|libOrvane(Hal|Base))\b")
LEAK_START = re.compile(r"^(Direct|Indirect) leak of (\d+) byte\(s\)")
# The interpreter's own allocations on import: the state of an extension module
# imported while our code was on the stack (orvane_sim_py imports orvane_sim on
# first use), which no module ever frees.
IMPORTED_BY_US = "^PyModule_ExecDef"
OTHER_REPORT = re.compile(
    r"ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer: (?!detected)"
)


def read_suppressions(path):
    patterns = []
    for line in Path(path).read_text().splitlines():
        line = line.strip()
        if line and not line.startswith("#"):
            kind, _, pattern = line.partition(":")
            if kind == "leak" and pattern:
                patterns.append(pattern)
    return patterns


def matches(pattern, frames):
    """LeakSanitizer's rule (any frame), or with ^ the frame that called the allocator."""
    if pattern.startswith("^"):
        return len(frames) > 1 and f" in {pattern[1:]} " in frames[1]
    return any(pattern in frame for frame in frames)


def leaks_in(text):
    """(kind, bytes, frames) for each leak block of one report."""
    leaks = []
    for line in text.splitlines():
        start = LEAK_START.match(line)
        if start:
            leaks.append((start.group(1), int(start.group(2)), []))
        elif leaks and line.strip().startswith("#"):
            leaks[-1][2].append(line.strip())
        elif leaks and not line.strip():
            continue
    return leaks


def main(report_dir, suppressions_path):
    patterns = read_suppressions(suppressions_path)
    reports = sorted(Path(report_dir).glob("report*"))
    failures, known, indirect = [], {}, 0
    for report in reports:
        text = report.read_text(errors="replace")
        if OTHER_REPORT.search(text):
            failures.append(f"{report}: a sanitizer error other than a leak:\n{text}")
        for kind, size, frames in leaks_in(text):
            stack = "\n".join(frames)
            if kind == "Indirect":
                indirect += size
            elif OURS.search(stack) and not matches(IMPORTED_BY_US, frames):
                failures.append(f"{report}: direct leak of {size} bytes through our code:\n{stack}")
            else:
                matched = next((p for p in patterns if matches(p, frames)), None)
                if matched is None:
                    failures.append(
                        f"{report}: direct leak of {size} bytes, not a known one:\n{stack}"
                    )
                else:
                    known[matched] = known.get(matched, 0) + size
    if not reports:
        # The interpreter always leaves some memory at exit: no report at all
        # means LeakSanitizer did not run.
        failures.append(f"no leak report in {report_dir}: was LeakSanitizer running?")
    print(f"{len(reports)} leak report(s) read")
    for pattern, size in sorted(known.items()):
        print(f"  known leak {pattern}: {size} bytes")
    print(f"  indirect leaks: {indirect} bytes")
    for failure in failures:
        print(failure, file=sys.stderr)
    if failures:
        print(f"{len(failures)} leak(s) or error(s) to fix", file=sys.stderr)
        return 1
    print("no direct leak through our code")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
