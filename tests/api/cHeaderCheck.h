/* Functions of the C translation unit that includes the public header. */
#ifndef DRAVIX_TESTS_C_HEADER_CHECK_H
#define DRAVIX_TESTS_C_HEADER_CHECK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum cDeviceStatusField {
    C_FIELD_HEAD_INFO,
    C_FIELD_HARDWARE_REV_FX3,
    C_FIELD_CAMERA_COUNT,
    C_FIELD_SERIAL_DISPOSABLE
};

size_t cDeviceStatusSize(void);
size_t cDeviceStatusOffset(enum cDeviceStatusField field);
int32_t cGetApiVersionNumber(uint32_t* version);

#ifdef __cplusplus
}
#endif

#endif
