"""
An emulated event camera and the kit code that hands records and tools to Python.

Camera emulates an IMX636-like sensor watching a scene, its six tools acting on
the stream; the functions make kit records and tools for tests.

>>> events, triggers = orvane_sim_py.Camera("bar", width=320, height=240).read(10_000)
"""
from __future__ import annotations
import collections.abc
import numpy
import numpy.typing
import orvane_base_py
import orvane_hal_py
import typing
__all__: list[str] = ['Camera', 'CameraStream', 'READOUT_EVENTS_PER_US', 'ToolHolder', 'event2d', 'event2d_array', 'event2d_fields', 'make_registry_tool', 'make_tool', 'record_formats', 'tool_info_from_thread', 'trigger', 'trigger_array', 'trigger_fields']
class Camera:
    """
    An emulated IMX636-like sensor watching a scene, with the kit's six tools.
    
    The same seed, scene, tool values and reads give the same bytes, whatever the
    number of threads and however the clock is read.
    """
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self, scene: str | bytes | bytearray | numpy.typing.NDArray[numpy.uint8 | numpy.float32 | numpy.float64] | collections.abc.Sequence[numpy.typing.NDArray[numpy.uint8 | numpy.float32 | numpy.float64]] | collections.abc.Iterator[tuple[typing.SupportsIndex, numpy.typing.NDArray[numpy.uint8 | numpy.float32 | numpy.float64]]] = 'bar', *, serial: str = 'SIM-0001', seed: typing.SupportsInt | typing.SupportsIndex = 0, frame_times_us: collections.abc.Sequence[typing.SupportsIndex] | numpy.typing.NDArray[numpy.integer[typing.Any]] | None = None, width: typing.SupportsInt | typing.SupportsIndex | None = None, height: typing.SupportsInt | typing.SupportsIndex | None = None, threads: typing.SupportsInt | typing.SupportsIndex | None = None, ideal: bool = False, biases: dict[str, typing.SupportsInt | typing.SupportsIndex] | None = None) -> None:
        """
        A camera watching `scene`; every argument after it goes by keyword only.
        
        Args:
            scene: a built-in scene's name ("bar", "dots", "still", "flicker"; str,
                bytes or bytearray), the user's frames as an N x H x W uint8 array or a
                sequence of H x W uint8 arrays (with `frame_times_us`), or an iterator
                of (time_us, frame) pairs, read as the clock needs them.
            serial: the serial number the description and records carry.
            seed: seeds the camera's one random generator (mismatch, noise).
            frame_times_us: one time stamp per frame, in microseconds, increasing;
                only with an array or a sequence of frames.
            width, height: a built-in scene's sensor size in pixels, 1 to 65535
                (1280 x 720 when not given); a user's frames give their own size.
            threads: threads of the pixel model, 1 to 1024; None for every core.
            ideal: True for the ideal pixel, False (default) for the realistic one
                (photoreceptor lag, leak, shot noise, hot pixels, readout queue).
            biases: bias values by name (int), set on the bias tool all or none, as
                load_biases() sets a bias file's.
        
        Raises:
            ValueError: an unknown scene name, a size or thread count out of range,
                frames of mixed sizes, missing, short, negative or non-increasing
                frame_times_us, or width/height given with a user's frames; an
                unknown bias name or a value out of its range.
            TypeError: frames that are not uint8 NumPy arrays, or a scene of no
                accepted kind; a bias name that is no str or a value that is no int.
            MemoryError: frames too large to copy.
        
        Example: Camera(frames, frame_times_us=[0, 10_000], seed=1)
        """
    def __repr__(self) -> str:
        """
        The scene (its name, `frames` for an array or sequence of frames, `iterator` for an iterator of them), the serial, the sensor's size and the clock.
        """
    def calibration(self) -> orvane_base_py.CalibratorParameters:
        """
        An ideal pinhole calibration of the sensor: focal length 1000 px, centred, no distortion.
        """
    def description(self) -> orvane_hal_py.CameraDescription:
        """
        The camera's CameraDescription: product, manufacturer, serial, USB ids and interface.
        """
    def events(self, n: typing.SupportsInt | typing.SupportsIndex) -> numpy.typing.NDArray[numpy.void]:
        """
        A fixed test pattern of `n` Event2D records, unrelated to the scene.
        
        Event i has x = i % width, y = i % height, polarity i % 2; time stamps keep
        increasing from call to call, starting at 1000 us. What the sensor sees comes
        from read() and stream().
        
        Raises:
            MemoryError or ValueError: a count no memory holds; the pattern stays as it was.
        """
    def file_info(self) -> orvane_base_py.DvsFileInfo:
        """
        A DvsFileInfo describing every event handed out so far by read(), stream() and events(n): earliest time stamp, one past the latest, and their number.
        """
    def frame(self) -> orvane_base_py.ApsFrame:
        """
        The scene at the camera's clock as a grey ApsFrame of the sensor's size, its exposure start and end both the clock. Waits for a read running on another thread.
        """
    def read(self, duration_us: typing.SupportsIndex) -> tuple[numpy.typing.NDArray[numpy.void], numpy.typing.NDArray[numpy.void]]:
        """
        The next `duration_us` microseconds of the sensor, as (events, triggers).
        
        Args:
            duration_us: how far the clock moves on, in microseconds (0 or more).
        
        Returns:
            events: an Event2D NumPy structured array (fields x, y, polarity,
                timestamp; 16 bytes each, timestamp uint64 in microseconds) of the
                stretch (clock, clock + duration_us], in non-decreasing time order,
                handed out without a copy.
            triggers: the trigger input's edges of that stretch (fields polarity,
                timestamp, id) while the TriggerIn tool is enabled, none otherwise.
        
        Any sequence of reads gives the same bytes as one long read. Each read takes
        the tools' values when it starts; a changed value acts from the sensor's next
        sample at or after the clock (at most 10 ms ahead). Other Python threads run
        during the read; Ctrl-C stops it within about 50 ms.
        
        Raises:
            ValueError: a negative duration_us.
            KeyboardInterrupt, MemoryError, or what a scene's iterator raises: the
                camera stays as it was, its clock included.
        
        Example: events, triggers = camera.read(10_000)  # the next 10 ms
        """
    def record(self, path: os.PathLike | str | bytes, duration_us: typing.SupportsInt | typing.SupportsIndex, *, slice_us: typing.SupportsInt | typing.SupportsIndex = 100000, format: str | None = None) -> int:
        """
        Streams the next `duration_us` microseconds into a new event file.
        
        Args:
            path: the new file, written a chunk at a time; a file cut short by a
                crash reads back up to its last whole chunk.
            duration_us: how far the clock moves on, in microseconds.
            slice_us: the length of each read while recording, in microseconds.
            format: "h5" (or "hdf5") or "raw" (EVT 3.0); None takes it from the
                suffix (.h5, .hdf5 or .raw).
        
        Returns the number of events written. The file keeps the serial, the seed and
        every tool's values.
        
        Raises:
            ValueError: an unknown format or suffix, or a bad duration or slice.
            ImportError: an HDF5 file without h5py (pip install "orvane-py[files]").
        
        Example: camera.record("bar.h5", 1_000_000)
        """
    def stream(self, slice_us: typing.SupportsIndex, duration_us: typing.SupportsIndex | None = None) -> CameraStream:
        """
        An iterator of (events, triggers), one read(slice_us) per step.
        
        Args:
            slice_us: the length of each slice in microseconds, at least 1.
            duration_us: the whole length in microseconds, or None to go on without
                end; when it is no multiple of slice_us, the last slice is the rest.
        
        A stream holds one slice at a time and keeps its camera alive; a slice whose
        read raises is still to come.
        
        Raises:
            ValueError: slice_us below 1 or a negative duration_us.
        
        Example: for events, triggers in camera.stream(10_000, 50_000): ...
        """
    def stream_format(self) -> orvane_hal_py.RawEventStreamFormat:
        """
        The raw event stream format of the sensor: EVT3 with its height and width.
        """
    def tool(self, tool_type: orvane_hal_py.ToolType) -> orvane_hal_py.CameraTool | None:
        """
        The camera's tool of `tool_type`, or None when it has none.
        
        Example: roi = camera.tool(orvane_hal_py.ROI)
        """
    def tools(self) -> list[orvane_hal_py.CameraTool]:
        """
        The camera's six tools in ToolType order (Biases, TriggerIn, AntiFlicker, EventRateControl, EventTrailFilter, ROI), sharing one register bank.
        """
    def triggers(self, n: typing.SupportsInt | typing.SupportsIndex) -> numpy.typing.NDArray[numpy.void]:
        """
        A fixed test pattern of `n` EventTriggerIn records, unrelated to the scene.
        
        Trigger i has polarity i % 2 and id i % 4; time stamps keep increasing from
        call to call, starting at 2000 us.
        """
    @property
    def clock_us(self) -> int:
        """
        The camera's clock in microseconds: 0 when made, moved on by each read. Answers at once, also during a read on another thread.
        """
    @property
    def seed(self) -> int:
        """
        The seed of the camera's random generator, as given to Camera().
        """
    @property
    def serial(self) -> str:
        """
        The camera's serial number, as given to Camera().
        """
class CameraStream:
    """
    The iterator Camera.stream() returns: each step reads the camera's next slice.
    """
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __iter__(self) -> CameraStream:
        """
        The stream itself.
        """
    def __next__(self) -> tuple[numpy.typing.NDArray[numpy.void], numpy.typing.NDArray[numpy.void]]:
        """
        The next slice as (events, triggers), as Camera.read() gives it; StopIteration once the stream's duration is read.
        """
class ToolHolder:
    """
    C++ code sharing a tool with Python: tool_info() asks it from C++, tool() hands it back.
    """
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self, tool: orvane_hal_py.CameraTool) -> None:
        """
        Holds `tool`; raises TypeError for None.
        """
    def tool(self) -> orvane_hal_py.CameraTool:
        """
        The held tool.
        """
    def tool_info(self) -> orvane_hal_py.ToolInfo:
        """
        getToolInfo() of the held tool, asked from C++.
        """
from orvane_sim import EventReader as EventReader
from orvane_sim import EventWriter as EventWriter
from orvane_sim import convert_videos as convert_videos
from orvane_sim import event_frame as event_frame
from orvane_sim import image_frames as image_frames
from orvane_sim import load_biases as load_biases
from orvane_sim import save_biases as save_biases
from orvane_sim import to_xytp as to_xytp
from orvane_sim import video_frames as video_frames
from orvane_sim import write_preview as write_preview
def _encode_evt3(events: typing.Annotated[numpy.typing.ArrayLike, orvane_base_py.Event2D], triggers: typing.Annotated[numpy.typing.ArrayLike, orvane_base_py.EventTriggerIn], state: tuple[typing.SupportsInt | typing.SupportsIndex | None, typing.SupportsInt | typing.SupportsIndex, typing.SupportsInt | typing.SupportsIndex]) -> tuple[numpy.typing.NDArray[numpy.uint16], tuple[int | None, int, int]]:
    """
    The EVT 3.0 words of `events` and `triggers` (each in time order, merged by time)
    as a uint16 array, and the state to carry into the next call, from the state
    (time or None, time's high bits, row or -1) the words before them left.
    """
def event2d(x: typing.SupportsInt | typing.SupportsIndex, y: typing.SupportsInt | typing.SupportsIndex, p: typing.SupportsInt | typing.SupportsIndex, t: typing.SupportsInt | typing.SupportsIndex) -> orvane_base_py.Event2D:
    """
    One Event2D record made by the kit: pixel (x, y), polarity p (0 OFF, 1 ON), time t in us.
    """
def event2d_array(n: typing.SupportsInt | typing.SupportsIndex) -> numpy.typing.NDArray[numpy.void]:
    """
    `n` Event2D records made in C++, handed to NumPy without a copy.
    
    Event i has x = i % 1280, y = i % 720, polarity i % 2 and time stamp 1000 + i us.
    """
def event2d_fields(event: orvane_base_py.Event2D) -> tuple[int, int, int, int]:
    """
    The fields (x, y, p, t) of an Event2D as C++ reads them; an element of an event array passes as a record.
    """
def make_registry_tool(param_prefix: str = '', params: collections.abc.Sequence[tuple[str, str, typing.Any]] = []) -> orvane_hal_py.CameraToolBasePrivate:
    """
    A registry tool whose class Python does not know, so it reaches Python as a CameraToolBasePrivate.
    
    Args:
        param_prefix: put before every parameter's name in the registry.
        params: (name, description, record) entries, as for make_tool().
    """
def make_tool(kind: str, param_prefix: str = '', params: collections.abc.Sequence[tuple[str, str, typing.Any]] | None = None) -> orvane_hal_py.CameraTool:
    """
    A new IMX636 tool of `kind` with its own register bank.
    
    Args:
        kind: "Biases", "TriggerIn", "AntiFlicker", "EventRateControl",
            "EventTrailFilter" or "ROI".
        param_prefix: put before every parameter's name in the registry.
        params: None for the kind's default parameters, or exactly these
            (name, description, record) entries; the record's class
            (IntParameterInfo, ...) gives the parameter's kind.
    
    Raises:
        ValueError: an unknown kind or a parameter name given twice.
        TypeError: a record that is no parameter information record.
    
    Example: make_tool("ROI", params=[("x", "left edge", record)])
    """
def record_formats() -> dict[str, str]:
    """
    The buffer (PEP 3118) format string of each record type, by its name.
    """
def tool_info_from_thread(tool: orvane_hal_py.CameraTool) -> orvane_hal_py.ToolInfo:
    """
    getToolInfo() of `tool`, asked from a new C++ thread while the caller waits without the interpreter lock. Raises TypeError for None, RuntimeError once the interpreter exits.
    """
def trigger(polarity: typing.SupportsInt | typing.SupportsIndex, timestamp: typing.SupportsInt | typing.SupportsIndex, id: typing.SupportsInt | typing.SupportsIndex) -> orvane_base_py.EventTriggerIn:
    """
    One EventTriggerIn record made by the kit: edge polarity, timestamp in us, channel id.
    """
def trigger_array(n: typing.SupportsInt | typing.SupportsIndex) -> numpy.typing.NDArray[numpy.void]:
    """
    `n` EventTriggerIn records made in C++: polarity i % 2, timestamp 2000 + i us, id i % 4.
    """
def trigger_fields(event: orvane_base_py.EventTriggerIn) -> tuple[int, int, int]:
    """
    The fields (polarity, timestamp, id) of an EventTriggerIn as C++ reads them.
    """
READOUT_EVENTS_PER_US: int = 50
