"""The simulated camera's parts written in Python.

`orvane_sim_py` hands out every name in `__all__` as its own
(`orvane_sim_py.video_frames` is `orvane_sim.video_frames`), importing this
package on first use, so that importing the camera stays as light as before.
Optional dependencies (PyAV, h5py, tqdm, Dask) are imported only by the
functions that need them, which name the extra to install when one is missing.
"""

from .biases import load_biases, save_biases
from .pictures import event_frame
from .preview import write_preview

__all__: list[str] = ["event_frame", "load_biases", "save_biases", "write_preview"]
