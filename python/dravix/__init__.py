"""dravix from Python: cameras, frames as NumPy arrays, DSP parameters, pictures, the log.

    import dravix
    print(dravix.cameras())
    with dravix.Camera(0) as cam:
        cam.dsp.hue = 300
        for frame in cam.frames(count=10):       # copies, (height, width, 2) uint8
            rgb = dravix.yuy2_to_rgb(frame)
        cam.snapshot("picture.jpg")

The library is libdravix.so.2, loaded from the file DRAVIX_LIBRARY names, else through the
loader's search. Failed calls raise DravixError (function, code, the library's last ERROR).

Threads: frame, status and log callbacks arrive on the library's own threads; ctypes takes the
GIL for each. The library log goes to the Python logger "dravix".
"""

from ._session import camera_count, shutdown
from .camera import Camera
from .dpc import DefectPixel, DpcConfig
from .errors import DravixError
from .frames import FrameQueue, frame_shape, yuy2_to_bgr, yuy2_to_rgb
from .info import CameraInfo, api_build, api_version, cameras
from .parameters import PARAMETERS

__all__ = [
    "Camera",
    "CameraInfo",
    "DefectPixel",
    "DpcConfig",
    "DravixError",
    "FrameQueue",
    "PARAMETERS",
    "api_build",
    "api_version",
    "camera_count",
    "cameras",
    "frame_shape",
    "shutdown",
    "yuy2_to_bgr",
    "yuy2_to_rgb",
]
