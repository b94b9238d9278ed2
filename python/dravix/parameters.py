"""The camera's image-pipeline (DSP) parameters by name.

Each parameter is one getter/setter pair of the C interface, described by its fields: a field is
a scalar (passed by pointer to the getter and by value to the setter) or an array of `count`
values (passed by pointer to both). A parameter's value is its single field's value, or a tuple
of the fields' values; an array field's value is a tuple, except a one-element array, which is
its element. Banked parameters take a bank (0 or 1) as the C function's last argument.
"""

import ctypes
from ctypes import POINTER, c_int16, c_int32, c_uint8, c_uint16


class Field:
    def __init__(self, ctype, count=None):
        self.ctype = ctype
        self.count = count  # None: a scalar

    def getter_type(self):
        return POINTER(self.ctype)

    def setter_type(self):
        return self.ctype if self.count is None else POINTER(self.ctype)

    def storage(self):
        return self.ctype() if self.count is None else (self.ctype * self.count)()

    def value_of(self, storage):
        if self.count is None:
            return storage.value
        values = tuple(storage)
        return values[0] if self.count == 1 else values

    def argument(self, value):
        """The setter's argument for `value`, checked against the field's shape and range."""
        if self.count is None:
            return self.ctype(_checked(self.ctype, value))
        values = (value,) if self.count == 1 and isinstance(value, int) else tuple(value)
        if len(values) != self.count:
            raise ValueError(f"expected {self.count} values, got {len(values)}")
        return (self.ctype * self.count)(*(_checked(self.ctype, v) for v in values))

    def getter_argument(self, storage):
        return ctypes.byref(storage) if self.count is None else storage


_RANGES = {c_uint8: (0, 0xFF), c_uint16: (0, 0xFFFF), c_int16: (-0x8000, 0x7FFF)}


def _checked(ctype, value):
    # ctypes would silently wrap an out-of-range value into a different setting.
    if not isinstance(value, int) or isinstance(value, bool):
        raise TypeError(f"expected an integer, got {value!r}")
    low, high = _RANGES[ctype]
    if not low <= value <= high:
        raise ValueError(f"{value} is outside {low}..{high}")
    return value


class Parameter:
    def __init__(self, name, c_name, fields, banked=False):
        self.name = name
        self.getter = "ZEL_CAM_get" + c_name
        self.setter = "ZEL_CAM_set" + c_name
        self.fields = fields
        self.banked = banked

    def prototypes(self):
        bank = [c_uint8] if self.banked else []
        getter = [c_int32] + [f.getter_type() for f in self.fields] + bank
        setter = [c_int32] + [f.setter_type() for f in self.fields] + bank
        return {self.getter: (c_int32, getter), self.setter: (c_int32, setter)}

    def get(self, call, index, bank):
        storages = [f.storage() for f in self.fields]
        arguments = [f.getter_argument(s) for f, s in zip(self.fields, storages)]
        call(self.getter, index, *arguments, *self._bank(bank))
        values = tuple(f.value_of(s) for f, s in zip(self.fields, storages))
        return values[0] if len(values) == 1 else values

    def set(self, call, index, value, bank):
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
