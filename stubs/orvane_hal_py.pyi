from __future__ import annotations
import collections.abc
import typing
__all__: list[str] = ['ANTI_FLICKER', 'APS_CTRL', 'BIAS', 'BasicParameterInfo', 'BoolParameterInfo', 'CAMERA_TYPE', 'CameraDescription', 'CameraTool', 'CameraToolBasePrivate', 'EVENT_RATE_CONTROL', 'EVENT_TRAIL_FILTER', 'EnumParameterInfo', 'FloatParameterInfo', 'INTERFACE_TYPE', 'Imx636AntiFlicker', 'Imx636Biases', 'Imx636EventRateControl', 'Imx636EventTrailFilter', 'Imx636ROI', 'Imx636TriggerIn', 'IntParameterInfo', 'ROI', 'RawEventStreamEncodingType', 'RawEventStreamFormat', 'StringParameterInfo', 'TRIGGER_IN', 'ToolInfo', 'ToolParameterType', 'ToolType', 'tool_parameter_type_to_string']
class BasicParameterInfo:
    description: str
    name: str
    type: ToolParameterType
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self) -> None:
        ...
    def __str__(self) -> str:
        ...
class BoolParameterInfo:
    default_value: bool
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self) -> None:
        ...
    def __str__(self) -> str:
        ...
class CAMERA_TYPE:
    Glimra: typing.ClassVar[CAMERA_TYPE]  # value = <CAMERA_TYPE.Glimra: 2>
    Pairline: typing.ClassVar[CAMERA_TYPE]  # value = <CAMERA_TYPE.Pairline: 3>
    Sorel: typing.ClassVar[CAMERA_TYPE]  # value = <CAMERA_TYPE.Sorel: 4>
    TARN: typing.ClassVar[CAMERA_TYPE]  # value = <CAMERA_TYPE.TARN: 0>
    __members__: typing.ClassVar[dict[str, CAMERA_TYPE]]  # value = {'TARN': <CAMERA_TYPE.TARN: 0>, 'Glimra': <CAMERA_TYPE.Glimra: 2>, 'Pairline': <CAMERA_TYPE.Pairline: 3>, 'Sorel': <CAMERA_TYPE.Sorel: 4>}
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    @typing.overload
    def __eq__(self, other: CAMERA_TYPE) -> bool:
        ...
    @typing.overload
    def __eq__(self, other: typing.SupportsInt | typing.SupportsIndex) -> bool:
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
    def __ne__(self, other: CAMERA_TYPE) -> bool:
        ...
    @typing.overload
    def __ne__(self, other: typing.SupportsInt | typing.SupportsIndex) -> bool:
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
class CameraDescription:
    interfaceType: INTERFACE_TYPE
    manufacturer: str
    product: str
    serial: str
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def pid(self) -> int:
        ...
    @pid.setter
    def pid(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def vid(self) -> int:
        ...
    @vid.setter
    def vid(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
class CameraTool:
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self, arg0: str) -> None:
        ...
    def getAllParamInfo(self) -> dict[str, BasicParameterInfo]:
        """
        Defined by a Python tool: the information of each of its parameters, by name.
        """
    def getParamInfo(self, name: str, info: typing.Any) -> bool:
        """
        Defined by a Python tool: fills `info`, the parameter information record of the kind
        of `name`, and says whether the tool has that parameter.
        """
    def getToolInfo(self) -> ToolInfo:
        """
        Defined by a Python tool: its information.
        """
    def get_all_param_info(self) -> dict[str, BasicParameterInfo]:
        ...
    def get_param(self, arg0: str) -> tuple[bool, int | float | bool | str | None]:
        ...
    def get_param_info(self, arg0: str) -> tuple[bool, orvane_hal_py.IntParameterInfo | orvane_hal_py.FloatParameterInfo | orvane_hal_py.BoolParameterInfo | orvane_hal_py.EnumParameterInfo | orvane_hal_py.StringParameterInfo | None]:
        ...
    def get_tool_info(self) -> ToolInfo:
        ...
    def set_param(self, name: str, value: typing.Any) -> bool:
        """
        Set the value of a parameter.
        """
class CameraToolBasePrivate:
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def get_all_param_info(self) -> dict[str, BasicParameterInfo]:
        """
        Get all the parameter information.
        """
    def get_param(self, name: str) -> tuple[bool, int | float | bool | str | None]:
        """
        Get the value of a parameter.
        """
    def get_param_info(self, name: str) -> tuple[bool, orvane_hal_py.IntParameterInfo | orvane_hal_py.FloatParameterInfo | orvane_hal_py.BoolParameterInfo | orvane_hal_py.EnumParameterInfo | orvane_hal_py.StringParameterInfo | None]:
        """
        Get the detailed information of a parameter.
        """
    def get_tool_info(self) -> ToolInfo:
        """
        Get the information of the tool.
        """
    def set_param(self, name: str, value: typing.Any) -> bool:
        """
        Set the value of a parameter.
        """
class EnumParameterInfo:
    default_value: str
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def options(self) -> list[str]:
        ...
    @options.setter
    def options(self, arg0: collections.abc.Sequence[str]) -> None:
        ...
class FloatParameterInfo:
    unit: str
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self) -> None:
        ...
    def __str__(self) -> str:
        ...
    def constraint_value(self, value: typing.SupportsFloat | typing.SupportsIndex) -> float:
        """
        Constraint the value.
        """
    @property
    def default_value(self) -> float:
        ...
    @default_value.setter
    def default_value(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
    @property
    def max(self) -> float:
        ...
    @max.setter
    def max(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
    @property
    def min(self) -> float:
        ...
    @min.setter
    def min(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
class INTERFACE_TYPE:
    USB: typing.ClassVar[INTERFACE_TYPE]  # value = <INTERFACE_TYPE.USB: 0>
    __members__: typing.ClassVar[dict[str, INTERFACE_TYPE]]  # value = {'USB': <INTERFACE_TYPE.USB: 0>}
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    @typing.overload
    def __eq__(self, other: INTERFACE_TYPE) -> bool:
        ...
    @typing.overload
    def __eq__(self, other: typing.SupportsInt | typing.SupportsIndex) -> bool:
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
    def __ne__(self, other: INTERFACE_TYPE) -> bool:
        ...
    @typing.overload
    def __ne__(self, other: typing.SupportsInt | typing.SupportsIndex) -> bool:
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
class Imx636AntiFlicker(CameraTool):
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
class Imx636Biases(CameraTool):
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
class Imx636EventRateControl(CameraTool):
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
class Imx636EventTrailFilter(CameraTool):
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
class Imx636ROI(CameraTool):
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
class Imx636TriggerIn(CameraTool):
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
class IntParameterInfo:
    unit: str
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self) -> None:
        ...
    def __str__(self) -> str:
        ...
    def constraint_value(self, value: typing.SupportsInt | typing.SupportsIndex) -> int:
        """
        Constraint the value.
        """
    @property
    def default_value(self) -> int:
        ...
    @default_value.setter
    def default_value(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def max(self) -> int:
        ...
    @max.setter
    def max(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def min(self) -> int:
        ...
    @min.setter
    def min(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
class RawEventStreamEncodingType:
    EVT3: typing.ClassVar[RawEventStreamEncodingType]  # value = <RawEventStreamEncodingType.EVT3: 0>
    UNKNOWN: typing.ClassVar[RawEventStreamEncodingType]  # value = <RawEventStreamEncodingType.UNKNOWN: -1>
    __members__: typing.ClassVar[dict[str, RawEventStreamEncodingType]]  # value = {'EVT3': <RawEventStreamEncodingType.EVT3: 0>, 'UNKNOWN': <RawEventStreamEncodingType.UNKNOWN: -1>}
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    @typing.overload
    def __eq__(self, other: RawEventStreamEncodingType) -> bool:
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
    def __ne__(self, other: RawEventStreamEncodingType) -> bool:
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
class RawEventStreamFormat:
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __getitem__(self, name: str) -> str:
        """
        Get the value of the option by name
        """
    def __init__(self, arg0: str) -> None:
        ...
    def contains(self, name: str) -> bool:
        """
        Check if the format contains a specific option
        """
    def get_encoding_type(self) -> RawEventStreamEncodingType:
        ...
    def get_encoding_type_str(self) -> str:
        ...
class StringParameterInfo:
    default_value: str
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self) -> None:
        ...
    def __str__(self) -> str:
        ...
class ToolInfo:
    description: str
    tool_type: ToolType
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    def __init__(self) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def parameter_names(self) -> list[str]:
        ...
    @parameter_names.setter
    def parameter_names(self, arg0: collections.abc.Sequence[str]) -> None:
        ...
class ToolParameterType:
    BOOL: typing.ClassVar[ToolParameterType]  # value = <ToolParameterType.BOOL: 2>
    ENUM: typing.ClassVar[ToolParameterType]  # value = <ToolParameterType.ENUM: 4>
    FLOAT: typing.ClassVar[ToolParameterType]  # value = <ToolParameterType.FLOAT: 1>
    INT: typing.ClassVar[ToolParameterType]  # value = <ToolParameterType.INT: 0>
    STRING: typing.ClassVar[ToolParameterType]  # value = <ToolParameterType.STRING: 3>
    __members__: typing.ClassVar[dict[str, ToolParameterType]]  # value = {'INT': <ToolParameterType.INT: 0>, 'FLOAT': <ToolParameterType.FLOAT: 1>, 'BOOL': <ToolParameterType.BOOL: 2>, 'STRING': <ToolParameterType.STRING: 3>, 'ENUM': <ToolParameterType.ENUM: 4>}
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    @typing.overload
    def __eq__(self, other: ToolParameterType) -> bool:
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
    def __ne__(self, other: ToolParameterType) -> bool:
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
class ToolType:
    ANTI_FLICKER: typing.ClassVar[ToolType]  # value = <ToolType.ANTI_FLICKER: 3>
    APS_CTRL: typing.ClassVar[ToolType]  # value = <ToolType.APS_CTRL: 7>
    BIAS: typing.ClassVar[ToolType]  # value = <ToolType.BIAS: 0>
    EVENT_RATE_CONTROL: typing.ClassVar[ToolType]  # value = <ToolType.EVENT_RATE_CONTROL: 5>
    EVENT_TRAIL_FILTER: typing.ClassVar[ToolType]  # value = <ToolType.EVENT_TRAIL_FILTER: 4>
    ROI: typing.ClassVar[ToolType]  # value = <ToolType.ROI: 6>
    TRIGGER_IN: typing.ClassVar[ToolType]  # value = <ToolType.TRIGGER_IN: 1>
    __members__: typing.ClassVar[dict[str, ToolType]]  # value = {'BIAS': <ToolType.BIAS: 0>, 'TRIGGER_IN': <ToolType.TRIGGER_IN: 1>, 'ANTI_FLICKER': <ToolType.ANTI_FLICKER: 3>, 'EVENT_TRAIL_FILTER': <ToolType.EVENT_TRAIL_FILTER: 4>, 'EVENT_RATE_CONTROL': <ToolType.EVENT_RATE_CONTROL: 5>, 'ROI': <ToolType.ROI: 6>, 'APS_CTRL': <ToolType.APS_CTRL: 7>}
    @staticmethod
    def __new__(type, *args, **kwargs):
        """
        Create and return a new object.  See help(type) for accurate signature.
        """
    @typing.overload
    def __eq__(self, other: ToolType) -> bool:
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
    def __ne__(self, other: ToolType) -> bool:
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
def tool_parameter_type_to_string(type: ToolParameterType) -> str:
    """
    Convert the ToolParameterType to string.
    """
ANTI_FLICKER: ToolType  # value = <ToolType.ANTI_FLICKER: 3>
APS_CTRL: ToolType  # value = <ToolType.APS_CTRL: 7>
BIAS: ToolType  # value = <ToolType.BIAS: 0>
EVENT_RATE_CONTROL: ToolType  # value = <ToolType.EVENT_RATE_CONTROL: 5>
EVENT_TRAIL_FILTER: ToolType  # value = <ToolType.EVENT_TRAIL_FILTER: 4>
ROI: ToolType  # value = <ToolType.ROI: 6>
TRIGGER_IN: ToolType  # value = <ToolType.TRIGGER_IN: 1>
