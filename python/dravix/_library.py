"""Loading libdravix.so.2 and the C declarations the binding calls it through.

Every function the binding uses is declared here with the argument and result types of
include/dravix/dravix.h, so that ctypes converts each value to the exact width and signedness
the library expects.
"""

import ctypes
import os
import threading
from ctypes import (
    CFUNCTYPE,
    POINTER,
    Structure,
    c_char,
    c_char_p,
    c_int,
    c_int32,
    c_int64,
    c_uint8,
    c_uint16,
    c_uint32,
    c_void_p,
)

LIBRARY_ENVIRONMENT = "DRAVIX_LIBRARY"
LIBRARY_NAME = "libdravix.so.2"


class VersionInfo(Structure):
    _fields_ = [("major", c_uint8), ("minor", c_uint8), ("patch", c_uint16)]


class BuildInfo(Structure):
    _fields_ = [("part", c_uint8 * 3), ("pad", c_uint8), ("number", c_uint16)]


class SerialInfo(Structure):
    _fields_ = [("part", c_uint8 * 2), ("number", c_uint16)]


class DeviceStatus(Structure):
    """The camera's 148-byte status record, field for field."""

    _fields_ = [
        ("reserved0", c_uint8 * 4),
        ("serialFx3", SerialInfo),
        ("serialElc", SerialInfo),
        ("versionFx3", VersionInfo),
        ("versionCcuFpga", VersionInfo),
        ("versionElc", VersionInfo),
        ("versionFpgaHead", VersionInfo),
        ("buildFx3", BuildInfo),
        ("buildCcuFpga", BuildInfo),
        ("reserved40", c_uint8 * 6),
        ("buildElc", BuildInfo),
        ("buildFpgaHead", BuildInfo),
        ("buildDisposable", BuildInfo),
        ("reserved64", c_uint8 * 12),
        ("buildRecFpga", BuildInfo),
        ("buildRecService", BuildInfo),
        ("buildRecLinux", BuildInfo),
        ("versionRecFpga", VersionInfo),
        ("versionRecService", VersionInfo),
        ("reserved102", c_uint8 * 3),
        ("headInfo", c_uint8 * 18),
        ("eepromSaved", c_uint8),
        ("hardwareRevFx3", c_uint32),
        ("hardwareRevElc", c_uint32),
        ("usbSpeed", c_uint32),
        ("cameraCount", c_uint32),
        ("headKeys", c_uint8 * 2),
        ("serialDisposable", SerialInfo),
        ("reserved146", c_uint8 * 2),
    ]


class DpcEntry(Structure):
    """One defect pixel of the camera's correction table: 12-bit coordinates."""

    _fields_ = [("x", c_uint16), ("y", c_uint16)]


# The frame pointer is declared as an address (c_void_p, the same in the calling convention as
# uint8_t*): the binding wraps it in a NumPy view itself, without a ctypes pointer object per frame.
FrameCallback = CFUNCTYPE(c_int, c_void_p, c_int32, c_void_p)
StatusCallback = CFUNCTYPE(c_int, POINTER(DeviceStatus), c_void_p)
LogCallback = CFUNCTYPE(c_int, c_int64, POINTER(c_uint8), c_char_p, c_void_p)

LOG_ERROR = 1
LOG_WARN = 2
LOG_INFO = 4
LOG_DEBUG = 8
LOG_VERBOSE = 16
LOG_ALL = 255

_u8p = POINTER(c_uint8)
_u16p = POINTER(c_uint16)
_u32p = POINTER(c_uint32)
_i32p = POINTER(c_int32)
_dpcp = POINTER(DpcEntry)

# name: (result type, argument types). The DSP parameter functions are declared from their
# table in parameters.py.
PROTOTYPES = {
    "ZEL_CAM_GetApiVersion": (c_int32, [POINTER(c_char)]),
    "ZEL_CAM_GetApiBuild": (c_int32, [POINTER(c_char)]),
    "ZEL_CAM_InitName": (c_int32, [c_int32, _i32p, _u8p, c_char_p, c_uint16, c_uint16]),
    "ZEL_CAM_Destroy": (c_int32, [c_uint8]),
    "ZEL_CAM_Open": (c_int32, [c_int32]),
    "ZEL_CAM_Close": (c_int32, [c_int32]),
    "ZEL_CAM_StartPic": (c_int32, [c_int32, c_int32, c_int32]),
    "ZEL_CAM_Stop": (c_int32, [c_int32]),
    "ZEL_CAM_StatusCallback": (c_int32, [c_int32, StatusCallback, c_void_p]),
    "ZEL_CAM_setLogCallback": (None, [LogCallback, c_void_p, c_uint8]),
    "ZEL_CAM_stopLogCallback": (None, []),
    "ZEL_CAM_getLogTotalErrorCnt": (c_uint32, []),
    "ZEL_CAM_GetFrameCounters": (c_int32, [c_int32, _u32p, _u32p, _u32p]),
    "ZEL_CAM_FrameCallback": (c_int32, [c_int32, FrameCallback, c_void_p]),
    "ZEL_CAM_SaveJPG": (c_int32, [c_int32, c_char_p, c_int32]),
    "ZEL_CAM_SaveRAW": (c_int32, [c_int32, c_char_p]),
    "ZEL_CAM_SaveBMP": (c_int32, [c_int32, c_char_p, c_int32]),
    "ZEL_CAM_SetJPGOptions": (c_int32, [c_int32, _u8p]),
    "ZEL_CAM_Fx3GetSerialNumber": (c_int32, [c_int32, _u32p]),
    "ZEL_CAM_SaveDspToEEp": (c_int32, [c_int32]),
    "ZEL_CAM_getDpcConfig": (c_int32, [c_int32, _u8p, _u8p, _u16p]),
    "ZEL_CAM_setDpcConfig": (c_int32, [c_int32, c_uint8, c_uint16]),
    "ZEL_CAM_setDpcDetect": (c_int32, [c_int32]),
    "ZEL_CAM_getDpcTable": (c_int32, [c_int32, _dpcp]),
    "ZEL_CAM_setDpcTable": (c_int32, [c_int32, _dpcp]),
    "ZEL_CAM_readQprFile": (c_int32, [c_int32, c_char_p, c_uint8]),
    "ZEL_CAM_writeQprFile": (c_int32, [c_int32, c_char_p, c_uint8]),
}

_loaded = None
_load_lock = threading.Lock()


def library_path():
    """The file named by DRAVIX_LIBRARY, else the soname for the loader's normal search."""
    return os.environ.get(LIBRARY_ENVIRONMENT) or LIBRARY_NAME


def declare(library, name, restype, argtypes):
    function = getattr(library, name)
    function.restype = restype
    function.argtypes = argtypes
    return function


def load():
    """The library, loaded and declared on first use."""
    global _loaded
    with _load_lock:
        if _loaded is None:
            from . import parameters

            path = library_path()
            try:
                library = ctypes.CDLL(path)
            except OSError as error:
                raise OSError(
                    f"cannot load {path}: {error}; set {LIBRARY_ENVIRONMENT} to the library file"
                ) from error
            for name, (restype, argtypes) in PROTOTYPES.items():
                declare(library, name, restype, argtypes)
            for name, (restype, argtypes) in parameters.prototypes().items():
                declare(library, name, restype, argtypes)
            _loaded = library
        return _loaded
