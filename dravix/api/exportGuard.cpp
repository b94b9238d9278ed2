#include "api/exportGuard.h"

#include "api/libraryState.h"
#include "log/logger.h"

namespace dravix {

void reportDeviceNotFound(const char* exportName) {
    libraryLog().error("main::%s: DEVICE NOT FOUND", exportName);
}

void reportCameraNotInitialized(const char* exportName) {
    libraryLog().error("main::%s: CAMERA NOT INITIALIZED", exportName);
}

camera* guardedCamera(const char* exportName, int32_t index) {
    if (!libraryState::isValidIndex(index)) {
        reportDeviceNotFound(exportName);
        return nullptr;
    }
    return guardedSlot(exportName, index);
}

camera* guardedSlot(const char* exportName, int32_t index) {
    camera* cam = libraryState::instance().cameraAt(index);
    if (cam == nullptr) {
        reportCameraNotInitialized(exportName);
    }
    return cam;
}

bool isNullArgument(const char* exportName, const void* pointer) {
    if (pointer != nullptr) {
        return false;
    }
    libraryLog().error("main::%s: NULL POINTER", exportName);
    return true;
}

int32_t reportNotAvailable(const char* exportName) {
    libraryLog().warn("%s: not available in this build", exportName);
    return kResultFailure;
}

int32_t unavailableForCamera(const char* exportName, int32_t index) {
    if (guardedCamera(exportName, index) == nullptr) {
        return kResultFailure;
    }
    return reportNotAvailable(exportName);
}

int32_t unavailableForSlot(const char* exportName, int32_t index) {
    if (guardedSlot(exportName, index) == nullptr) {
        return kResultFailure;
    }
    return reportNotAvailable(exportName);
}

}  // namespace dravix
