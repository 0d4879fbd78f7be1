#pragma once

// What help() and editors show for orvane_sim_py. The stubs carry the same texts.

namespace orvane::sim::python::docs {

inline constexpr const char* kModule =
    R"doc(An emulated event camera and the kit code that hands records and tools to Python.

Camera emulates an IMX636-like sensor watching a scene, its six tools acting on
the stream; the functions make kit records and tools for tests.

>>> events, triggers = orvane_sim_py.Camera("bar", width=320, height=240).read(10_000)
)doc";

inline constexpr const char* kCamera =
    R"doc(An emulated IMX636-like sensor watching a scene, with the kit's six tools.

The same seed, scene, tool values and reads give the same bytes, whatever the
number of threads and however the clock is read.
)doc";

inline constexpr const char* kCameraInit =
    R"doc(A camera watching `scene`; every argument after it goes by keyword only.

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
)doc";

inline constexpr const char* kCameraRepr =
    R"doc(The scene (its name, `frames` for an array or sequence of frames, `iterator` for an iterator of them), the serial, the sensor's size and the clock.)doc";

inline constexpr const char* kCameraSerial = "The camera's serial number, as given to Camera().";

inline constexpr const char* kCameraSeed =
    "The seed of the camera's random generator, as given to Camera().";

inline constexpr const char* kCameraClock =
    "The camera's clock in microseconds: 0 when made, moved on by each read. Answers at once, "
    "also during a read on another thread.";

inline constexpr const char* kCameraDescription =
    "The camera's CameraDescription: product, manufacturer, serial, USB ids and interface.";

inline constexpr const char* kCameraEvents =
    R"doc(A fixed test pattern of `n` Event2D records, unrelated to the scene.

Event i has x = i % width, y = i % height, polarity i % 2; time stamps keep
increasing from call to call, starting at 1000 us. What the sensor sees comes
from read() and stream().

Raises:
    MemoryError or ValueError: a count no memory holds; the pattern stays as it was.
)doc";

inline constexpr const char* kCameraTriggers =
    R"doc(A fixed test pattern of `n` EventTriggerIn records, unrelated to the scene.

Trigger i has polarity i % 2 and id i % 4; time stamps keep increasing from
call to call, starting at 2000 us.
)doc";

inline constexpr const char* kCameraRead =
    R"doc(The next `duration_us` microseconds of the sensor, as (events, triggers).

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
)doc";

inline constexpr const char* kCameraStream =
    R"doc(An iterator of (events, triggers), one read(slice_us) per step.

Args:
    slice_us: the length of each slice in microseconds, at least 1.
    duration_us: the whole length in microseconds, or None to go on without
        end; when it is no multiple of slice_us, the last slice is the rest.

A stream holds one slice at a time and keeps its camera alive; a slice whose
read raises is still to come.

Raises:
    ValueError: slice_us below 1 or a negative duration_us.

Example: for events, triggers in camera.stream(10_000, 50_000): ...
)doc";

inline constexpr const char* kCameraRecord =
    R"doc(Streams the next `duration_us` microseconds into a new event file.

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
)doc";

inline constexpr const char* kCameraTools =
    "The camera's six tools in ToolType order (Biases, TriggerIn, AntiFlicker, "
    "EventRateControl, EventTrailFilter, ROI), sharing one register bank.";

inline constexpr const char* kCameraTool =
    R"doc(The camera's tool of `tool_type`, or None when it has none.

Example: roi = camera.tool(orvane_hal_py.ROI)
)doc";

inline constexpr const char* kCameraStreamFormat =
    "The raw event stream format of the sensor: EVT3 with its height and width.";

inline constexpr const char* kCameraFrame =
    "The scene at the camera's clock as a grey ApsFrame of the sensor's size, its exposure "
    "start and end both the clock. Waits for a read running on another thread.";

inline constexpr const char* kCameraCalibration =
    "An ideal pinhole calibration of the sensor: focal length 1000 px, centred, no distortion.";

inline constexpr const char* kCameraFileInfo =
    "A DvsFileInfo describing every event handed out so far by read(), stream() and "
    "events(n): earliest time stamp, one past the latest, and their number.";

inline constexpr const char* kCameraStreamClass =
    "The iterator Camera.stream() returns: each step reads the camera's next slice.";

inline constexpr const char* kStreamIter = "The stream itself.";

inline constexpr const char* kStreamNext =
    "The next slice as (events, triggers), as Camera.read() gives it; StopIteration once "
    "the stream's duration is read.";

inline constexpr const char* kEvent2dArray =
    R"doc(`n` Event2D records made in C++, handed to NumPy without a copy.

Event i has x = i % 1280, y = i % 720, polarity i % 2 and time stamp 1000 + i us.
)doc";

inline constexpr const char* kTriggerArray =
    "`n` EventTriggerIn records made in C++: polarity i % 2, timestamp 2000 + i us, id i % 4.";

inline constexpr const char* kEvent2d =
    "One Event2D record made by the kit: pixel (x, y), polarity p (0 OFF, 1 ON), time t in us.";

inline constexpr const char* kTrigger =
    "One EventTriggerIn record made by the kit: edge polarity, timestamp in us, channel id.";

inline constexpr const char* kRecordFormats =
    "The buffer (PEP 3118) format string of each record type, by its name.";

inline constexpr const char* kEvent2dFields =
    "The fields (x, y, p, t) of an Event2D as C++ reads them; an element of an event array "
    "passes as a record.";

inline constexpr const char* kTriggerFields =
    "The fields (polarity, timestamp, id) of an EventTriggerIn as C++ reads them.";

inline constexpr const char* kMakeTool =
    R"doc(A new IMX636 tool of `kind` with its own register bank.

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
)doc";

inline constexpr const char* kMakeRegistryTool =
    R"doc(A registry tool whose class Python does not know, so it reaches Python as a CameraToolBasePrivate.

Args:
    param_prefix: put before every parameter's name in the registry.
    params: (name, description, record) entries, as for make_tool().
)doc";

inline constexpr const char* kToolInfoFromThread =
    "getToolInfo() of `tool`, asked from a new C++ thread while the caller waits without the "
    "interpreter lock. Raises TypeError for None, RuntimeError once the interpreter exits.";

inline constexpr const char* kToolHolder =
    "C++ code sharing a tool with Python: tool_info() asks it from C++, tool() hands it back.";

inline constexpr const char* kToolHolderInit = "Holds `tool`; raises TypeError for None.";

inline constexpr const char* kToolHolderToolInfo =
    "getToolInfo() of the held tool, asked from C++.";

inline constexpr const char* kToolHolderTool = "The held tool.";

}  // namespace orvane::sim::python::docs
