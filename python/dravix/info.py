"""The library's version and the list of cameras."""

import ctypes
from typing import NamedTuple, Optional

from . import _session
from .camera import Camera

_STATUS_WAIT_SECONDS = 0.2
_USB_SPEEDS = {0: "unknown", 1: "full", 2: "high", 3: "super"}


class CameraInfo(NamedTuple):
    index: int
    serial: str
    # Component name -> "major.minor.patch", from the camera's status record; empty while the
    # camera has not reported its identity.
    versions: dict
    usb_speed: Optional[str]


def api_version():
    return _text("ZEL_CAM_GetApiVersion")


def api_build():
    return _text("ZEL_CAM_GetApiBuild")


def _text(function):
    # These two return the text's length, not 0.
    buffer = ctypes.create_string_buffer(64)
    length = getattr(_session.library(), function)(buffer)
    return buffer.raw[: max(0, min(length, len(buffer)))].split(b"\0")[0].decode("ascii", "replace")


def cameras():
    """A CameraInfo for every camera found. Cameras this process has not open are opened for
    the query and closed again; don't call it while another thread opens one of them."""
    return [_describe(index) for index in range(_session.camera_count())]


def _describe(index):
    camera = _session.owner(index)
    if camera is not None:
        return _info(camera)
    with Camera(index) as camera:
        return _info(camera)


def _info(camera):
    status = camera.status(_STATUS_WAIT_SECONDS)
    return CameraInfo(camera.index, camera.serial_number(), _versions(status), _speed(status))


def _versions(status):
    if status is None:
        return {}
    fields = {
        "controller": status.versionFx3,
        "ccu_fpga": status.versionCcuFpga,
        "elc": status.versionElc,
        "head_fpga": status.versionFpgaHead,
        "recorder_fpga": status.versionRecFpga,
        "recorder_service": status.versionRecService,
    }
    return {
        name: f"{v.major}.{v.minor}.{v.patch}"
        for name, v in fields.items()
        if (v.major, v.minor, v.patch) != (0, 0, 0)
    }


def _speed(status):
    return None if status is None else _USB_SPEEDS.get(status.usbSpeed, str(status.usbSpeed))
