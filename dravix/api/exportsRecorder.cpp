// Recorder unit exports. An index outside the table counts as an empty slot.
#include "api/exportGuard.h"
#include "dravix/dravix.h"

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_recStart(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recStop(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recCapture(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recUpdate(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recReboot(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recExplorer(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recSetDate(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recSetCmd(int32_t index, const char* /*command*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recSetDebugMode(int32_t index, uint8_t /*mode*/) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recSetOsdRec(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recCopyLogfile(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recReinitOsd(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_recPrepareUsb(int32_t index) try {
    return unavailableForSlot(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
