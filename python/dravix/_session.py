"""The process-wide state of the binding: the loaded library, checked calls, the camera slots the
binding initialised, and the one C callback per slot that the library keeps.

The library numbers cameras by slot (0..9) and gives each ZEL_CAM_InitName the lowest slot
whose device was not opened yet; slot N holds the N-th camera it enumerated. The binding fills
slots in that order, so that camera N lands in slot N.
"""

import atexit
import ctypes
import functools
import threading

from . import _library
from ._log import bridge, logger
from .errors import DravixError

SLOTS = 10
_MATCH_NAME = b"dravix"
_VENDOR_ID = 0x20F1
_PRODUCT_ID = 0x0107

_lock = threading.RLock()
_initialised = set()
# slot -> the Camera object that has it open in this process.
_owners = {}
# Per slot: the Python handlers the C trampolines dispatch to.
_frame_handlers = {}
_status_handlers = {}
# The C callbacks handed to the library, one per slot, kept for the life of the process: the
# library may still be inside one after its registration was replaced.
_frame_trampolines = {}
_status_trampolines = {}


def library():
    lib = _library.load()
    bridge.ensure_registered(lib)
    return lib


def call(name, *args):
    """Calls a library function that returns 0 on success; raises DravixError otherwise."""
    lib = library()
    result = getattr(lib, name)(*args)
    if result != 0:
        raise DravixError(name, result, bridge.last_error_after_wait(lib))
    return result


def enumerate_cameras():
    """(slot, count) from ZEL_CAM_InitName: the slot it filled and the cameras found."""
    result, slot, count = _init_name()
    if result != 0:
        raise DravixError("ZEL_CAM_InitName", result, bridge.last_error_after_wait(library()))
    return slot, count


def camera_count():
    """The cameras the library finds; 0 also when it finds no video device at all (which
    ZEL_CAM_InitName reports as a failure)."""
    with _lock:
        result, _, count = _init_name()
        if result != 0 and count != 0:
            raise DravixError("ZEL_CAM_InitName", result, bridge.last_error_after_wait(library()))
        return count


def _init_name():
    slot = ctypes.c_int32(0)
    count = ctypes.c_uint8(0)
    result = library().ZEL_CAM_InitName(
        0, ctypes.byref(slot), ctypes.byref(count), _MATCH_NAME, _VENDOR_ID, _PRODUCT_ID
    )
    # The library creates a camera object even after a failed enumeration (in the slot given).
    if 0 <= slot.value < SLOTS:
        with _lock:
            _initialised.add(slot.value)
    return result, slot.value, count.value


def prepare_slot(index):
    """Makes sure camera `index` has its camera object in slot `index`.

    Lower slots the binding did not use yet are initialised and opened once (and closed), so
    that the library hands out the next slot. An index beyond the cameras found is left to
    ZEL_CAM_Open, which reports it."""
    with _lock:
        for _ in range(SLOTS):
            if index in _initialised:
                return
            slot, count = enumerate_cameras()
            if index >= count or slot > index:
                return
            if slot != index:
                call("ZEL_CAM_Open", slot)
                call("ZEL_CAM_Close", slot)


def claim(index, camera):
    """Records `camera` as the one object that opens slot `index`; a second one is refused,
    since both would share the library's one camera and its callbacks."""
    with _lock:
        if _owners.get(index, camera) is not camera:
            raise DravixError("Camera", 1, f"camera {index} is open already in this process")
        _owners[index] = camera


def release(index, camera):
    with _lock:
        if _owners.get(index) is camera:
            del _owners[index]


def owner(index):
    with _lock:
        return _owners.get(index)


def is_initialised(index):
    with _lock:
        return index in _initialised


def set_frame_handler(index, handler):
    """Registers handler(address, length) for slot `index` (None removes it)."""
    with _lock:
        if index not in _frame_trampolines:
            _frame_trampolines[index] = _library.FrameCallback(
                functools.partial(_dispatch, _frame_handlers, index)
            )
        _frame_handlers[index] = handler
        trampoline = _frame_trampolines[index] if handler else _library.FrameCallback()
    call("ZEL_CAM_FrameCallback", index, trampoline, None)


def set_status_handler(index, handler):
    """Registers handler(DeviceStatus) for slot `index` (None removes it)."""
    with _lock:
        if index not in _status_trampolines:
            _status_trampolines[index] = _library.StatusCallback(
                functools.partial(_dispatch_status, index)
            )
        _status_handlers[index] = handler
        trampoline = _status_trampolines[index] if handler else _library.StatusCallback()
    call("ZEL_CAM_StatusCallback", index, trampoline, None)


def _dispatch(handlers, index, *args):
    # On a library thread: nothing may escape into the library. Handlers store their own
    # errors; this only guards against faults in the binding itself.
    handler = handlers.get(index)
    if handler is not None:
        try:
            handler(*args[:-1])
        except BaseException:  # noqa: BLE001
            logger.exception("dravix callback for camera %d failed", index)
    return 0


def _dispatch_status(index, status_pointer, user):
    if not status_pointer:
        return 0
    return _dispatch(_status_handlers, index, status_pointer.contents, user)


def shutdown():
    """Ends every camera the binding initialised and the library's log; runs at exit. Camera
    objects still open count as closed afterwards.

    Library threads call into Python until their cameras are destroyed, so this runs before
    the interpreter winds down."""
    with _lock:
        if _library._loaded is None:
            return
        lib = _library._loaded
        for handlers in (_frame_handlers, _status_handlers):
            handlers.clear()
        slots = sorted(_initialised)
        _initialised.clear()
        for camera in _owners.values():
            camera._forget()
        _owners.clear()
        bridge.mute(True)
        lib.ZEL_CAM_stopLogCallback()
        for slot in slots:
            lib.ZEL_CAM_Stop(slot)
            lib.ZEL_CAM_Destroy(slot)  # also closes the library's log
        if not slots:
            lib.ZEL_CAM_Destroy(0)  # no camera: only closes the log
        bridge.forget_session()
        bridge.mute(False)


atexit.register(shutdown)
