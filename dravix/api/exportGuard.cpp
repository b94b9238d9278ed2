#include "api/exportGuard.h"

#include <exception>
#include <new>
#include <system_error>

#include "camera/libraryState.h"
#include "log/logger.h"

namespace dravix {

void reportDeviceNotFound(const char* exportName) {
    libraryLog().error("main::%s: DEVICE NOT FOUND", exportName);
}

void reportCameraNotInitialized(const char* exportName) {
    libraryLog().error("main::%s: CAMERA NOT INITIALIZED", exportName);
}

std::shared_ptr<camera> guardedCamera(const char* exportName, int32_t index) {
    if (!libraryState::isValidIndex(index)) {
        reportDeviceNotFound(exportName);
        return nullptr;
    }
    return guardedSlot(exportName, index);
}

std::shared_ptr<camera> guardedSlot(const char* exportName, int32_t index) {
    std::shared_ptr<camera> cam = libraryState::instance().cameraAt(index);
    if (cam == nullptr) {
        reportCameraNotInitialized(exportName);
    }
    return cam;
}

int32_t failedByException(const char* exportName) noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        libraryLog().error("main::%s: out of memory", exportName);
    } catch (const std::system_error& error) {
        libraryLog().error("main::%s: system error %d: %s", exportName, error.code().value(),
                           error.what());
    } catch (const std::exception& error) {
        libraryLog().error("main::%s: %s", exportName, error.what());
    } catch (...) {
        libraryLog().error("main::%s: unknown exception", exportName);
    }
    return kResultFailure;
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

int32_t notImplementedForCamera(const char* exportName, int32_t index) {
    if (guardedCamera(exportName, index) != nullptr) {
        libraryLog().warn("not implemented!");
    }
    return kResultFailure;
}

}  // namespace dravix
