"""A camera as a Python object: open and close, frames, DSP parameters, snapshots."""

import ctypes
import os
import threading

import numpy as np

from . import _session, dpc, parameters
from ._library import DeviceStatus, LOG_DEBUG, LOG_ERROR
from ._log import bridge, logger
from .errors import DravixError
from .frames import FrameQueue, frame_shape

_PICTURE_TYPES = {
    ".jpg": ("ZEL_CAM_SaveJPG", "writeJPGFile"),
    ".jpeg": ("ZEL_CAM_SaveJPG", "writeJPGFile"),
    ".bmp": ("ZEL_CAM_SaveBMP", "writeBMPFile"),
    ".raw": ("ZEL_CAM_SaveRAW", "writeRAWFile"),
    ".ycrcb": ("ZEL_CAM_SaveRAW", "writeRAWFile"),
}
_NAME_AS_GIVEN = 0


class Camera:
    """Camera `index` (0..9), opened on construction or by `with`.

    Leaving the `with` block (also by an exception) or close() stops the stream and closes the
    camera. Frame and status callbacks run on the library's threads, one at a time per camera;
    ctypes takes the GIL for them, so they hold up the camera's delivery while they run.

    An exception raised by a callback given to start() never reaches the library: the callback
    is not called again, the exception is logged and raised again from the next call of this
    camera's methods (stop() and close() included).

    frame_size: (width, height) of the frames, for a size the binding does not know by its byte
    count; frames of unknown size arrive as flat arrays.
    """

    def __init__(self, index=0, frame_size=None):
        self.index = index
        self._frame_size = frame_size
        self._lock = threading.Lock()
        self._is_open = False
        self._streaming = False
        self._frame_consumer = None
        self._queue = None
        self._callback_error = None
        self._array_types = {}
        self._status = None
        self._status_changed = threading.Condition()
        self.open()

    # ---- lifecycle ----------------------------------------------------------------------

    def open(self):
        if self._is_open:
            return
        _session.claim(self.index, self)
        try:
            self._open_claimed()
        except BaseException:
            _session.release(self.index, self)
            raise

    def _open_claimed(self):
        _session.prepare_slot(self.index)
        # Registered before the open where the slot holds a camera, so that the report the
        # open makes (the camera count) arrives too.
        early = _session.is_initialised(self.index)
        if early:
            _session.set_status_handler(self.index, self._on_status)
        try:
            _session.call("ZEL_CAM_Open", self.index)
        except DravixError:
            if early:
                _session.set_status_handler(self.index, None)
            raise
        self._is_open = True
        if not early:
            _session.set_status_handler(self.index, self._on_status)

    def close(self):
        """Stops the stream and closes the camera; raises a pending callback error after."""
        if self._is_open:
            self._is_open = False
            try:
                try:
                    self._stop_stream()
                finally:
                    try:
                        _session.set_status_handler(self.index, None)
                    finally:
                        _session.call("ZEL_CAM_Close", self.index)
            finally:
                _session.release(self.index, self)
        self._raise_callback_error()

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, traceback):
        if exc_type is None:
            self.close()
            return False
        try:
            self.close()
        except Exception:  # the body's exception is the one to see
            pass
        return False

    @property
    def is_open(self):
        return self._is_open

    @property
    def is_streaming(self):
        return self._streaming

    # ---- frames -------------------------------------------------------------------------

    def start(self, callback=None):
        """Starts the stream; callback(frame), if given, receives every frame.

        Zero copy: `frame` is a NumPy view of the library's buffer, valid only during the call
        (copy it to keep it). The callback runs on the library's delivery thread."""
        self._check()
        self._frame_consumer = callback
        if self._streaming:
            return  # the running stream delivers to the new callback
        _session.set_frame_handler(self.index, self._on_frame)
        _session.call("ZEL_CAM_StartPic", self.index, 0, 0)
        self._streaming = True

    def stop(self):
        """Stops the stream; returns once no frame callback runs any more."""
        self._stop_stream()
        self._raise_callback_error()

    def frames(self, count=None, timeout=2.0, pool_size=4):
        """Yields copies of the stream's frames (starts the stream, or takes it over from a
        callback given to start(), and stops it at the end).

        Copies: each frame is copied on the delivery thread into one of `pool_size`
        preallocated arrays. A yielded array is yours until the next iteration, when it returns
        to the pool; copy it to keep it longer. When the consumer falls behind, the oldest
        waiting copy is overwritten and counted in `copies_dropped`. Raises TimeoutError after
        `timeout` seconds without a frame.
        """
        queue = self._queue = FrameQueue(pool_size)
        self.start(queue.put)
        try:
            delivered = 0
            while count is None or delivered < count:
                frame = queue.get(timeout)
                self._raise_callback_error()
                if frame is None:
                    raise TimeoutError(f"no frame from camera {self.index} within {timeout} s")
                delivered += 1
                yield frame
        finally:
            queue.close()
            self._stop_stream()

    @property
    def copies_dropped(self):
        """Copies overwritten before the consumer of the last frames() took them."""
        return self._queue.dropped if self._queue is not None else 0

    def frame_counters(self):
        """(shown, missed, frame_length): frames delivered and lost since the stream started,
        and the length of the last frame in bytes."""
        self._check()
        shown, missed, length = ctypes.c_uint32(), ctypes.c_uint32(), ctypes.c_uint32()
        _session.call(
            "ZEL_CAM_GetFrameCounters",
            self.index,
            ctypes.byref(shown),
            ctypes.byref(missed),
            ctypes.byref(length),
        )
        return shown.value, missed.value, length.value

    # ---- parameters ---------------------------------------------------------------------

    def get(self, name, bank=None):
        """The DSP parameter `name` (see dravix.PARAMETERS); `bank` for banked ones."""
        self._check()
        return parameters.parameter(name).get(_session.call, self.index, bank)

    def set(self, name, value, bank=None):
        self._check()
        parameters.parameter(name).set(_session.call, self.index, value, bank)

    @property
    def dsp(self):
        """The DSP parameters as attributes: cam.dsp.hue = 300; print(cam.dsp.gain)."""
        return _Parameters(self)

    # ---- defect-pixel correction ---------------------------------------------------------

    def dpc_config(self):
        """The defect-pixel correction's DpcConfig(enable, value), as set_dpc_config() takes it.

        The C getter's spare byte (always 0 from this library) is left out."""
        self._check()
        enable, spare, value = ctypes.c_uint8(), ctypes.c_uint8(), ctypes.c_uint16()
        _session.call(
            "ZEL_CAM_getDpcConfig",
            self.index,
            ctypes.byref(enable),
            ctypes.byref(spare),
            ctypes.byref(value),
        )
        return dpc.DpcConfig(enable.value, value.value)

    def set_dpc_config(self, enable, value):
        """enable: 0/1 (or a bool); value: 0..4095."""
        self._check()
        _session.call("ZEL_CAM_setDpcConfig", self.index, *dpc.config_arguments(enable, value))

    def detect_defect_pixels(self):
        """Has the camera look for defect pixels and fill its table with them (see dpc_table()).

        Returns once the camera took the command; the camera reports the end of the detection
        with an interrupt the library logs as INTR_DPC_DONE."""
        self._check()
        _session.call("ZEL_CAM_setDpcDetect", self.index)

    def dpc_table(self):
        """The 16 entries of the defect-pixel table as DefectPixel(x, y) tuples."""
        self._check()
        table = dpc.new_table()
        _session.call("ZEL_CAM_getDpcTable", self.index, table)
        return dpc.table_value(table)

    def set_dpc_table(self, entries):
        """Writes 16 (x, y) pairs, each coordinate 0..4095 (dpc_table()'s value fits)."""
        self._check()
        _session.call("ZEL_CAM_setDpcTable", self.index, dpc.table_argument(entries))

    def save_dsp_settings(self):
        """Has the camera store its current DSP settings."""
        self._check()
        _session.call("ZEL_CAM_SaveDspToEEp", self.index)

    def save_settings(self, path, head_type=0):
        """Writes the camera's settings to a QPR file."""
        self._check()
        _session.call("ZEL_CAM_writeQprFile", self.index, os.fsencode(path), head_type)

    def load_settings(self, path, head_type=0):
        """Applies the settings of a QPR file."""
        self._check()
        _session.call("ZEL_CAM_readQprFile", self.index, os.fsencode(path), head_type)

    # ---- pictures -----------------------------------------------------------------------

    def snapshot(self, path, quality=None, timeout=5.0):
        """Writes the next frame to `path` and returns the file written.

        The type follows the extension: .jpg/.jpeg (JPEG; `quality` 1..100), .bmp, or
        .raw/.ycrcb (the YUY2 bytes; the library names raw files by date and time, with the
        extension .ycrcb). A name already taken gets a suffix. Starts the stream for the picture
        when it is not running. Needs the library log (its writer reports the finished file)."""
        self._check()
        extension = os.path.splitext(os.fspath(path))[1].lower()
        if extension not in _PICTURE_TYPES:
            raise ValueError(f"unknown picture type {extension!r}: use {sorted(_PICTURE_TYPES)}")
        function, writer = _PICTURE_TYPES[extension]
        if quality is not None:
            if not (isinstance(quality, int) and 1 <= quality <= 100):
                raise ValueError(f"quality {quality!r} is outside 1..100")
            _session.call("ZEL_CAM_SetJPGOptions", self.index, ctypes.byref(ctypes.c_uint8(quality)))
        outcome = {}
        watched = bridge.watch(lambda level, text: self._picture_message(writer, level, text, outcome))
        started_here = not self._streaming
        try:
            arguments = [] if function == "ZEL_CAM_SaveRAW" else [_NAME_AS_GIVEN]
            _session.call(function, self.index, os.fsencode(path), *arguments)
            if started_here:
                self.start()
            if not watched.wait(timeout):
                raise TimeoutError(f"camera {self.index} wrote no picture within {timeout} s")
        finally:
            bridge.unwatch(watched)
            if started_here:
                self._stop_stream()
        if "error" in outcome:
            raise DravixError(function, 1, outcome["error"])
        return outcome["path"]

    @staticmethod
    def _picture_message(writer, level, text, outcome):
        prefix, suffix = f"cPictureIO::{writer}: ", " written"
        if level == LOG_DEBUG and text.startswith(prefix) and text.endswith(suffix):
            outcome["path"] = text[len(prefix) : -len(suffix)]
            return True
        if level == LOG_ERROR and text.startswith("cPictureIO::"):
            outcome["error"] = text
            return True
        return False

    # ---- identity -----------------------------------------------------------------------

    def serial_number(self):
        """The controller's serial number as "A.BB.N"."""
        self._check()
        value = ctypes.c_uint32()
        _session.call("ZEL_CAM_Fx3GetSerialNumber", self.index, ctypes.byref(value))
        raw = value.value
        return f"{raw & 0xFF}.{(raw >> 8) & 0xFF:02d}.{raw >> 16}"

    def status(self, timeout=0.0):
        """A copy of the last status record the camera reported (a DeviceStatus), or None when
        none arrived within `timeout` seconds."""
        with self._status_changed:
            self._status_changed.wait_for(lambda: self._status is not None, timeout)
            return self._status

    # ---- internals ----------------------------------------------------------------------

    def _check(self):
        self._raise_callback_error()
        if not self._is_open:
            raise DravixError("camera", 1, f"camera {self.index} is closed")

    def _raise_callback_error(self):
        with self._lock:
            error, self._callback_error = self._callback_error, None
        if error is not None:
            raise error

    def _stop_stream(self):
        if not self._streaming:
            return
        self._streaming = False
        try:
            _session.call("ZEL_CAM_Stop", self.index)
        finally:
            _session.set_frame_handler(self.index, None)
            self._frame_consumer = None

    def _forget(self):
        # The session destroyed the library's camera (shutdown).
        self._is_open = False
        self._streaming = False
        self._frame_consumer = None

    def _on_frame(self, address, length):
        consumer = self._frame_consumer
        if consumer is None or not address or length <= 0:
            return
        array_type = self._array_types.get(length)
        if array_type is None:
            array_type = self._array_types[length] = ctypes.c_uint8 * length
        view = np.frombuffer(array_type.from_address(address), dtype=np.uint8)
        view = view.reshape(frame_shape(length, self._frame_size))
        try:
            consumer(view)
        except BaseException as error:  # noqa: BLE001 - never into the library
            self._frame_consumer = None
            with self._lock:
                if self._callback_error is None:
                    self._callback_error = error
            logger.exception("frame callback of camera %d raised", self.index)

    def _on_status(self, status):
        copy = DeviceStatus()
        ctypes.memmove(ctypes.byref(copy), ctypes.byref(status), ctypes.sizeof(DeviceStatus))
        with self._status_changed:
            self._status = copy
            self._status_changed.notify_all()


class _Parameters:
    def __init__(self, camera):
        object.__setattr__(self, "_camera", camera)

    def __getattr__(self, name):
        return self._camera.get(name)

    def __setattr__(self, name, value):
        self._camera.set(name, value)

    def __dir__(self):
        return sorted(parameters.PARAMETERS)
