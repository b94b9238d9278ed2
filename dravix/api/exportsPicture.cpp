// Picture file exports.
#include "api/exportGuard.h"
#include "dravix/dravix.h"

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_SaveJPG(int32_t index, const char* /*path*/, int32_t /*nameMode*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SaveRAW(int32_t index, const char* /*path*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SaveBMP(int32_t index, const char* /*path*/, int32_t /*nameMode*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SetBMPOptions(int32_t index, int32_t /*options*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_SetJPGOptions(int32_t index, const uint8_t* /*quality*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
