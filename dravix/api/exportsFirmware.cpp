// Firmware update exports and their progress queries.
#include "api/exportGuard.h"
#include "dravix/dravix.h"

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_Fx3FirmwareUpdate(int32_t index, const char* /*path*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_Fx3FirwwareUpdateProgress(int32_t index, uint8_t* /*percent*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_FpgaCcuFirmwareUpdate(int32_t index, const char* /*path*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_FpgaCcuFirmwareUpdateProgress(int32_t index, uint8_t* /*percent*/, int32_t* /*a*/,
                                              int32_t* /*b*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_FpgaHeadFirmwareUpdate(int32_t index, const char* /*path*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_FpgaHeadFirmwareUpdateProgress(int32_t index, uint8_t* /*percent*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_UpHeadFirmwareUpdate(int32_t index, const char* /*path*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_UpHeadFirmwareUpdateProgress(int32_t index, uint8_t* /*percent*/,
                                             int32_t* /*a*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_UpLedFirmwareUpdate(int32_t index, const char* /*path*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_UpUFTFirmwareUpdate(int32_t index, const char* /*path*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_FpgaOsdGraficUpdate(int32_t index, const char* /*path*/) try {
    return unavailableForCamera(__func__, index);
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
