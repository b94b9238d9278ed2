"""The camera's image-pipeline (DSP) parameters by name.

Each parameter is one getter/setter pair of the C interface, described by its fields: a field is
a scalar (passed by pointer to the getter and by value to the setter) or an array of `count`
values (passed by pointer to both). A parameter's value is its single field's value, or a tuple
of the fields' values; an array field's value is a tuple, except a one-element array, which is
its element. Banked parameters take a bank (0 or 1) as the C function's last argument.

A few parameters have only one half in the C interface: reading a write-only one or writing a
read-only one raises TypeError without calling the library.

window_sizes: the getter fills 32 bytes, but the setter reads 33 (the camera's block is one byte
longer than it reports). Its value is the 32 bytes; setting it takes those 32 (a value read back,
perhaps changed), and then sends 0 as the 33rd byte, or 33 values to choose that byte too. The
getter gets a 33-byte buffer all the same, so it can never write past it.
"""

import ctypes
from ctypes import POINTER, c_int16, c_int32, c_uint8, c_uint16


class Field:
    def __init__(self, ctype, count=None, tail=0):
        self.ctype = ctype
        self.count = count  # None: a scalar
        self.tail = tail  # elements the setter reads past `count`; 0 unless the value gives them

    def getter_type(self):
        return POINTER(self.ctype)

    def setter_type(self):
        return self.ctype if self.count is None else POINTER(self.ctype)

    def storage(self):
        return self.ctype() if self.count is None else (self.ctype * self._length())()

    def value_of(self, storage):
        if self.count is None:
            return storage.value
        values = tuple(storage)[: self.count]
        return values[0] if self.count == 1 else values

    def argument(self, value):
        """The setter's argument for `value`, checked against the field's shape and range."""
        if self.count is None:
            return self.ctype(_checked(self.ctype, value))
        values = (value,) if self.count == 1 and isinstance(value, int) else tuple(value)
        if len(values) not in (self.count, self._length()):
            lengths = f"{self.count} or {self._length()}" if self.tail else f"{self.count}"
            raise ValueError(f"expected {lengths} values, got {len(values)}")
        values += (0,) * (self._length() - len(values))
        return (self.ctype * self._length())(*(_checked(self.ctype, v) for v in values))

    def getter_argument(self, storage):
        return ctypes.byref(storage) if self.count is None else storage

    def _length(self):
        return self.count + self.tail


_RANGES = {c_uint8: (0, 0xFF), c_uint16: (0, 0xFFFF), c_int16: (-0x8000, 0x7FFF)}


def _checked(ctype, value):
    return checked_integer(value, *_RANGES[ctype])


def checked_integer(value, low, high):
    """`value` if it is an integer in low..high; raises TypeError or ValueError otherwise.

    ctypes (and the camera's narrower fields) would silently wrap an out-of-range value into a
    different setting."""
    if not isinstance(value, int) or isinstance(value, bool):
        raise TypeError(f"expected an integer, got {value!r}")
    if not low <= value <= high:
        raise ValueError(f"{value} is outside {low}..{high}")
    return value


class Parameter:
    """access: "rw", or "r"/"w" for a parameter with only a getter or only a setter."""

    def __init__(self, name, c_name, fields, banked=False, access="rw"):
        self.name = name
        self.getter = "ZEL_CAM_get" + c_name if "r" in access else None
        self.setter = "ZEL_CAM_set" + c_name if "w" in access else None
        self.fields = fields
        self.banked = banked

    def prototypes(self):
        bank = [c_uint8] if self.banked else []
        getter = [c_int32] + [f.getter_type() for f in self.fields] + bank
        setter = [c_int32] + [f.setter_type() for f in self.fields] + bank
        declared = {self.getter: (c_int32, getter), self.setter: (c_int32, setter)}
        declared.pop(None, None)
        return declared

    def get(self, call, index, bank):
        if self.getter is None:
            raise TypeError(f"{self.name} is write-only: the library has no getter for it")
        storages = [f.storage() for f in self.fields]
        arguments = [f.getter_argument(s) for f, s in zip(self.fields, storages)]
        call(self.getter, index, *arguments, *self._bank(bank))
        values = tuple(f.value_of(s) for f, s in zip(self.fields, storages))
        return values[0] if len(values) == 1 else values

    def set(self, call, index, value, bank):
        if self.setter is None:
            raise TypeError(f"{self.name} is read-only: the library has no setter for it")
        values = (value,) if len(self.fields) == 1 else tuple(value)
        if len(values) != len(self.fields):
            raise ValueError(f"{self.name} takes {len(self.fields)} values, got {len(values)}")
        arguments = [f.argument(v) for f, v in zip(self.fields, values)]
        call(self.setter, index, *arguments, *self._bank(bank))

    def _bank(self, bank):
        if not self.banked:
            if bank is not None:
                raise ValueError(f"{self.name} has no banks")
            return []
        return [c_uint8(_checked(c_uint8, 0 if bank is None else bank))]


def _scalars(ctype, count):
    return [Field(ctype) for _ in range(count)]


U8, U16 = c_uint8, c_uint16
PARAMETERS = {
    p.name: p
    for p in [
        Parameter("hue", "Hue", [Field(U16)]),
        Parameter("saturation", "Saturation", [Field(U16)]),
        Parameter("offset", "Offset", [Field(c_int16)]),
        Parameter("gain", "Gain", [Field(U16, 4)]),
        Parameter("cr_cb_gain", "CrCbGain", _scalars(U16, 5)),
        Parameter("color_matrix", "ColorMatrix", [Field(U16, 9)]),
        Parameter("wb_window", "WbWindow", _scalars(U16, 4) + [Field(U8)]),
        Parameter("target", "Target", [Field(U16, 1)]),
        Parameter("ae_values", "AEValues", [Field(U8, 15)]),
        Parameter("ov_exp", "OvExp", [Field(U8), Field(U16), Field(U8)]),
        Parameter("ov_exp_target", "OvExpTarget", _scalars(U8, 4)),
        Parameter("ov_exp_weight", "OvExpWeight", _scalars(U16, 4) + [Field(U8, 16)]),
        Parameter(
            "ov_exp_target_steps",
            "OvExpTargetSteps",
            [Field(U8), Field(U8, 3), Field(U8, 3), Field(U8, 3), Field(U8)],
        ),
        Parameter("hv_flip", "HvFlip", _scalars(U8, 2)),
        Parameter("binning", "Binning", _scalars(U8, 2)),
        Parameter("bayer_mode", "BayerMode", [Field(U8)]),
        Parameter("scale", "Scale", [Field(U8)] + _scalars(U16, 4)),
        Parameter("scale_z", "ScaleZ", [Field(U8)] + _scalars(U16, 4) + [Field(U8)]),
        Parameter("window_position", "WindowPosition", [Field(U8, 3)]),
        Parameter("key_setting", "KeySetting", [Field(U8, 50)]),
        Parameter("edge_mode", "EdgeMode", [Field(U8, 1)]),
        Parameter("cam_type", "CamType", [Field(U8, 1)]),
        Parameter("uc_config", "ucConfig", [Field(U8, 4)]),
        Parameter("mask_enable", "MaskEnable", _scalars(U8, 3)),
        Parameter("mask_params", "MaskParams", _scalars(U16, 5)),
        Parameter(
            "edge_enhancement",
            "EdgeEnhancement",
            _scalars(U8, 3) + _scalars(U16, 2),
            banked=True,
        ),
        Parameter("sobel", "Sobel", _scalars(U8, 4), banked=True),
        Parameter("gamma", "Gamma", [Field(U8), Field(U8, 36)], banked=True),
        Parameter("window_sizes", "WindowSizes", [Field(U8, 32, tail=1)]),
        Parameter("window_ae_mode", "WindowAEMode", [Field(U8, 2)], access="w"),
        Parameter("raw_mode", "RawMode", [Field(U8, 1)], access="w"),
        Parameter("toggle_state", "ToggleState", [Field(U8, 2)], access="r"),
        Parameter("hv_flip_static", "HvFlipStatic", _scalars(U8, 4), access="r"),
    ]
}


def prototypes():
    declared = {}
    for parameter in PARAMETERS.values():
        declared.update(parameter.prototypes())
    return declared


def parameter(name):
    try:
        return PARAMETERS[name]
    except KeyError:
        raise KeyError(f"no DSP parameter {name!r}; known: {', '.join(sorted(PARAMETERS))}")
