"""What keeping a read undoable costs: a stretch read in 1 ms slices against one read of it."""

import orvane_sim_py as sim

from bench import ratio

STRETCH_US = 50_000


def sliced(scene):
    camera = sim.Camera(scene, ideal=False, threads=2)
    camera.read(1_000)
    return camera


def bench_failed_reads(table):
    """Every read saves the state its steps change before changing it, so that a read that fails
    can be undone: short reads of a scene that changes every pixel pay most for it."""
    for scene in ("bar", "flicker"):
        slices = (
            "for _ in range(stretch // 1_000): camera.read(1_000)",
            {"camera": sliced(scene), "stretch": STRETCH_US},
            1,
        )
        whole = ("camera.read(stretch)", {"camera": sliced(scene), "stretch": STRETCH_US}, 1)
        table.add(
            f"{scene} 1280 x 720, 50 ms in 1 ms reads",
            ratio(slices, whole, rounds=5),
            "one 50 ms read",
            high=3.0,
        )
