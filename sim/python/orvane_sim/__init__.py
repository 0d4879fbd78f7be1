"""The simulated camera's parts written in Python.

`orvane_sim_py` hands out every name in `__all__` as its own
(`orvane_sim_py.EventWriter` is `orvane_sim.EventWriter`), importing this
package on first use, so that importing the camera stays as light as before.
Optional dependencies (PyAV, h5py, tqdm, Dask) are imported only by the
functions that need them, which name the extra to install when one is missing.
"""

from .biases import load_biases, save_biases
from .cluster import convert_videos
from .event_files import EventReader, EventWriter
from .image_files import image_frames
from .layouts import to_xytp
from .pictures import event_frame
from .preview import write_preview
from .video_files import video_frames

__all__: list[str] = [
    "EventReader",
    "EventWriter",
    "convert_videos",
    "event_frame",
    "image_frames",
    "load_biases",
    "save_biases",
    "to_xytp",
    "video_frames",
    "write_preview",
]
