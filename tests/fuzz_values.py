"""Values of every kind for property-based tests, and what the bindings make of each.

Each `*_verdict` function says what the binding layer's conversion does with a
value: ACCEPT (it must take it, and the expected stored value), REFUSE (it must
raise and change nothing), or EITHER (an object that merely supports a numeric
conversion, such as a NumPy float or a Decimal: it may be taken, and then it is
stored as that conversion gives it).
"""

import atexit
import contextlib
import math
import operator
import os
import pickle
import signal
import struct
import threading
import time
import warnings
from decimal import Decimal
from fractions import Fraction

import numpy as np
import orvane_base_py as base
import orvane_hal_py as hal
import orvane_sim_py as sim
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from hypothesis.extra.numpy import from_dtype

ACCEPT, REFUSE, EITHER = "accept", "refuse", "either"

INT8 = (-(2**7), 2**7 - 1)
UINT8 = (0, 2**8 - 1)
UINT32 = (0, 2**32 - 1)
INT16 = (-(2**15), 2**15 - 1)
UINT16 = (0, 2**16 - 1)
INT32 = (-(2**31), 2**31 - 1)
UINT64 = (0, 2**64 - 1)


def _around_powers_of_two(exponents):
    near = {s * 2**e + d for e in exponents for s in (1, -1) for d in (-1, 0, 1)}
    return sorted(near | {0, 1, -1})


BOUNDARY_INTS = _around_powers_of_two((7, 8, 15, 16, 31, 32, 63, 64, 100, 1024))
integers = st.one_of(st.sampled_from(BOUNDARY_INTS), st.integers())
floats = st.one_of(
    st.floats(),
    st.sampled_from(
        [
            0.0,
            -0.0,
            0.1,
            -1.5,
            2.0**31,
            3.4028234663852886e38,
            3.5e38,
            1e300,
            5e-324,
            math.inf,
            -math.inf,
            math.nan,
        ]
    ),
)
texts = st.one_of(
    st.text(st.characters(exclude_categories=()), max_size=10),
    st.sampled_from(["", "\x00", "a\x00b", "\ud800", "x\udfff", "%s%n", "é", "EVT3;width=1"]),
)
raw_bytes = st.one_of(
    st.binary(max_size=10), st.sampled_from([b"\xff", b"\xc3", b"a\x00b", b"\xed\xa0\x80"])
)
text_like = st.one_of(texts, raw_bytes, raw_bytes.map(bytearray))

ENUM_MEMBERS = [
    member
    for enum in (
        hal.INTERFACE_TYPE,
        hal.CAMERA_TYPE,
        hal.RawEventStreamEncodingType,
        hal.ToolType,
        hal.ToolParameterType,
        base.LogLevelType,
    )
    for member in enum.__members__.values()
]
enum_members = st.sampled_from(ENUM_MEMBERS)

NUMPY_DTYPES = [
    np.dtype(name)
    for name in (
        [
            "int8",
            "uint8",
            "int16",
            "uint16",
            "int32",
            "uint32",
            "int64",
            "uint64",
            "float16",
            "float32",
            "float64",
            "bool",
        ]
    )
]
numpy_scalars = st.sampled_from(NUMPY_DTYPES).flatmap(
    lambda dtype: from_dtype(dtype).map(dtype.type)
)
other_objects = st.one_of(
    st.sampled_from([Decimal("2.5"), Decimal("nan"), Fraction(7, 2), 1j, complex(3, 0)]),
    st.builds(object),
    st.builds(hal.ToolInfo),
    st.builds(hal.IntParameterInfo),
    st.builds(base.MatrixData),
    st.builds(base.DvsFileInfo),
)

scalars = st.one_of(
    integers,
    floats,
    texts,
    raw_bytes,
    raw_bytes.map(bytearray),
    st.none(),
    st.booleans(),
    enum_members,
    numpy_scalars,
    other_objects,
)
# Anything at all: scalars and containers of them.
any_value = st.recursive(
    scalars,
    lambda children: st.one_of(
        st.lists(children, max_size=4),
        st.tuples(children, children),
        st.dictionaries(st.one_of(texts, integers), children, max_size=3),
    ),
    max_leaves=6,
)

_CONTAINERS_AND_TEXT = (str, bytes, bytearray, list, tuple, dict, type(None))


def integer_verdict(value, bounds):
    low, high = bounds
    if isinstance(value, (float, *_CONTAINERS_AND_TEXT)):
        return REFUSE, None
    if isinstance(value, np.bool_):
        # Some NumPy versions give it a deprecated __index__, others none.
        return EITHER, int(value)
    if hasattr(type(value), "__index__"):
        number = int(operator.index(value))
        return (ACCEPT, number) if low <= number <= high else (REFUSE, None)
    try:
        number = int(value)
    except (TypeError, ValueError, OverflowError):
        return REFUSE, None
    return (EITHER, number) if low <= number <= high else (REFUSE, None)


def narrow_to_float32(number):
    """The nearest 32-bit float, as the C++ conversion gives it (inf past the range)."""
    if math.isnan(number):
        return number
    try:
        return struct.unpack("f", struct.pack("f", number))[0]
    except OverflowError:
        return math.copysign(math.inf, number)


def real_verdict(value, narrow=True):
    if isinstance(value, (complex, *_CONTAINERS_AND_TEXT)):
        return REFUSE, None
    try:
        number = float(value)
    except (TypeError, ValueError, OverflowError):
        return REFUSE, None
    if narrow:
        number = narrow_to_float32(number)
    exact = isinstance(value, (int, float, np.integer, np.floating, np.bool_))
    return (ACCEPT if exact and not isinstance(value, np.float16) else EITHER), number


def bool_verdict(value):
    if value is None:
        return ACCEPT, False
    if isinstance(value, (str, bytes, bytearray, list, tuple, dict)):
        return REFUSE, None
    if isinstance(value, (int, float, np.number, np.bool_)):
        return ACCEPT, bool(value)
    try:
        return EITHER, bool(value)
    except (TypeError, ValueError):
        return REFUSE, None


def text_verdict(value):
    """Text is a str with a UTF-8 form, bytes or bytearray; stored as bytes."""
    if isinstance(value, str):
        try:
            return ACCEPT, value.encode("utf-8")
        except UnicodeEncodeError:
            return REFUSE, None
    if isinstance(value, (bytes, bytearray)):
        return ACCEPT, bytes(value)
    return REFUSE, None


def enum_verdict(value, enum):
    return (ACCEPT, value) if type(value) is enum else (REFUSE, None)


def text_list_verdict(value):
    if isinstance(value, (list, tuple)):
        stored = []
        for item in value:
            verdict, item_bytes = text_verdict(item)
            if verdict is REFUSE:
                return REFUSE, None
            stored.append(item_bytes)
        return ACCEPT, stored
    if isinstance(value, (str, bytes, dict, type(None), int, float)):
        return REFUSE, None
    return EITHER, None


def read_text(stored):
    """What a getter gives for stored bytes: the str, or the decoding error's type."""
    try:
        return stored.decode("utf-8")
    except UnicodeDecodeError:
        return UnicodeDecodeError


def comparable(value):
    """A form that compares equal for equal readings, NaNs and -0.0 included."""
    if isinstance(value, base.MatrixData):
        return ("MatrixData", repr(value), comparable(value.data))
    if isinstance(value, float):
        return ("float", repr(value))
    if isinstance(value, (list, tuple)):
        return tuple(comparable(item) for item in value)
    if isinstance(value, dict):
        return tuple(sorted((key, comparable(item)) for key, item in value.items()))
    return value


def read(obj, name):
    try:
        return comparable(getattr(obj, name))
    except UnicodeDecodeError:
        return UnicodeDecodeError


def snapshot(obj, names):
    return {name: read(obj, name) for name in names}


def assign(obj, name, value, verdict, expected, names, refusals=(TypeError,)):
    """Sets obj.name = value; checks the verdict, and that only `name` changed.

    Returns whether the value was taken, so that callers can check what it
    reads back as.
    """
    before = snapshot(obj, names)
    try:
        setattr(obj, name, value)
    except refusals:
        assert verdict != ACCEPT, f"{name} = {value!r} was refused"
        assert snapshot(obj, names) == before, f"refusing {name} = {value!r} changed the record"
        return False
    assert verdict != REFUSE, f"{name} = {value!r} was taken"
    after = snapshot(obj, names)
    for other in names:
        if other != name:
            assert after[other] == before[other], f"setting {name} changed {other}"
    return True


class Kind:
    """How one property converts what it is given, and what it reads back."""

    def __init__(self, verdict, reading=lambda stored: stored, valid=scalars):
        self.verdict = verdict
        self.reading = reading
        self.valid = valid


def integer_kind(bounds):
    low, high = bounds
    inside = st.one_of(st.integers(low, high), st.sampled_from([low, high, low - 1, high + 1]))
    return Kind(lambda value: integer_verdict(value, bounds), valid=inside)


def enum_kind(enum):
    return Kind(
        lambda value: enum_verdict(value, enum),
        valid=st.sampled_from(list(enum.__members__.values())),
    )


def _read_texts(stored):
    readings = [read_text(item) for item in stored]
    return UnicodeDecodeError if UnicodeDecodeError in readings else readings


TEXT = Kind(text_verdict, read_text, text_like)
REAL32 = Kind(real_verdict, valid=floats)
BOOL = Kind(bool_verdict, valid=st.booleans())
TEXT_LIST = Kind(text_list_verdict, _read_texts, st.lists(text_like, max_size=3))


def check_properties(obj, kinds, data, stored, refusals=(TypeError,)):
    """Assigns a few drawn values to drawn properties of `obj`.

    `kinds` maps each property to its Kind and `stored` holds what each
    property holds now; both the record and `stored` are brought up to date,
    and every property must read back what `stored` says.
    """
    names = list(kinds)
    for _ in range(data.draw(st.integers(1, 4), label="assignments")):
        name = data.draw(st.sampled_from(names), label="property")
        kind = kinds[name]
        value = data.draw(st.one_of(any_value, kind.valid), label=name)
        verdict, expected = kind.verdict(value)
        if assign(obj, name, value, verdict, expected, names, refusals):
            stored[name] = expected if expected is not None else _stored_as_read(obj, name)
        for each in names:
            assert read(obj, each) == comparable(kinds[each].reading(stored[each])), each
    return stored


def _stored_as_read(obj, name):
    return [item.encode("utf-8") for item in getattr(obj, name)]


# Mixing classes and objects: any function bound on any class of the three
# modules (methods, constructors, property accessors) called with any bound
# object, or None, as self; objects given another class; pickling.
BOUND_CLASSES = [
    value
    for module in (hal, base, sim)
    for value in vars(module).values()
    if isinstance(value, type) and type(value).__name__ == "pybind11_type"
]


def _bound_functions(cls):
    for name, member in vars(cls).items():
        if type(member).__name__ == "pybind11_static_property":
            continue  # its accessors take the class, never an object
        if isinstance(member, property):
            for accessor in ("fget", "fset"):
                if getattr(member, accessor) is not None:
                    yield f"{cls.__qualname__}.{name}.{accessor}", getattr(member, accessor)
        elif callable(member) and name != "__new__":
            yield f"{cls.__qualname__}.{name}", member


BOUND_FUNCTIONS = [named for cls in BOUND_CLASSES for named in _bound_functions(cls)]


class PythonTool(hal.CameraTool):
    def __init__(self):
        super().__init__("py")

    def getToolInfo(self):
        return hal.ToolInfo()

    def getAllParamInfo(self):
        return {}


# One fresh object of every bound class (and of a Python tool), made anew for
# each example so that no call sees what an earlier one did.
OBJECT_MAKERS = [
    *(lambda member=member: member for member in ENUM_MEMBERS),
    hal.CameraDescription,
    lambda: hal.RawEventStreamFormat("EVT3;width=1"),
    hal.ToolInfo,
    hal.BasicParameterInfo,
    hal.IntParameterInfo,
    hal.FloatParameterInfo,
    hal.BoolParameterInfo,
    hal.EnumParameterInfo,
    hal.StringParameterInfo,
    lambda: hal.CameraTool("p"),
    PythonTool,
    sim.make_registry_tool,
    *(lambda tool=tool: sim.make_tool(type(tool).__name__[6:]) for tool in sim.Camera().tools()),
    lambda: sim.event2d(1, 2, 1, 3),
    lambda: sim.trigger(1, 2, 3),
    lambda: base.ApsFrame(4, 2),
    base.MatrixData,
    base.CalibratorParameters,
    base.DvsFileInfo,
    base.getLogger,
    sim.Camera,
    lambda: sim.Camera(width=8, height=8).stream(5),
    lambda: sim.ToolHolder(sim.make_tool("ROI")),
]

# Objects of every bound class whose C++ object was never built: kept by a
# subclass's __init__ that stored self and failed before the bound __init__
# ran, or made by __new__ alone.
_kept_by_failed_init = []


def half_built(cls):
    class HalfBuilt(cls):
        def __init__(self, *args, **kwargs):
            _kept_by_failed_init.append(self)
            raise RuntimeError("failed before the bound __init__")

    with contextlib.suppress(RuntimeError):
        HalfBuilt()
    return _kept_by_failed_init.pop()


unbuilt_objects = st.one_of(
    st.builds(half_built, st.sampled_from(BOUND_CLASSES)),
    st.sampled_from(BOUND_CLASSES).map(lambda cls: cls.__new__(cls)),
)
bound_objects = st.one_of(st.sampled_from(OBJECT_MAKERS).map(lambda make: make()), unbuilt_objects)
selves = st.one_of(st.none(), bound_objects)
# Small numbers only: a count or a size must not make a call allocate gigabytes.
call_arguments = st.lists(
    st.one_of(
        st.sampled_from([None, -1, 0, 1, 3, 0.5, "", "enable", "x", b"\xff", [], {}]),
        bound_objects,
    ),
    max_size=3,
)


def _shown(value):
    """The repr, which an object whose C++ object was never built may refuse."""
    try:
        return repr(value)
    except TypeError:
        return object.__repr__(value)


def _assign_class(obj, cls):
    obj.__class__ = cls


class SlowTool(PythonTool):
    asked = threading.Event()

    def getToolInfo(self):
        SlowTool.asked.set()
        time.sleep(0.01)
        return hal.ToolInfo()


class ForkedChildFailed(BaseException):
    """Ends the run, which takes any Exception for a refusal."""


def _fork_while_asked(from_thread):
    """Forks while another thread asks a tool; the child must get through its exit."""
    tool = SlowTool()
    SlowTool.asked.clear()
    ask = (lambda: sim.tool_info_from_thread(tool)) if from_thread else tool.get_tool_info
    threading.Thread(target=ask, daemon=True).start()
    SlowTool.asked.wait()
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)  # forking with threads running
        pid = os.fork()
    if pid == 0:
        signal.alarm(10)  # a child whose exit hangs ends with SIGALRM
        atexit._run_exitfuncs()
        os._exit(0)
    if os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]) != 0:
        raise ForkedChildFailed


mixed_calls = st.one_of(
    st.builds(
        lambda named, self, args: (
            f"{named[0]}({', '.join(map(_shown, (self, *args)))})",
            lambda: named[1](self, *args),
        ),
        st.sampled_from(BOUND_FUNCTIONS),
        selves,
        call_arguments,
    ),
    st.builds(
        lambda obj, cls: (f"{_shown(obj)}.__class__ = {cls!r}", lambda: _assign_class(obj, cls)),
        bound_objects,
        st.sampled_from([*BOUND_CLASSES, PythonTool, int]),
    ),
    st.builds(
        lambda obj, protocol: (
            f"pickle {_shown(obj)} {protocol}",
            lambda: pickle.dumps(obj, protocol),
        ),
        bound_objects,
        st.integers(0, pickle.HIGHEST_PROTOCOL),
    ),
    st.booleans().map(
        lambda from_thread: (
            f"fork while asked, from a thread: {from_thread}",
            lambda: _fork_while_asked(from_thread),
        )
    ),
)


def run_mixed_calls(max_examples):
    """Makes the mixed calls; each may raise, none may end the process.

    Each call is printed before it is made, so that the last line names the
    call that crashed the interpreter."""

    @settings(
        max_examples=max_examples,
        deadline=None,
        database=None,
        suppress_health_check=list(HealthCheck),
    )
    @given(st.lists(mixed_calls, min_size=1, max_size=4))
    def survive(calls):
        for description, call in calls:
            print(description, flush=True)
            with contextlib.suppress(Exception):
                call()

    survive()
