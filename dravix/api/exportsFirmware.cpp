// Firmware update exports and their progress queries. Every progress export reports whichever
// update ran last; they differ only in their extra outputs.
#include <climits>
#include <cstring>
#include <string>

#include "api/exportGuard.h"
#include "camera/camera.h"
#include "dravix/dravix.h"

using namespace dravix;

namespace {

constexpr uint8_t kFx3 = 0;
constexpr uint8_t kFpgaCcu = 1;
constexpr uint8_t kElc = 3;
constexpr uint8_t kFpgaHead = 4;
constexpr uint8_t kUserControl = 6;
constexpr uint8_t kLed = 7;
constexpr uint8_t kOsdGraphic = 10;
constexpr uint8_t kFullPercent = 100;

int32_t updateFirmware(const char* exportName, int32_t index, const char* path, uint8_t component) {
    const std::shared_ptr<camera> cam = guardedCamera(exportName, index);
    if (cam == nullptr || isNullArgument(exportName, path)) {
        return kResultFailure;
    }
    // A path is read no further than the system's longest one: the caller's text may not end.
    const std::size_t length = strnlen(path, PATH_MAX);
    if (length == PATH_MAX) {
        libraryLog().error("main::%s: path longer than %d characters", exportName, PATH_MAX - 1);
        return kResultFailure;
    }
    return cam->updateFirmware(std::string(path, length), component);
}

// The camera of `index` when the guard passes and `percent` is there.
std::shared_ptr<camera> progressCamera(const char* exportName, int32_t index,
                                       const uint8_t* percent) {
    const std::shared_ptr<camera> cam = guardedCamera(exportName, index);
    return cam != nullptr && !isNullArgument(exportName, percent) ? cam : nullptr;
}

}  // namespace

extern "C" {

int32_t ZEL_CAM_Fx3FirmwareUpdate(int32_t index, const char* path) try {
    return updateFirmware(__func__, index, path, kFx3);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_Fx3FirwwareUpdateProgress(int32_t index, uint8_t* percent) try {
    const std::shared_ptr<camera> cam = progressCamera(__func__, index, percent);
    return cam != nullptr ? cam->updateStatus(*percent) : kResultFailure;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_FpgaCcuFirmwareUpdate(int32_t index, const char* path) try {
    return updateFirmware(__func__, index, path, kFpgaCcu);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_FpgaCcuFirmwareUpdateProgress(int32_t index, uint8_t* percent, int32_t* a,
                                              int32_t* b) try {
    const std::shared_ptr<camera> cam = progressCamera(__func__, index, percent);
    if (cam == nullptr || isNullArgument(__func__, a) || isNullArgument(__func__, b)) {
        return kResultFailure;
    }
    const uint8_t result = cam->updateStatus(*percent);
    if (*percent == kFullPercent) {
        *a = kFullPercent;
        *b = kFullPercent;
    }
    return result;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_FpgaHeadFirmwareUpdate(int32_t index, const char* path) try {
    return updateFirmware(__func__, index, path, kFpgaHead);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_FpgaHeadFirmwareUpdateProgress(int32_t index, uint8_t* percent) try {
    const std::shared_ptr<camera> cam = progressCamera(__func__, index, percent);
    return cam != nullptr ? cam->updateStatus(*percent) : kResultFailure;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_UpHeadFirmwareUpdate(int32_t index, const char* path) try {
    return updateFirmware(__func__, index, path, kElc);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_UpHeadFirmwareUpdateProgress(int32_t index, uint8_t* percent, int32_t* a) try {
    const std::shared_ptr<camera> cam = progressCamera(__func__, index, percent);
    if (cam == nullptr || isNullArgument(__func__, a)) {
        return kResultFailure;
    }
    *a = 0;
    return cam->updateStatus(*percent);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_UpLedFirmwareUpdate(int32_t index, const char* path) try {
    return updateFirmware(__func__, index, path, kLed);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_UpUFTFirmwareUpdate(int32_t index, const char* path) try {
    return updateFirmware(__func__, index, path, kUserControl);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_FpgaOsdGraficUpdate(int32_t index, const char* path) try {
    return updateFirmware(__func__, index, path, kOsdGraphic);
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
