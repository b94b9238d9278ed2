#!/usr/bin/env python3
"""Streams an emulated camera through the Python binding and reports what arrived.

    PYTHONPATH=python DRAVIX_LIBRARY=build/dravix/libdravix.so.2 \\
        python3 tests/bench/pythonStreamBench.py [--seconds 10] [--mode view|copy]

Defaults to one emulated camera at 1920x1080@60 (DRAVIX_CAMEMU, DRAVIX_CAMEMU_FORMAT override).
"view" reads every frame in the zero-copy callback, "copy" iterates over Camera.frames() (a
copy per frame). Prints frames received, frames missed (the library's counter of frames it could
not hand on), the gaps in the test pattern's frame numbers (frames the emulator skipped because
it fell behind its schedule, e.g. on a loaded machine, plus any lost after it), the frame rate
and the process's CPU share. Exits 1 when the library missed frames.
"""

import argparse
import os
import sys
import threading
import time

os.environ.setdefault("DRAVIX_CAMEMU", "1")
os.environ.setdefault("DRAVIX_CAMEMU_FORMAT", "1920x1080@60")

import dravix  # noqa: E402


def frame_number(frame):
    # The emulator's first row carries the frame number, bit b in pixels 8b..8b+7.
    bits = frame[0, : 32 * 8 : 8, 0] > 125
    return int(sum(1 << b for b, one in enumerate(bits) if one))


class Tally:
    def __init__(self):
        self.received = 0
        self.gaps = 0
        self.last = None

    def add(self, frame):
        number = frame_number(frame)
        if self.last is not None and number > self.last + 1:
            self.gaps += number - self.last - 1
        self.last = number
        self.received += 1


def stream_views(camera, seconds, tally):
    camera.start(tally.add)
    threading.Event().wait(seconds)
    counters = camera.frame_counters()
    camera.stop()
    return counters


def stream_copies(camera, seconds, tally):
    deadline = time.monotonic() + seconds
    counters = None
    for frame in camera.frames():
        tally.add(frame)
        if time.monotonic() >= deadline:
            counters = camera.frame_counters()
            break
    return counters


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--mode", choices=["view", "copy"], default="view")
    arguments = parser.parse_args()

    tally = Tally()
    with dravix.Camera(0) as camera:
        start_wall, start_cpu = time.monotonic(), time.process_time()
        stream = stream_views if arguments.mode == "view" else stream_copies
        _, missed, length = stream(camera, arguments.seconds, tally)
        wall, cpu = time.monotonic() - start_wall, time.process_time() - start_cpu

    print(f"format:            {os.environ['DRAVIX_CAMEMU_FORMAT']} ({length} bytes per frame)")
    print(f"mode:              {arguments.mode}")
    print(f"frames received:   {tally.received} in {wall:.2f} s")
    print(f"missed (library):  {missed}")
    print(f"pattern gaps:      {tally.gaps}")
    print(f"frame rate:        {tally.received / wall:.2f} fps")
    print(f"CPU share:         {100.0 * cpu / wall:.1f} % of one core")
    return 0 if missed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
