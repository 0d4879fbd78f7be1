from __future__ import annotations
import numpy
import numpy.typing
import typing
import typing_extensions
__all__: list[str] = ['ApsFrame', 'CalibratorParameters', 'DEBUG', 'DvsFileInfo', 'ERR', 'Event2D', 'EventTriggerIn', 'FATAL', 'INFO', 'LogLevelType', 'Logger', 'MatrixData', 'TRACE', 'WARN', 'getLogger', 'log_debug', 'log_error', 'log_fatal', 'log_info', 'log_trace', 'log_warn']
class ApsFrame:
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    @typing.overload
    def __init__(self, width: typing.SupportsInt | typing.SupportsIndex = 3840, height: typing.SupportsInt | typing.SupportsIndex = 2160, start_ts: typing.SupportsInt | typing.SupportsIndex = 0, end_ts: typing.SupportsInt | typing.SupportsIndex = 0) -> None:
        ...
    @typing.overload
    def __init__(self, width: typing.SupportsInt | typing.SupportsIndex, height: typing.SupportsInt | typing.SupportsIndex, start_ts: typing.SupportsInt | typing.SupportsIndex, end_ts: typing.SupportsInt | typing.SupportsIndex, external_data: typing_extensions.Buffer, data_size: typing.SupportsInt | typing.SupportsIndex, own_data: bool = False) -> None:
        ...
    @typing.overload
    def __init__(self, other: ApsFrame) -> None:
        ...
    def clone(self) -> ApsFrame:
        ...
    def data(self) -> int | None:
        """
        Returns a pointer to the raw pixel data (as uint8_t*). Use with caution.
        """
    def data_numpy(self) -> numpy.typing.NDArray[numpy.uint8]:
        """
        Returns the image data as a read-only numpy array with shape (H, W, 3) in RGB888 format.
        """
    def get_data_size(self) -> int:
        ...
    def height(self) -> int:
        ...
    def width(self) -> int:
        ...
    @property
    def exposure_end_timestamp(self) -> int:
        ...
    @exposure_end_timestamp.setter
    def exposure_end_timestamp(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def exposure_start_timestamp(self) -> int:
        ...
    @exposure_start_timestamp.setter
    def exposure_start_timestamp(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
class CalibratorParameters:
    camera_matrix: MatrixData
    camera_serial: str
    dist_coeffs: MatrixData
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self) -> None:
        ...
    def __repr__(self) -> str:
        ...
    @property
    def affine_matrix(self) -> dict[str, MatrixData]:
        ...
    @affine_matrix.setter
    def affine_matrix(self, arg1: typing.Any) -> None:
        ...
    @property
    def aps_cols(self) -> int:
        ...
    @aps_cols.setter
    def aps_cols(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def aps_rows(self) -> int:
        ...
    @aps_rows.setter
    def aps_rows(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def dvs_cols(self) -> int:
        ...
    @dvs_cols.setter
    def dvs_cols(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def dvs_rows(self) -> int:
        ...
    @dvs_rows.setter
    def dvs_rows(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def rotation(self) -> list[float]:
        ...
    @rotation.setter
    def rotation(self, arg1: typing.Any) -> None:
        ...
    @property
    def translation(self) -> list[float]:
        ...
    @translation.setter
    def translation(self, arg1: typing.Any) -> None:
        ...
class DvsFileInfo:
    serial_number: str
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self) -> None:
        ...
    def __repr__(self) -> str:
        ...
    @property
    def aps_start_timestamp(self) -> int:
        ...
    @aps_start_timestamp.setter
    def aps_start_timestamp(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def dvs_height(self) -> int:
        ...
    @dvs_height.setter
    def dvs_height(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def dvs_width(self) -> int:
        ...
    @dvs_width.setter
    def dvs_width(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def end_timestamp(self) -> int:
        ...
    @end_timestamp.setter
    def end_timestamp(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def max_events(self) -> int:
        ...
    @max_events.setter
    def max_events(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def start_timestamp(self) -> int:
        ...
    @start_timestamp.setter
    def start_timestamp(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
class Event2D:
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    @property
    def p(self) -> int:
        ...
    @p.setter
    def p(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def t(self) -> int:
        ...
    @t.setter
    def t(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def x(self) -> int:
        ...
    @x.setter
    def x(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def y(self) -> int:
        ...
    @y.setter
    def y(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
class EventTriggerIn:
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    @property
    def id(self) -> int:
        ...
    @id.setter
    def id(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def polarity(self) -> int:
        ...
    @polarity.setter
    def polarity(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def timestamp(self) -> int:
        ...
    @timestamp.setter
    def timestamp(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
class LogLevelType:
    DEBUG: typing.ClassVar[LogLevelType]  # value = <LogLevelType.DEBUG: 1>
    ERR: typing.ClassVar[LogLevelType]  # value = <LogLevelType.ERR: 4>
    FATAL: typing.ClassVar[LogLevelType]  # value = <LogLevelType.FATAL: 5>
    INFO: typing.ClassVar[LogLevelType]  # value = <LogLevelType.INFO: 2>
    TRACE: typing.ClassVar[LogLevelType]  # value = <LogLevelType.TRACE: 0>
    WARN: typing.ClassVar[LogLevelType]  # value = <LogLevelType.WARN: 3>
    __members__: typing.ClassVar[dict[str, LogLevelType]]  # value = {'TRACE': <LogLevelType.TRACE: 0>, 'DEBUG': <LogLevelType.DEBUG: 1>, 'INFO': <LogLevelType.INFO: 2>, 'WARN': <LogLevelType.WARN: 3>, 'ERR': <LogLevelType.ERR: 4>, 'FATAL': <LogLevelType.FATAL: 5>}
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    @typing.overload
    def __eq__(self, other: LogLevelType) -> bool:
        ...
    @typing.overload
    def __eq__(self, other: typing.Any) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    @typing.overload
    def __ne__(self, other: LogLevelType) -> bool:
        ...
    @typing.overload
    def __ne__(self, other: typing.Any) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class Logger:
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def debug(self, arg0: str) -> None:
        ...
    def error(self, arg0: str) -> None:
        ...
    def fatal(self, arg0: str) -> None:
        ...
    def getLogLevel(self) -> LogLevelType:
        ...
    def info(self, arg0: str) -> None:
        ...
    def log(self, arg0: LogLevelType, arg1: str) -> None:
        ...
    def setLogLevel(self, arg0: LogLevelType) -> None:
        ...
    def trace(self, arg0: str) -> None:
        ...
    def warn(self, arg0: str) -> None:
        ...
class MatrixData:
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self) -> None:
        ...
    def __repr__(self) -> str:
        ...
    def __str__(self) -> str:
        ...
    @property
    def cols(self) -> int:
        ...
    @cols.setter
    def cols(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def data(self) -> list[float]:
        ...
    @data.setter
    def data(self, arg1: typing.Any) -> None:
        ...
    @property
    def rows(self) -> int:
        ...
    @rows.setter
    def rows(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def type(self) -> int:
        ...
    @type.setter
    def type(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
def getLogger() -> Logger:
    ...
def log_debug(arg0: str) -> None:
    ...
def log_error(arg0: str) -> None:
    ...
def log_fatal(arg0: str) -> None:
    ...
def log_info(arg0: str) -> None:
    ...
def log_trace(arg0: str) -> None:
    ...
def log_warn(arg0: str) -> None:
    ...
DEBUG: LogLevelType  # value = <LogLevelType.DEBUG: 1>
ERR: LogLevelType  # value = <LogLevelType.ERR: 4>
FATAL: LogLevelType  # value = <LogLevelType.FATAL: 5>
INFO: LogLevelType  # value = <LogLevelType.INFO: 2>
TRACE: LogLevelType  # value = <LogLevelType.TRACE: 0>
WARN: LogLevelType  # value = <LogLevelType.WARN: 3>
