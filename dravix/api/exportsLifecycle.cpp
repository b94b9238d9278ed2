// Camera lifecycle exports: finding cameras, opening and closing them, starting and stopping the
// stream, the status callback, and destroying cameras.
#include <memory>
#include <string>

#include "api/exportGuard.h"
#include "camera/camera.h"
#include "camera/libraryState.h"
#include "camera/videoDeviceList.h"
#include "dravix/dravix.h"
#include "log/logger.h"
#include "platform/libraryThread.h"

namespace dravix {
namespace {

constexpr int32_t kNoSlot = 255;
constexpr char kDefaultMatchName[] = "dravix";

// The lowest slot whose device was not opened yet, or kNoSlot.
int32_t lowestUnopenedSlot(const videoDeviceList& devices) {
    for (int32_t slot = 0; slot < libraryState::kCameraSlots; ++slot) {
        if (!devices.isOpen(static_cast<std::size_t>(slot))) {
            return slot;
        }
    }
    return kNoSlot;
}

// Enumerates the matching devices into `count` and creates a camera for the chosen slot. After
// a failed enumeration the slot is the one the caller left in `index`.
int32_t initCamera(int32_t& index, uint8_t& count, const char* matchName, uint16_t vendorId,
                   uint16_t productId) {
    libraryState& state = libraryState::instance();
    const std::shared_ptr<videoDeviceList> devices = state.deviceList();
    const int32_t result = devices->enumerate(count, matchName);
    int32_t slot = kNoSlot;
    if (result != 0) {
        libraryLog().error("ZEL_EU_Init: failed to initialize");
        slot = libraryState::isValidIndex(index) ? index : kNoSlot;
    } else {
        slot = lowestUnopenedSlot(*devices);
        index = slot;
    }
    if (slot == kNoSlot) {
        libraryLog().error("no device found!");
        return result;
    }
    auto cam = std::make_unique<camera>(state.log(), *devices, vendorId, productId,
                                        state.backends().video(), state.backends().hid());
    if (state.installCamera(slot, std::move(cam), devices) == nullptr) {
        // Inside a callback, where the camera in the slot can't be destroyed.
        libraryLog().error(
            "main::ZEL_CAM_Init: the camera in slot %d can't be replaced from a "
            "callback of the library",
            slot);
        return kResultFailure;
    }
    return result;
}

bool hasNullArgument(const char* exportName, const int32_t* index, const uint8_t* count) {
    return isNullArgument(exportName, index) || isNullArgument(exportName, count);
}

// Open, close, open: the client sees the last result.
int32_t openCamera(camera& cam, const std::string& moniker) {
    int32_t result = cam.open(moniker);
    if (result == 0) {
        result = cam.close();
    }
    return result == 0 ? cam.open(moniker) : result;
}

}  // namespace
}  // namespace dravix

using namespace dravix;

extern "C" {

int32_t ZEL_CAM_InitName(int32_t /*reserved*/, int32_t* index, uint8_t* count,
                         const char* matchName, uint16_t vendorId, uint16_t productId) try {
    libraryState::instance().openLogIfAbsent();
    if (hasNullArgument(__func__, index, count) || isNullArgument(__func__, matchName)) {
        return kResultFailure;
    }
    return initCamera(*index, *count, matchName, vendorId, productId);
} catch (...) {
    return failedByException(__func__);
}

// The caller's count byte keeps its value.
int32_t ZEL_CAM_Init(int32_t /*reserved*/, int32_t* index, uint8_t* count) try {
    libraryState::instance().openLogIfAbsent();
    if (hasNullArgument(__func__, index, count)) {
        return kResultFailure;
    }
    uint8_t localCount = *count;
    return initCamera(*index, localCount, kDefaultMatchName, camera::kDefaultVendorId,
                      camera::kDefaultProductId);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_Open(int32_t index) try {
    if (!libraryState::isValidIndex(index)) {
        reportDeviceNotFound(__func__);
        return kResultFailure;
    }
    libraryState& state = libraryState::instance();
    if (state.cameraAt(index) == nullptr) {
        libraryLog().warn("call ZEL_CAM_Init before ZEL_CAM_Open");
        int32_t initIndex = index;
        uint8_t count = 0;
        ZEL_CAM_Init(0, &initIndex, &count);
    }
    const std::shared_ptr<camera> cam = guardedSlot(__func__, index);
    if (cam == nullptr) {
        return kResultFailure;
    }
    const std::shared_ptr<videoDeviceList> devices = state.deviceList();
    const auto slot = static_cast<std::size_t>(index);
    if (devices->isOpen(slot)) {
        libraryLog().warn("already open");
    }
    devices->setOpen(slot);
    const std::string moniker = devices->monikerAt(slot);
    if (moniker.empty()) {
        libraryLog().error("no camera accessible with the given index!");
        return kResultFailure;
    }
    return openCamera(*cam, moniker);
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_Close(int32_t index) try {
    const std::shared_ptr<camera> cam = guardedCamera(__func__, index);
    if (cam == nullptr) {
        return kResultFailure;
    }
    return cam->close();
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_Start(int32_t index, int32_t /*reserved*/, void* window) try {
    const std::shared_ptr<camera> cam = guardedCamera(__func__, index);
    if (cam == nullptr) {
        return kResultFailure;
    }
    return cam->startStream(window, "camera::videoStart");
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_StartPic(int32_t index, int32_t /*reserved1*/, int32_t /*reserved2*/) try {
    const std::shared_ptr<camera> cam = guardedCamera(__func__, index);
    if (cam == nullptr) {
        return kResultFailure;
    }
    return cam->startStream(nullptr, "camera::videoStartCallback");
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_Stop(int32_t index) try {
    const std::shared_ptr<camera> cam = guardedCamera(__func__, index);
    if (cam == nullptr) {
        return kResultFailure;
    }
    const int32_t result = cam->video().stopVideo();
    if (result != 0) {
        libraryLog().error("camera::videoStop failed: hr = %d", result);
    }
    return result;
} catch (...) {
    return failedByException(__func__);
}

int32_t ZEL_CAM_StatusCallback(int32_t index, StatusCallback callback, void* user) try {
    const std::shared_ptr<camera> cam = guardedSlot(__func__, index);
    if (cam == nullptr) {
        return kResultFailure;
    }
    cam->setStatusCallback(callback, user);
    if (cam->isHidOpen()) {
        cam->commands().setAppState(0);
    }
    return kResultSuccess;
} catch (...) {
    return failedByException(__func__);
}

// An index beyond the table is reported and slot 9 is examined in its place, without being
// destroyed. The library log ends in every case.
int32_t ZEL_CAM_Destroy(uint8_t index) try {
    if (libraryThread::isCurrent()) {
        // Inside a callback: destroying a camera waits for its threads and its calls, and ending
        // the log waits for the log's threads; any of them may be waiting for this callback.
        libraryLog().error("main::%s: not from a callback of the library", __func__);
        return kResultFailure;
    }
    libraryState& state = libraryState::instance();
    int32_t result = kResultSuccess;
    int32_t examined = index;
    if (!libraryState::isValidIndex(examined)) {
        reportDeviceNotFound(__func__);
        result = kResultFailure;
        examined = libraryState::kLastSlot;
    }
    if (state.cameraAt(examined) == nullptr) {
        reportCameraNotInitialized(__func__);
        result = kResultFailure;
    } else if (result == kResultSuccess) {
        state.destroyCamera(examined);
    }
    state.releaseDeviceListIfUnused();
    state.closeLog();
    return result;
} catch (...) {
    return failedByException(__func__);
}

}  // extern "C"
