"""Benchmarks of the Orvane Python kit.

Every figure is the median of many repetitions and is reported as a ratio to
a baseline measured in the same run (one trivial bound call, `frame.width()`),
because the machines are noisy. Run with `make bench`.
"""

import gc
import statistics
import subprocess
import sys
import timeit

import numpy as np
import orvane_base_py as base
import orvane_hal_py as hal
import orvane_sim_py as sim

REPEATS = 31
SUBPROCESS_REPEATS = 15


def per_call(stmt, number, namespace):
    """Median seconds per call of `stmt`, over REPEATS rounds of `number` calls."""
    timer = timeit.Timer(stmt, globals=namespace)
    rounds = timer.repeat(repeat=REPEATS, number=number)
    return statistics.median(rounds) / number


class Table:
    def __init__(self):
        self.rows = []

    def add(self, name, ratio, limit, baseline_name):
        ok = ratio <= limit
        self.rows.append((name, ratio, limit, baseline_name, ok))

    def print(self):
        width = max(len(row[0]) for row in self.rows)
        print(f"{'benchmark':<{width}}  {'ratio':>8}  {'target':>8}  baseline")
        for name, ratio, limit, baseline_name, ok in self.rows:
            mark = "ok" if ok else "MISSED"
            print(f"{name:<{width}}  {ratio:8.2f}  {limit:8.2f}  {baseline_name}  {mark}")
        return all(row[4] for row in self.rows)


def baseline_seconds():
    frame = base.ApsFrame(64, 64)
    return per_call("frame.width()", 20000, {"frame": frame})


def bench_tool_dispatch(table, baseline):
    camera = sim.Camera()
    for tool in camera.tools():
        info = tool.get_tool_info()
        name = info.parameter_names[0] if info.parameter_names else None
        kind = type(tool).__name__
        if name is None or name not in tool.get_all_param_info():
            name = next(iter(tool.get_all_param_info()))
        ok, value = tool.get_param(name)
        namespace = {"tool": tool, "name": name, "value": value}
        for call in ("get_param(name)", "set_param(name, value)", "get_param_info(name)"):
            seconds = per_call(f"tool.{call}", 2000, namespace)
            limit = 15.0 if kind == "Imx636ROI" else float("inf")
            table.add(f"{kind}.{call}", seconds / baseline, limit, "frame.width()")


def int_params(count):
    params = []
    for index in range(count):
        record = hal.IntParameterInfo()
        record.min, record.max, record.default_value = 0, 1000, index % 1000
        params.append((f"param_{index:04d}", "a generated parameter", record))
    return params


def bench_dispatch_scaling(table):
    costs = {}
    for count in (6, 60, 600):
        tool = sim.make_tool("ROI", params=int_params(count))
        namespace = {"tool": tool}
        costs[count] = per_call("tool.set_param('param_0003', 7)", max(200, 20000 // count), namespace)
    # Linear growth means the cost per parameter does not rise with the count.
    for count in (60, 600):
        growth = (costs[count] / costs[6]) / (count / 6)
        table.add(f"set_param cost growth 6 -> {count} params, per parameter", growth, 1.0,
                  "set_param with 6 params")


def bench_data_numpy(table, baseline):
    small = base.ApsFrame(64, 64)
    large = base.ApsFrame(3840, 2160)
    small_cost = per_call("frame.data_numpy()", 20000, {"frame": small})
    large_cost = per_call("frame.data_numpy()", 20000, {"frame": large})
    table.add("data_numpy() 64x64", small_cost / baseline, 10.0, "frame.width()")
    table.add("data_numpy() 3840x2160 vs 64x64", large_cost / small_cost, 1.2, "data_numpy() 64x64")


def bench_event_array(table):
    count = 10_000_000
    made = []
    array_cost = per_call("made.append(sim.event2d_array(count)); made.pop()", 1,
                          {"sim": sim, "count": count, "made": made})
    events = sim.event2d_array(count)
    copy_cost = per_call("events.copy()", 1, {"events": events})
    table.add("event2d_array(10_000_000)", array_cost / copy_cost, 3.0, "NumPy copy of that array")


def bench_logging(table, baseline):
    base.getLogger().setLogLevel(base.INFO)
    seconds = per_call("log_debug('dropped')", 20000, {"log_debug": base.log_debug})
    table.add("log_debug at INFO (dropped)", seconds / baseline, 5.0, "frame.width()")


def process_seconds(code):
    times = []
    for _ in range(SUBPROCESS_REPEATS):
        start = timeit.default_timer()
        subprocess.run([sys.executable, "-c", code], check=True)
        times.append(timeit.default_timer() - start)
    return statistics.median(times)


def bench_imports(table):
    bare = process_seconds("pass")
    table.add("import orvane_hal_py", process_seconds("import orvane_hal_py") / bare, 1.5,
              "python -c pass")
    numpy_only = process_seconds("import numpy")
    table.add("import orvane_base_py", process_seconds("import orvane_base_py") / numpy_only,
              1.15, "python -c 'import numpy'")


def resident_bytes():
    with open("/proc/self/statm") as statm:
        pages = int(statm.read().split()[1])
    import resource

    return pages * resource.getpagesize()


def bench_set_param_memory(table):
    tool = sim.Camera().tool(hal.ROI)
    tool.set_param("x", 1)
    gc.collect()
    before = resident_bytes()
    for index in range(1_000_000):
        tool.set_param("x", index % 2)
    gc.collect()
    growth_mib = (resident_bytes() - before) / (1 << 20)
    table.add("RSS growth over 1e6 set_param calls, MiB", growth_mib, 1.0, "absolute")


def main():
    np.ones(1)
    table = Table()
    baseline = baseline_seconds()
    print(f"baseline frame.width(): {baseline * 1e9:.1f} ns per call\n")
    bench_tool_dispatch(table, baseline)
    bench_dispatch_scaling(table)
    bench_data_numpy(table, baseline)
    bench_event_array(table)
    bench_logging(table, baseline)
    bench_imports(table)
    bench_set_param_memory(table)
    return 0 if table.print() else 1


if __name__ == "__main__":
    sys.exit(main())
