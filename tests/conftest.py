import orvane_hal_py as hal
import pytest


def int_record(low=0, high=100, default=0, unit=""):
    record = hal.IntParameterInfo()
    record.min, record.max, record.default_value, record.unit = low, high, default, unit
    return record


def basic(name, kind):
    info = hal.BasicParameterInfo()
    info.name, info.type = name, kind
    return info


@pytest.fixture
def stderr_lines(capfd):
    """Reads what was written to the process's stderr since the last read, as lines."""
    capfd.readouterr()

    def read():
        return capfd.readouterr().err.splitlines()

    return read
