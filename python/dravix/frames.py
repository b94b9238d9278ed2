"""YUY2 frames as NumPy arrays: their shape, their colour conversion, and a queue of copies.

A YUY2 frame holds two bytes per pixel, Y0 U Y1 V for each pair of pixels, rows top to bottom.
As an (height, width, 2) uint8 array, [..., 0] is the luma of every pixel and [..., 1] the
chroma byte it carries (U for even columns, V for odd ones).
"""

import collections
import threading

import numpy as np

# Frame sizes the cameras deliver, told apart by their byte count.
KNOWN_SIZES = [
    (1920, 1080), (1280, 720), (1296, 726), (656, 486), (400, 400), (400, 396), (250, 250),
    (208, 204), (208, 200), (204, 200), (208, 196), (200, 200), (200, 196), (196, 192),
]
_SIZE_BY_LENGTH = {w * h * 2: (w, h) for w, h in KNOWN_SIZES}


def frame_shape(length, size=None):
    """(height, width, 2) for a frame of `length` bytes; `size` (width, height) overrides the
    known sizes. A frame of an unknown size keeps its flat shape (length,)."""
    width, height = size if size is not None else _SIZE_BY_LENGTH.get(length, (0, 0))
    if length == 0 or width * height * 2 != length:
        return (length,)
    return (height, width, 2)


def yuy2_to_rgb(frame):
    """RGB (height, width, 3) uint8 from a YUY2 (height, width, 2) frame (BT.601, studio range)."""
    return _convert(frame, (0, 1, 2))


def yuy2_to_bgr(frame):
    """BGR (height, width, 3) uint8 from a YUY2 (height, width, 2) frame (BT.601, studio range)."""
    return _convert(frame, (2, 1, 0))


def _convert(frame, order):
    if frame.ndim != 3 or frame.shape[2] != 2 or frame.shape[1] % 2 != 0:
        raise ValueError(f"expected a (height, even width, 2) YUY2 array, got {frame.shape}")
    height, width = frame.shape[:2]
    # Fixed point, 8 fractional bits. The chroma terms are computed once per pixel pair and
    # added to both lumas of the pair (U in the even pixel's byte, V in the odd one's).
    pairs = frame.reshape(height, width // 2, 4).astype(np.int32)
    luma = (pairs[..., 0::2] - 16) * 298 + 128
    u = pairs[..., 1] - 128
    v = pairs[..., 3] - 128
    terms = (409 * v, -100 * u - 208 * v, 516 * u)
    out = np.empty((height, width // 2, 2, 3), dtype=np.uint8)
    for place, term in zip(order, terms):
        channel = (luma + term[..., None]) >> 8
        np.clip(channel, 0, 255, out=channel)
        out[..., place] = channel
    return out.reshape(height, width, 3)


class FrameQueue:
    """Copies of delivered frames in a pool of preallocated arrays.

    put() runs on the library's delivery thread and copies the frame into a free array; when the
    consumer holds every array but the one it reads, the oldest waiting copy is overwritten and
    counted in `dropped`. get() hands the next copy to the consumer, which owns it until its next
    get() (the array then returns to the pool)."""

    def __init__(self, pool_size):
        if pool_size < 2:
            raise ValueError("a frame pool needs at least two arrays")
        self._pool_size = pool_size
        self._condition = threading.Condition()
        self._free = []
        self._ready = collections.deque()
        self._lent = None
        self._shape = None
        self._closed = False
        self.dropped = 0

    def put(self, view):
        with self._condition:
            if self._closed:
                return
            if view.shape != self._shape:
                self._allocate(view.shape)
            if self._free:
                target = self._free.pop()
            else:
                target = self._ready.popleft()
                self.dropped += 1
            np.copyto(target, view)
            self._ready.append(target)
            self._condition.notify()

    def get(self, timeout):
        """The next frame, or None after `timeout` seconds without one or once closed."""
        with self._condition:
            self._give_back()
            if not self._condition.wait_for(lambda: self._ready or self._closed, timeout):
                return None
            if not self._ready:
                return None
            self._lent = self._ready.popleft()
            return self._lent

    def close(self):
        with self._condition:
            self._closed = True
            self._condition.notify_all()

    def _give_back(self):
        if self._lent is not None:
            if self._lent.shape == self._shape:
                self._free.append(self._lent)
            self._lent = None

    def _allocate(self, shape):
        # A new frame size: the arrays of the old one are no longer filled.
        self._shape = shape
        self._ready.clear()
        self._free = [np.empty(shape, dtype=np.uint8) for _ in range(self._pool_size)]
