#include "camera/libraryState.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "camera/camera.h"
#include "camera/heldCamera.h"
#include "camera/videoDeviceList.h"
#include "log/logger.h"
#include "platform/config.h"
#include "platform/libraryThread.h"

namespace dravix {

namespace {
std::atomic<libraryState*> createdState{nullptr};
}  // namespace

libraryState* libraryState::existing() {
    return createdState;
}

libraryState& libraryState::instance() {
    static libraryState state;
    return state;
}

libraryState::libraryState() : log_(libraryLog()) {
    createdState = this;
}

libraryState::~libraryState() {
    createdState = nullptr;
    destroyAll();
}

std::shared_ptr<camera> libraryState::cameraAt(int32_t index) const {
    if (!isValidIndex(index)) {
        return nullptr;
    }
    mutexLock table(tableMutex_);
    const auto& slot = cameraTable_[static_cast<std::size_t>(index)];
    return slot != nullptr ? slot->hold() : nullptr;
}

// The new camera takes the slot at once; the one it replaces is destroyed afterwards, outside
// the lock, since that waits for the calls that hold it.
camera* libraryState::installCamera(int32_t index, std::unique_ptr<camera> cam,
                                    std::shared_ptr<videoDeviceList> devices) {
    if (!isValidIndex(index)) {
        return nullptr;
    }
    std::unique_ptr<heldCamera> replaced;
    camera* installed = cam.get();
    {
        mutexLock table(tableMutex_);
        if (!takeCamera(index, replaced)) {
            return nullptr;
        }
        if (devices_ == nullptr) {
            devices_ = devices;  // a list that was let go of while this camera was made
        }
        cameraTable_[static_cast<std::size_t>(index)] =
            std::make_unique<heldCamera>(std::move(cam), std::move(devices));
    }
    if (replaced != nullptr) {
        replaced->destroy();
    }
    return installed;
}

bool libraryState::destroyCamera(int32_t index) {
    if (!isValidIndex(index)) {
        return true;
    }
    std::unique_ptr<heldCamera> taken;
    {
        mutexLock table(tableMutex_);
        if (!takeCamera(index, taken)) {
            return false;
        }
    }
    if (taken != nullptr) {
        taken->destroy();
    }
    return true;
}

bool libraryState::takeCamera(int32_t index, std::unique_ptr<heldCamera>& taken) {
    auto& slot = cameraTable_[static_cast<std::size_t>(index)];
    if (slot != nullptr && libraryThread::isCurrent()) {
        return false;
    }
    taken = std::move(slot);
    return true;
}

void libraryState::destroyAll() {
    for (int32_t index = 0; index < kCameraSlots; ++index) {
        destroyCamera(index);
    }
    releaseDeviceListIfUnused();
}

bool libraryState::allSlotsEmpty() const {
    mutexLock table(tableMutex_);
    return allSlotsEmptyLocked();
}

bool libraryState::allSlotsEmptyLocked() const {
    return std::all_of(cameraTable_.begin(), cameraTable_.end(),
                       [](const std::unique_ptr<heldCamera>& slot) { return slot == nullptr; });
}

std::shared_ptr<videoDeviceList> libraryState::deviceList() {
    mutexLock table(tableMutex_);
    if (devices_ == nullptr) {
        devices_ = std::make_shared<videoDeviceList>(backends_.video(), log_);
    }
    return devices_;
}

void libraryState::releaseDeviceListIfUnused() {
    mutexLock table(tableMutex_);
    if (allSlotsEmptyLocked()) {
        devices_.reset();
    }
}

bool libraryState::hasDeviceList() const {
    mutexLock table(tableMutex_);
    return devices_ != nullptr;
}

void libraryState::openLogIfAbsent() {
    if (log_.isOpen()) {
        return;
    }
    const std::string path = platform::userProfileDirectory() + "/dravix.log";
    log_.open(path, platform::readConfigValue("LOG_DISABLE") == 0,
              platform::readConfigValue("FILELOG_ENABLE") == 1);
}

void libraryState::closeLog() {
    log_.close();
}

}  // namespace dravix
