"""The binding's calls against the emulated cameras: listing, lifecycle, parameters, pictures,
errors, callbacks."""

import ctypes
import logging
import os
import re
import struct
import threading
import time

import pytest

import dravix
from dravix import _library, parameters

from conftest import EMULATED_CAMERAS, wait_until

HEADER = os.path.join(os.path.dirname(__file__), "..", "..", "include", "dravix", "dravix.h")
C_TYPES = {
    "int32_t": ctypes.c_int32, "uint32_t": ctypes.c_uint32, "int16_t": ctypes.c_int16,
    "uint16_t": ctypes.c_uint16, "uint8_t": ctypes.c_uint8, "int64_t": ctypes.c_int64,
    "float": ctypes.c_float, "void": None,
}


def split_arguments(text):
    return [a.strip() for a in text.split(",") if a.strip() != "void"]


def header_prototypes():
    text = open(HEADER).read()
    functions = re.findall(r"DRAVIX_API (\w+) (ZEL_CAM_\w+)\(([^)]*)\);", text)
    callbacks = re.findall(r"typedef (\w+) \(\*(\w+Callback)\)\(([^)]*)\);", text)
    return {name: (result, split_arguments(arguments))
            for result, name, arguments in functions + callbacks}


def c_argument_matches(declaration, ctype):
    text = declaration.replace("const ", "")
    pointer = "*" in text
    base = text.split("*")[0].split()[0]
    if base == "char":
        return ctype in (ctypes.c_char_p, ctypes.POINTER(ctypes.c_char))
    if base == "void":
        return ctype is ctypes.c_void_p
    target = getattr(_library, base, None) or C_TYPES[base]  # records and callbacks by name
    return ctype == (ctypes.POINTER(target) if pointer else target)


def test_every_declared_function_and_callback_matches_the_header():
    header = header_prototypes()
    declared = dict(_library.PROTOTYPES)
    declared.update(parameters.prototypes())
    for name in ("FrameCallback", "StatusCallback", "LogCallback"):
        callback = getattr(_library, name)
        declared[name] = (callback._restype_, list(callback._argtypes_))
    # The frame arrives as an address (c_void_p) on purpose: the same pointer, without a ctypes
    # pointer object per frame.
    header["FrameCallback"][1][0] = "void* frame"
    for name, (restype, argtypes) in declared.items():
        result, arguments = header[name]
        expected_result = ctypes.c_int if result == "int" else C_TYPES[result]
        assert restype == expected_result, name
        assert len(argtypes) == len(arguments), name
        for declaration, ctype in zip(arguments, argtypes):
            assert c_argument_matches(declaration, ctype), (name, declaration, ctype)


def test_status_record_layout():
    assert ctypes.sizeof(_library.DeviceStatus) == 148
    assert ctypes.sizeof(_library.DpcEntry) == 4
    for field, offset in [("versionFx3", 12), ("buildElc", 46), ("headInfo", 105),
                          ("hardwareRevFx3", 124), ("cameraCount", 136), ("serialDisposable", 142)]:
        assert getattr(_library.DeviceStatus, field).offset == offset, field


def test_listing_names_every_emulated_camera():
    found = dravix.cameras()
    assert [c.index for c in found] == list(range(EMULATED_CAMERAS))
    for info in found:
        assert re.fullmatch(r"\d+\.\d\d\.\d+", info.serial)
    assert dravix.api_version().count(".") == 2


def test_an_open_camera_is_listed_as_it_is_and_not_opened_twice(camera):
    camera.start()
    assert [c.index for c in dravix.cameras()] == list(range(EMULATED_CAMERAS))
    assert camera.is_open and camera.is_streaming
    with pytest.raises(dravix.DravixError, match="open already"):
        dravix.Camera(0)
    assert next(camera.frames(count=1)).shape == (1080, 1920, 2)


def test_context_manager_closes_also_when_the_body_raises():
    with pytest.raises(RuntimeError, match="body"):
        with dravix.Camera(1) as cam:
            cam.start()
            raise RuntimeError("body")
    assert not cam.is_open and not cam.is_streaming
    with dravix.Camera(1) as again:
        assert again.is_open and next(again.frames(count=1)).shape == (1080, 1920, 2)
        assert again.status(timeout=5).cameraCount == EMULATED_CAMERAS
    with pytest.raises(dravix.DravixError, match="closed"):
        again.get("hue")


PARAMETER_CASES = [
    ("hue", 300, None),
    ("saturation", 1200, None),
    ("offset", -12, None),
    ("gain", (100, 200, 300, 400), None),
    ("cr_cb_gain", (1, 2, 3, 4, 5), None),
    ("color_matrix", tuple(range(10, 19)), None),
    ("wb_window", (10, 20, 300, 400, 1), None),
    ("target", 512, None),
    ("ov_exp", (1, 1000, 2), None),
    ("ov_exp_target", (1, 2, 3, 4), None),
    ("hv_flip", (1, 0), None),
    ("binning", (1, 1), None),
    ("mask_enable", (1, 0, 1), None),
    ("mask_params", (5, 6, 7, 8, 9), None),
    ("window_position", (1, 2, 3), None),
    ("edge_enhancement", (1, 2, 3, 400, 500), 1),
    ("sobel", (1, 2, 3, 4), 0),
    ("gamma", (1, tuple(range(0, 252, 7))), 1),
    ("ae_values", tuple(range(1, 16)), None),
    ("key_setting", tuple(range(50)), None),
    ("edge_mode", 3, None),
    ("cam_type", 2, None),
    ("uc_config", (1, 2, 3, 4), None),
    ("scale", (1, 100, 200, 300, 400), None),
    ("scale_z", (1, 100, 200, 300, 400, 2), None),
    ("bayer_mode", 1, None),
    ("ov_exp_weight", (1, 2, 3, 4, tuple(range(16))), None),
    ("ov_exp_target_steps", (1, (2, 3, 4), (5, 6, 7), (8, 9, 10), 11), None),
    ("window_sizes", tuple(range(100, 132)), None),
]
# Parameters with one half only: (name, value set before, value read or None to set it).
ONE_WAY_CASES = [
    ("window_ae_mode", None, (1, 2)),
    ("raw_mode", None, 1),
    ("toggle_state", None, (0, 0)),
    ("hv_flip_static", ("hv_flip", (1, 1)), (1, 1, 0, 0)),
]


def test_the_round_trips_cover_every_parameter():
    names = {case[0] for case in PARAMETER_CASES + ONE_WAY_CASES}
    assert names == set(dravix.PARAMETERS)


@pytest.mark.parametrize("name, value, bank", PARAMETER_CASES)
def test_parameter_round_trip(camera, name, value, bank):
    camera.set(name, value, bank=bank)
    assert camera.get(name, bank=bank) == value


@pytest.mark.parametrize("name, before, value", ONE_WAY_CASES)
def test_one_way_parameters_refuse_the_missing_half(camera, name, before, value):
    if before is not None:
        camera.set(*before)
    readable = parameters.parameter(name).getter is not None
    if readable:
        assert camera.get(name) == value
    else:
        camera.set(name, value)
    with pytest.raises(TypeError, match="read-only" if readable else "write-only"):
        camera.set(name, value) if readable else camera.get(name)


def test_window_sizes_read_modify_write(camera):
    camera.set("window_sizes", tuple(range(1, 34)))  # 33 values choose the last byte too
    sizes = list(camera.get("window_sizes"))
    sizes[5] = 200
    camera.dsp.window_sizes = sizes
    assert camera.dsp.window_sizes == tuple(range(1, 6)) + (200,) + tuple(range(7, 33))
    # Both C functions get 33 bytes: the getter cannot overrun, the setter's last byte is 0.
    buffers = []
    window_sizes = parameters.parameter("window_sizes")
    window_sizes.get(lambda *call: buffers.append(bytes(call[2])), 0, None)
    window_sizes.set(lambda *call: buffers.append(bytes(call[2])), 0, sizes, None)
    assert [len(b) for b in buffers] == [33, 33] and buffers[1][32] == 0
    with pytest.raises(ValueError, match="32 or 33"):
        camera.set("window_sizes", sizes[:31])


def test_dpc_config_and_table_round_trips(camera):
    for enable, value in [(True, 4095), (0, 17)]:
        camera.set_dpc_config(enable, value)
        assert camera.dpc_config() == dravix.DpcConfig(enable, value)
    table = [(4095 - i, 16 * i) for i in range(16)]
    camera.set_dpc_table(table)
    assert camera.dpc_table() == table and camera.dpc_table()[3].y == 48
    camera.detect_defect_pixels()  # the emulator reports its fixed set of defects at once
    assert camera.dpc_table() == [(16 * i + 1, 8 * i + 2) for i in range(16)]


def test_dpc_values_are_checked_before_the_library_is_called(camera, monkeypatch):
    called = []
    monkeypatch.setattr(dravix.camera._session, "call", lambda name, *a: called.append(name))
    good = [(1, 2)] * 15
    for arguments, error in [((2, 0), ValueError), ((1, 4096), ValueError),
                             ((1, -1), ValueError), ((1, 1.5), TypeError)]:
        with pytest.raises(error):
            camera.set_dpc_config(*arguments)
    for table in [good, good + [(1, 2)] * 2, good + [(4096, 0)], good + [(0, -1)],
                  good + [(1, 2, 3)]]:
        with pytest.raises(ValueError):
            camera.set_dpc_table(table)
    camera.set_dpc_config(1, 5)  # the stand-in does see a call that passes the checks
    assert called == ["ZEL_CAM_setDpcConfig"]


def test_parameters_as_attributes_and_checked_values(camera):
    camera.dsp.hue = 77
    assert camera.dsp.hue == 77
    for name, value, error in [
        ("hue", 70000, ValueError),
        ("offset", 40000, ValueError),
        ("gain", (1, 2, 3), ValueError),
        ("hv_flip", (1, "x"), TypeError),
        ("sobel", (1, 2, 3, 4, 5), ValueError),
    ]:
        with pytest.raises(error):
            camera.set(name, value)
    with pytest.raises(KeyError, match="no DSP parameter"):
        camera.get("exposure_time")
    with pytest.raises(ValueError, match="no banks"):
        camera.get("hue", bank=1)
    assert camera.dsp.hue == 77


def bmp_header(data):
    magic, size = struct.unpack_from("<2sI", data, 0)
    width, height, planes, bits = struct.unpack_from("<iiHH", data, 18)
    return magic, size, width, abs(height), planes, bits


@pytest.mark.parametrize("name", ["still.jpg", "still.bmp", "still.raw"])
def test_snapshot_files_are_complete(camera, tmp_path, name):
    camera.start()
    written = camera.snapshot(tmp_path / name, quality=90)
    camera.stop()
    data = open(written, "rb").read()
    assert os.path.dirname(written) == str(tmp_path)
    if name.endswith(".jpg"):
        assert data[:2] == b"\xff\xd8" and data[-2:] == b"\xff\xd9"
    elif name.endswith(".bmp"):
        assert bmp_header(data) == (b"BM", len(data), 1920, 1080, 1, 24)
    else:
        assert written.endswith(".ycrcb") and len(data) == 1920 * 1080 * 2


def test_snapshot_starts_the_stream_when_needed(camera, tmp_path):
    first = camera.snapshot(tmp_path / "a.jpg")
    second = camera.snapshot(tmp_path / "a.jpg")
    assert first != second and os.path.getsize(second) > 0 and not camera.is_streaming
    with pytest.raises(ValueError, match="picture type"):
        camera.snapshot(tmp_path / "a.png")


def test_errors_carry_function_code_and_the_library_message(caplog):
    with caplog.at_level(logging.ERROR, logger="dravix"):
        with pytest.raises(dravix.DravixError) as raised:
            dravix.Camera(7)
    error = raised.value
    assert (error.function, error.code) == ("ZEL_CAM_Open", 1)
    assert "CAMERA NOT INITIALIZED" in error.message
    assert any("CAMERA NOT INITIALIZED" in r.getMessage() for r in caplog.records)


def test_each_failure_carries_its_own_message(camera, tmp_path):
    for _ in range(3):
        with pytest.raises(dravix.DravixError) as opened:
            dravix.Camera(7)
        assert "CAMERA NOT INITIALIZED" in opened.value.message
        with pytest.raises(dravix.DravixError) as loaded:
            camera.load_settings(tmp_path / "missing.qpr", 1)
        assert loaded.value.function == "ZEL_CAM_readQprFile"
        assert "QPR-File" in loaded.value.message


def test_a_raising_frame_callback_is_reported_by_the_next_call(camera):
    calls = []

    def broken(frame):
        calls.append(frame.shape)
        raise ZeroDivisionError("in the callback")

    camera.start(broken)
    assert wait_until(lambda: calls)
    with pytest.raises(ZeroDivisionError, match="in the callback"):
        camera.stop()
    assert len(calls) == 1
    assert next(camera.frames(count=1)).shape == (1080, 1920, 2)


@pytest.mark.parametrize("ending", ["stop", "close"])
def test_ending_the_stream_while_frames_arrive(ending):
    for _ in range(5):
        arrived = threading.Event()
        inside = []

        def slow(frame, arrived=arrived, inside=inside):
            inside.append(1)
            arrived.set()
            total = int(frame[::64, ::64, 0].sum())  # reads the buffer while the end proceeds
            time.sleep(0.005)
            inside.append(total)

        cam = dravix.Camera(0)
        cam.start(slow)
        assert arrived.wait(5)
        getattr(cam, ending)()
        assert len(inside) % 2 == 0  # the end returned with no callback inside
        assert not cam.is_streaming
        cam.close()


def test_shutdown_ends_open_cameras_and_the_binding_starts_again():
    cam = dravix.Camera(0)
    cam.start()
    dravix.shutdown()
    assert not cam.is_open and not cam.is_streaming
    cam.close()  # nothing left to close
    with dravix.Camera(0) as again:
        assert next(again.frames(count=1)).shape == (1080, 1920, 2)
