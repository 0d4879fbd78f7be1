"""Benchmarks of the Orvane Python modules; run them with `make bench`.

Every figure is a ratio of two medians taken in this run. The subject and its
reference are timed in alternating rounds, so a machine that slows down or
speeds up part-way affects both alike, and the clock is the CPU time of the
timing thread (of the child process for imports), so time the machine gives
to other work does not count; only the figure of two threads against one
takes wall-clock time, since it measures the second thread. The usual reference is one trivial bound call,
`frame.width()` on an ApsFrame. The script prints one table and exits with
status 1 when a figure misses its target.
"""

import functools
import gc
import os
import resource
import statistics
import subprocess
import sys
import threading
import time
import timeit

# Imported whole, as it imports this module's helpers back.
import bench_files
import bench_footage
import bench_pictures
import orvane_base_py as base
import orvane_hal_py as hal
import orvane_sim_py as sim
from bench_video import bench_video
from numpy_pixel_model import NumpyPixelModel

ROUNDS = 31
BASELINE = ("frame.width()", {"frame": base.ApsFrame(64, 64)}, 10_000)
BASELINE_NAME = "frame.width()"


def ratio(subject, reference, rounds=ROUNDS, clock=time.thread_time):
    """Median time per run of `subject` over that of `reference`.

    Each is a (statement, namespace, runs per round) triple; the rounds of the
    two alternate.
    """
    timings = ([], [])
    for _ in range(rounds):
        for times, (statement, namespace, runs) in zip(timings, (subject, reference)):
            timer = timeit.Timer(statement, timer=clock, globals=namespace)
            times.append(timer.timeit(runs) / runs)
    return statistics.median(timings[0]) / statistics.median(timings[1])


def children_cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def process_ratio(code, reference_code, rounds=15):
    """Median CPU time of `python -c code` over that of `python -c reference_code`."""
    timings = ([], [])
    for _ in range(rounds):
        for times, source in zip(timings, (code, reference_code)):
            start = children_cpu_seconds()
            subprocess.run([sys.executable, "-c", source], check=True)
            times.append(children_cpu_seconds() - start)
    return statistics.median(timings[0]) / statistics.median(timings[1])


class Table:
    """Figures with their targets: at most `high` and at least `low`, where given."""

    def __init__(self):
        self.rows = []

    def add(self, figure, value, reference, low=None, high=None):
        if low is None and high is None:
            target, verdict = "-", ""
        else:
            if low is None:
                target = f"<= {high:g}"
            else:
                target = f">= {low:g}" if high is None else f"{low:g} to {high:g}"
            met = (low is None or low <= value) and (high is None or value <= high)
            verdict = "ok" if met else "MISSED"
        self.rows.append((figure, f"{value:.2f}", target, reference, verdict))
        print(".", end="", file=sys.stderr, flush=True)

    def print(self):
        print(file=sys.stderr)
        header = ("figure", "value", "target", "relative to", "")
        widths = [max(len(row[i]) for row in [header, *self.rows]) for i in range(4)]
        for row in [header, *self.rows]:
            figure, value, target, reference, verdict = row
            print(
                f"{figure:<{widths[0]}}  {value:>{widths[1]}}  {target:<{widths[2]}}  "
                f"{reference:<{widths[3]}}  {verdict}".rstrip()
            )

    def all_met(self):
        return all(row[4] != "MISSED" for row in self.rows)


TOOL_CALLS = ("get_param(name)", "set_param(name, value)", "get_param_info(name)")


def bench_camera_tools(table):
    """Each call on each tool of the simulated camera, on its slowest parameter."""
    for tool in sim.Camera().tools():
        kind = type(tool).__name__
        for call in TOOL_CALLS:
            worst_ratio, worst_name = 0.0, ""
            for name in tool.get_all_param_info():
                _, value = tool.get_param(name)
                # Writing back the current value is always accepted, so no
                # refusal is logged while timing.
                assert tool.set_param(name, value), name
                namespace = {"tool": tool, "name": name, "value": value}
                measured = ratio((f"tool.{call}", namespace, 2000), BASELINE)
                if measured > worst_ratio:
                    worst_ratio, worst_name = measured, name
            figure = f"{kind}.{call.replace('name', repr(worst_name))}"
            high = 15.0 if kind == "Imx636ROI" else None
            table.add(figure, worst_ratio, BASELINE_NAME, high=high)


def int_parameters(count):
    params = []
    for index in range(count):
        record = hal.IntParameterInfo()
        record.min, record.max, record.default_value = 0, 1000, index % 1000
        params.append((f"param_{index:04d}", "a generated parameter", record))
    return params


def bench_parameter_count(table):
    """The same three calls on tools of 6, 60 and 600 parameters.

    Ten times the parameters may cost at most ten times as much: the growth is
    then no worse than linear.
    """
    counts = (6, 60, 600)
    tools = {count: sim.make_tool("ROI", params=int_parameters(count)) for count in counts}

    def subject(call, count):
        namespace = {"tool": tools[count], "name": "param_0003", "value": 7}
        return (f"tool.{call}", namespace, max(20, 12_000 // count))

    for call in TOOL_CALLS:
        for count in counts:
            measured = ratio(subject(call, count), BASELINE)
            table.add(f"{call}, {count} parameters", measured, BASELINE_NAME)
        for fewer, more in zip(counts, counts[1:]):
            measured = ratio(subject(call, more), subject(call, fewer))
            table.add(
                f"{call}, {more} over {fewer} parameters",
                measured,
                f"{fewer} parameters",
                high=more / fewer,
            )


def bench_data_numpy(table):
    small = ("frame.data_numpy()", {"frame": base.ApsFrame(64, 64)}, 10_000)
    large = ("frame.data_numpy()", {"frame": base.ApsFrame(3840, 2160)}, 10_000)
    table.add("data_numpy() on 64 x 64", ratio(small, BASELINE), BASELINE_NAME, high=10.0)
    table.add(
        "data_numpy() on 3840 x 2160",
        ratio(large, small),
        "data_numpy() on 64 x 64",
        low=0.8,
        high=1.2,
    )


def bench_event_array(table):
    count = 10_000_000
    making = ("sim.event2d_array(count)", {"sim": sim, "count": count}, 1)
    copying = ("events.copy()", {"events": sim.event2d_array(count)}, 1)
    table.add(
        "event2d_array(10_000_000)",
        ratio(making, copying, rounds=11),
        "NumPy copy of the result",
        high=3.0,
    )


def bench_emulator(table):
    """The pixel model against its NumPy reference, its threads, the realistic pixel's cost and
    the tools' cost on read().

    Both models go on from one second of the bar scene to the next, which
    shows the same bar again with fresh noise. The NumPy reference models
    the ideal pixel.
    """
    second = 1_000_000
    alone = sim.Camera(threads=1, ideal=True)
    emulator = ("camera.read(second)", {"camera": alone, "second": second}, 1)
    reference = ("model.read(second)", {"model": NumpyPixelModel(), "second": second}, 1)
    timer = timeit.Timer(emulator[0], timer=time.thread_time, globals=emulator[1])
    cpu_seconds = min(timer.repeat(3, 1))
    table.add("emulated seconds per CPU second, 1280 x 720 bar", 1 / cpu_seconds, "absolute")
    counts = (
        len(sim.Camera(threads=1, ideal=True).read(second)[0]),
        len(NumpyPixelModel().read(second)),
    )
    table.add("events of the NumPy reference per emulator event", counts[1] / counts[0], "-")
    table.add(
        "NumPy reference over the C++ pixel model on one thread, 1 s of the bar",
        ratio(reference, emulator, rounds=3),
        "C++ pixel model",
        low=8.0,
    )
    if (os.cpu_count() or 1) >= 2:
        # Wall-clock time: the second thread's work is what is measured.
        paired = (
            "camera.read(second)",
            {"camera": sim.Camera(threads=2, ideal=True), "second": second},
            1,
        )
        table.add(
            "read(1 s) of the bar on one thread over two threads (wall clock)",
            ratio(emulator, paired, rounds=5, clock=time.perf_counter),
            "two threads",
            low=1.7,
        )
    realistic = ("camera.read(second)", {"camera": sim.Camera(threads=1), "second": second}, 1)
    table.add(
        "realistic over ideal pixel on one thread, 1 s of the bar",
        ratio(realistic, emulator, rounds=3),
        "ideal pixel",
        high=2.0,
    )
    plain, tooled = sim.Camera(threads=1), sim.Camera(threads=1)
    for name, value in [("enable", True), ("x_width", 1200)]:
        tooled.tool(hal.ROI).set_param(name, value)
    for tool_type in (
        hal.TRIGGER_IN,
        hal.ANTI_FLICKER,
        hal.EVENT_TRAIL_FILTER,
        hal.EVENT_RATE_CONTROL,
    ):
        tooled.tool(tool_type).set_param("enable", True)
    table.add(
        "read(100 ms) with every tool enabled",
        ratio(
            ("camera.read(100_000)", {"camera": tooled}, 1),
            ("camera.read(100_000)", {"camera": plain}, 1),
            rounds=11,
        ),
        "every tool disabled",
        high=1.3,
    )


def ticks_per_second(ticker, busy):
    """How often `ticker` counted per second of wall time while `busy()` ran."""
    before, start = ticker.count, time.perf_counter()
    busy()
    return (ticker.count - before) / (time.perf_counter() - start)


class Ticker:
    """A Python thread that counts as fast as the interpreter lets it."""

    def __init__(self):
        self.count, self.stopped = 0, threading.Event()
        self.thread = threading.Thread(target=self.run)
        self.thread.start()

    def run(self):
        while not self.stopped.is_set():
            self.count += 1

    def stop(self):
        self.stopped.set()
        self.thread.join()


def bench_read_leaves_python_running(table):
    """Another thread's ticks during a 0.5 s read, against those while this thread sleeps."""
    camera, ticker = sim.Camera(), Ticker()
    try:
        during, idle = [], []
        for _ in range(7):
            start = time.perf_counter()
            during.append(ticks_per_second(ticker, lambda: camera.read(500_000)))
            elapsed = time.perf_counter() - start
            idle.append(ticks_per_second(ticker, functools.partial(time.sleep, elapsed)))
    finally:
        ticker.stop()
    table.add(
        "another thread's ticks during a 0.5 s read of the bar",
        statistics.median(during) / statistics.median(idle),
        "ticks while the reader sleeps",
        low=0.8,
    )


# Run in a child of their own, so that no other benchmark's peak counts.
INTERRUPT_LATENCY = """
import os, signal, threading, time
import orvane_sim_py as sim
camera, sent = sim.Camera(), []
def interrupt():
    sent.append(time.perf_counter())
    os.kill(os.getpid(), signal.SIGINT)
threading.Timer(0.5, interrupt).start()
try:
    camera.read(10**12)
except KeyboardInterrupt:
    print(time.perf_counter() - sent[0])
"""
# The peak of this process alone: ru_maxrss would also count the parent's,
# which the child starts from.
PEAK_RESIDENT = """
def peak_resident_bytes():
    with open("/proc/self/status") as status:
        line = next(line for line in status if line.startswith("VmHWM:"))
    return int(line.split()[1]) * 1024
"""
ONE_READ_MEMORY = (
    PEAK_RESIDENT
    + """
import orvane_sim_py as sim
camera = sim.Camera()
camera.read(1_000)
before = peak_resident_bytes()
events, _ = camera.read(3_000_000)
print((peak_resident_bytes() - before - events.nbytes) / (1 << 20))
"""
)
READS_MEMORY = (
    PEAK_RESIDENT
    + """
import orvane_sim_py as sim
camera = sim.Camera()
for _ in range(100):
    events, triggers = camera.read(100_000)
print(peak_resident_bytes() / (1 << 20))
"""
)


def child_figure(code):
    result = subprocess.run([sys.executable, "-c", code], check=True, capture_output=True)
    return float(result.stdout)


def bench_read_interrupt_and_memory(table):
    table.add(
        "SIGINT to KeyboardInterrupt during a read, seconds",
        statistics.median(child_figure(INTERRUPT_LATENCY) for _ in range(3)),
        "absolute",
        high=0.2,
    )
    table.add(
        "peak resident MiB of read(3 s) of the bar beyond its events",
        child_figure(ONE_READ_MEMORY),
        "absolute",
        high=150,
    )
    table.add(
        "peak resident MiB of a process reading 10 s of the bar in 100 ms reads",
        child_figure(READS_MEMORY),
        "absolute",
        high=250,
    )


def bench_logging(table):
    base.getLogger().setLogLevel(base.INFO)
    dropped = ("log_debug('dropped')", {"log_debug": base.log_debug}, 10_000)
    table.add("log_debug at INFO (dropped)", ratio(dropped, BASELINE), BASELINE_NAME, high=5.0)


def bench_imports(table):
    table.add(
        "import orvane_hal_py",
        process_ratio("import orvane_hal_py", "pass"),
        'python -c "pass"',
        high=1.5,
    )
    table.add(
        "import orvane_base_py",
        process_ratio("import orvane_base_py", "import numpy"),
        'python -c "import numpy"',
        high=1.15,
    )


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def bench_set_param_memory(table):
    tool = sim.Camera().tool(hal.ROI)
    # Warm up first, so that the allocators' own pools are already in place.
    for index in range(10_000):
        tool.set_param("x", index % 2)
    gc.collect()
    before = resident_bytes()
    for index in range(1_000_000):
        tool.set_param("x", index % 2)
    gc.collect()
    growth = (resident_bytes() - before) / (1 << 20)
    table.add("resident memory growth over 1e6 set_param, MiB", growth, "absolute", high=1.0)


def main():
    table = Table()
    bench_camera_tools(table)
    bench_parameter_count(table)
    bench_data_numpy(table)
    bench_event_array(table)
    bench_emulator(table)
    bench_video(table)
    bench_read_leaves_python_running(table)
    bench_read_interrupt_and_memory(table)
    bench_logging(table)
    bench_imports(table)
    bench_set_param_memory(table)
    bench_footage.bench_footage(table)
    bench_files.bench_files(table)
    bench_pictures.bench_pictures(table)
    __import__("bench_failed_reads").bench_failed_reads(table)
    table.print()
    return 0 if table.all_met() else 1


if __name__ == "__main__":
    sys.exit(main())
