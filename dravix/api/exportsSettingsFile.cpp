// Camera settings file exports. An index outside the table counts as an empty slot.
#include "api/exportGuard.h"
#include "dravix/dravix.h"

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_readQprFile(int32_t index, const char* /*path*/, uint8_t /*headType*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_writeQprFile(int32_t index, const char* /*path*/, uint8_t /*headType*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
