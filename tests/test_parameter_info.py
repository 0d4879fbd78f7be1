import math

import orvane_hal_py as hal
import pytest


def test_parameter_type_values_texts_and_strictness():
    assert {name: int(member) for name, member in hal.ToolParameterType.__members__.items()} == {
        "INT": 0,
        "FLOAT": 1,
        "BOOL": 2,
        "STRING": 3,
        "ENUM": 4,
    }
    assert hal.ToolParameterType.ENUM != 4
    assert not hasattr(hal, "ENUM")
    assert hash(hal.ToolParameterType.STRING) == 3
    texts = [
        hal.tool_parameter_type_to_string(t) for t in hal.ToolParameterType.__members__.values()
    ]
    assert texts == ["INT", "FLOAT", "BOOL", "STRING", "ENUM"]
    assert hal.tool_parameter_type_to_string(hal.ToolParameterType(9)) == "UNKNOWN"
    assert hal.tool_parameter_type_to_string.__doc__.endswith(
        "Convert the ToolParameterType to string.\n"
    )
    with pytest.raises(TypeError):
        hal.tool_parameter_type_to_string(4)


@pytest.mark.parametrize(
    ("record", "text"),
    [
        (hal.BasicParameterInfo(), "Name:  Description:  Type: INT"),
        (hal.IntParameterInfo(), "Min: 0 Max: 0 Default: 0 Unit: "),
        (hal.FloatParameterInfo(), "Min: 0.000000 Max: 0.000000 Default: 0.000000 Unit: "),
        (hal.BoolParameterInfo(), "Default: 0"),
        (hal.EnumParameterInfo(), "Options: 0 Default: "),
        (hal.StringParameterInfo(), "Default: "),
    ],
)
def test_default_records_print_their_empty_text(record, text):
    assert str(record) == text


def test_filled_records_print_their_fields():
    basic = hal.BasicParameterInfo()
    basic.name, basic.description, basic.type = "gain", "Gain", hal.ToolParameterType.ENUM
    assert str(basic) == "Name: gain Description: Gain Type: ENUM"
    integer = hal.IntParameterInfo()
    integer.min, integer.max, integer.default_value, integer.unit = -5, 100, 50, "us"
    assert str(integer) == "Min: -5 Max: 100 Default: 50 Unit: us"
    real = hal.FloatParameterInfo()
    real.min, real.max, real.default_value, real.unit = 0.5, 2, -1.25, "V"
    assert str(real) == "Min: 0.500000 Max: 2.000000 Default: -1.250000 Unit: V"
    flag = hal.BoolParameterInfo()
    flag.default_value = True
    assert str(flag) == "Default: 1"
    choice = hal.EnumParameterInfo()
    choice.options, choice.default_value = ["a", "b", "c"], "b"
    assert str(choice) == "Options: 3 Default: b"
    text = hal.StringParameterInfo()
    text.default_value = "50 Hz"
    assert str(text) == "Default: 50 Hz"


@pytest.mark.parametrize(
    ("low", "high", "cases"),
    [
        (10, 20, [(5, 10), (15, 15), (25, 20), (10, 10), (20, 20)]),
        (20, 10, [(5, 20), (15, 20), (20, 10), (25, 10)]),
    ],
)
def test_int_constraint_value_tests_lower_bound_first(low, high, cases):
    record = hal.IntParameterInfo()
    record.min, record.max = low, high
    assert [record.constraint_value(value) for value, _ in cases] == [r for _, r in cases]
    assert (record.min, record.max) == (low, high)


def test_float_constraint_value_works_in_32_bit():
    record = hal.FloatParameterInfo()
    record.min, record.max = -1.5, 1.5
    assert record.constraint_value(-2.0) == -1.5
    assert record.constraint_value(0.25) == 0.25
    assert record.constraint_value(0.1) == 0.10000000149011612
    assert math.isnan(record.constraint_value(math.nan))
    record.min = math.nan
    assert record.constraint_value(-7.0) == -7.0
    assert hal.FloatParameterInfo.constraint_value.__doc__.endswith("Constraint the value.\n")


def test_integer_fields_and_arguments_refuse_what_does_not_fit():
    record = hal.IntParameterInfo()
    record.default_value = 7
    for bad in (2**31, -(2**31) - 1, 1.0, "1"):
        with pytest.raises(TypeError):
            record.default_value = bad
        with pytest.raises(TypeError):
            record.constraint_value(bad)
    assert record.default_value == 7
    record.min = -(2**31)
    assert record.min == -(2**31)


def test_float_fields_store_nearest_32_bit_float():
    record = hal.FloatParameterInfo()
    record.min = 0.1
    assert record.min == 0.10000000149011612
    assert str(record).startswith("Min: 0.100000 ")
    record.max = 3
    assert record.max == 3.0
    with pytest.raises(TypeError):
        record.max = "3"


def test_bool_field_takes_truth_values_only():
    record = hal.BoolParameterInfo()
    stored = []
    for value in (5, 0, True, None):
        record.default_value = value
        stored.append(record.default_value)
    assert stored == [True, False, True, False]
    record.default_value = True
    with pytest.raises(TypeError):
        record.default_value = "yes"
    assert record.default_value is True


def test_list_fields_are_copied_in_and_out():
    record = hal.EnumParameterInfo()
    record.options = ("ROI", "RONI")
    options = record.options
    options.append("other")
    assert record.options == ["ROI", "RONI"]
    with pytest.raises(TypeError):
        record.options = [1, 2]
    assert record.options == ["ROI", "RONI"]
