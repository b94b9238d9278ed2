"""The library log, received through ZEL_CAM_setLogCallback and passed to Python's logging.

The library hands its messages to the callback on its own log thread, after the call that
reported them may have returned. To attach a failed call's ERROR message to its DravixError the
bridge counts the ERROR messages it received and waits, briefly, until it has seen as many as
the library counted (ZEL_CAM_getLogTotalErrorCnt).
"""

import logging
import threading
import time

from . import _library
from ._library import LOG_DEBUG, LOG_ERROR, LOG_INFO, LOG_VERBOSE, LOG_WARN

logger = logging.getLogger("dravix")

VERBOSE = 5
_LEVELS = {
    LOG_ERROR: logging.ERROR,
    LOG_WARN: logging.WARNING,
    LOG_INFO: logging.INFO,
    LOG_DEBUG: logging.DEBUG,
    LOG_VERBOSE: VERBOSE,
}
# DEBUG is needed: the picture writer reports a finished file at that level.
CALLBACK_MASK = LOG_ERROR | LOG_WARN | LOG_INFO | LOG_DEBUG
# Long enough for a log thread on a loaded machine; spent only when a message never comes.
ERROR_WAIT_SECONDS = 2.0


class LogBridge:
    """Receives the library log; one per process (the library has one log)."""

    def __init__(self):
        self._condition = threading.Condition()
        self._registration = threading.Lock()
        self._registered = False
        self._errors_seen = 0
        # ERROR messages the library counted that never reach the callback (reported before
        # registration, or filtered out by the user's log configuration).
        self._errors_unseen = 0
        # Of those, the ones given up on while a failed call waited; one may still arrive.
        self._errors_late = 0
        self._last_error = ""
        self._watchers = []
        self._muted = False
        # Kept for the life of the process: the library may call it until its log closes.
        self._callback = _library.LogCallback(self._on_message)

    def ensure_registered(self, library):
        """Opens the library log if needed and registers the callback once per log session."""
        # Library calls run outside _condition: the log thread takes it for every message.
        with self._registration:
            if self._registered:
                return
            buffer = (_library.c_char * 64)()
            library.ZEL_CAM_GetApiVersion(buffer)  # opens the log
            unseen = library.ZEL_CAM_getLogTotalErrorCnt()
            with self._condition:
                self._errors_seen = 0
                self._errors_unseen = unseen
                self._errors_late = 0
            library.ZEL_CAM_setLogCallback(self._callback, None, CALLBACK_MASK)
            self._registered = True

    def mute(self, muted):
        """While muted, messages are counted but not passed to logging (the binding's own
        shutdown reports nothing of interest)."""
        self._muted = muted

    def forget_session(self):
        """The library closed its log (ZEL_CAM_Destroy); the next use opens and registers anew."""
        with self._registration:
            self._registered = False

    def last_error_after_wait(self, library):
        """The last ERROR message once the callback caught up with the library's count; empty
        when it did not within the wait (never an earlier call's message)."""
        deadline = time.monotonic() + ERROR_WAIT_SECONDS
        with self._condition:
            target = library.ZEL_CAM_getLogTotalErrorCnt()
            while self._errors_seen + self._errors_unseen < target:
                remaining = deadline - time.monotonic()
                if remaining <= 0:
                    # Not delivered in time: later calls don't wait for these again, and if
                    # they do arrive they take the place of their count.
                    late = target - self._errors_seen - self._errors_unseen
                    self._errors_unseen += late
                    self._errors_late += late
                    return ""
                self._condition.wait(remaining)
            return self._last_error

    def watch(self, predicate):
        """Registers predicate(level, text), called for every message until it returns True.

        Returns an event set once it did."""
        event = threading.Event()
        with self._condition:
            self._watchers.append((predicate, event))
        return event

    def unwatch(self, event):
        with self._condition:
            self._watchers = [(p, e) for p, e in self._watchers if e is not event]

    def _on_message(self, stamp, level_pointer, text, _user):
        # Runs on the library's log thread; nothing may escape into the library.
        try:
            level = level_pointer[0] if level_pointer else LOG_INFO
            message = text.decode("utf-8", "replace") if text else ""
            # Logged before it is recorded, so whoever waits for the record finds it logged.
            try:
                if not self._muted:
                    logger.log(_LEVELS.get(level, logging.INFO), "%s", message,
                               extra={"dravix_time": stamp})
            finally:
                self._record(level, message)
        except BaseException:  # noqa: BLE001 - a callback must never raise into C
            logger.exception("dravix log callback failed")
        return 0

    def _record(self, level, message):
        with self._condition:
            if level == LOG_ERROR:
                if self._errors_late:
                    self._errors_late -= 1
                    self._errors_unseen -= 1
                self._errors_seen += 1
                self._last_error = message
            for predicate, event in self._watchers:
                if not event.is_set() and predicate(level, message):
                    event.set()
            self._condition.notify_all()


bridge = LogBridge()
