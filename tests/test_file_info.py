import numpy as np
import orvane_base_py as base
import orvane_sim_py as sim
import pytest

DvsFileInfo = base.DvsFileInfo
U64_MAX = 2**64 - 1


def test_fresh_record():
    info = DvsFileInfo()
    assert repr(info) == "DvsFileInfo(start_timestamp=0, serial_number='')"
    assert str(info) == repr(info)
    assert (info.end_timestamp, info.aps_start_timestamp, info.max_events) == (0, 0, 0)
    assert (info.dvs_width, info.dvs_height, info.serial_number) == (0, 0, "")


def test_text_form_shows_start_and_serial_only():
    info = DvsFileInfo()
    info.start_timestamp = U64_MAX
    info.serial_number = "SN'1"
    expected = "DvsFileInfo(start_timestamp=18446744073709551615, serial_number='SN'1')"
    assert repr(info) == expected
    info.end_timestamp = 5
    info.aps_start_timestamp = 6
    info.max_events = 7
    info.dvs_width = 8
    assert repr(info) == expected


@pytest.mark.parametrize(
    ("member", "largest"),
    [
        ("start_timestamp", U64_MAX),
        ("end_timestamp", U64_MAX),
        ("aps_start_timestamp", U64_MAX),
        ("max_events", U64_MAX),
        ("dvs_width", 65535),
        ("dvs_height", 65535),
    ],
)
def test_numeric_members_take_their_range_only(member, largest):
    info = DvsFileInfo()
    setattr(info, member, largest)
    for bad in (largest + 1, -1, 1.0, "1"):
        with pytest.raises(TypeError, match="incompatible function arguments"):
            setattr(info, member, bad)
    assert getattr(info, member) == largest


def test_serial_number_text():
    info = DvsFileInfo()
    info.serial_number = b"AB"
    assert info.serial_number == "AB"
    info.serial_number = bytearray("é".encode())
    assert info.serial_number == "é"
    with pytest.raises(TypeError, match="incompatible function arguments"):
        info.serial_number = 12
    assert info.serial_number == "é"
    info.serial_number = b"\xff"
    with pytest.raises(UnicodeDecodeError):
        _ = info.serial_number
    with pytest.raises(UnicodeDecodeError):
        repr(info)


def test_simulated_camera_file_info_covers_everything_handed_out():
    camera = sim.Camera(serial="REC-1", width=64, height=48)
    info = camera.file_info()
    assert repr(info) == "DvsFileInfo(start_timestamp=0, serial_number='REC-1')"
    assert (info.end_timestamp, info.max_events, info.aps_start_timestamp) == (0, 0, 0)
    read = camera.read(2_000)[0]
    streamed = [events for events, _ in camera.stream(300, 900)]
    camera.frame()
    pattern = camera.events(5)
    camera.triggers(3), camera.read(0), camera.frame()
    stamps = np.concatenate([read, *streamed, pattern])["timestamp"]
    assert len(read) > 0
    assert stamps.max() > pattern["timestamp"].max()
    info = camera.file_info()
    assert (info.start_timestamp, info.end_timestamp) == (stamps.min(), stamps.max() + 1)
    assert (info.max_events, info.aps_start_timestamp) == (len(stamps), 2_900)
    assert (info.dvs_width, info.dvs_height) == (64, 48)
