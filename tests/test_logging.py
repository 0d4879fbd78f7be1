import re

import orvane_base_py as base
import pytest

Level = base.LogLevelType
LINE = re.compile(r"^.*\[(\w+)\] orvane_base_binding\.cpp:(\d+): (.*)$")


@pytest.fixture
def kit():
    """The module's logger at TRACE, put back at its former level afterwards."""
    kit = base.getLogger()
    former = kit.getLogLevel()
    kit.setLogLevel(Level.TRACE)
    yield kit
    kit.setLogLevel(former)


def logged(capfd):
    lines = capfd.readouterr().err.splitlines()
    return [LINE.match(line).groups() for line in lines]


def test_levels_are_a_strict_exported_enumeration():
    names = ["TRACE", "DEBUG", "INFO", "WARN", "ERR", "FATAL"]
    assert list(Level.__members__) == names
    for value, name in enumerate(names):
        member = getattr(Level, name)
        assert getattr(base, name) is member
        assert int(member) == value
        assert hash(member) == hash(value)
        assert member != value
    assert not hasattr(Level, "ERROR")
    assert not hasattr(base, "ERROR")


def test_logging_names_close_the_module():
    names = list(vars(base))
    at = names.index("DvsFileInfo")
    assert names[at + 1 :] == [
        "LogLevelType",
        *["TRACE", "DEBUG", "INFO", "WARN", "ERR", "FATAL"],
        "Logger",
        "getLogger",
        *["log_trace", "log_debug", "log_info", "log_warn", "log_error", "log_fatal"],
    ]


def test_get_logger_returns_the_one_logger(kit):
    other = base.getLogger()
    other.setLogLevel(Level.ERR)
    assert kit.getLogLevel() == Level.ERR
    del other
    assert base.getLogger().getLogLevel() == Level.ERR
    with pytest.raises(TypeError, match=r"^orvane_base_py\.Logger: No constructor defined!$"):
        base.Logger()


@pytest.mark.parametrize(
    ("log", "level", "line"),
    [
        (lambda kit, text: kit.log(Level.WARN, text), "WARN", 151),
        (lambda kit, text: kit.log(Level.TRACE, text), "TRACE", 151),
        (lambda kit, text: kit.trace(text), "TRACE", 154),
        (lambda kit, text: kit.debug(text), "DEBUG", 157),
        (lambda kit, text: kit.info(text), "INFO", 160),
        (lambda kit, text: kit.warn(text), "WARN", 163),
        (lambda kit, text: kit.error(text), "ERR", 166),
        (lambda kit, text: kit.fatal(text), "FATAL", 169),
        (lambda _, text: base.log_trace(text), "TRACE", 177),
        (lambda _, text: base.log_debug(text), "DEBUG", 180),
        (lambda _, text: base.log_info(text), "INFO", 183),
        (lambda _, text: base.log_warn(text), "WARN", 186),
        (lambda _, text: base.log_error(text), "ERR", 189),
        (lambda _, text: base.log_fatal(text), "FATAL", 192),
    ],
)
def test_each_entry_logs_its_level_and_line(kit, capfd, log, level, line):
    log(kit, "hello")
    assert logged(capfd) == [(level, str(line), "hello")]


def test_messages_below_the_level_are_dropped(kit, capfd):
    kit.setLogLevel(Level.WARN)
    base.log_info("dropped")
    kit.debug("dropped")
    kit.log(Level.INFO, "dropped")
    base.log_warn("kept")
    kit.log(Level.ERR, "kept")
    base.log_fatal("kept")
    assert [level for level, _, _ in logged(capfd)] == ["WARN", "ERR", "FATAL"]


@pytest.mark.parametrize(
    ("message", "printed"),
    [
        ("100%", "100%"),
        ("%s %d %n %%", "%s %d %n %%"),
        ("before\x00after", "before"),
        ("é ünïcode", "é ünïcode"),
        (b"raw bytes", "raw bytes"),
        (bytearray(b"array"), "array"),
        ("", ""),
    ],
)
def test_message_is_printed_verbatim(kit, capfd, message, printed):
    base.log_info(message)
    kit.error(message)
    assert logged(capfd) == [("INFO", "183", printed), ("ERR", "166", printed)]


@pytest.mark.parametrize(
    "call",
    [
        lambda kit: base.log_warn(message="text"),
        lambda kit: kit.info(message="text"),
        lambda kit: kit.setLogLevel(level=Level.INFO),
        lambda kit: kit.log(2, "text"),
        lambda kit: kit.setLogLevel(2),
        lambda kit: base.log_info(42),
        lambda kit: base.log_info(None),
        lambda kit: base.log_info("\ud800"),
        lambda kit: kit.warn(),
    ],
)
def test_bad_arguments_raise_type_error_and_log_nothing(kit, capfd, call):
    with pytest.raises(TypeError, match="incompatible function arguments"):
        call(kit)
    assert capfd.readouterr().err == ""
    assert kit.getLogLevel() == Level.TRACE
