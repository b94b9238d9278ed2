"""Defect-pixel correction: its configuration and its table of 16 pixel coordinates.

The camera keeps 12 bits of the configuration value and of each coordinate (0..4095); the
library would silently drop higher bits, so values are checked here before any call.
"""

from collections import namedtuple

from ._library import DpcEntry
from .parameters import checked_integer

ENTRIES = 16
LARGEST = 0xFFF

DpcConfig = namedtuple("DpcConfig", "enable value")
DefectPixel = namedtuple("DefectPixel", "x y")


def config_arguments(enable, value):
    """(enable, value) as the setter takes them; enable is 0 or 1 (the camera keeps one bit)."""
    if isinstance(enable, bool):
        enable = int(enable)
    return checked_integer(enable, 0, 1), checked_integer(value, 0, LARGEST)


def table_argument(entries):
    """A DpcEntry array of the 16 (x, y) pairs in `entries`."""
    entries = list(entries)
    if len(entries) != ENTRIES:
        raise ValueError(f"the defect-pixel table has {ENTRIES} entries, got {len(entries)}")
    table = (DpcEntry * ENTRIES)()
    for slot, entry in zip(table, entries):
        x, y = entry
        slot.x, slot.y = checked_integer(x, 0, LARGEST), checked_integer(y, 0, LARGEST)
    return table


def new_table():
    return (DpcEntry * ENTRIES)()


def table_value(table):
    return [DefectPixel(entry.x, entry.y) for entry in table]
