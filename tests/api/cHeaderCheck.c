/* Compiled as strict C11: the public header must be valid C, its layout checks must hold for a
 * C compiler, and a C caller must bind the exports through its prototypes. */
#include "dravix/dravix.h"

#include "cHeaderCheck.h"

size_t cDeviceStatusSize(void) {
    return sizeof(DeviceStatus);
}

size_t cDeviceStatusOffset(enum cDeviceStatusField field) {
    switch (field) {
        case C_FIELD_HEAD_INFO:
            return offsetof(DeviceStatus, headInfo);
        case C_FIELD_HARDWARE_REV_FX3:
            return offsetof(DeviceStatus, hardwareRevFx3);
        case C_FIELD_CAMERA_COUNT:
            return offsetof(DeviceStatus, cameraCount);
        case C_FIELD_SERIAL_DISPOSABLE:
            return offsetof(DeviceStatus, serialDisposable);
    }
    return 0;
}

static int32_t (*const versionNumberEntry)(uint32_t*) = ZEL_CAM_GetApiVersionNumber;

int32_t cGetApiVersionNumber(uint32_t* version) {
    return versionNumberEntry(version);
}
